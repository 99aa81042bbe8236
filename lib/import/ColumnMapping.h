#pragma once
// An imported recipe as a whole recipe of the book: the whole texts kept as they
// came, the designed columns their cut forms (菜名 30 characters, 原料 and 说明
// 255, 做法 the numbered steps), everything else in its own field.

#include "ImportTypes.h"
#include "RecipeText.h"

// Pictures are left to the caller (they are checked and turned into JPEG there).
TRecipe RecipeFromImport(const TImportedRecipe& recipe);
// The designed columns alone (the window's page drop).
TRecipeColumns MapToColumns(const TImportedRecipe& recipe);
