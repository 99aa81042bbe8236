// The whole recipe beside the designed row: our own tables, how the designed save
// and delete keep them true, the daily copy, and every field through import and
// the export read back by us and by a plain JSON reader.
#include "Archive.h"
#include "ArchiveDirectory.h"
#include "BookBackup.h"
#include "BookExport.h"
#include "BookTestUtil.h"
#include "ImportBudget.h"
#include "ImportTestUtil.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "SchemaRecipe.h"

#include "../common/RawBook.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

namespace {} // namespace
inline void PrintTo(const TRecipePicture& p, std::ostream* os) {
    *os << "{" << p.Jpeg.size() << " bytes ending " << int(p.Jpeg.isEmpty() ? 0 : p.Jpeg.back())
        << ", step " << p.Step << ", \"" << p.Caption.toStdString() << "\"}";
}
inline void PrintTo(const TRecipe& r, std::ostream* os) {
    *os << r.Name.toStdString();
}
namespace {
QByteArray JpegFixture(char tail) {
    QByteArray bytes = FixtureBytes("dish.jpg");
    bytes.append(tail); // every picture its own bytes
    return bytes;
}

TRecipe FullRecipe(const QString& name) {
    TRecipe r;
    r.Name = name;
    r.Ingredients = QStringLiteral("五花肉 500克\n") + QString(300, u'盐');
    r.Steps = {{QStringLiteral("腌制"), true},
               {QStringLiteral("切条"), false, QStringLiteral("切")},
               {QStringLiteral("腌一夜")},
               {QStringLiteral("烤四十五分钟")}};
    r.Note = QStringLiteral("甜咸适口。");
    r.Categories = {QStringLiteral("粤菜"), QStringLiteral("家常菜")};
    r.Keywords = {QStringLiteral("chashao")};
    r.Servings = 4;
    r.ServingsUnit = QStringLiteral("人份");
    r.PrepTime = QStringLiteral("PT15M");
    r.CookTime = QStringLiteral("约一小时");
    r.TotalTime = QStringLiteral("PT1H15M");
    r.Source = QStringLiteral("https://cook.example.cn/chashao");
    r.Favourite = true;
    r.Added = QDateTime(QDate(2024, 3, 1), QTime(8, 0), QTimeZone::utc());
    r.Changed = QDateTime(QDate(2024, 3, 2), QTime(9, 30), QTimeZone::utc());
    r.Cover = JpegFixture('c');
    r.Pictures = {{JpegFixture('1'), 1, QStringLiteral("切好的肉")},
                  {JpegFixture('3'), 3, QString()},
                  {JpegFixture('p'), 0, QStringLiteral("装盘")}};
    r.Columns = ColumnsFor(r);
    return r;
}

class TRecipeStoreTest : public TBookTest {
protected:
    TRecipe Stored(const QString& name) {
        TRecipe r = FullRecipe(name);
        TRecipeStore store(FConnection);
        store.Append(FQuery, r);
        return r;
    }
    qint64 Rows(const char* table, qint64 rowId) {
        TRawBook raw(FPath);
        return raw
            .Text(QStringLiteral("select count(*) from %1 where recipe = %2")
                      .arg(QLatin1String(table))
                      .arg(rowId))
            .toLongLong();
    }
    TImportSummary Import(const QStringList& files, TDuplicateChoice choice = {}) {
        TImportSummary s = ImportRecipeFiles(FConnection, files, [&](const QString&) {
            ++FAsked;
            return choice;
        });
        OpenBook();
        return s;
    }
    int FAsked = 0;
};

TEST_F(TRecipeStoreTest, ADesignedBookOpensAsItIsAndUpgradesOnFirstUse) {
    // Rows the designed save wrote, one of them by an earlier import with its
    // whole texts after the steps.
    Add(QStringLiteral("番茄炒蛋  "), QStringLiteral("番茄\n鸡蛋"), QStringLiteral("打蛋\n炒"),
        QStringLiteral("快手"));
    const QString longName =
        QStringLiteral("一道名字很长很长很长很长很长很长很长很长的菜（特别版）");
    Add(CutToFit(longName, NameColumnChars), QStringLiteral("盐"),
        QStringLiteral("1. 做\n\n【备注】\n趁热\n\n【完整菜名】\n") + longName,
        QStringLiteral("说明"));
    const qint64 oldRow = FQuery.RowId();
    EXPECT_FALSE(HasRecipeTables(FConnection));
    TRecipeStore store(FConnection);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("番茄炒蛋  ")));
    const TRecipe plain = store.Read(FQuery.RowId());
    EXPECT_EQ(plain.Name, QStringLiteral("番茄炒蛋"));
    EXPECT_EQ(plain.Steps.size(), 2u);
    EXPECT_TRUE(plain.Categories.isEmpty());
    const TRecipe old = store.Read(oldRow);
    EXPECT_EQ(old.Name, longName);
    EXPECT_EQ(old.Note, QStringLiteral("说明\n\n趁热"));
    ASSERT_EQ(old.Steps.size(), 1u);
    // Reading changed nothing: the book is still the designed one.
    EXPECT_FALSE(HasRecipeTables(FConnection));
    TRawBook raw(FPath);
    EXPECT_EQ(raw.Text(QStringLiteral("pragma user_version")), QStringLiteral("0"));

    TRecipe whole = FullRecipe(QStringLiteral("叉烧"));
    store.Append(FQuery, whole);
    EXPECT_TRUE(HasRecipeTables(FConnection));
    EXPECT_EQ(raw.Text(QStringLiteral("pragma user_version")),
              QString::number(RecipeTablesVersion));
    EnsureRecipeTables(FConnection); // again: nothing to do
    // The book still opens in the designed way, on another connection too.
    TADOConnection other;
    other.SetConnectionString(ConnectString(FPath));
    other.SetConnected(true);
    TADOQuery query(&other);
    query.SQL = QStringList{QStringLiteral("select * from mycook")};
    query.Open();
    EXPECT_EQ(query.RecordCount(), 3);
    ASSERT_TRUE(query.Locate(Name, QStringLiteral("叉烧")));
    EXPECT_EQ(query.FieldByName(Method).AsString(),
              QStringLiteral("腌制\n1. 切条\n2. 腌一夜\n3. 烤四十五分钟"));
    EXPECT_EQ(query.FieldByName(QStringLiteral("img")).AsBytes(), whole.Cover);
    TRecipeStore otherStore(other);
    EXPECT_EQ(otherStore.Read(query.RowId()), whole);
}

