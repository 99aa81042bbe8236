// Deferred reading of the rows: the count at once, the rows read by a thread of
// their own or on first use, and every operation seeing the same book either way.

#include "BookTestUtil.h"

#include <QBuffer>
#include <atomic>

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
    // Each of these, as the first use after opening, sees the whole book.
    const std::function<void()> uses[] = {
        [&] { EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("菜299"))); },
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

TEST_F(TDeferredTest, WritesWaitAndAreNotLost) {
    OpenBook();
    FQuery.StartLoading();
    // A transaction begun while the rows are read must not be missed by them.
    FConnection.BeginTrans();
    EXPECT_FALSE(FQuery.RowsPending());
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
