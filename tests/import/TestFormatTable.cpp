// The one table of formats: what a file is taken for by its name and content, what
// the entry page takes, and that the dialog, the help and detection agree.
#include "ImportFormats.h"
#include "ImportTestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString FixturePath(const char* name) {
    return QStringLiteral(MYCOOK_IMPORT_FIXTURES "/") + QString::fromUtf8(name);
}

QByteArray FixtureBytes(const char* name) {
    QFile f(FixturePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(FormatTable, NameThenContentDecides) {
    QTemporaryDir dir;
    const QByteArray html = FixtureBytes("hongshao.html");
    const QByteArray mealMaster = FixtureBytes("mastercook-export.mmf");
    const QByteArray zip = FixtureBytes("nextcloud.zip");
    const struct {
        const char* Name;
        QByteArray Bytes;
        TImportFormat Format;
    } cases[] = {
        {"page.xhtml", html, TImportFormat::Html},
        {"PAGE.HTM", html, TImportFormat::Html},
        {"page.mht", "MIME-Version: 1.0", TImportFormat::Html}, // the name decides
        {"saved-as.txt", html, TImportFormat::Html},
        {"no-suffix", html, TImportFormat::Html},
        {"recipes.txt", mealMaster, TImportFormat::MealMaster},
        {"recipes", mealMaster, TImportFormat::MealMaster},
        {"recipes.mmf", "anything", TImportFormat::MealMaster},
        // A .txt no other format claims is a recipe as a cook wrote it; without the
        // suffix, words alone are no format.
        {"chat.txt", "红烧肉\n用料：五花肉、冰糖\n做法：\n1. 切块\n", TImportFormat::PlainText},
        {"chat", "红烧肉\n用料：五花肉、冰糖\n做法：\n1. 切块\n", TImportFormat::Unknown},
        {"gourmet.xml", FixtureBytes("pies-backup.grmt"), TImportFormat::Gourmet},
        {"cakes.xml", FixtureBytes("biscuits-recipeml.xml"), TImportFormat::RecipeMl},
        {"other.xml", "<?xml version=\"1.0\"?><menu/>", TImportFormat::RecipeMl},
        {"kitchen.zip", FixtureBytes("kitchen.paprikarecipes"), TImportFormat::Paprika},
        {"book.zip", zip, TImportFormat::RecipeZip},
        {"book-without-suffix", zip, TImportFormat::RecipeZip},
        {"recipe.json", "{}", TImportFormat::RecipeZip},
        {"notes.doc", "just words", TImportFormat::Unknown},
        {"empty", "", TImportFormat::Unknown},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.Name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.Bytes);
        f.close();
        EXPECT_EQ(FormatOfFile(path), c.Format) << c.Name;
    }
}

TEST(FormatTable, TheEntryPageTakesEveryPageSuffixTheImportReads) {
    const struct {
        const char* Name;
        bool Taken;
    } cases[] = {
        {"a.html", true}, {"a.HTM", true},  {"a.xhtml", true}, {"a.mhtml", true}, {"a.mht", true},
        {"a.mmf", false}, {"a.jpg", false}, {"a.zip", false},  {"html", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsEntryPageFileName(QString::fromUtf8(c.Name)), c.Taken) << c.Name;
    // Whatever the entry page takes, detection reads as a page.
    for (const TImportFormatRow& row : ImportFormats())
        if (row.EntryPage)
            for (const TFormatSuffix& s : row.Suffixes)
                EXPECT_EQ(FormatOfFile(QStringLiteral("/nowhere/x.") + QLatin1String(s.Name)),
                          row.Format)
                    << s.Name;
}

TEST(FormatTable, TheHelpAndTheDialogNameEverySuffix) {
    const QString help = ImportFormatsText();
    const QString filter = ImportDialogFilter();
    for (const TImportFormatRow& row : ImportFormats())
        for (const TFormatSuffix& s : row.Suffixes) {
            EXPECT_TRUE(help.contains(QStringLiteral(".") + QLatin1String(s.Name))) << s.Name;
            EXPECT_TRUE(filter.contains(QStringLiteral("*.") + QLatin1String(s.Name))) << s.Name;
        }
}
} // namespace
