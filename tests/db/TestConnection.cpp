// Connection strings, creating books and refusing files that are not ours.

#include "../common/RawBook.h"
#include "../common/TestFiles.h"
#include "BookTestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

struct TItemCase {
    const char* Text;
    const char* Key;
    const char* Expected;
};

const TItemCase ItemCases[] = {
    // The program's own connection string, blanks around "=" in other items.
    {"Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = ReadWrite;"
     "Data Source=/tmp/x/cook.mdb;Jet OLEDB:Database Password=",
     "Data Source", "/tmp/x/cook.mdb"},
    {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a b/cook.mdb;Jet OLEDB:Database Password=",
     "Data Source", "/a b/cook.mdb"},
    {"Provider=x;Persist Security Info = False", "Persist Security Info", " False"},
    {"  Data Source  =/p;", "Data Source", "/p"},
    {"data source=/lower", "Data Source", "/lower"},
    // The value runs to the item's end: only the first "=" splits.
    {"Data Source=/a=b/c.mdb;X=1", "Data Source", "/a=b/c.mdb"},
    {"Data Source=;Jet OLEDB:Database Password=", "Data Source", ""},
    {"Provider=x;Jet OLEDB:Database Password=secret", "Jet OLEDB:Database Password", "secret"},
    {"Provider=x", "Data Source", ""},
    {"Data Source", "Data Source", ""},
    {"Data Source=/first;Data Source=/second", "Data Source", "/second"},
    {"", "Data Source", ""},
};

class TConnectionStringTest : public ::testing::TestWithParam<TItemCase> {};

TEST_P(TConnectionStringTest, ReadsItem) {
    const TItemCase& c = GetParam();
    EXPECT_EQ(ConnectionStringItem(QString::fromUtf8(c.Text), QString::fromUtf8(c.Key)),
              QString::fromUtf8(c.Expected));
}

INSTANTIATE_TEST_SUITE_P(Items, TConnectionStringTest, ::testing::ValuesIn(ItemCases));

class TCreateConnectTest : public ::testing::Test {
protected:
    QString PathOf(const char* name) const { return FDir.filePath(QString::fromUtf8(name)); }
    void Connect(const QString& path) {
        FConnection.SetConnectionString(ConnectString(path));
        FConnection.SetConnected(true);
    }
    QTemporaryDir FDir;
    TADOConnection FConnection;
};

TEST_F(TCreateConnectTest, CreatesEmptyBookAndTheProgramsTable) {
    const QString path = PathOf("cook.mdb");
    CreateDatabaseFile(CreationString(path));
    ASSERT_TRUE(QFileInfo::exists(path));
    Connect(path);
    ASSERT_TRUE(FConnection.Connected());
    EXPECT_EQ(FConnection.DatabasePath(), path);
    TADOQuery q(&FConnection);
    q.SQL = QStringList{CreateTableSql};
    q.ExecSQL();
    q.SQL = QStringList{QStringLiteral("select * from mycook")};
    q.Open();
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 0);
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.RecNo(), -1);
    for (const QString& f : {Name, Ingredients, Method, Note, QStringLiteral("img")}) {
        EXPECT_EQ(q.FieldByName(f).FieldName(), f);
    }
    // Running the create statement twice fails, in the cook's language.
    q.SQL = QStringList{CreateTableSql};
    try {
        q.ExecSQL();
        FAIL() << "second create table succeeded";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("处理菜谱库“"))) << e.what();
    }
}

TEST_F(TCreateConnectTest, CreateRefusesExistingFileAndLeavesIt) {
    const QString path = PathOf("cook.mdb");
    { ASSERT_TRUE(WriteFile(path, "precious")); }
    const QByteArray before = FileDigest(path);
    EXPECT_THROW(CreateDatabaseFile(CreationString(path)), EDatabaseError);
    EXPECT_EQ(FileDigest(path), before);

    // An existing book is not re-created either.
    const QString book = PathOf("second.mdb");
    CreateDatabaseFile(CreationString(book));
    EXPECT_THROW(CreateDatabaseFile(CreationString(book)), EDatabaseError);
}

