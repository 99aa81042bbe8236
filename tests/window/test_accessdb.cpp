#include "ADODB.h"
#include "AccessDb.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct TFilterCase {
    bool Quoted;
    int Comparison;
    const char* Value;
    const char* Expected;
};

class BuildFilterTermTest : public testing::TestWithParam<TFilterCase> {};

TEST_P(BuildFilterTermTest, ComposesTheTermExactly) {
    const TFilterCase& c = GetParam();
    EXPECT_EQ(
        BuildFilterTerm(QStringLiteral("菜名"), QString::fromUtf8(c.Value), c.Comparison, c.Quoted)
            .toStdString(),
        c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, BuildFilterTermTest,
    testing::Values(
        TFilterCase{true, -1, "鱼", "菜名 like  '鱼*'"},
        TFilterCase{true, -7, "鱼", "菜名 like  '鱼*'"}, TFilterCase{true, 0, "鱼", "菜名 = '鱼'"},
        TFilterCase{true, 1, "鱼", "菜名 like  '%鱼%'"},
        TFilterCase{true, 9, "鱼", "菜名 like  '%鱼%'"}, TFilterCase{false, -2, "5", "菜名 <= 5"},
        TFilterCase{false, -1, "5", "菜名 < 5"}, TFilterCase{false, 1, "5", "菜名 >5"},
        TFilterCase{false, 2, "5", "菜名 >=5"}, TFilterCase{false, 0, "5", "菜名 = 5"},
        TFilterCase{false, 5, "5", "菜名 = 5"}, TFilterCase{false, -3, "5", "菜名 = 5"},
        // Blanks pass through; the value's wildcards become literal characters,
        // only in the pattern forms.
        TFilterCase{true, 1, "  ", "菜名 like  '%  %'"},
        TFilterCase{true, 1, "", "菜名 like  '%%'"},
        TFilterCase{true, 1, "a%b*c", "菜名 like  '%a[%]b[*]c%'"},
        TFilterCase{true, 1, "_?[", "菜名 like  '%[_][?][[]%'"},
        TFilterCase{true, -1, "5%", "菜名 like  '5[%]*'"},
        TFilterCase{true, 0, "5%_", "菜名 = '5%_'"}, TFilterCase{false, 1, "5%", "菜名 >5%"},
        TFilterCase{true, 1, "it's 5%", "菜名 like  '%it''s 5[%]%'"},
        // Quotes are doubled only in quoted terms.
        TFilterCase{true, 1, "it's", "菜名 like  '%it''s%'"},
        TFilterCase{true, 0, "''", "菜名 = ''''''"}, TFilterCase{false, 0, "'x'", "菜名 = 'x'"}));

TEST(AccessStrings, ConnectionAndCreationTextsAreVerbatim) {
    EXPECT_EQ(AccessConnectionString(QStringLiteral("/a/cook.mdb"), QString()).toStdString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = ReadWrite;"
              "Data Source=/a/cook.mdb;Jet OLEDB:Database Password=");
    EXPECT_EQ(
        AccessCreationString(QStringLiteral("/a/cook.mdb"), QString()).toStdString(),
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a/cook.mdb;Jet OLEDB:Database Password=");
    // A path holding a placeholder-like text is inserted as it is.
    EXPECT_TRUE(AccessConnectionString(QStringLiteral("/x%2y"), QStringLiteral("pw"))
                    .contains(QStringLiteral("Data Source=/x%2y;Jet OLEDB:Database Password=pw")));
}

class AccessDbTest : public testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path() const { return Dir.filePath(QStringLiteral("cook.mdb")); }
    const QString CreateSql = QStringLiteral(
        "create table mycook(菜名 char(30),原料 char(255),做法 memo,说明 char(255),img image)");
};

TEST_F(AccessDbTest, FirstRunSequenceMakesAnOpenEmptyTable) {
    ASSERT_TRUE(CreateAccessDatabase(Path(), QString()));
    EXPECT_TRUE(QFile::exists(Path()));
    TADOConnection connection;
    TADOQuery query(&connection);
    EXPECT_TRUE(ConnectAccessDatabase(connection, Path(), QString()));
    EXPECT_FALSE(connection.LoginPrompt());
    EXPECT_TRUE(ExecSql(query, CreateSql));
    EXPECT_TRUE(query.SQL.isEmpty());
    EXPECT_TRUE(OpenTable(query, QStringLiteral("mycook")));
    EXPECT_EQ(query.SQL, QStringList{QStringLiteral("select * from mycook")});
    EXPECT_EQ(query.RecordCount(), 0);
    // Running the creation again fails: the table exists, and the query is closed first.
    EXPECT_FALSE(ExecSql(query, CreateSql));
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.SQL, QStringList{CreateSql});
}

TEST_F(AccessDbTest, CreateRefusesAnExistingFile) {
    ASSERT_TRUE(CreateAccessDatabase(Path(), QString()));
    EXPECT_FALSE(CreateAccessDatabase(Path(), QString()));
    EXPECT_FALSE(
        CreateAccessDatabase(Dir.filePath(QStringLiteral("no/such/dir/cook.mdb")), QString()));
}

TEST_F(AccessDbTest, ConnectFailsQuietlyOnMissingOrForeignFiles) {
    TADOConnection connection;
    EXPECT_FALSE(ConnectAccessDatabase(connection, Path(), QString()));
    EXPECT_FALSE(connection.Connected());
    EXPECT_FALSE(QFile::exists(Path())) << "connecting must not create the book";

    QFile text(Path());
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    const QByteArray content("not a recipe book\n");
    text.write(content);
    text.close();
    EXPECT_FALSE(ConnectAccessDatabase(connection, Path(), QString()));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(text.readAll(), content);
}

TEST_F(AccessDbTest, OpenTableOnMissingTableLeavesQueryClosed) {
    ASSERT_TRUE(CreateAccessDatabase(Path(), QString()));
    TADOConnection connection;
    TADOQuery query(&connection);
    ASSERT_TRUE(ConnectAccessDatabase(connection, Path(), QString()));
    EXPECT_FALSE(OpenTable(query, QStringLiteral("nosuch")));
    EXPECT_FALSE(query.Active());
    // Without a connection nothing opens either, and nothing escapes.
    TADOConnection unconnected;
    TADOQuery orphan(&unconnected);
    EXPECT_FALSE(OpenTable(orphan, QStringLiteral("mycook")));
    EXPECT_FALSE(ExecSql(orphan, CreateSql));
}
} // namespace
