#pragma once
// What the program sets up before its window: Qt's own texts in Chinese, the
// font the layout names, and where the skin's one message goes.

// Safe to call more than once. PrepareChineseLocale (AppLocale.h) comes before the
// application object.
void SetUpApplication();

// Loads Qt's Simplified Chinese texts (buttons, file dialogs, context menus)
// whatever the system's language; false when they are not installed.
bool LoadChineseQtTexts();
