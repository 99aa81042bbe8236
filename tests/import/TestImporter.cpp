// Storing imported recipes in the book in one transaction, and the export's round trip.
#include "BookExport.h"
#include "BookTestUtil.h"
#include "ColumnMapping.h"
#include "Graphics.h"
#include "ImportTestUtil.h"
#include "RecipeStore.h"
#include "SchemaRecipe.h"
#include "TransactionGuard.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <sqlite3.h>

namespace {
class TImportTest : public TBookTest {
protected:
    TRecipeColumns Row(const QString& name) {
        EXPECT_TRUE(FQuery.Locate(Name, name)) << name.toStdString();
        return {FQuery.FieldByName(Name).AsString(), FQuery.FieldByName(Ingredients).AsString(),
                FQuery.FieldByName(Method).AsString(), FQuery.FieldByName(Note).AsString()};
    }
    QByteArray Picture(const QString& name) {
        EXPECT_TRUE(FQuery.Locate(Name, name));
        return FQuery.FieldByName(QStringLiteral("img")).AsBytes();
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

TEST_F(TImportTest, EveryFormatIntoTheBook) {
    const TImportSummary s =
        Import({Fixture("hongshao.html"), Fixture("pancakes-microdata.html"),
                Fixture("desserts-cp437.mmf"), Fixture("chinese-gb18030.mmf"),
                Fixture("sanbeiji-big5.txt"), Fixture("kitchen.paprikarecipes"),
                Fixture("breads.grmt"), Fixture("cakes-recipeml.xml"), Fixture("no-recipe.html"),
                Fixture("missing.mmf"), Fixture("nextcloud.zip")});
    EXPECT_EQ(s.Imported, 13);
    EXPECT_EQ(s.FailedFiles, 3);
    EXPECT_EQ(s.Skipped, 0);
    EXPECT_EQ(FQuery.RecordCount(), 13);
    EXPECT_EQ(s.Details.size(), 16);
    EXPECT_TRUE(s.Details.contains(QStringLiteral("missing.mmf：无法读取（文件不存在）")));
    const TRecipeColumns pork = Row(QStringLiteral("红烧肉 & 卤蛋"));
    EXPECT_EQ(pork.Ingredients,
              QStringLiteral("五花肉 500克\n冰糖 适量\n生抽 2勺\n八角 少许\n葱 半根"));
    EXPECT_EQ(pork.Method,
              QStringLiteral("准备\n1. 五花肉切块，冷水下锅焯水。\n2. 捞出沥干。\n烧制\n3. "
                             "小火炒糖色…\n4. 加水炖一个半小时，大火收汁。"));
    EXPECT_EQ(pork.Note, QStringLiteral("肥而不腻，入口即化。"));
    // The other fields are the recipe's own, beside the row.
    TRecipeStore store(FConnection);
    const TRecipe whole = store.Read(FQuery.RowId());
    EXPECT_EQ(whole.Servings, 4);
    EXPECT_EQ(whole.ServingsUnit, QStringLiteral("人份"));
    EXPECT_EQ(whole.PrepTime, QStringLiteral("PT20M"));
    EXPECT_EQ(whole.CookTime, QStringLiteral("PT1H30M"));
    EXPECT_EQ(whole.Source, QStringLiteral("https://cook.example.cn/r/123"));
    EXPECT_EQ(whole.Categories, QStringList{QStringLiteral("家常菜")});
    EXPECT_EQ(whole.Keywords, (QStringList{QStringLiteral("猪肉"), QStringLiteral("红烧")}));
    EXPECT_TRUE(whole.Added.isValid());
    // JPEG bytes go in unchanged; a PNG is converted by the program's own JPEG writer.
    EXPECT_EQ(Picture(QStringLiteral("红烧肉 & 卤蛋")), FixtureBytes("dish.jpg"));
    const QByteArray pancakes = Picture(QStringLiteral("Fluffy Pancakes"));
    EXPECT_TRUE(pancakes.startsWith("\xFF\xD8\xFF"));
    const QImage decoded = QImage::fromData(pancakes, "JPEG");
    EXPECT_EQ(decoded.size(), QSize(10, 8));
    EXPECT_TRUE(Picture(QStringLiteral("Two-Column Chili")).isEmpty());
    EXPECT_TRUE(Row(QStringLiteral("三杯雞")).Ingredients.contains(QStringLiteral("九層塔 一把")));
}

// A recipe with a name only comes in, and the summary says what it lacks.
TEST_F(TImportTest, RecipesWithoutIngredientsOrStepsAreTold) {
    QTemporaryDir dir;
    struct TCase {
        const char* File;
        QByteArray Bytes;
        const char* Name;
        bool Empty;
    };
    const TCase cases[] = {
        {"title-only.html",
         "<html><script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
         "\"@type\":\"Recipe\",\"name\":\"只有名字的菜\",\"image\":\"\"}</script></html>",
         "只有名字的菜", true},
        {"headings-only.mmf",
         "MMMMM----- Recipe via Meal-Master (tm) v8.05\r\n\r\n      Title: Empty Pie\r\n\r\n"
         "MMMMM---------------FILLING---------------\r\n\r\nMMMMM\r\n",
         "Empty Pie", true},
        {"steps-only.html",
         "<html><script type=\"application/ld+json\">{\"@type\":\"Recipe\",\"name\":\"只有做法\","
         "\"recipeInstructions\":\"煮。\"}</script></html>",
         "只有做法", false},
    };
    QStringList files;
    for (const TCase& c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.File));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.Bytes);
        files << path;
    }
    const TImportSummary s = Import(files);
    EXPECT_EQ(s.Imported, 3);
    ASSERT_EQ(s.Details.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const TCase& c = cases[i];
        EXPECT_TRUE(s.Details[i].contains(QString::fromUtf8(c.Name))) << c.File;
        EXPECT_EQ(s.Details[i].contains(QStringLiteral("没有配料和做法")), c.Empty)
            << s.Details[i].toStdString();
    }
    EXPECT_TRUE(s.CountsText().contains(QStringLiteral("2 个没有配料和做法")))
        << s.CountsText().toStdString();
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("只有名字的菜")));
}

