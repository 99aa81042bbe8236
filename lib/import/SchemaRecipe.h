#pragma once
// schema.org Recipe objects (JSON-LD, Nextcloud Cookbook, microdata turned
// into the same shape) read into an imported recipe.

#include "ImportTypes.h"

#include <QJsonObject>
#include <QJsonValue>

struct TSchemaRecipe {
    TImportedRecipe Recipe;
    QStringList ImageUrls; // as written; the caller knows where to look
};

// Every Recipe object in a JSON-LD value: an object, an array, an @graph.
std::vector<QJsonObject> FindRecipeObjects(const QJsonValue& value);
// plainText: the strings hold no markup (microdata read from the page's text).
TSchemaRecipe RecipeFromSchema(const QJsonObject& object, bool plainText = false);
// The key under which this program's export keeps the four texts exactly.
inline constexpr char ExactColumnsKey[] = "mycookColumns";
// Parses JSON and raises EImportError naming the place of a syntax error.
QJsonValue ParseJson(const QByteArray& bytes);
