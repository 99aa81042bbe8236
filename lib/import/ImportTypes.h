#pragma once
// A recipe as the importers read it from another program or a web page, before
// it is fitted into the book's four columns.

#include "Recipe.h"
#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// A file that cannot be read as a recipe file; the text names the file and,
// where known, the line.
MYCOOK_DECLARE_EXCEPTION(EImportError, Exception)

// Bounds on hostile input.
inline constexpr qint64 MaxImportFileBytes = 64LL * 1024 * 1024;   // one text file
inline constexpr qint64 MaxArchiveEntryBytes = 64LL * 1024 * 1024; // one member, unpacked
inline constexpr int MaxArchiveEntries = 200'000;
inline constexpr int MaxRecipesPerFile = 200'000;
inline constexpr int MaxJsonDepth = 64;
inline constexpr qint64 MaxImportPictureBytes = 32LL * 1024 * 1024;

// A picture beside the first one, as found.
struct TImportedPicture {
    QByteArray Bytes;
    int Step = 0; // the step (from 1, headings not counted) it belongs to; 0: the dish
    QString Caption;
    QString Origin;
};

struct TImportedRecipe {
    QString Name;
    std::vector<TRecipeLine> Ingredients;
    std::vector<TRecipeLine> Steps;
    QString Description;
    QString Notes;
    QString Yield;
    QString PrepTime;
    QString CookTime;
    QString TotalTime;
    QString Source;         // an address or a name
    QStringList Categories; // categories and cuisines
    QStringList Keywords;
    bool Favourite = false;
    QDateTime Added; // when the source says
    QDateTime Changed;
    QByteArray Picture;     // the picture file's bytes as found, any kind: the cover
    QString PictureOrigin;  // where they came from, for the report
    QString PictureProblem; // why a named picture was left out, as a whole phrase
    bool TextCut = false;   // a text was cut to the bound on one recipe's text
    std::vector<TImportedPicture> Pictures; // further pictures, in order
    // The book's own texts, when the file is this program's export.
    std::optional<TRecipeColumns> Exact;
    bool StepsExact = false; // Steps are the book's own, numbers and all
};

// Receives each recipe as a parser finds it.
using TRecipeSink = std::function<void(TImportedRecipe&&)>;