TEST_F(TRecipeStoreTest, TheDesignedSaveAndDeleteKeepTheExtrasTrue) {
    const TRecipe a = Stored(QStringLiteral("叉烧"));
    const TRecipe b = Stored(QStringLiteral("烧鹅"));
    TRecipeStore store(FConnection);
    // The designed overwrite: same row, the cook's new ingredients and method.
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("叉烧")));
    FQuery.Edit();
    FQuery.FieldByName(Name).SetAsString(QStringLiteral("叉烧"));
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("梅头肉"));
    FQuery.FieldByName(Method).SetAsString(QStringLiteral("烤"));
    FQuery.FieldByName(Note).SetAsString(a.Columns.Note);
    FQuery.Post();
    const TRecipe edited = store.Read(a.RowId);
    EXPECT_EQ(edited.Ingredients, QStringLiteral("梅头肉")); // the row's new text wins
    ASSERT_EQ(edited.Steps.size(), 1u);
    EXPECT_EQ(edited.Steps[0].Text, QStringLiteral("烤"));
    EXPECT_EQ(edited.Note, a.Note);
    EXPECT_EQ(edited.Categories, a.Categories);
    EXPECT_EQ(edited.Pictures, a.Pictures);
    EXPECT_EQ(edited.Cover, a.Cover);

    // The designed delete takes every extra of that recipe with it, and only those.
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("叉烧")));
    FQuery.Delete();
    for (const char* table : {"mycook_recipe", "mycook_label", "mycook_picture"}) {
        EXPECT_EQ(Rows(table, a.RowId), 0) << table;
        EXPECT_GT(Rows(table, b.RowId), 0) << table;
    }
    EXPECT_EQ(store.Read(b.RowId), b);

    // Extras left under a row that another program renumbered or renamed are not
    // taken for that row's.
    {
        TRawBook raw(FPath);
        ASSERT_EQ(raw.Run("update mycook set 菜名 = '烧鹅腿' where 菜名 = '烧鹅'"), SQLITE_OK);
    }
    const TRecipe renamed = store.Read(b.RowId);
    EXPECT_EQ(renamed.Name, QStringLiteral("烧鹅腿"));
    EXPECT_TRUE(renamed.Categories.isEmpty());
    EXPECT_TRUE(renamed.Pictures.empty());
    // A row added under a freed identity starts without extras.
    {
        TRawBook raw(FPath);
        ASSERT_EQ(raw.Run("insert into mycook_recipe(recipe, name_column, name) "
                          "values(1000, '新菜', 'stale')"),
                  SQLITE_OK);
        ASSERT_EQ(raw.Run("insert into mycook(rowid, 菜名) values(1000, '新菜')"), SQLITE_OK);
    }
    EXPECT_EQ(Rows("mycook_recipe", 1000), 0);
}

