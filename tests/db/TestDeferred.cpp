// Deferred reading of the rows: the count at once, the rows read by a thread of
// their own or on first use, and every operation seeing the same book either way.

#include "BookTestUtil.h"

#include <QBuffer>
#include <atomic>
#include <sqlite3.h>
#include <thread>

namespace {

class TDeferredTest : public TBookTest {
protected:
    void SetUp() override {
        TBookTest::SetUp();
        FConnection.BeginTrans();
        for (int i = 0; i < 300; ++i)
            Add(QStringLiteral("菜%1").arg(i), i % 7 == 0 ? QStringLiteral("松茸") : QString());
        FConnection.CommitTrans();
        FQuery.Close();
        FQuery.SetDeferredLoading(true);
        FQuery.SetOnRowsLoaded([this](const TRowReader& rows) {
            ++FHookRuns;
            FHookCount = int(rows.Count());
            QString scratch;
            FHookLast =
                rows.Count() ? rows.Text(rows.Count() - 1, 0, scratch).toString() : QString();
        });
        OpenBook();
    }
    std::atomic<int> FHookRuns = 0;
    int FHookCount = -1;
    QString FHookLast;
};

// Each step once with the rows read on first use and once by the loading thread.
TEST_F(TDeferredTest, SameResultsWhetherReadEarlyOrLate) {
    for (const bool started : {false, true}) {
        SCOPED_TRACE(started);
        FHookRuns = 0;
        OpenBook();
        EXPECT_TRUE(FQuery.RowsPending());
        EXPECT_EQ(FQuery.RecordCount(), 300); // the count alone
        EXPECT_TRUE(FQuery.RowsPending());
        if (started)
            FQuery.StartLoading();
        FQuery.SetFilter(QStringLiteral("原料 like  '%松茸%'"));
        FQuery.SetFiltered(true);
        EXPECT_FALSE(FQuery.RowsPending());
        EXPECT_EQ(FQuery.RecordCount(), 43);
        EXPECT_EQ(FHookRuns, 1);
        EXPECT_EQ(FHookCount, 300);
        EXPECT_EQ(FHookLast, QStringLiteral("菜299"));
        FQuery.SetFiltered(false);
        EXPECT_EQ(Names().size(), 300);
        EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("菜150")));
        EXPECT_EQ(FQuery.RecNo(), 151);
    }
}

TEST_F(TDeferredTest, EveryUseWaitsForTheRows) {
    // Each of these, as the first use after opening, sees the whole book. (A look-up
    // by name goes without the rows: see the look-ups below.)
    const std::function<void()> uses[] = {
        [&] { EXPECT_FALSE(FQuery.Eof()); },
        [&] { EXPECT_EQ(FQuery.RecNo(), 1); },
        [&] { EXPECT_GT(FQuery.RowId(), 0); },
        [&] { EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QStringLiteral("菜0")); },
    };
    for (const auto& use : uses) {
        OpenBook();
        FQuery.StartLoading();
        use();
        EXPECT_FALSE(FQuery.RowsPending());
        EXPECT_EQ(FQuery.RecordCount(), 300);
    }
}

TEST_F(TDeferredTest, WritesWhileReadingAreNotLost) {
    OpenBook();
    FQuery.StartLoading();
    // A transaction begun while the rows are read must not be missed by them.
    FConnection.BeginTrans();
    Add(QStringLiteral("新菜"));
    FConnection.CommitTrans();
    EXPECT_EQ(FQuery.RecordCount(), 301);
    OpenBook();

    FQuery.StartLoading();
    FQuery.SQL = QStringList{QStringLiteral("delete from mycook where 菜名='菜0'")};
    FQuery.ExecSQL();
    FQuery.SQL = QStringList{QStringLiteral("select * from mycook")};
    EXPECT_EQ(FQuery.RecordCount(), 300);
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("菜0")));
}

TEST_F(TDeferredTest, ClosingWhileReadingAndReadingInATransaction) {
    for (int i = 0; i < 5; ++i) {
        OpenBook();
        FQuery.StartLoading();
        FQuery.Close(); // waits for the thread and drops its rows
        EXPECT_FALSE(FQuery.Active());
        EXPECT_FALSE(FQuery.RowsPending());
    }
    OpenBook();
    FConnection.BeginTrans();
    Add(QStringLiteral("未提交"));
    OpenBook();
    FQuery.StartLoading(); // another connection would not see the row: read on first use
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("未提交")));
    FConnection.RollbackTrans();
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("未提交")));
}