TEST_F(TImportTest, DuplicatesAskOnceWithForAll) {
    struct TCase {
        TDuplicateChoice Choice;
        int Asked, Imported, Overwritten, Skipped, Rows;
        const char* Ingredients; // of 西红柿炒鸡蛋 afterwards
    };
    const TCase cases[] = {
        {{TDuplicateAnswer::Skip, false}, 2, 0, 0, 2, 2, "旧配料"},
        {{TDuplicateAnswer::Skip, true}, 1, 0, 0, 2, 2, "旧配料"},
        {{TDuplicateAnswer::Overwrite, true}, 1, 0, 2, 0, 2, "3 西红柿\n4 鸡蛋\n盐 适量\n糖 少许"},
        {{TDuplicateAnswer::KeepBoth, true}, 1, 2, 0, 0, 4, "旧配料"},
    };
    // Names are looked up through the book's index on 菜名, or hashed when a book
    // another program made has none.
    for (const bool indexed : {true, false})
        for (const TCase& c : cases) {
            FQuery.Close(); // an empty book per case
            FQuery.SQL = QStringList{QStringLiteral("delete from mycook")};
            FQuery.ExecSQL();
            if (!indexed)
                FConnection.Execute(QStringLiteral("pragma application_id = 0; "
                                                   "drop index if exists mycook_cache_mycook"));
            OpenBook();
            Add(QStringLiteral("西红柿炒鸡蛋"), QStringLiteral("旧配料"), QStringLiteral("旧做法"));
            Add(QStringLiteral("蒜蓉西兰花"), QStringLiteral("旧配料"));
            FAsked = 0;
            const TImportSummary s = Import({Fixture("chinese-gb18030.mmf")}, c.Choice);
            EXPECT_EQ(FAsked, c.Asked);
            EXPECT_EQ(s.Imported, c.Imported);
            EXPECT_EQ(s.Overwritten, c.Overwritten);
            EXPECT_EQ(s.Skipped, c.Skipped);
            EXPECT_EQ(FQuery.RecordCount(), c.Rows);
            EXPECT_EQ(Row(QStringLiteral("西红柿炒鸡蛋")).Ingredients,
                      QString::fromUtf8(c.Ingredients));
        }
    EXPECT_EQ(Row(QStringLiteral("西红柿炒鸡蛋（2）")).Ingredients,
              QStringLiteral("3 西红柿\n4 鸡蛋\n盐 适量\n糖 少许"));
}