TEST_F(TRecipeStoreTest, ImportAnswersKeepEachCopysOwnExtras) {
    const QString page = Fixture("charsiu.html");
    const QString name = QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧)");
    ASSERT_EQ(Import({page}).Imported, 1);
    // 都保留: a second row with its own extras.
    TImportSummary s = Import({page}, {TDuplicateAnswer::KeepBoth, false});
    EXPECT_EQ(s.Imported, 1);
    EXPECT_EQ(FAsked, 1);
    TRecipeStore store(FConnection);
    std::vector<TRecipe> rows;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
        rows.push_back(store.Read(FQuery.RowId()));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name, name);
    EXPECT_EQ(rows[1].Name, name + QStringLiteral("（2）"));
    EXPECT_EQ(rows[1].Columns.Name.size(), NameColumnChars);
    EXPECT_TRUE(rows[1].Columns.Name.endsWith(QStringLiteral("…（2）")));
    for (const TRecipe& r : rows) {
        EXPECT_EQ(r.Pictures.size(), 2u);
        EXPECT_EQ(r.Keywords.size(), 3);
    }
    // Overwrite: the extras are the new ones, the date added stays.
    {
        TRawBook raw(FPath);
        ASSERT_EQ(raw.Run("update mycook_label set text = '旧分类' where kind = 0"), SQLITE_OK);
    }
    s = Import({page}, {TDuplicateAnswer::Overwrite, false});
    EXPECT_EQ(s.Overwritten, 1);
    const TRecipe overwritten = store.Read(rows[0].RowId);
    EXPECT_EQ(overwritten.Categories.first(), QStringLiteral("Main Course"));
    EXPECT_EQ(overwritten.Added, rows[0].Added);
    EXPECT_EQ(store.Read(rows[1].RowId).Categories.first(), QStringLiteral("旧分类"));

    // Two names alike in their first thirty characters are two recipes.
    QTemporaryDir dir;
    auto pageNamed = [&](const QString& dish) {
        const QString path = dir.filePath(dish.right(2) + QStringLiteral(".html"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("<html><script type=\"application/ld+json\">{\"@type\":\"Recipe\","
                               "\"name\":\"%1\",\"recipeIngredient\":[\"a\"]}</script></html>")
                    .arg(dish)
                    .toUtf8());
        return path;
    };
    const QString stem(29, u'汤');
    FAsked = 0;
    s = Import(
        {pageNamed(stem + QStringLiteral("甲乙")), pageNamed(stem + QStringLiteral("丙丁"))});
    EXPECT_EQ(s.Imported, 2);
    EXPECT_EQ(FAsked, 0);
    s = Import({pageNamed(stem + QStringLiteral("甲乙"))});
    EXPECT_EQ(s.Skipped, 1);
    EXPECT_EQ(FAsked, 1);
}

// Steps that 做法 cannot give back are kept as JSON beside it, written as Qt's
// compact writer writes them (its escapes, pairs whole, halves of pairs escaped),
// and read back whole.
TEST_F(TRecipeStoreTest, StepsKeptBesideTheMethodAreWrittenAsQtWritesThem) {
    const QString pair = QString::fromUcs4(U"\U0001D11E");
    const struct {
        const char* What;
        std::vector<TRecipeLine> Steps;
        bool ReadsBack; // a half pair comes back as something else
    } cases[] = {
        {"quotes and backslashes",
         {{QStringLiteral("引号\"与\\斜杠")},
          {QStringLiteral("换行\n回车\r制表\t"), false, QStringLiteral("标\"题")}},
         true},
        {"other control characters and a heading",
         {{QStringLiteral("小节"), true},
          {QStringLiteral("控制") + QChar(1) + QChar(0x1F) + QChar(8) + QChar(12) +
           QStringLiteral("字符")}},
         true},
        {"a pair and the characters JSON leaves alone",
         {{QStringLiteral("乐谱") + pair + QStringLiteral("/ </script> ") + QChar(0x2028) +
           QChar(0x7F)}},
         true},
        {"empty steps left out",
         {{QString()}, {QStringLiteral("空的跳过")}, {QString(), true}},
         true},
        {"halves of pairs",
         {{QChar(0xD834) + QStringLiteral("前半")}, {QStringLiteral("后半") + QChar(0xDD1E)}},
         false},
    };
    TRecipeStore store(FConnection);
    int n = 0;
    for (const auto& c : cases) {
        TRecipe r;
        r.Name = QStringLiteral("步骤%1").arg(++n);
        r.Steps = c.Steps;
        // A title 做法 has no place for: the steps are kept beside it.
        r.Steps.push_back({QStringLiteral("收尾"), false, QStringLiteral("装盘")});
        r.Columns = ColumnsFor(r);
        store.Append(FQuery, r);
        QJsonArray expected;
        std::vector<TRecipeLine> kept;
        for (const TRecipeLine& step : r.Steps) {
            if (step.Text.isEmpty())
                continue;
            kept.push_back(step);
            QJsonObject o{{QStringLiteral("text"), step.Text}};
            if (step.Heading)
                o.insert(QStringLiteral("heading"), true);
            if (!step.Title.isEmpty())
                o.insert(QStringLiteral("title"), step.Title);
            expected.append(o);
        }
        {
            TRawBook raw(FPath);
            EXPECT_EQ(raw.Texts(QStringLiteral("select steps from mycook_recipe where recipe = %1")
                                    .arg(r.RowId))
                          .value(0),
                      QString::fromUtf8(QJsonDocument(expected).toJson(QJsonDocument::Compact)))
                << c.What;
        }
        if (c.ReadsBack)
            EXPECT_EQ(store.Read(r.RowId).Steps, kept) << c.What;
    }
}

TEST_F(TRecipeStoreTest, TheDailyCopyHoldsTheExtras) {
    const TRecipe a = Stored(QStringLiteral("叉烧"));
    const QDate today(2026, 1, 5);
    const TBackupOutcome outcome = MakeDailyBackup(FPath, today);
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    TADOConnection copy;
    copy.SetConnectionString(ConnectString(outcome.File));
    copy.SetConnected(true);
    TRecipeStore store(copy);
    EXPECT_EQ(store.Read(a.RowId), a);
}

