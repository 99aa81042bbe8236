// The designed keyword search over whole names and ingredients after each kind of
// change to the book: it finds exactly the recipes the book holds now, and a change
// of ours reads again only what it changed.
#include "BookTestUtil.h"
#include "ImportTestUtil.h"
#include "RecipeStore.h"
#include "RecipeText.h"

#include "../common/RawBook.h"

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <utility>

namespace {

// What the name column keeps of a longer name (29 characters and an ellipsis): every
// name below runs on past it.
const QString Lead = QStringLiteral("家常红烧肉做法详解与火候掌握要点以及配料准备说明及诀窍大全");

TRecipe Recipe(const QString& name, const QString& ingredients = QStringLiteral("五花肉")) {
    TRecipe r;
    r.Name = name;
    r.Ingredients = ingredients;
    r.Steps = {{QStringLiteral("焯水")}, {QStringLiteral("慢炖")}};
    r.Columns = ColumnsFor(r);
    return r;
}

// Rows SQLite stepped in statements that read the whole texts' table, on the
// connection this counts for.
class TWholeRowsRead {
public:
    explicit TWholeRowsRead(sqlite3* db) : FDb(db) {
        sqlite3_trace_v2(db, SQLITE_TRACE_ROW, &TWholeRowsRead::Row, this);
    }
    ~TWholeRowsRead() { sqlite3_trace_v2(FDb, 0, nullptr, nullptr); }
    int Take() { return std::exchange(FRows, 0); }

private:
    static int Row(unsigned, void* self, void* stmt, void*) {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(stmt));
        if (sql && std::strstr(sql, "from mycook_whole"))
            ++static_cast<TWholeRowsRead*>(self)->FRows;
        return 0;
    }
    sqlite3* FDb;
    int FRows = 0;
};

class TWholeSearchTest : public TBookTest {
public:
    using TBookTest::FConnection;
    using TBookTest::FPath;
    using TBookTest::FQuery;
    void SetUp() override {
        TBookTest::SetUp();
        ASSERT_EQ(CutToFit(Lead + QStringLiteral("冰糖版"), NameColumnChars),
                  Lead + QStringLiteral("…"));
        // Many recipes with cut names, so that reading them all shows.
        for (int i = 0; i < 40; ++i)
            Store(QStringLiteral("filler%1").arg(i), Lead + QStringLiteral("第%1版").arg(i));
        Store("冰糖", Lead + QStringLiteral("冰糖版"),
              QString(300, u'盐') + QStringLiteral("八角"));
        Store("腐乳", Lead + QStringLiteral("腐乳版"));
        Store("桂花", QStringLiteral("桂花糯米藕"));
    }
    qint64 Store(const char* label, const QString& name,
                 const QString& ingredients = QStringLiteral("五花肉")) {
        return Store(QString::fromUtf8(label), name, ingredients);
    }
    qint64 Store(const QString& label, const QString& name,
                 const QString& ingredients = QStringLiteral("五花肉")) {
        TRecipe r = Recipe(name, ingredients);
        FStore.Append(FQuery, r);
        FRows[label] = r.RowId;
        return r.RowId;
    }
    // The rows the designed search lists for the keyword, walked as the window does.
    std::set<qint64> Search(const QString& keyword) {
        FQuery.SetFilter(QStringLiteral("菜名 like '%%1%' or 原料 like '%%1%'").arg(keyword));
        FQuery.SetFiltered(true);
        std::set<qint64> found;
        for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
            found.insert(FQuery.RowId());
        return found;
    }
    std::set<qint64> Rows(const std::vector<const char*>& labels) {
        std::set<qint64> out;
        for (const char* l : labels) {
            EXPECT_TRUE(FRows.count(QString::fromUtf8(l))) << l;
            out.insert(FRows[QString::fromUtf8(l)]);
        }
        return out;
    }
    qint64 RowOfWholeName(const QString& name) {
        TRawBook raw(FPath, SQLITE_OPEN_READONLY);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(raw.Db(), "select recipe from mycook_whole where name = ?", -1, &s,
                           nullptr);
        sqlite3_bind_text16(s, 1, name.utf16(), int(name.size() * 2), SQLITE_TRANSIENT);
        const qint64 id = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        return id;
    }
    struct TExpect {
        const char* Keyword;
        std::vector<const char*> Found;
    };
    struct TStep {
        const char* What;
        std::function<void(TWholeSearchTest&)> Change;
        std::vector<TExpect> Expect;
    };
    void Run(const std::vector<TStep>& steps) {
        for (const TStep& step : steps) {
            SCOPED_TRACE(step.What);
            step.Change(*this);
            for (const TExpect& e : step.Expect)
                EXPECT_EQ(Search(QString::fromUtf8(e.Keyword)), Rows(e.Found)) << e.Keyword;
        }
    }
    // Makes the row current in the whole list.
    void Current(const char* label) {
        FQuery.SetFiltered(false);
        ASSERT_TRUE(FQuery.LocateRowId(FRows[QString::fromUtf8(label)])) << label;
    }
    TRecipeStore FStore{FConnection};
    std::map<QString, qint64> FRows;
};