// Pages may spill past 16 MB (an import would otherwise be held whole in memory),
// and the import's larger cache is its own: the connection's settings come back.
TEST_F(TImportTest, TheConnectionsCacheSettingsComeBack) {
    auto read = [this](const char* sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(FConnection.Handle(), sql, -1, &s, nullptr);
        const qint64 value = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        return value;
    };
    const qint64 size = read("pragma cache_size"), spill = read("pragma cache_spill");
    ASSERT_EQ(spill, 4096);
    Import({Fixture("chinese-gb18030.mmf")});
    EXPECT_EQ(read("pragma cache_size"), size);
    EXPECT_EQ(read("pragma cache_spill"), spill);
}

TEST_F(TImportTest, OverwriteWithoutAPictureKeepsTheStoredOne) {
    Add(QStringLiteral("葱油饼"));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("葱油饼")));
    QByteArray jpeg = FixtureBytes("dish.jpg");
    QBuffer stream(&jpeg);
    stream.open(QIODevice::ReadOnly);
    FQuery.Edit();
    FQuery.FieldByName(QStringLiteral("img")).LoadFromStream(stream);
    FQuery.Post();
    const TImportSummary s = Import({Fixture("breads.grmt")}, {TDuplicateAnswer::Overwrite, true});
    EXPECT_EQ(s.Overwritten, 1);
    EXPECT_EQ(Picture(QStringLiteral("葱油饼")), jpeg);
    EXPECT_EQ(Row(QStringLiteral("葱油饼")).Ingredients, QStringLiteral("300 克 面粉"));
}

TEST_F(TImportTest, CancelOrABookFailureLeavesTheBookAsItWas) {
    Add(QStringLiteral("原有的菜"));
    for (int cancelAt : {0, 1, 5}) {
        int calls = 0;
        EXPECT_THROW(ImportRecipeFiles(FConnection,
                                       {Fixture("desserts-cp437.mmf"), Fixture("breads.grmt")}, {},
                                       [&](int, int, int) { return calls++ < cancelAt; }),
                     EImportCancelled);
        OpenBook();
        EXPECT_EQ(Names(), QStringList{QStringLiteral("原有的菜")}) << cancelAt;
    }
    // The book refuses the third recipe of the first file.
    FConnection.Execute(QStringLiteral("create trigger refuse before insert on mycook "
                                       "when new.菜名 = 'Two-Column Chili' begin "
                                       "select raise(abort, 'refused'); end"));
    const QByteArray before = FileDigest(FPath);
    EXPECT_THROW(Import({Fixture("breads.grmt"), Fixture("desserts-cp437.mmf")}), EDatabaseError);
    OpenBook();
    EXPECT_EQ(Names(), QStringList{QStringLiteral("原有的菜")});
    EXPECT_EQ(FileDigest(FPath), before);
}

