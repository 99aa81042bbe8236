#pragma once
// The whole book as one zip in the Nextcloud Cookbook layout: Recipes/<dish>/
// with recipe.json (a schema.org Recipe written whole), full.jpg (the stored
// JPEG bytes unchanged), thumb.jpg and thumb16.jpg, and the further pictures
// named from `image` and the steps' `image`. recipe.json also keeps the row's
// four texts and what schema.org cannot say exactly, so importing the zip gives
// the book back as it was.

#include "Recipe.h"

#include <QByteArray>
#include <QString>
#include <functional>

class TADOConnection;

struct TExportSummary {
    int Recipes = 0;
    int Pictures = 0; // covers
};

// Written through a temporary file that replaces the target only when complete.
// progress(done, total) returning false cancels (EImportCancelled, no file left).
TExportSummary ExportBook(TADOConnection& connection, const QString& zipPath,
                          const std::function<bool(int, int)>& progress = {});

// The files of one recipe's folder beside recipe.json, by name.
struct TExportFile {
    QString Name;
    QByteArray Bytes;
};
// recipe.json for one recipe, and the picture files it names.
QByteArray RecipeJson(const TRecipe& recipe, std::vector<TExportFile>* files = nullptr);
// A folder name every system can make: no separators or control characters, no
// trailing dots or blanks, no names Windows keeps for devices, at most 200 bytes.
QString RecipeFolderName(const QString& name);
// The same, with " (2)", " (3)"… until `taken` says the name is free.
QString UniqueRecipeFolderName(const QString& name,
                               const std::function<bool(const QString&)>& taken);
