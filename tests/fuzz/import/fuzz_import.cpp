// Hostile bytes through one importer (chosen at build time): every failure is a
// clear EImportError, never a crash or a hang; what is read maps into the
// book's columns within their limits, and its picture converts or is refused.
#include "ArchiveFormats.h"
#include "ColumnMapping.h"
#include "HtmlRecipe.h"
#include "ImportPicture.h"
#include "MealMaster.h"
#include "PlainTextRecipe.h"
#include "TextDecode.h"
#include "XmlFormats.h"

#include <cstdint>
#include <vector>

namespace {
void Check(TImportedRecipe&& recipe) {
    const TRecipeColumns c = MapToColumns(recipe);
    if (c.Name.size() > NameColumnChars || c.Ingredients.size() > IngredientsColumnChars ||
        c.Note.size() > NoteColumnChars)
        __builtin_trap();
    if (!recipe.Picture.isEmpty()) {
        try {
            (void)PictureAsJpeg(recipe.Picture);
        } catch (const Exception&) {
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
#if defined(MYCOOK_FUZZ_HTML)
        if (bytes.startsWith("MIME")) {
            const TMhtml mhtml = ReadMhtml(bytes);
            TPageResources resources;
            resources.Parts = mhtml.Parts;
            for (TImportedRecipe& r : RecipesFromHtml(mhtml.Html, resources))
                Check(std::move(r));
        } else {
            for (TImportedRecipe& r : RecipesFromHtml(ToUtf8(bytes, TTextKind::Html), {}))
                Check(std::move(r));
        }
#elif defined(MYCOOK_FUZZ_MEALMASTER)
        // Decoded in small pieces, the file must read as it does decoded whole.
        std::vector<TRecipeColumns> whole, pieces;
        bool wholeFailed = false;
        try {
            ReadMealMasterText(DecodeText(bytes),
                               [&](TImportedRecipe&& r) { whole.push_back(MapToColumns(r)); });
        } catch (const EImportError&) {
            wholeFailed = true;
        }
        try {
            ReadMealMasterBytes(
                bytes,
                [&](TImportedRecipe&& r) {
                    pieces.push_back(MapToColumns(r));
                    Check(std::move(r));
                },
                16 + bytes.size() % 241);
        } catch (const EImportError&) {
            if (!wholeFailed)
                __builtin_trap();
            return 0;
        }
        if (wholeFailed || whole != pieces)
            __builtin_trap();
#elif defined(MYCOOK_FUZZ_PAPRIKA)
        ReadPaprikaBytes(bytes, Check);
#elif defined(MYCOOK_FUZZ_NEXTCLOUD)
        ReadNextcloudZipBytes(bytes, Check);
#elif defined(MYCOOK_FUZZ_GOURMET)
        ReadGourmetXml(bytes, Check);
#elif defined(MYCOOK_FUZZ_RECIPEML)
        ReadRecipeMlXml(bytes, Check);
#elif defined(MYCOOK_FUZZ_PLAINTEXT)
        // A pasted text, and the same bytes as a .txt file in whatever encoding they seem.
        // (Well-formed UTF-8 decodes as itself: the second pass would repeat the first.)
        QStringList texts{QString::fromUtf8(bytes)};
        if (!IsValidUtf8(bytes))
            texts << DecodeText(bytes);
        for (const QString& text : texts) {
            try {
                Check(RecipeFromPlainText(text));
            } catch (const EImportError&) {
            }
        }
#endif
    } catch (const EImportError&) {
    }
    return 0;
}