TEST_F(TRecipeStoreTest, ASchemaPageComesInWithEveryField) {
    ASSERT_EQ(Import({Fixture("charsiu.html")}).Imported, 1);
    FQuery.First();
    const TRecipe r = TRecipeStore(FConnection).Read(FQuery.RowId());
    EXPECT_EQ(r.Name, QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧)"));
    EXPECT_EQ(r.Columns.Name, CutToFit(r.Name, NameColumnChars));
    EXPECT_FALSE(r.Columns.Method.contains(u'【'));
    EXPECT_EQ(r.Columns.Note, QStringLiteral("Sticky, sweet and savoury & roasted in the oven."));
    EXPECT_EQ(r.Categories, (QStringList{"Main Course", "Dinner", "Chinese"}));
    EXPECT_EQ(r.Keywords, (QStringList{"char siu", "chashao", "叉烧"}));
    EXPECT_EQ(r.Servings, 4);
    EXPECT_EQ(r.ServingsUnit, QStringLiteral("servings"));
    EXPECT_EQ(r.PrepTime, QStringLiteral("PT15M"));
    EXPECT_EQ(r.CookTime, QStringLiteral("PT45M"));
    EXPECT_EQ(r.TotalTime, QStringLiteral("PT1H"));
    EXPECT_EQ(r.Source, QStringLiteral("https://cook.example.com/char-siu/"));
    ASSERT_EQ(r.Steps.size(), 3u);
    EXPECT_EQ(r.Cover, FixtureBytes("charsiu_files/charsiu-cover.jpg"));
    ASSERT_EQ(r.Pictures.size(), 2u);
    EXPECT_EQ(r.Pictures[0],
              (TRecipePicture{FixtureBytes("charsiu_files/charsiu-step-1.jpg"), 1, {}}));
    EXPECT_EQ(r.Pictures[1],
              (TRecipePicture{FixtureBytes("charsiu_files/charsiu-step-3.jpg"), 3, "Basting"}));
}

TEST_F(TRecipeStoreTest, PaprikaAndGourmetComeInWithEveryField) {
    QTemporaryDir dir;
    const QString paprika = dir.filePath(QStringLiteral("export.paprikarecipes"));
    {
        QJsonObject o{{"name", "Pad Thai\n"},
                      {"ingredients", "200 g rice noodles\n2 eggs"},
                      {"directions", "Soak the noodles.\nFry everything."},
                      {"notes", "Use tamarind."},
                      {"description", "Street food."},
                      {"servings", "2 plates"},
                      {"prep_time", "15 mins"},
                      {"cook_time", "10 minutes"},
                      {"total_time", "25 min"},
                      {"source", "Thai Kitchen"},
                      {"source_url", "https://thai.example.com/padthai"},
                      {"categories", QJsonArray{"Thai", "Noodles"}},
                      {"rating", 5},
                      {"created", "2022-05-01 10:00:00"},
                      {"photo_data", QString::fromLatin1(JpegFixture('a').toBase64())},
                      {"photos", QJsonArray{QJsonObject{
                                     {"filename", "plated.jpg"},
                                     {"name", "plated"},
                                     {"data", QString::fromLatin1(JpegFixture('b').toBase64())}}}}};
        TZipWriter zip(paprika);
        zip.Add(QStringLiteral("Pad Thai.paprikarecipe"), Gzip(QJsonDocument(o).toJson()));
        zip.Commit();
    }
    const QString gourmet = dir.filePath(QStringLiteral("backup.grmt"));
    {
        QFile f(gourmet);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gourmetDoc>\n<recipe id=\"7\">\n"
                "<title>Scones</title>\n<category>Baking</category>\n<cuisine>British</cuisine>\n"
                "<source>Gran</source>\n<yields>8 scones</yields>\n<preptime>20 min</preptime>\n"
                "<cooktime>12 min</cooktime>\n<rating>4/5 stars</rating>\n<image format=\"jpeg\">"
                "<![CDATA[" +
                JpegFixture('g').toBase64() +
                "]]></image>\n"
                "<ingredient-list>\n<ingredient><amount>2</amount><unit>cups</unit>"
                "<item>flour</item></ingredient>\n</ingredient-list>\n"
                "<instructions>Rub in the butter.\nBake.</instructions>\n</recipe>\n"
                "<recipe id=\"8\"><title>Toast</title><rating>3/5 stars</rating>"
                "<instructions>Toast it.</instructions></recipe>\n</gourmetDoc>\n");
    }
    ASSERT_EQ(Import({paprika, gourmet}).Imported, 3);
    TRecipeStore store(FConnection);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("Pad Thai")));
    const TRecipe pad = store.Read(FQuery.RowId());
    EXPECT_EQ(pad.Categories, (QStringList{"Thai", "Noodles"}));
    EXPECT_EQ(pad.Servings, 2);
    EXPECT_EQ(pad.ServingsUnit, QStringLiteral("plates"));
    EXPECT_EQ(pad.PrepTime, QStringLiteral("PT15M"));
    EXPECT_EQ(pad.CookTime, QStringLiteral("PT10M"));
    EXPECT_EQ(pad.TotalTime, QStringLiteral("PT25M"));
    EXPECT_EQ(pad.Source, QStringLiteral("https://thai.example.com/padthai"));
    EXPECT_TRUE(pad.Favourite);
    EXPECT_EQ(pad.Added, QDateTime(QDate(2022, 5, 1), QTime(10, 0)).toUTC());
    EXPECT_EQ(pad.Note, QStringLiteral("Street food.\n\nUse tamarind."));
    EXPECT_EQ(pad.Steps.size(), 2u);
    EXPECT_EQ(pad.Cover, JpegFixture('a'));
    ASSERT_EQ(pad.Pictures.size(), 1u);
    EXPECT_EQ(pad.Pictures[0], (TRecipePicture{JpegFixture('b'), 0, QStringLiteral("plated")}));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("Scones")));
    const TRecipe scones = store.Read(FQuery.RowId());
    EXPECT_EQ(scones.Categories, (QStringList{"Baking", "British"}));
    EXPECT_EQ(scones.Servings, 8);
    EXPECT_EQ(scones.ServingsUnit, QStringLiteral("scones"));
    EXPECT_EQ(scones.PrepTime, QStringLiteral("PT20M"));
    EXPECT_EQ(scones.CookTime, QStringLiteral("PT12M"));
    EXPECT_TRUE(scones.Favourite);
    EXPECT_EQ(scones.Source, QStringLiteral("Gran"));
    EXPECT_EQ(scones.Cover, JpegFixture('g'));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("Toast")));
    EXPECT_FALSE(store.Read(FQuery.RowId()).Favourite); // three stars of five
}