TEST_F(TWholeSearchTest, EachChangeIsFoundAsTheBookHoldsIt) {
    const std::vector<TStep> steps = {
        {"as stored",
         [](TWholeSearchTest&) {},
         {{"冰糖版", {"冰糖"}},
          {"腐乳", {"腐乳"}},
          {"八角", {"冰糖"}},   // whole ingredients past the column's 255
          {"全冰糖", {"冰糖"}}, // across the column's end
          // As long as the overlap searched in one pass, and longer.
          {"及诀窍大全冰糖版", {"冰糖"}},
          {"明及诀窍大全冰糖版", {"冰糖"}},
          {"诀窍大全第1版", {"filler1"}},
          {"明及诀窍大全第12版", {"filler12"}},
          {"桂花", {"桂花"}},
          {"…", {}}}}, // the column's ellipsis is in no whole name
        {"a save",
         [](TWholeSearchTest& t) { t.Store("啤酒", Lead + QStringLiteral("啤酒版")); },
         {{"啤酒", {"啤酒"}}, {"冰糖", {"冰糖"}}}},
        {"an overwrite with a new whole name",
         [](TWholeSearchTest& t) {
             auto& s = t;
             s.Current("腐乳");
             TRecipe r = Recipe(Lead + QStringLiteral("可乐版"));
             s.FStore.Overwrite(s.FQuery, r);
         },
         {{"腐乳", {}}, {"可乐", {"腐乳"}}}},
        {"the designed save changes the ingredients: their whole text no longer counts",
         [](TWholeSearchTest& t) {
             auto& s = t;
             s.Current("冰糖");
             s.FQuery.Edit();
             s.FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("梅头肉"));
             s.FQuery.Post();
         },
         {{"八角", {}}, {"梅头", {"冰糖"}}, {"冰糖版", {"冰糖"}}}},
        {"the designed save renames: the whole name no longer counts",
         [](TWholeSearchTest& t) {
             auto& s = t;
             s.Current("冰糖");
             s.FQuery.Edit();
             s.FQuery.FieldByName(Name).SetAsString(QStringLiteral("冰糖肘子"));
             s.FQuery.Post();
         },
         {{"冰糖版", {}}, {"冰糖", {"冰糖"}}}},
        {"a delete",
         [](TWholeSearchTest& t) {
             auto& s = t;
             s.Current("啤酒");
             s.FQuery.Delete();
         },
         {{"啤酒", {}}, {"可乐", {"腐乳"}}}},
        {"another program's save and delete",
         [](TWholeSearchTest& t) {
             auto& s = t;
             TADOConnection other;
             other.SetConnectionString(ConnectString(s.FPath));
             other.SetConnected(true);
             TADOQuery query(&other);
             query.SQL = QStringList{QStringLiteral("select * from mycook")};
             query.Open();
             TRecipeStore store(other);
             TRecipe r = Recipe(Lead + QStringLiteral("黄酒版"));
             store.Append(query, r);
             s.FRows["黄酒"] = r.RowId;
             TRecipe changed = Recipe(Lead + QStringLiteral("陈醋版"));
             ASSERT_TRUE(query.LocateRowId(s.FRows["filler3"]));
             store.Overwrite(query, changed);
             ASSERT_TRUE(query.LocateRowId(s.FRows["桂花"]));
             query.Delete();
         },
         {{"黄酒", {"黄酒"}}, {"陈醋", {"filler3"}}, {"第3版", {}}, {"桂花", {}}}},
        {"an import, the list read again after it",
         [](TWholeSearchTest& t) {
             auto& s = t;
             ASSERT_EQ(ImportRecipeFiles(s.FConnection, {Fixture("charsiu.html")},
                                         [](const QString&) { return TDuplicateChoice{}; })
                           .Imported,
                       1);
             // As the window does after an import.
             s.FQuery.Close();
             s.FQuery.SetFiltered(false);
             s.FQuery.Open();
             s.FRows["叉烧"] =
                 s.RowOfWholeName(QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧)"));
         },
         {{"叉烧", {"叉烧"}}, {"BBQ pork", {"叉烧"}}, {"黄酒", {"黄酒"}}}},
        {"our own statement that empties the table at once",
         [](TWholeSearchTest& t) {
             t.FConnection.Execute(QStringLiteral("delete from mycook_whole"));
         },
         {{"黄酒", {}}, {"叉烧", {}}, {"Easy Char", {"叉烧"}}}},
    };
    Search(QStringLiteral("冰糖")); // the whole texts are read and kept from here on
    Run(steps);
}

