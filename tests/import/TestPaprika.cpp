// Paprika's files as Paprika writes them: one recipe (.paprikarecipe), its export
// (.paprikarecipes), and that export zipped again on a Mac.
#include "Archive.h"
#include "ArchiveFormats.h"
#include "ImportTestUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {
// One recipe with the keys Paprika writes, line breaks of both kinds and the photo inside.
QByteArray PaprikaJson(const QString& name, const QByteArray& photo) {
    QJsonObject o{
        {"uid", "5D7F0B1C-3A8E-4C55-9B0E-7A1F2E9C4D11"},
        {"name", name + QStringLiteral("\n")},
        {"directions",
         QStringLiteral("和面，醒半小时。\u2028擀皮，包馅。\n\n水开下锅，浮起即熟。")},
        {"ingredients", QStringLiteral("面粉 500克\n猪肉馅 300克\u2028韭菜 一把")},
        {"notes", QStringLiteral("蘸醋吃。")},
        {"servings", QStringLiteral("4 人份")},
        {"source", QStringLiteral("外婆")},
        {"source_url", QStringLiteral("https://jiaozi.example.cn")},
        {"categories", QJsonArray{QStringLiteral("面食"), QStringLiteral("年夜饭")}},
        {"prep_time", QStringLiteral("50 mins")},
        {"cook_time", QStringLiteral("10 mins")},
        {"total_time", QStringLiteral("1 hr")},
        {"rating", 5},
        {"difficulty", QStringLiteral("Medium")},
        {"created", QStringLiteral("2023-01-12 18:22:10")},
        {"image_url", QStringLiteral("https://jiaozi.example.cn/jiaozi.jpg")},
        {"photo", QStringLiteral("8C2D6D0E-2F7B-4B8A-A3F4-0E0B5C9D1A22.jpg")},
        {"photo_hash",
         QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855")},
        {"photo_large", QJsonValue()},
        {"photos", QJsonArray{}},
        {"hash",
         QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08")},
        {"description", QString()},
        {"nutritional_info", QString()},
        {"scale", QJsonValue()},
        {"photo_data", QString::fromLatin1(photo.toBase64())},
    };
    return Gzip(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void WriteZip(const QString& path, const std::vector<std::pair<QString, QByteArray>>& entries) {
    TZipWriter zip(path);
    for (const auto& [name, bytes] : entries)
        zip.Add(name, bytes);
    zip.Commit();
}

// An AppleDouble file as a Mac puts beside each file it zips.
const QByteArray AppleDouble = QByteArray("\x00\x05\x16\x07\x00\x02\x00\x00Mac OS X        ", 24);

TEST(Paprika, SingleRecipesExportsAndMacZipsByWhatTheyHold) {
    QTemporaryDir dir;
    const QByteArray jpeg = FixtureBytes("dish.jpg");
    const QByteArray jiaozi = PaprikaJson(QStringLiteral("饺子"), jpeg);
    const QByteArray soup = PaprikaJson(QStringLiteral("番茄蛋汤"), FixtureBytes("green.png"));
    const QString single = dir.filePath(QStringLiteral("饺子.paprikarecipe"));
    WriteFile(single, jiaozi);
    const std::vector<std::pair<QString, QByteArray>> macEntries = {
        {QStringLiteral("Paprika Export/饺子.paprikarecipe"), jiaozi},
        {QStringLiteral("__MACOSX/Paprika Export/._饺子.paprikarecipe"), AppleDouble},
        {QStringLiteral("Paprika Export/.DS_Store"), QByteArray("\0\0\0\1Bud1", 8)},
        {QStringLiteral("Paprika Export/番茄蛋汤.paprikarecipe"), soup},
        {QStringLiteral("__MACOSX/Paprika Export/._番茄蛋汤.paprikarecipe"), AppleDouble},
    };
    const QString macZip = dir.filePath(QStringLiteral("Paprika Export.zip"));
    WriteZip(macZip, macEntries);
    const QString macExport = dir.filePath(QStringLiteral("All.paprikarecipes"));
    WriteZip(macExport, macEntries);
    // Named as nothing in particular: the gzip inside tells.
    const QString unnamed = dir.filePath(QStringLiteral("shared-recipe"));
    WriteFile(unnamed, jiaozi);

    const struct {
        QString Path;
        QStringList Names;
    } cases[] = {
        {single, {QStringLiteral("饺子")}},
        {macZip, {QStringLiteral("饺子"), QStringLiteral("番茄蛋汤")}},
        {macExport, {QStringLiteral("饺子"), QStringLiteral("番茄蛋汤")}},
        {unnamed, {QStringLiteral("饺子")}},
    };
    for (const auto& c : cases) {
        std::vector<TImportedRecipe> recipes;
        try {
            recipes = ReadAllRecipes(c.Path);
        } catch (const EImportError& e) {
            ADD_FAILURE() << c.Path.toStdString() << ": " << e.what();
            continue;
        }
        QStringList names;
        for (const TImportedRecipe& r : recipes)
            names << r.Name;
        EXPECT_EQ(names, c.Names) << c.Path.toStdString();
        if (recipes.empty())
            continue;
        const TImportedRecipe& r = recipes[0];
        EXPECT_EQ(LineTexts(r.Ingredients),
                  (QStringList{"面粉 500克", "猪肉馅 300克", "韭菜 一把"}));
        EXPECT_EQ(LineTexts(r.Steps),
                  (QStringList{"和面，醒半小时。", "擀皮，包馅。", "水开下锅，浮起即熟。"}));
        EXPECT_EQ(r.Yield, QStringLiteral("4 人份"));
        EXPECT_EQ(r.PrepTime, QStringLiteral("50 mins"));
        EXPECT_EQ(r.Source, QStringLiteral("https://jiaozi.example.cn"));
        EXPECT_EQ(r.Categories, (QStringList{"面食", "年夜饭"}));
        EXPECT_EQ(r.Picture, jpeg) << c.Path.toStdString();
    }
}

// A Mac's leftovers are never read as recipes, whatever the reader.
TEST(Paprika, LeftoversOfOtherSystemsAreSkipped) {
    const std::pair<const char*, bool> cases[] = {
        {"__MACOSX/a/._x.paprikarecipe", true},
        {"a/__MACOSX/x.paprikarecipe", true},
        {"a/._recipe.json", true},
        {".DS_Store", true},
        {"a/.DS_Store", true},
        {"a/x.paprikarecipe", false},
        {"a/recipe.json", false},
        {"__MACOSXtra/recipe.json", false},
        {"a/_x.paprikarecipe", false},
    };
    for (const auto& [path, leftover] : cases)
        EXPECT_EQ(IsArchiveLeftover(QString::fromUtf8(path)), leftover) << path;
}

TEST(Paprika, TheOpenDialogOffersEveryKindItReads) {
    const QString filter = ImportDialogFilter();
    const QStringList parts = filter.split(u'|');
    ASSERT_EQ(parts.size() % 2, 0) << filter.toStdString();
    const QString all = parts[1];
    for (const char* pattern : {"*.paprikarecipe", "*.paprikarecipes", "*.mmf", "*.zip", "*.mht",
                                "*.grmt", "*.xml", "*.html"}) {
        EXPECT_TRUE(all.split(u';').contains(QLatin1String(pattern))) << pattern;
    }
    EXPECT_TRUE(filter.contains(QStringLiteral("Paprika|*.paprikarecipes;*.paprikarecipe")))
        << filter.toStdString();
    // Every pattern offered is one the import reads by its name.
    for (const QString& pattern : all.split(u';')) {
        const QString file = QStringLiteral("/nowhere/x") + pattern.mid(1);
        if (pattern != u"*.txt" && pattern != u"*.zip") {
            EXPECT_NE(FormatOfFile(file), TImportFormat::Unknown) << pattern.toStdString();
        }
    }
}
} // namespace
