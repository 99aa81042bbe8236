// Removing rows: the cache, the filtered view and the look-up stay true to the book.
#include "BookTestUtil.h"

#include <QDir>

namespace {
class DeleteTest : public TBookTest {
protected:
    void SetUp() override {
        TBookTest::SetUp();
        for (const char* n : {"甲", "乙", "丙", "丁", "戊"})
            Add(QString::fromUtf8(n), QStringLiteral("料") + QString::fromUtf8(n));
    }
    void DeleteNamed(const QString& name) {
        ASSERT_TRUE(FQuery.Locate(Name, name));
        FQuery.Delete();
    }
    // What a fresh read of the book shows.
    QStringList Stored() {
        TADOQuery fresh(&FConnection);
        fresh.SQL = QStringList{QStringLiteral("select * from mycook")};
        fresh.Open();
        QStringList out;
        for (fresh.First(); !fresh.Eof(); fresh.Next())
            out << fresh.FieldByName(Name).AsString();
        return out;
    }
};

TEST_F(DeleteTest, RowsAtEveryPlaceLeaveCacheAndBookAlike) {
    struct TCase {
        const char* Name;
        QStringList After;
        QString NextCurrent; // empty: past the end
    };
    const TCase cases[] = {
        {"甲", {"乙", "丙", "丁", "戊"}, "乙"},
        {"丙", {"乙", "丁", "戊"}, "丁"},
        {"戊", {"乙", "丁"}, QString()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        DeleteNamed(QString::fromUtf8(c.Name));
        if (c.NextCurrent.isEmpty())
            EXPECT_TRUE(FQuery.Eof());
        else
            EXPECT_EQ(FQuery.FieldByName(Name).AsString(), c.NextCurrent);
        EXPECT_EQ(Names(), c.After);
        EXPECT_EQ(Stored(), c.After);
        EXPECT_EQ(FQuery.RecordCount(), c.After.size());
        // The name index does not find the removed row, and finds the others with their texts.
        EXPECT_FALSE(FQuery.Locate(Name, QString::fromUtf8(c.Name)));
        for (const QString& n : c.After) {
            ASSERT_TRUE(FQuery.Locate(Name, n));
            EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("料") + n);
        }
    }
}

TEST_F(DeleteTest, FilteredViewShrinksAndKeepsItsFilter) {
    FQuery.SetFilter(QStringLiteral("菜名 like '%丙%' or 菜名 like '%戊%' or 菜名 like '%甲%'"));
    FQuery.SetFiltered(true);
    DeleteNamed(QStringLiteral("丙"));
    EXPECT_EQ(FQuery.RecNo(), 2) << "the next row of the view becomes current";
    EXPECT_EQ(Names(), (QStringList{"甲", "戊"}));
    EXPECT_EQ(FQuery.RecordCount(), 2);
    FQuery.SetFiltered(false);
    EXPECT_EQ(Names(), (QStringList{"甲", "乙", "丁", "戊"}));
}

TEST_F(DeleteTest, AppendAfterDeleteIsFoundAndIdentitiesDiffer) {
    DeleteNamed(QStringLiteral("乙"));
    Add(QStringLiteral("己"), QStringLiteral("料己"));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("己")));
    const qint64 added = FQuery.RowId();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("丁")));
    EXPECT_NE(FQuery.RowId(), added);
    EXPECT_EQ(Names(), (QStringList{"甲", "丙", "丁", "戊", "己"}));
    EXPECT_EQ(Stored(), Names());
}

TEST_F(DeleteTest, WithoutCurrentRowRaisesAndRemovesNothing) {
    FQuery.First();
    while (!FQuery.Eof())
        FQuery.Next();
    EXPECT_EQ(FQuery.RowId(), -1);
    EXPECT_THROW(FQuery.Delete(), EDatabaseError);
    EXPECT_EQ(Stored().size(), 5);
}

TEST_F(DeleteTest, RolledBackDeleteShowsTheRowAgain) {
    FConnection.BeginTrans();
    DeleteNamed(QStringLiteral("丙"));
    EXPECT_EQ(FQuery.RecordCount(), 4);
    FConnection.RollbackTrans();
    EXPECT_EQ(FQuery.RecordCount(), 5);
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("丙")));
}
} // namespace
