#pragma once
#include <QString>

// The folder of "cook.mdb": beside the executable, or the per-user data folder
// when the executable's folder cannot be written (a system-wide install).
QString RecipeBookFolder(const QString& executableFolder);