class TExportTest : public TRecipeStoreTest {
protected:
    // A book of every kind of recipe: designed rows (one from an earlier import with
    // its 【完整…】 blocks), whole recipes, imports from a page.
    std::vector<TRecipe> FillBook() {
        Add(QStringLiteral("番茄炒蛋"), QStringLiteral("番茄\n\n  鸡蛋 "),
            QStringLiteral("1、打蛋\n炒  两下\n"), QStringLiteral("快手"));
        const QString longName = QString(35, u'长') + QStringLiteral("面");
        Add(CutToFit(longName, NameColumnChars), CutToFit(QString(300, u'料'), 255),
            QStringLiteral("准备\n1. 和面\n2. 拉面\n\n【完整菜名】\n") + longName +
                QStringLiteral("\n\n【完整配料】\n") + QString(300, u'料'),
            QStringLiteral("说明"));
        Stored(QStringLiteral("叉烧"));
        Stored(QStringLiteral("CON."));
        TRecipe bare;
        bare.Name = QStringLiteral("白饭");
        bare.Steps = {{QStringLiteral("煮")}};
        bare.Columns = ColumnsFor(bare);
        TRecipeStore(FConnection).Append(FQuery, bare);
        EXPECT_EQ(Import({Fixture("charsiu.html")}).Imported, 1);
        std::vector<TRecipe> all;
        TRecipeStore store(FConnection);
        for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
            all.push_back(store.Read(FQuery.RowId()));
        return all;
    }
    // Every recipe a new book holds after importing `source`, in the book's order.
    static std::vector<TRecipe> ImportIntoNewBook(const QString& source, int& imported) {
        QTemporaryDir other;
        TADOConnection connection;
        const QString book = other.filePath(QStringLiteral("cook.mdb"));
        CreateDatabaseFile(CreationString(book));
        connection.SetConnectionString(ConnectString(book));
        connection.SetConnected(true);
        TADOQuery query(&connection);
        query.SQL = QStringList{CreateTableSql};
        query.ExecSQL();
        imported = ImportRecipeFiles(connection, {source}, {}).Imported;
        query.SQL = QStringList{QStringLiteral("select * from mycook")};
        query.Open();
        TRecipeStore store(connection);
        std::vector<TRecipe> copied;
        for (query.First(); !query.Eof(); query.Next())
            copied.push_back(store.Read(query.RowId()));
        return copied;
    }
};

TEST_F(TExportTest, TheRoundTripKeepsEveryFieldAndPicture) {
    const std::vector<TRecipe> original = FillBook();
    QTemporaryDir out;
    const QString zip = out.filePath(QStringLiteral("book.zip"));
    EXPECT_EQ(ExportBook(FConnection, zip).Recipes, int(original.size()));
    // The zip as it is, and unpacked as a cookbook app keeps its folders.
    const QString unpacked = out.filePath(QStringLiteral("unpacked"));
    ReadZipFile(zip, [&](const QString& path, const QByteArray& bytes) {
        const QString target = unpacked + u'/' + path;
        QDir().mkpath(QFileInfo(target).path());
        QFile f(target);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return true;
    });
    for (const QString& source : {zip, unpacked + QStringLiteral("/Recipes")}) {
        SCOPED_TRACE(source.toStdString());
        int imported = 0;
        std::vector<TRecipe> copied = ImportIntoNewBook(source, imported);
        EXPECT_EQ(imported, int(original.size()));
        ASSERT_EQ(copied.size(), original.size());
        // A folder is read in its names' order, a zip in the order it was written.
        auto byName = [](const TRecipe& a, const TRecipe& b) {
            return a.Name < b.Name;
        };
        std::vector<TRecipe> expectedAll = original;
        std::sort(expectedAll.begin(), expectedAll.end(), byName);
        std::sort(copied.begin(), copied.end(), byName);
        for (size_t i = 0; i < expectedAll.size(); ++i) {
            TRecipe expected = expectedAll[i];
            expected.RowId = copied[i].RowId;
            // Rows the designed save wrote had no dates; the import gives them one.
            if (!expected.Added.isValid()) {
                expected.Added = copied[i].Added;
                expected.Changed = copied[i].Changed;
            }
            EXPECT_EQ(copied[i].Columns, expected.Columns) << i;
            EXPECT_EQ(copied[i].Steps, expected.Steps) << i;
            EXPECT_EQ(copied[i].Pictures, expected.Pictures) << i;
            EXPECT_EQ(copied[i], expected) << i;
        }
    }
}