TEST_F(TDeferredTest, RowsByIdentity) {
    const TRowReader& rows = FQuery.Rows();
    EXPECT_FALSE(FQuery.RowsPending());
    ASSERT_EQ(rows.Count(), 300);
    const qsizetype at = rows.Find(rows.RowId(7));
    ASSERT_EQ(at, 7);
    QString scratch;
    EXPECT_EQ(rows.Text(at, FQuery.FieldIndex(Ingredients), scratch), QStringLiteral("松茸"));
    EXPECT_EQ(rows.Text(at, FQuery.FieldIndex(Method), scratch), QString());
    EXPECT_EQ(rows.Find(-5), -1);
    EXPECT_EQ(FQuery.FieldIndex(QStringLiteral("无此列")), -1);
}

} // namespace

namespace {

// The rows' reading held on its thread until released, so what the query does
// meanwhile is seen without the rows.
class THeldLoadTest : public TBookTest {
protected:
    void SetUp() override {
        TBookTest::SetUp();
        FQuery.Close();
        FQuery.SetDeferredLoading(true);
        FQuery.SetOnRowsLoaded([this](const TRowReader&) {
            while (FHold.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        OpenBook();
    }
    void TearDown() override { FHold = false; }

    void Reopen() {
        // The last reading must have ended before the hold is put back, or it
        // stays held and the reopening waits for it for ever.
        if (FQuery.Active() && FQuery.RowsLoading())
            FQuery.WaitForRows();
        FHold = true;
        OpenBook();
        FQuery.StartLoading();
        ASSERT_TRUE(FQuery.RowsLoading());
    }
    // What the rows say once they are in.
    QString NameOfRow(qint64 rowId) {
        const TRowReader& rows = FQuery.Rows();
        QString scratch;
        const qsizetype at = rows.Find(rowId);
        return at < 0 ? QStringLiteral("<none>")
                      : rows.Text(at, FQuery.FieldIndex(Name), scratch).toString();
    }
    std::atomic<bool> FHold = false;
};

const QString Long30 =
    QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");

// Whole names longer than the column are stored cut to its 30 characters, so two
// recipes differing only after them share the column's name: the first is found.
struct TLookUpCase {
    const char* Why;
    QString Wanted;
    int Expected; // index into the stored names, -1: none
};

TEST_F(THeldLoadTest, LookUpByNameBeforeTheRowsAreIn) {
    const QStringList stored = {
        QStringLiteral("红烧肉"),
        QStringLiteral("Tofu"),
        QStringLiteral("ＴＯＦＵ"),
        QStringLiteral("鱼香肉丝 "),
        Long30,
        Long30,
        QStringLiteral("红烧肉"),
        QStringLiteral(""),
        QStringLiteral("tofu"),
    };
    FConnection.BeginTrans();
    for (const QString& name : stored)
        Add(name);
    FConnection.CommitTrans();
    const TLookUpCase cases[] = {
        {"present twice: the first", QStringLiteral("红烧肉"), 0},
        {"case differs", QStringLiteral("TOFU"), -1},
        {"exact case", QStringLiteral("tofu"), 8},
        {"width differs", QStringLiteral("Ｔｏｆｕ"), -1},
        {"full width exact", QStringLiteral("ＴＯＦＵ"), 2},
        {"trailing blank kept", QStringLiteral("鱼香肉丝"), -1},
        {"with its blank", QStringLiteral("鱼香肉丝 "), 3},
        {"differing after 30 characters: the first", Long30, 4},
        {"empty name", QStringLiteral(""), 7},
        {"absent", QStringLiteral("不存在"), -1},
    };
    OpenBook();
    std::vector<qint64> ids;
    for (const TRowReader& rows = FQuery.Rows(); qsizetype i : {0, 1, 2, 3, 4, 5, 6, 7, 8})
        ids.push_back(rows.RowId(i));
    for (const TLookUpCase& c : cases) {
        SCOPED_TRACE(c.Why);
        Reopen();
        const bool found = FQuery.Locate(Name, c.Wanted);
        EXPECT_EQ(found, c.Expected >= 0);
        EXPECT_TRUE(FQuery.RowsLoading()); // answered without the rows
        if (c.Expected >= 0)
            EXPECT_EQ(FQuery.RowId(), ids[size_t(c.Expected)]);
        FHold = false;
        // The rows, once in, agree and keep the row found as the current one.
        if (c.Expected >= 0) {
            EXPECT_EQ(FQuery.RecNo(), c.Expected + 1);
            EXPECT_EQ(FQuery.RowId(), ids[size_t(c.Expected)]);
        }
        EXPECT_EQ(FQuery.Locate(Name, c.Wanted), found);
        if (found)
            EXPECT_EQ(FQuery.RowId(), ids[size_t(c.Expected)]);
    }
}

// The designed save's steps while the rows are read: append then picture, or
// overwrite; the rows catch up with all of it, and the count follows at once.
TEST_F(THeldLoadTest, SaveStepsBeforeTheRowsAreIn) {
    FConnection.BeginTrans();
    for (int i = 0; i < 50; ++i)
        Add(QStringLiteral("菜%1").arg(i), QStringLiteral("料%1").arg(i));
    FConnection.CommitTrans();
    Reopen();
    EXPECT_EQ(FQuery.RecordCount(), 50);

    // New: append, look up again, store the picture.
    ASSERT_FALSE(FQuery.Locate(Name, QStringLiteral("新菜")));
    FConnection.BeginTrans();
    FQuery.AppendRecord({QStringLiteral("新菜"), QStringLiteral("新料"), QStringLiteral("法"),
                         QStringLiteral("注")});
    const qint64 added = FQuery.RowId();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("新菜")));
    EXPECT_EQ(FQuery.RowId(), added);
    QBuffer picture;
    picture.setData(QByteArray("\xFF\xD8 jpeg", 7));
    picture.open(QIODevice::ReadOnly);
    FQuery.Edit();
    FQuery.FieldByName(QStringLiteral("img")).LoadFromStream(picture);
    FQuery.Post();
    FConnection.CommitTrans();
    EXPECT_EQ(FQuery.RecordCount(), 51);

    // Existing: overwrite in place.
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("菜7")));
    const qint64 seventh = FQuery.RowId();
    FConnection.BeginTrans();
    FQuery.Edit();
    FQuery.FieldByName(Name).SetAsString(QStringLiteral("菜七"));
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("新的料"));
    FQuery.Post();
    FConnection.CommitTrans();
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("新的料"));
    EXPECT_TRUE(FQuery.RowsLoading());
    EXPECT_EQ(FQuery.RecordCount(), 51);

    // Removed by another statement of the window meanwhile.
    FConnection.Execute(QStringLiteral("delete from mycook where 菜名='菜9'"));
    EXPECT_EQ(FQuery.RecordCount(), 50);

    FHold = false;
    EXPECT_EQ(FQuery.RowId(), seventh); // still the row saved last
    EXPECT_EQ(NameOfRow(added), QStringLiteral("新菜"));
    EXPECT_EQ(NameOfRow(seventh), QStringLiteral("菜七"));
    EXPECT_EQ(FQuery.RecordCount(), 50);
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("菜7")));
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("菜9")));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("菜七")));
    EXPECT_EQ(FQuery.RowId(), seventh);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("新菜")));
    EXPECT_EQ(FQuery.FieldByName(QStringLiteral("img")).AsBytes(), QByteArray("\xFF\xD8 jpeg", 7));
    FQuery.SetFilter(QStringLiteral("原料 like  '%新%'"));
    FQuery.SetFiltered(true);
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("菜七"), QStringLiteral("新菜")}));
}

