#pragma once
// Recipe archives: the Nextcloud Cookbook zip (a folder per recipe with
// recipe.json and full.jpg, also what this program exports) and Paprika's
// .paprikarecipes (a zip of gzip-compressed JSON objects) and single .paprikarecipe.

#include "ImportTypes.h"

class TImportBudget;

// Through the zip's directory where it can (stored and deflated members), else by
// walking it.
void ReadNextcloudZip(const QString& path, const TRecipeSink& sink, TImportBudget& budget);
// Always by walking: what ReadNextcloudZip falls back to.
void ReadNextcloudZipWalking(const QString& path, const TRecipeSink& sink, TImportBudget& budget);
// A .paprikarecipes zip, or one .paprikarecipe (gzip-compressed JSON).
void ReadPaprika(const QString& path, const TRecipeSink& sink, TImportBudget& budget);
// The same from bytes in memory.
void ReadNextcloudZipBytes(const QByteArray& zip, const TRecipeSink& sink);
void ReadPaprikaBytes(const QByteArray& zip, const TRecipeSink& sink);
// What a zip holds, by its members rather than its name; Other when it cannot be read.
enum class TZipContent { Other, Paprika, RecipeFolders };
TZipContent ZipContent(const QString& path);
// One Paprika recipe object (already unpacked).
TImportedRecipe RecipeFromPaprika(const QByteArray& json);
