#pragma once
// The program runs in the Simplified Chinese locale whatever the system's: Qt's
// dates, the MIME database's type names and the default QLocale. The C library
// keeps the user's own locale (character set, its messages).

// Call before the application object is made; the environment is restored by
// FinishChineseLocale, so programs we start see the user's own.
void PrepareChineseLocale();

// Call once the application object exists. Safe to call more than once, and
// without PrepareChineseLocale (then only the default QLocale and type names follow).
void FinishChineseLocale();