// A rolled-back save while the rows are read leaves them as the book is.
TEST_F(THeldLoadTest, RolledBackSaveBeforeTheRowsAreIn) {
    Add(QStringLiteral("旧菜"));
    Reopen();
    FConnection.BeginTrans();
    FQuery.AppendRecord({QStringLiteral("不要的菜")});
    EXPECT_TRUE(FQuery.RowsLoading());
    EXPECT_EQ(FQuery.RecordCount(), 2);
    FHold = false; // the rollback reads the rows again
    FConnection.RollbackTrans();
    EXPECT_EQ(FQuery.RecordCount(), 1);
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("不要的菜")));
    EXPECT_EQ(Names(), QStringList{QStringLiteral("旧菜")});
}

// More rows than one piece of the reading, with the names the index orders in
// awkward ways (none, empty, equal names with equal and differing ingredients,
// bytes): read in pieces they are the book exactly, each row once.
TEST_F(TDeferredTest, ReadInPiecesTheRowsAreTheBook) {
    FConnection.BeginTrans();
    FConnection.Execute(QStringLiteral("delete from mycook"));
    for (int i = 0; i < 2600; ++i) {
        const int kind = i % 6;
        const QVariant name = kind == 0   ? QVariant()
                              : kind == 1 ? QVariant(QString(""))
                              : kind == 2 ? QVariant(QStringLiteral("同名"))
                                          : QVariant(QStringLiteral("菜%1").arg(i % 700));
        const QVariant ingredients =
            i % 5 == 0 ? QVariant() : QVariant(QStringLiteral("料%1").arg(i % 3));
        FQuery.AppendRecord({name, ingredients});
    }
    FConnection.Execute(
        QStringLiteral("update mycook set 菜名=cast('字节' as blob) where rowid % 97 = 0"));
    FConnection.CommitTrans();
    OpenBook();
    FQuery.StartLoading();
    const TRowReader& rows = FQuery.Rows();
    sqlite3* db = FConnection.Handle();
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select rowid, 菜名, 原料 from mycook order by rowid", -1, &s,
                                 nullptr),
              SQLITE_OK);
    qsizetype at = 0;
    QString scratch;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ASSERT_LT(at, rows.Count());
        EXPECT_EQ(rows.RowId(at), sqlite3_column_int64(s, 0));
        for (int c = 0; c < 2; ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c + 1));
            EXPECT_EQ(rows.Text(at, c, scratch).toString(),
                      text ? QString::fromUtf8(text) : QString())
                << at;
        }
        ++at;
    }
    sqlite3_finalize(s);
    EXPECT_EQ(at, rows.Count());
    EXPECT_EQ(FQuery.RecordCount(), 2600);
}