TEST_F(TImportTest, AFileThatBreaksHalfWayLeavesNothingBehind) {
    // The zip's first two folders are good, the third is broken.
    const TImportSummary s = Import({Fixture("nextcloud.zip")});
    EXPECT_EQ(s.FailedFiles, 1);
    EXPECT_EQ(s.Imported, 0);
    EXPECT_EQ(FQuery.RecordCount(), 0);
    EXPECT_EQ(s.Details.size(), 1);
}

// The first file made our tables in its savepoint and broke: the tables went with it,
// and the next file's recipes must make them again.
TEST_F(TImportTest, AFileAfterOneThatBrokeHalfWayIsStoredWithItsExtras) {
    ASSERT_FALSE(HasRecipeTables(FConnection));
    const TImportSummary s = Import({Fixture("nextcloud.zip"), Fixture("breads.grmt")});
    EXPECT_EQ(s.FailedFiles, 1);
    EXPECT_GT(s.Imported, 0);
    EXPECT_EQ(FQuery.RecordCount(), s.Imported);
    ASSERT_TRUE(HasRecipeTables(FConnection));
    TRecipeStore store(FConnection);
    FQuery.First();
    EXPECT_TRUE(store.Read(FQuery.RowId()).Added.isValid());
}

TEST_F(TImportTest, ExportAndImportGiveTheSameBook) {
    const QByteArray jpeg = FixtureBytes("dish.jpg");
    const int count = 1000;
    TTransactionGuard filling(FConnection);
    for (int i = 0; i < count; ++i) {
        const QString name =
            i % 3 == 0 ? QStringLiteral("菜 %1 / 特别").arg(i) : QStringLiteral("Dish %1").arg(i);
        Add(name, QStringLiteral("配料 %1\n\n  盐 适量  ").arg(i),
            QStringLiteral("第一步\n第二步  两个空格\n"),
            i % 2 ? QStringLiteral("说明 &amp; <b>%1</b>").arg(i) : QString());
        if (i % 2 == 0) {
            QByteArray bytes = jpeg;
            bytes.append(char(i & 0x7F)); // every picture its own bytes
            QBuffer stream(&bytes);
            stream.open(QIODevice::ReadOnly);
            FQuery.Edit();
            FQuery.FieldByName(QStringLiteral("img")).LoadFromStream(stream);
            FQuery.Post();
        }
    }
    Add(QStringLiteral("Dish 1")); // the same name twice gets two folders
    filling.Commit();
    QTemporaryDir out;
    const QString zip = out.filePath(QStringLiteral("book.zip"));
    const TExportSummary exported = ExportBook(FConnection, zip);
    EXPECT_EQ(exported.Recipes, count + 1);
    EXPECT_EQ(exported.Pictures, count / 2);

    std::vector<std::pair<TRecipeColumns, QByteArray>> original;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
        original.push_back(
            {{FQuery.FieldByName(Name).AsString(), FQuery.FieldByName(Ingredients).AsString(),
              FQuery.FieldByName(Method).AsString(), FQuery.FieldByName(Note).AsString()},
             FQuery.FieldByName(QStringLiteral("img")).AsBytes()});

    QTemporaryDir other;
    TADOConnection connection;
    const QString book = other.filePath(QStringLiteral("cook.mdb"));
    CreateDatabaseFile(CreationString(book));
    connection.SetConnectionString(ConnectString(book));
    connection.SetConnected(true);
    TADOQuery query(&connection);
    query.SQL = QStringList{CreateTableSql};
    query.ExecSQL();
    const TImportSummary s = ImportRecipeFiles(connection, {zip}, [](const QString&) {
        return TDuplicateChoice{TDuplicateAnswer::KeepBoth, true};
    });
    EXPECT_EQ(s.Imported, count + 1);
    EXPECT_EQ(s.FailedFiles, 0);
    query.SQL = QStringList{QStringLiteral("select * from mycook")};
    query.Open();
    std::vector<std::pair<TRecipeColumns, QByteArray>> copied;
    for (query.First(); !query.Eof(); query.Next())
        copied.push_back(
            {{query.FieldByName(Name).AsString(), query.FieldByName(Ingredients).AsString(),
              query.FieldByName(Method).AsString(), query.FieldByName(Note).AsString()},
             query.FieldByName(QStringLiteral("img")).AsBytes()});
    ASSERT_EQ(copied.size(), original.size());
    // The second "Dish 1" comes back as "Dish 1（2）"; every other row is identical.
    int differences = 0;
    for (size_t i = 0; i < original.size(); ++i) {
        if (!(copied[i].first == original[i].first) || copied[i].second != original[i].second)
            ++differences;
    }
    EXPECT_EQ(differences, 1);
    EXPECT_EQ(copied.back().first.Name, QStringLiteral("Dish 1（2）"));
}