// Our own export's recipe.json is known from its bytes: the digest taken of them is
// the one the export wrote. A file written out again otherwise (an escape where we
// wrote the character) is still known, through the parsed JSON; an edited one is not.
// Pictures are stored in the zip as they are, the JSON deflated.
TEST_F(TExportTest, OurOwnRecipeJsonIsKnownFromItsBytes) {
    FillBook();
    QTemporaryDir out;
    const QString zip = out.filePath(QStringLiteral("book.zip"));
    ExportBook(FConnection, zip);
    std::vector<std::pair<QString, QByteArray>> files;
    ReadZipFile(zip, [&](const QString& path, const QByteArray& bytes) {
        if (path.endsWith(QStringLiteral("/recipe.json")))
            files.emplace_back(path, bytes);
        return true;
    });
    int checked = 0;
    for (const auto& [path, bytes] : files) {
        ++checked;
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        const QString stored = o.value(QLatin1String(ExactExtrasKey))
                                   .toObject()
                                   .value(QLatin1String(SchemaDigestKey))
                                   .toString();
        EXPECT_EQ(SchemaDigestOfBytes(bytes), stored) << path.toStdString();
        EXPECT_TRUE(RecipeFromSchema(o, false, bytes).Recipe.Exact) << path.toStdString();
        const QString name = o.value("name").toString();
        const QByteArray key = "\n    \"name\": \"";
        const qsizetype at = bytes.indexOf(key) + key.size();
        ASSERT_GT(at, key.size());
        QByteArray escaped = bytes;
        escaped.replace(at, name.left(1).toUtf8().size(),
                        "\\u" +
                            QByteArray::number(name.at(0).unicode(), 16).rightJustified(4, '0'));
        ASSERT_EQ(QJsonDocument::fromJson(escaped).object(), o) << path.toStdString();
        EXPECT_NE(SchemaDigestOfBytes(escaped), stored);
        EXPECT_TRUE(RecipeFromSchema(o, false, escaped).Recipe.Exact) << path.toStdString();
        QByteArray edited = bytes;
        const QByteArray description = "\n    \"description\": \"";
        edited.insert(edited.indexOf(description) + description.size(), "改过");
        const QJsonObject changed = QJsonDocument::fromJson(edited).object();
        EXPECT_FALSE(RecipeFromSchema(changed, false, edited).Recipe.Exact) << path.toStdString();
    }
    EXPECT_EQ(checked, 6);
    const std::unique_ptr<TZipDirectory> directory = TZipDirectory::OpenFile(zip);
    ASSERT_TRUE(directory);
    TImportBudget budget;
    int pictures = 0;
    directory->Walk(budget, [&](const QString& path, const TZipMember& m) {
        const bool picture = path.endsWith(QStringLiteral(".jpg"));
        pictures += picture;
        EXPECT_EQ(m.Method, picture ? 0 : 8) << path.toStdString();
        return true;
    });
    EXPECT_GT(pictures, 3);
}