// Rows read in an order other than their own (names falling as the rows rise), with
// values too long to hold in memory, empty and missing ones: once in, every row has
// its own texts, and a look-up, a filter, an append and a delete find what they should.
TEST_F(TDeferredTest, RowsReadOutOfTheirOrderKeepTheirTexts) {
    auto nameOf = [](int i) {
        return i % 50 == 0 ? QVariant() : QVariant(QStringLiteral("菜%1").arg(999 - i));
    };
    auto ingredientsOf = [](int i) {
        return i % 77 == 0  ? QVariant(QString(5000, QChar(u'长')))
               : i % 9 == 0 ? QVariant(QString(""))
                            : QVariant(QStringLiteral("料%1").arg(i));
    };
    FConnection.BeginTrans();
    FConnection.Execute(QStringLiteral("delete from mycook"));
    for (int i = 0; i < 500; ++i)
        FQuery.AppendRecord(
            {nameOf(i), i % 77 == 0 ? QVariant(QStringLiteral("长")) : ingredientsOf(i)});
    // Longer than the column lets the window write, as an outside program may.
    FConnection.Execute(QStringLiteral(
        "update mycook set 原料=replace(hex(zeroblob(2500)), '0', '长') where 原料='长'"));
    FConnection.CommitTrans();
    OpenBook();
    FQuery.StartLoading();
    FQuery.First();
    for (int i = 0; i < 500; ++i, FQuery.Next()) {
        ASSERT_FALSE(FQuery.Eof()) << i;
        EXPECT_EQ(FQuery.FieldByName(Name).AsString(), nameOf(i).toString()) << i;
        EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), ingredientsOf(i).toString()) << i;
    }
    EXPECT_TRUE(FQuery.Eof());
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("菜700")));
    EXPECT_EQ(FQuery.RecNo(), 300);
    FQuery.SetFilter(QStringLiteral("原料 like  '%长%'"));
    FQuery.SetFiltered(true);
    EXPECT_EQ(FQuery.RecordCount(), 7);
    FQuery.SetFiltered(false);
    FQuery.AppendRecord({QStringLiteral("新菜"), QStringLiteral("新料")});
    EXPECT_EQ(FQuery.RecordCount(), 501);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("菜998")));
    FQuery.Delete();
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("菜998")));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("菜997")));
    EXPECT_EQ(FQuery.RecNo(), 2);
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("料2"));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("新菜")));
    EXPECT_EQ(FQuery.RecNo(), 500);
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("新料"));
}

} // namespace
