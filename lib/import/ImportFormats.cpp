#include "ImportFormats.h"

#include "ArchiveFormats.h"
#include "FileErrors.h"
#include "HtmlRecipe.h"
#include "ImportBudget.h"
#include "MealMaster.h"
#include "PlainTextRecipe.h"
#include "RecipeFolder.h"
#include "XmlFormats.h"

#include <QFile>
#include <QFileInfo>

namespace {
constexpr qsizetype HeadBytes = 64 * 1024;

bool IsZip(const QByteArray& head) {
    return head.startsWith("PK");
}

bool HasTag(const QByteArray& head, const char* tag) {
    return head.toLower().contains(tag);
}

void ReadPage(const QString& path, const TRecipeSink& sink, TImportBudget&) {
    for (TImportedRecipe& r : RecipesFromPageFile(path))
        sink(std::move(r));
}

// Test content in this order: archives first, then markup, MealMaster's banner last.
// A plain array: the suffix lists live as long as their rows only so.
const TImportFormatRow Rows[] = {
    {TImportFormat::Paprika,
     "Paprika",
     {{"paprikarecipes"}, {"paprikarecipe"}},
     [](const QByteArray& head, const QString& path) {
         // Paprika's export zipped again is no recipe folder.
         return head.startsWith("\x1F\x8B") ||
                (IsZip(head) && ZipContent(path) == TZipContent::Paprika);
     },
     [](const QString& path, const TRecipeSink& sink, TImportBudget& budget) {
         ReadPaprika(path, sink, budget);
     },
     false},
    {TImportFormat::RecipeZip,
     "菜谱包（recipe.json）",
     {{"zip", false}, {"json"}},
     [](const QByteArray& head, const QString&) { return IsZip(head); },
     [](const QString& path, const TRecipeSink& sink, TImportBudget& budget) {
         if (QFileInfo(path).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0)
             ReadRecipeJsonFile(path, sink); // a bare recipe.json is a recipe folder's file
         else
             ReadNextcloudZip(path, sink, budget);
     },
     false},
    {TImportFormat::Gourmet,
     "Gourmet",
     {{"grmt"}, {"xml", false}},
     [](const QByteArray& head, const QString&) {
         return XmlRootName(head) == u"gourmetDoc" || HasTag(head, "<gourmetdoc");
     },
     [](const QString& path, const TRecipeSink& sink, TImportBudget&) {
         ReadXmlRecipeFile(path, sink);
     },
     false},
    {TImportFormat::RecipeMl,
     "RecipeML",
     {{"xml", false}},
     [](const QByteArray& head, const QString&) { return HasTag(head, "<recipeml"); },
     [](const QString& path, const TRecipeSink& sink, TImportBudget&) {
         ReadXmlRecipeFile(path, sink);
     },
     false},
    {TImportFormat::Html,
     "网页",
     {{"html"}, {"htm"}, {"xhtml"}, {"mhtml"}, {"mht"}},
     [](const QByteArray& head, const QString&) {
         return HasTag(head, "<html") || HasTag(head, "<!doctype html");
     },
     ReadPage,
     true},
    {TImportFormat::MealMaster,
     "MealMaster",
     {{"mmf"}, {"mm"}, {"txt", false}},
     [](const QByteArray& head, const QString&) { return LooksLikeMealMaster(head); },
     [](const QString& path, const TRecipeSink& sink, TImportBudget&) {
         ReadMealMasterFile(path, sink);
     },
     false},
    // After MealMaster and never by content: a .txt no other format claims is a
    // recipe as a cook wrote it.
    {TImportFormat::PlainText,
     "文本菜谱",
     {{"txt", false}},
     [](const QByteArray&, const QString&) { return false; },
     [](const QString& path, const TRecipeSink& sink, TImportBudget&) {
         ReadPlainTextFile(path, sink);
     },
     false},
};

QByteArray Head(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(HeadBytes) : QByteArray();
}
} // namespace

std::span<const TImportFormatRow> ImportFormats() {
    return Rows;
}

const TImportFormatRow* ImportFormatRow(TImportFormat format) {
    for (const TImportFormatRow& row : Rows)
        if (row.Format == format)
            return &row;
    return nullptr;
}

TImportFormat FormatOfFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    TImportFormat fallback = TImportFormat::Unknown;
    for (const TImportFormatRow& row : Rows)
        for (const TFormatSuffix& s : row.Suffixes)
            if (suffix == QLatin1String(s.Name)) {
                if (s.Decides)
                    return row.Format;
                fallback = row.Format; // the last row naming it reads most leniently
            }
    const QByteArray head = Head(path);
    if (!head.isEmpty())
        for (const TImportFormatRow& row : Rows)
            if (row.Sniff(head, path))
                return row.Format;
    return fallback;
}

bool IsEntryPageFileName(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    for (const TImportFormatRow& row : Rows)
        if (row.EntryPage)
            for (const TFormatSuffix& s : row.Suffixes)
                if (suffix == QLatin1String(s.Name))
                    return true;
    return false;
}

void ReadRecipeFile(const QString& path, const TRecipeSink& sink, TImportBudget& budget) {
    if (QFileInfo(path).isDir()) {
        ReadRecipeFolder(path, sink);
        return;
    }
    CheckRegularFile(path);
    if (const TImportFormatRow* row = ImportFormatRow(FormatOfFile(path))) {
        row->Read(path, sink, budget);
        return;
    }
    throw EImportError(QStringLiteral("不认识的文件格式"));
}

void ReadRecipeFile(const QString& path, const TRecipeSink& sink) {
    TImportBudget budget;
    ReadRecipeFile(path, sink, budget);
}

QString ImportDialogFilter() {
    QStringList all;
    QStringList kinds;
    for (const TImportFormatRow& row : Rows) {
        QStringList patterns;
        for (const TFormatSuffix& s : row.Suffixes) {
            const QString pattern = QStringLiteral("*.") + QLatin1String(s.Name);
            patterns << pattern;
            if (!all.contains(pattern))
                all << pattern;
        }
        kinds << QString::fromUtf8(row.Title) + u'|' + patterns.join(u';');
    }
    return QStringLiteral("所有菜谱文件|") + all.join(u';') + u'|' + kinds.join(u'|');
}

QString ImportFormatsText() {
    QStringList kinds;
    for (const TImportFormatRow& row : Rows) {
        QStringList suffixes;
        for (const TFormatSuffix& s : row.Suffixes)
            suffixes << QStringLiteral(".") + QLatin1String(s.Name);
        kinds << QString::fromUtf8(row.Title) + QStringLiteral("（") + suffixes.join(u' ') +
                     QStringLiteral("）");
    }
    return kinds.join(QStringLiteral("、"));
}