// As another program reads it: only the zip and JSON, no code of ours.
TEST_F(TExportTest, EveryRecipeJsonReadsWholeInSchemaOrgPlaces) {
    const std::vector<TRecipe> original = FillBook();
    QTemporaryDir out;
    const QString zip = out.filePath(QStringLiteral("book.zip"));
    ExportBook(FConnection, zip);
    std::map<QString, QByteArray> files;
    ReadZipFile(zip, [&](const QString& path, const QByteArray& bytes) {
        files[path] = bytes;
        return true;
    });
    std::vector<QJsonObject> recipes;
    for (const auto& [path, bytes] : files) {
        EXPECT_TRUE(path.startsWith(QStringLiteral("Recipes/"))) << path.toStdString();
        if (!path.endsWith(QStringLiteral("/recipe.json")))
            continue;
        const QString folder = path.chopped(int(strlen("recipe.json")));
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        recipes.push_back(o);
        EXPECT_EQ(o.value("@type").toString(), QStringLiteral("Recipe"));
        const QString name = o.value("name").toString();
        EXPECT_FALSE(name.endsWith(u'…')) << name.toStdString();
        EXPECT_TRUE(o.value("recipeYield").isString()) << name.toStdString();
        for (const QJsonValue& ingredient : o.value("recipeIngredient").toArray())
            EXPECT_TRUE(ingredient.isString() && !ingredient.toString().isEmpty());
        const QJsonArray steps = o.value("recipeInstructions").toArray();
        EXPECT_FALSE(steps.isEmpty()) << name.toStdString();
        static const QRegularExpression numbered(QStringLiteral("^\\d+[.、]"));
        for (const QJsonValue& step : steps) {
            const QJsonObject s = step.toObject();
            EXPECT_EQ(s.value("@type").toString(), QStringLiteral("HowToStep"));
            EXPECT_FALSE(s.value("name").toString().isEmpty());
            const QString text = s.value("text").toString();
            EXPECT_FALSE(text.isEmpty());
            EXPECT_FALSE(numbered.match(text).hasMatch()) << text.toStdString();
            EXPECT_FALSE(text.contains(QStringLiteral("【"))) << text.toStdString();
            if (s.contains("image"))
                EXPECT_TRUE(
                    files.count(folder + s.value("image").toString()) ||
                    files.count(folder + s.value("image").toObject().value("url").toString()));
        }
        if (o.contains("image")) {
            EXPECT_TRUE(files.count(folder + QStringLiteral("full.jpg")));
            EXPECT_TRUE(files.count(folder + QStringLiteral("thumb.jpg")));
            const QImage small = QImage::fromData(files[folder + QStringLiteral("thumb16.jpg")]);
            EXPECT_TRUE(!small.isNull() && small.width() <= 16 && small.height() <= 16);
        }
        for (const char* time : {"prepTime", "cookTime", "totalTime"})
            if (o.contains(time))
                EXPECT_TRUE(o.value(time).toString().startsWith(QStringLiteral("PT")));
    }
    ASSERT_EQ(recipes.size(), original.size());
    auto find = [&](const QString& name) {
        for (const QJsonObject& o : recipes)
            if (o.value("name").toString() == name)
                return o;
        ADD_FAILURE() << name.toStdString();
        return QJsonObject();
    };
    const QJsonObject longOne = find(QString(35, u'长') + QStringLiteral("面"));
    EXPECT_EQ(longOne.value("recipeIngredient").toArray().first().toString(), QString(300, u'料'));
    EXPECT_EQ(longOne.value("recipeInstructions").toArray().size(), 2);
    const QJsonObject chashao = find(QStringLiteral("叉烧"));
    EXPECT_EQ(chashao.value("recipeYield").toString(), QStringLiteral("4 人份"));
    EXPECT_EQ(chashao.value("recipeCategory").toString(), QStringLiteral("粤菜, 家常菜"));
    EXPECT_EQ(chashao.value("keywords").toString(), QStringLiteral("chashao"));
    EXPECT_EQ(chashao.value("prepTime").toString(), QStringLiteral("PT15M"));
    EXPECT_FALSE(chashao.contains("cookTime")); // "约一小时" is no duration
    EXPECT_EQ(chashao.value("url").toString(), QStringLiteral("https://cook.example.cn/chashao"));
    EXPECT_EQ(chashao.value("dateCreated").toString(), QStringLiteral("2024-03-01T08:00:00Z"));
    EXPECT_EQ(chashao.value("dateModified").toString(), QStringLiteral("2024-03-02T09:30:00Z"));
    const QJsonArray steps = chashao.value("recipeInstructions").toArray();
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[0].toObject().value("name").toString(), QStringLiteral("切"));
    EXPECT_EQ(steps[1].toObject().value("name").toString(), QStringLiteral("腌制"));
    EXPECT_EQ(steps[0].toObject().value("image").toObject().value("caption").toString(),
              QStringLiteral("切好的肉"));
    EXPECT_EQ(steps[2].toObject().value("image").toString(), QStringLiteral("step-3.jpg"));
    EXPECT_EQ(find(QStringLiteral("白饭")).value("recipeYield").toString(), QString());
    EXPECT_TRUE(files.count(QStringLiteral("Recipes/CON_/recipe.json")));
}

TEST(RecipeFolderName, SafeOnEverySystem) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral(" ../a/b:c* "), QStringLiteral("_a_b_c_")},
        {QStringLiteral("  "), QStringLiteral("未命名菜谱")},
        {QStringLiteral("蛋糕..."), QStringLiteral("蛋糕")},
        {QStringLiteral("汤 . "), QStringLiteral("汤")},
        {QStringLiteral("con"), QStringLiteral("con_")},
        {QStringLiteral("NUL.txt"), QStringLiteral("NUL_.txt")},
        {QStringLiteral("COM1"), QStringLiteral("COM1_")},
        {QStringLiteral("Console"), QStringLiteral("Console")},
        {QStringLiteral("..."), QStringLiteral("未命名菜谱")},
        {QStringLiteral("a\tb"), QStringLiteral("a_b")},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(RecipeFolderName(in), out) << in.toStdString();
    // 200 bytes at most, cut between characters (三 bytes each here).
    const QString longName = QString(100, u'长') + QStringLiteral("😀");
    const QString folder = RecipeFolderName(longName);
    EXPECT_LE(folder.toUtf8().size(), 200);
    EXPECT_EQ(folder, QString(66, u'长'));
    EXPECT_EQ(RecipeFolderName(QString(66, u'长') + QStringLiteral(" .x")).toUtf8().size(), 198);
}

TEST_F(TExportTest, LongNamesSharingTheirStartGetFoldersOfTheirOwn) {
    TRecipeStore store(FConnection);
    for (const char* tail : {"甲", "乙", "甲"}) {
        TRecipe r;
        r.Name = QString(80, u'长') + QString::fromUtf8(tail);
        r.Steps = {{QStringLiteral("做")}};
        r.Columns = ColumnsFor(r);
        store.Append(FQuery, r);
    }
    QTemporaryDir out;
    const QString zip = out.filePath(QStringLiteral("book.zip"));
    ExportBook(FConnection, zip);
    QStringList folders;
    ReadZipFile(zip, [&](const QString& path, const QByteArray&) {
        if (path.endsWith(QStringLiteral("/recipe.json")))
            folders << path.section(u'/', 1, 1);
        return true;
    });
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders.removeDuplicates(), 0);
    for (const QString& f : folders)
        EXPECT_LE(f.toUtf8().size(), 200) << f.toStdString();
}