TEST_F(TCreateConnectTest, CreateFailsCleanlyWhereNoFileCanBeMade) {
    EXPECT_THROW(CreateDatabaseFile(CreationString(PathOf("missing/dir/cook.mdb"))),
                 EDatabaseError);
    EXPECT_THROW(CreateDatabaseFile(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;")),
                 EDatabaseError);
    EXPECT_FALSE(QFileInfo::exists(PathOf("missing")));
}

TEST_F(TCreateConnectTest, ConnectingNeverCreatesAFile) {
    const QString path = PathOf("cook.mdb");
    EXPECT_THROW(Connect(path), EDatabaseError);
    EXPECT_FALSE(FConnection.Connected());
    EXPECT_FALSE(QFileInfo::exists(path));
    FConnection.SetConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;"));
    EXPECT_THROW(FConnection.SetConnected(true), EDatabaseError);
}

// Files that are not our books: refused, and left byte for byte as they were.
struct TForeignCase {
    const char* Label;
    const char* Fixture; // file under the fixture folder, or nullptr for a made-up one
};

class TForeignFileTest : public TCreateConnectTest,
                         public ::testing::WithParamInterface<TForeignCase> {};

QString MakeForeignFile(const QString& dir, const char* label) {
    const QString path = dir + QStringLiteral("/foreign.db");
    const QString what = QString::fromUtf8(label);
    if (what == u"empty file") {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
    } else if (what == u"foreign sqlite") {
        TRawBook(path).Run("create table accounts(id integer, owner text); insert into accounts "
                           "values(1,'x');");
    } else if (what == u"foreign sqlite with hot journal") {
        // A foreign database caught mid-write (its journal is hot): even its recovery
        // is not ours to do. Pages are forced out to the file before the copy is taken.
        const QString live = dir + QStringLiteral("/live/db");
        QDir(dir).mkdir(QStringLiteral("live"));
        TRawBook db(live);
        db.Run("create table t(a); insert into t values(1); pragma cache_size=2; begin; "
               "with recursive n(i) as (select 1 union all select i+1 from n where i<200) "
               "insert into t select randomblob(3000) from n;");
        QFile::copy(live, path);
        QFile::copy(live + QStringLiteral("-journal"), path + QStringLiteral("-journal"));
        db.Run("rollback");
    }
    return path;
}

TEST_P(TForeignFileTest, IsRefusedAndLeftUnchanged) {
    const TForeignCase& c = GetParam();
    QString path;
    if (c.Fixture) {
        path = PathOf(c.Fixture);
        ASSERT_TRUE(QFile::copy(
            QStringLiteral(MYCOOK_DB_FIXTURES "/") + QString::fromUtf8(c.Fixture), path));
    } else {
        path = MakeForeignFile(FDir.path(), c.Label);
    }
    auto digests = [&] {
        QStringList out;
        for (const QString& f : QDir(FDir.path()).entryList(QDir::Files)) {
            out << f + QLatin1Char(' ') + QString::fromLatin1(FileDigest(FDir.filePath(f)).toHex());
        }
        return out;
    };
    const QStringList before = digests();
    try {
        Connect(path);
        FAIL() << "connected to " << c.Label;
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.what();
    }
    EXPECT_FALSE(FConnection.Connected());
    EXPECT_EQ(digests(), before);
}

const TForeignCase ForeignCases[] = {
    {"text file", "not_a_book.txt"},
    {"png picture", "tiny.png"},
    {"truncated sqlite header", "truncated_header.db"},
    {"empty file", nullptr},
    {"foreign sqlite", nullptr},
    {"foreign sqlite with hot journal", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Files, TForeignFileTest, ::testing::ValuesIn(ForeignCases),
                         [](const auto& info) {
                             std::string s = info.param.Label;
                             std::replace(s.begin(), s.end(), ' ', '_');
                             return s;
                         });

TEST_F(TCreateConnectTest, DirectoryIsRefused) {
    EXPECT_THROW(Connect(FDir.path()), EDatabaseError);
    EXPECT_FALSE(FConnection.Connected());
}

TEST_F(TCreateConnectTest, SqliteBookMadeElsewhereWithTheTableIsAccepted) {
    const QString path = PathOf("cook.mdb");
    {
        TRawBook db(path);
        db.Run(CreateTableSql.toUtf8().constData());
        db.Run("insert into mycook(菜名) values('红烧肉')");
    }
    Connect(path);
    TADOQuery q(&FConnection);
    q.SQL = QStringList{QStringLiteral("select * from mycook")};
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName(Name).AsString(), QStringLiteral("红烧肉"));
}

TEST_F(TCreateConnectTest, DisconnectClosesQueriesAndConnectionOutlivesNothing) {
    const QString path = PathOf("cook.mdb");
    CreateDatabaseFile(CreationString(path));
    Connect(path);
    auto q = std::make_unique<TADOQuery>(&FConnection);
    q->SQL = QStringList{CreateTableSql};
    q->ExecSQL();
    q->SQL = QStringList{QStringLiteral("select * from mycook")};
    q->Open();
    FConnection.SetConnected(false);
    EXPECT_FALSE(q->Active());
    EXPECT_THROW(q->Open(), EDatabaseError);
    EXPECT_THROW(q->RecordCount(), EDatabaseError);
    EXPECT_THROW(FConnection.BeginTrans(), EDatabaseError);
    // The connection may go first; the query then is simply detached.
    {
        TADOConnection other;
        other.SetConnectionString(ConnectString(path));
        other.SetConnected(true);
        q = std::make_unique<TADOQuery>(&other);
        q->SQL = QStringList{QStringLiteral("select * from mycook")};
        q->Open();
    }
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->Connection(), nullptr);
    EXPECT_THROW(q->Open(), EDatabaseError);
}

} // namespace
