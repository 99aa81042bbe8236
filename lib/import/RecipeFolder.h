#pragma once
// Recipes kept as folders on disk, as a cookbook app keeps them: a folder
// holding recipe.json (a schema.org Recipe) with its picture full.jpg beside
// it, a folder of such folders, or recipe.json chosen by itself.

#include "ImportTypes.h"

// A recipe folder, or a folder whose folders (to two levels down) are recipe
// folders, read in the order of their names. Raises EImportError when none
// holds a recipe.json.
void ReadRecipeFolder(const QString& path, const TRecipeSink& sink);
// One recipe.json (or other .json file of schema.org recipes); the picture is
// taken from beside it.
void ReadRecipeJsonFile(const QString& path, const TRecipeSink& sink);

// One recipe folder's recipe.json and the pictures it names, read as they are
// now; `root` is the canonical folder no picture may lie outside of. Raises
// EImportError when recipe.json is missing, unreadable or holds no recipe.
struct TFolderRecipe {
    TImportedRecipe Recipe;
    QStringList Missing; // pictures recipe.json names that are not there (yet)
};
TFolderRecipe ReadOneRecipeFolder(const QString& folder, const QString& root);