// A step picture comes back on the step it was taken for, whatever the steps
// before it hold: lines read one by one would count a step of several lines as
// several steps, and put the picture on a later step or on none.
TEST_F(TExportTest, StepPicturesComeBackOnTheirOwnStep) {
    struct TCase {
        const char* Name;
        std::vector<TRecipeLine> Steps;
        std::vector<int> PictureSteps;
    };
    const TCase cases[] = {
        {"两行的一步", {{"切条\n再切丁"}, {"腌一夜"}, {"烤"}}, {2, 3}},
        {"空一行的一步", {{"和面\n\n醒面"}, {"擀皮"}}, {1, 2}},
        {"编号的步骤", {{"1. 洗净\n2. 晾干"}, {"3. 下锅"}}, {2}},
        {"小标题之后", {{"准备", true}, {"泡发\n沥干"}, {"酱汁", true}, {"调汁"}, {"淋上"}}, {3}},
        {"同一步两张", {{"煎\n翻面"}, {"出锅"}}, {2, 2, 1}},
    };
    TRecipeStore store(FConnection);
    std::map<QString, TRecipe> written;
    char tail = 'A';
    for (const TCase& c : cases) {
        TRecipe r;
        r.Name = QString::fromUtf8(c.Name);
        r.Steps = c.Steps;
        for (const int step : c.PictureSteps)
            r.Pictures.push_back({JpegFixture(tail++), step, QStringLiteral("第%1步").arg(step)});
        r.Columns = ColumnsFor(r);
        store.Append(FQuery, r);
        written[r.Name] = store.Read(FQuery.RowId());
    }
    QTemporaryDir out;
    const QString zip = out.filePath(QStringLiteral("book.zip"));
    ASSERT_EQ(ExportBook(FConnection, zip).Recipes, int(std::size(cases)));

    int imported = 0;
    const std::vector<TRecipe> copies = ImportIntoNewBook(zip, imported);
    EXPECT_EQ(imported, int(std::size(cases)));
    ASSERT_EQ(copies.size(), std::size(cases));
    for (const TRecipe& copy : copies) {
        SCOPED_TRACE(copy.Name.toStdString());
        ASSERT_TRUE(written.count(copy.Name));
        const TRecipe& original = written[copy.Name];
        EXPECT_EQ(copy.Steps, original.Steps);
        EXPECT_EQ(copy.Pictures, original.Pictures);
    }
}
} // namespace

namespace {
// The designed keyword search sees the whole name and ingredients where the
// columns hold them cut, and only while they still belong to the row.
TEST_F(TRecipeStoreTest, TheKeywordSearchFindsWholeTexts) {
    TRecipeStore store(FConnection);
    TRecipe r;
    r.Name = QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧)");
    r.Ingredients = QString(300, u'盐') + QStringLiteral("\n桂皮");
    r.Steps = {{QStringLiteral("烤")}};
    r.Columns = ColumnsFor(r);
    store.Append(FQuery, r);
    Add(QStringLiteral("桂皮水"), QStringLiteral("桂皮"));
    Add(QStringLiteral("叉烧包"));
    struct TCase {
        const char* Keyword;
        int Found;
    };
    const TCase cases[] = {
        {"叉烧", 2}, {"BBQ pork", 1}, {"桂皮", 2}, {"Easy Char", 1}, {"…", 0}, {"烤", 0},
    };
    auto search = [&](const QString& keyword) {
        FQuery.SetFilter(QStringLiteral("菜名 like  '%%1%' or 原料 like  '%%1%'").arg(keyword));
        FQuery.SetFiltered(true);
        return FQuery.RecordCount();
    };
    for (const TCase& c : cases)
        EXPECT_EQ(search(QString::fromUtf8(c.Keyword)), c.Found) << c.Keyword;
    // A row found by its whole name is the one a look-up by identity finds.
    search(QStringLiteral("BBQ"));
    FQuery.First();
    EXPECT_EQ(FQuery.RowId(), r.RowId);
    ASSERT_TRUE(FQuery.LocateRowId(r.RowId));
    EXPECT_EQ(FQuery.RecNo(), 1);
    ASSERT_TRUE(FQuery.Locate(Name, r.Columns.Name));
    EXPECT_FALSE(FQuery.LocateRowId(r.RowId + 1)); // hidden by the filter
    FQuery.SetFiltered(false);
    EXPECT_TRUE(FQuery.LocateRowId(r.RowId + 1));
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QStringLiteral("桂皮水"));
    EXPECT_FALSE(FQuery.LocateRowId(999));
    // The designed save changed the ingredients: the old whole ones no longer count.
    ASSERT_TRUE(FQuery.Locate(Name, r.Columns.Name));
    FQuery.Edit();
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("梅头肉"));
    FQuery.Post();
    EXPECT_EQ(search(QStringLiteral("桂皮")), 1);
    EXPECT_EQ(search(QStringLiteral("BBQ pork")), 1);
}
} // namespace