// The window's record set reads its rows and the whole texts on threads of their own;
// the search finds by whole names all the same, also after another program's change.
TEST_F(TWholeSearchTest, AWindowsRecordSetFindsWholeNamesReadBesideItsRows) {
    const std::vector<TStep> steps = {
        {"opened for the window",
         [](TWholeSearchTest& t) {
             t.FQuery.Close();
             t.FQuery.SetFiltered(false);
             t.FQuery.SetDeferredLoading(true);
             t.FQuery.Open();
             t.FQuery.StartLoading();
         },
         {{"冰糖版", {"冰糖"}}, {"八角", {"冰糖"}}, {"…", {}}}},
        {"another program's overwrite",
         [](TWholeSearchTest& t) {
             TADOConnection other;
             other.SetConnectionString(ConnectString(t.FPath));
             other.SetConnected(true);
             TADOQuery query(&other);
             query.SQL = QStringList{QStringLiteral("select * from mycook")};
             query.Open();
             ASSERT_TRUE(query.LocateRowId(t.FRows["冰糖"]));
             TRecipe r = Recipe(Lead + QStringLiteral("黄酒版"));
             TRecipeStore(other).Overwrite(query, r);
         },
         {{"冰糖版", {}}, {"黄酒", {"冰糖"}}, {"八角", {}}}},
        {"a save of ours",
         [](TWholeSearchTest& t) { t.Store("啤酒", Lead + QStringLiteral("啤酒版")); },
         {{"啤酒", {"啤酒"}}, {"黄酒", {"冰糖"}}}},
    };
    Run(steps);
}

// Two names that differ only past the thirty characters the column keeps are found apart.
TEST_F(TWholeSearchTest, NamesDifferingPastTheColumnAreFoundApart) {
    const qint64 a = Store("甲", Lead + QStringLiteral("甲乙丙"));
    const qint64 b = Store("丁", Lead + QStringLiteral("丁戊己"));
    EXPECT_EQ(Search(QStringLiteral("乙丙")), std::set<qint64>{a});
    EXPECT_EQ(Search(QStringLiteral("全丁")), std::set<qint64>{b});
    // The column's last kept character: in every cut name.
    EXPECT_EQ(Search(QStringLiteral("大全")).size(), 44u);
}

// A save, an overwrite and a delete of ours read only the rows they touched.
TEST_F(TWholeSearchTest, OurChangesReadOnlyTheirRows) {
    TWholeRowsRead read(FConnection.Handle());
    Search(QStringLiteral("冰糖"));
    // The reading started with the book may have been on its own thread.
    const int first = read.Take();
    EXPECT_TRUE(first == 0 || first >= 42) << first;
    const qint64 beer = Store("啤酒", Lead + QStringLiteral("啤酒版"));
    EXPECT_EQ(Search(QStringLiteral("啤酒")), std::set<qint64>{beer});
    EXPECT_LE(read.Take(), 1);
    Current("腐乳");
    TRecipe r = Recipe(Lead + QStringLiteral("可乐版"));
    FStore.Overwrite(FQuery, r);
    EXPECT_EQ(Search(QStringLiteral("可乐")), std::set<qint64>{FRows["腐乳"]});
    EXPECT_LE(read.Take(), 1);
    FQuery.SetFiltered(false);
    ASSERT_TRUE(FQuery.LocateRowId(beer));
    FQuery.Delete();
    EXPECT_TRUE(Search(QStringLiteral("啤酒")).empty());
    EXPECT_EQ(read.Take(), 0);
}

} // namespace
