#pragma once
// File names the cook types into a save dialog.

#include <QString>

// Text from the last "." on, empty when there is none after the last separator.
QString ExtractFileExt(const QString& name);
// The name with `ext` (".rtf") after it unless its extension already is `ext`,
// ASCII letters' case aside.
QString WithFileExt(const QString& name, const QString& ext);
