#pragma once
// Every kind of file the import reads, in one table: its name in the open dialog,
// the suffixes it goes by, how its content is told, and its reader. The dialog's
// filter, the entry page's drop test, the command line's help and the detection
// all come from it; a new format is one row and one reader.

#include "ImportTypes.h"

#include <span>

class TImportBudget;

enum class TImportFormat {
    Unknown,
    Html,
    MealMaster,
    Paprika,
    Gourmet,
    RecipeMl,
    RecipeZip,
    PlainText,
};

struct TFormatSuffix {
    const char* Name;
    // The name alone decides; otherwise the content is looked at first and this
    // format is taken only when no format claims the content.
    bool Decides = true;
};

struct TImportFormatRow {
    TImportFormat Format;
    const char* Title; // as the open dialog lists it
    std::initializer_list<TFormatSuffix> Suffixes;
    // Whether the first bytes (or the file at path, for an archive) are this format.
    bool (*Sniff)(const QByteArray& head, const QString& path);
    void (*Read)(const QString& path, const TRecipeSink& sink, TImportBudget& budget);
    bool EntryPage; // a file of it dropped onto the entry page fills the page
};

// The rows, in the order their content tests are tried.
std::span<const TImportFormatRow> ImportFormats();
const TImportFormatRow* ImportFormatRow(TImportFormat format);

// By a suffix that decides, else by content, else by a suffix that does not.
TImportFormat FormatOfFile(const QString& path);
// Whether a file of this name, dropped onto the entry page, fills it.
bool IsEntryPageFileName(const QString& name);
// Reads a file of any known format (or a folder of recipe folders); raises
// EImportError naming the problem.
void ReadRecipeFile(const QString& path, const TRecipeSink& sink);
// The same, its archives counted against one import's budget.
void ReadRecipeFile(const QString& path, const TRecipeSink& sink, TImportBudget& budget);
// The open dialog's filter ("所有菜谱文件|*.mmf;...|MealMaster|*.mmf;...").
QString ImportDialogFilter();
// The formats as a line of help ("MealMaster（.mmf .mm .txt）、…").
QString ImportFormatsText();
