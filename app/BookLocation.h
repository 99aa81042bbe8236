#pragma once
#include <QString>

// The folder of "cook.mdb": beside the executable, or the per-user data folder
// when the program is installed (its menu entry lies beside its folder) or when
// the executable's folder cannot be written.
QString RecipeBookFolder(const QString& executableFolder);

// True for an executable in <prefix>/bin with <prefix>/share/applications holding our entry.
bool IsInstalledProgram(const QString& executableFolder);
