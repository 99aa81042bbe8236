#pragma once
// Imports recipe files into the book in one transaction: a cancel or a failure
// of the book leaves it exactly as it was. A file that cannot be read is
// reported and leaves nothing behind; the rest still comes in.

#include "ImportTypes.h"

class TADOConnection;

enum class TImportFormat {
    Unknown,
    Html,
    MealMaster,
    Paprika,
    Gourmet,
    RecipeMl,
    RecipeZip,
    PlainText
};
// By extension, and by content where the extension does not say.
TImportFormat FormatOfFile(const QString& path);
// Reads a file of any known format; raises EImportError naming the problem.
void ReadRecipeFile(const QString& path, const TRecipeSink& sink);
// The same, its archives counted against one import's budget.
class TImportBudget;
void ReadRecipeFile(const QString& path, const TRecipeSink& sink, TImportBudget& budget);
// The open dialog's filter ("所有菜谱文件|*.mmf;...|MealMaster|*.mmf;..."), from the
// same table that tells formats by their names.
QString ImportDialogFilter();

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

// Raises EImportCancelled (book unchanged) or the book's own error (book unchanged).
TImportSummary ImportRecipeFiles(TADOConnection& connection, const QStringList& files,
                                 const TDuplicateQuestion& ask,
                                 const TImportProgress& progress = {});
// The dish name with "（2）", "（3）"... that is not yet in the book, within 30 characters.
QString KeepBothName(const QString& name, const std::function<bool(const QString&)>& taken);
