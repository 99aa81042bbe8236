#pragma once
// MealMaster text files: several recipes per file, fixed-column ingredient
// lines (also in two columns), section headings, wrapped directions.

#include "ImportTypes.h"

// The text is already decoded. Raises EImportError when no recipe header is found.
void ReadMealMasterText(const QString& text, const TRecipeSink& sink);
void ReadMealMasterFile(const QString& path, const TRecipeSink& sink);
