#pragma once
// Recipe archives: the Nextcloud Cookbook zip (a folder per recipe with
// recipe.json and full.jpg, also what this program exports) and Paprika's
// .paprikarecipes (a zip of gzip-compressed JSON objects).

#include "ImportTypes.h"

void ReadNextcloudZip(const QString& path, const TRecipeSink& sink);
void ReadPaprika(const QString& path, const TRecipeSink& sink);
// The same from bytes in memory.
void ReadNextcloudZipBytes(const QByteArray& zip, const TRecipeSink& sink);
void ReadPaprikaBytes(const QByteArray& zip, const TRecipeSink& sink);
// One Paprika recipe object (already unpacked).
TImportedRecipe RecipeFromPaprika(const QByteArray& json);
