#pragma once
// Imports recipe files into the book in one transaction: a cancel or a failure
// of the book leaves it exactly as it was. A file that cannot be read is
// reported and leaves nothing behind; the rest still comes in.

#include "ImportFormats.h"

class TADOConnection;

enum class TDuplicateAnswer { Skip, Overwrite, KeepBoth };
struct TDuplicateChoice {
    TDuplicateAnswer Answer = TDuplicateAnswer::Skip;
    bool ForAll = false; // "以后都这样"
};
// Asked when a dish name is already in the book.
using TDuplicateQuestion = std::function<TDuplicateChoice(const QString& name)>;
// Called often; return false to cancel the whole import.
using TImportProgress = std::function<bool(int fileIndex, int fileCount, int recipesSoFar)>;

MYCOOK_DECLARE_EXCEPTION(EImportCancelled, Exception)

struct TImportSummary {
    int Imported = 0;
    int Overwritten = 0;
    int Skipped = 0;
    int FailedFiles = 0;
    int Empty = 0;       // of those imported or overwritten: a name without ingredients or steps
    QStringList Details; // one line per file and recipe
    QString CountsText() const;
};

// Reads one source of an import into the sink; keepGoing() false means the cook
// cancelled. The default reads files and folders (ReadRecipeFile); lib/net's also
// fetches web addresses.
using TSourceReader =
    std::function<void(const QString& source, const TRecipeSink& sink, TImportBudget& budget,
                       const std::function<bool()>& keepGoing)>;

// Raises EImportCancelled (book unchanged) or the book's own error (book unchanged).
TImportSummary ImportRecipeFiles(TADOConnection& connection, const QStringList& files,
                                 const TDuplicateQuestion& ask,
                                 const TImportProgress& progress = {},
                                 const TSourceReader& reader = {});
// The dish name with "（2）", "（3）"... that is not yet in the book, within 30 characters.
QString KeepBothName(const QString& name, const std::function<bool(const QString&)>& taken);