TEST_F(TImportTest, ExportedJsonIsASchemaRecipe) {
    TRecipe recipe;
    recipe.Columns = {QStringLiteral(" 鱼香肉丝 "), QStringLiteral("肉丝\n\n木耳"),
                      QStringLiteral("切丝\n炒"), QStringLiteral("川菜")};
    recipe.Name = recipe.Columns.Name;
    recipe.Ingredients = recipe.Columns.Ingredients;
    recipe.Steps = {{QStringLiteral("切丝")}, {QStringLiteral("炒")}};
    recipe.Note = recipe.Columns.Note;
    recipe.Cover = "not decoded";
    const QByteArray json = RecipeJson(recipe);
    const QJsonValue value = ParseJson(json);
    const QJsonObject o = value.toObject();
    EXPECT_EQ(o.value(QStringLiteral("@context")).toString(), QStringLiteral("https://schema.org"));
    EXPECT_EQ(o.value(QStringLiteral("@type")).toString(), QStringLiteral("Recipe"));
    EXPECT_EQ(o.value(QStringLiteral("name")).toString(), QStringLiteral("鱼香肉丝"));
    EXPECT_EQ(o.value(QStringLiteral("recipeIngredient")).toArray().size(), 2);
    const QJsonArray steps = o.value(QStringLiteral("recipeInstructions")).toArray();
    ASSERT_EQ(steps.size(), 2);
    EXPECT_EQ(steps[0].toObject().value(QStringLiteral("@type")).toString(),
              QStringLiteral("HowToStep"));
    EXPECT_EQ(steps[1].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("炒"));
    EXPECT_EQ(o.value(QStringLiteral("description")).toString(), QStringLiteral("川菜"));
    // Another program's reading, without our exact texts, numbers the steps.
    QJsonObject foreign = o;
    foreign.remove(QLatin1String(ExactColumnsKey));
    foreign.remove(QLatin1String(ExactExtrasKey));
    const TRecipeColumns mapped = MapToColumns(RecipeFromSchema(foreign).Recipe);
    EXPECT_EQ(mapped.Method, QStringLiteral("1. 切丝\n2. 炒"));
    EXPECT_EQ(mapped.Ingredients, QStringLiteral("肉丝\n木耳"));
    EXPECT_EQ(RecipeFolderName(QStringLiteral(" ../a/b:c* ")), QStringLiteral("_a_b_c_"));
    EXPECT_EQ(RecipeFolderName(QStringLiteral("  ")), QStringLiteral("未命名菜谱"));
}

TEST(KeepBothName, FindsAFreeNameWithinTheColumn) {
    QStringList taken{QStringLiteral("汤（2）")};
    auto isTaken = [&](const QString& n) {
        return taken.contains(n);
    };
    EXPECT_EQ(KeepBothName(QStringLiteral("汤"), isTaken), QStringLiteral("汤（3）"));
    const QString longName(30, u'长');
    const QString got = KeepBothName(longName, isTaken);
    EXPECT_EQ(got.size(), 30);
    EXPECT_TRUE(got.endsWith(QStringLiteral("…（2）")));
}
} // namespace
