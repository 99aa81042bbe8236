#pragma once
// schema.org Recipe objects (JSON-LD, Nextcloud Cookbook, microdata turned
// into the same shape) read into an imported recipe.

#include "ImportTypes.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>

struct TSchemaRecipe {
    TImportedRecipe Recipe;
    QStringList ImageUrls; // as written; the caller knows where to look
    // Pictures of single steps: the step (from 1, headings not counted) and its address.
    std::vector<std::pair<int, QString>> StepImageUrls;
    QHash<QString, QString> ImageCaptions; // by address, from ImageObject captions
    QStringList PictureOrder;              // our own export's further pictures in their order
};

// Every Recipe object in a JSON-LD value: an object, an array, an @graph.
std::vector<QJsonObject> FindRecipeObjects(const QJsonValue& value);
// plainText: the strings hold no markup (microdata read from the page's text).
// document: the JSON the object was parsed from, when the object is its top-level
// one unchanged; our own export's digest is then checked on the bytes.
TSchemaRecipe RecipeFromSchema(const QJsonObject& object, bool plainText = false,
                               QByteArrayView document = {});
// The key under which this program's export keeps the four texts exactly.
inline constexpr char ExactColumnsKey[] = "mycookColumns";
// ... and what schema.org cannot say exactly (favourite, times as written, steps'
// titles, categories as a list).
inline constexpr char ExactExtrasKey[] = "mycookExtras";
// Inside the extras: a digest of the schema.org part as the export wrote it.
// The exact copies count only while it still matches, so another program's
// edits of the schema.org fields are taken, not overridden by stale copies.
inline constexpr char SchemaDigestKey[] = "schemaDigest";
QString SchemaDigest(const QJsonObject& object);
// The same digest from the bytes of a document whose top-level object it is, as
// this program writes them (keys in order, Qt's escapes): whitespace outside the
// strings dropped and the exact copies left out give the compact form the digest
// was taken of. Empty when the bytes are no single object; bytes written otherwise
// give another digest, and then only SchemaDigest can say.
QString SchemaDigestOfBytes(QByteArrayView document);
// The pictures a recipe folder's recipe.json names beside full.jpg (`image` after
// the first, HowToStep.image) that `file` finds by file name in that folder, in our
// own export's order when it says one; the cover too when there is no full.jpg.
void TakeFolderPictures(TSchemaRecipe& s,
                        const std::function<std::optional<QByteArray>(const QString&)>& file,
                        const QString& folder);
// Parses JSON and raises EImportError naming the place of a syntax error.
QJsonValue ParseJson(const QByteArray& bytes);
