#pragma once
// The whole book as one zip in the Nextcloud Cookbook layout: a folder per
// recipe with recipe.json (schema.org Recipe) and full.jpg (the stored JPEG
// bytes unchanged). recipe.json also keeps the four texts exactly, so importing
// the zip gives the book back as it was.

#include <QByteArray>
#include <QString>
#include <functional>

class TADOConnection;
struct TRecipeColumns;

struct TExportSummary {
    int Recipes = 0;
    int Pictures = 0;
};

// Written through a temporary file that replaces the target only when complete.
// progress(done, total) returning false cancels (EImportCancelled, no file left).
TExportSummary ExportBook(TADOConnection& connection, const QString& zipPath,
                          const std::function<bool(int, int)>& progress = {});
// recipe.json for one row.
QByteArray RecipeJson(const TRecipeColumns& columns, bool hasPicture);
// A folder name for a dish name: no path separators or control characters.
QString RecipeFolderName(const QString& name);
