// Transactions, failed writes and two program copies writing to one book.

#include "../common/RawBook.h"
#include "BookTestUtil.h"
#include "FaultVfs.h"

#include <QFileInfo>
#include <QProcess>
#include <sqlite3.h>

#include "../common/FailingDevice.h"

namespace {

QString IntegrityCheck(const QString& path) {
    TRawBook book(path, SQLITE_OPEN_READONLY);
    const QStringList rows = book.Texts(QStringLiteral("pragma integrity_check"));
    return rows.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(book.Db())) : rows.first();
}

class TTransactionTest : public TBookTest {};

TEST_F(TTransactionTest, CommitKeepsAndRollbackDropsAppends) {
    Add(QStringLiteral("base"));
    FConnection.BeginTrans();
    EXPECT_TRUE(FConnection.InTransaction());
    Add(QStringLiteral("x"));
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("x")));
    EXPECT_EQ(FQuery.RecordCount(), 2);
    FConnection.RollbackTrans();
    EXPECT_FALSE(FConnection.InTransaction());
    EXPECT_TRUE(FQuery.Active());
    EXPECT_EQ(FQuery.RecordCount(), 1);
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("x")));
    EXPECT_EQ(Names(), QStringList{QStringLiteral("base")});

    FConnection.BeginTrans();
    Add(QStringLiteral("y"));
    FConnection.CommitTrans();
    OpenBook();
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("base"), QStringLiteral("y")}));

    EXPECT_THROW(FConnection.CommitTrans(), EDatabaseError);
    EXPECT_THROW(FConnection.RollbackTrans(), EDatabaseError);
}

TEST_F(TTransactionTest, RollbackRestoresEditsAndRereadsTheFilteredView) {
    Add(QStringLiteral("apple"), QStringLiteral("a"));
    Add(QStringLiteral("banana"), QStringLiteral("b"));
    Add(QStringLiteral("cherry"), QStringLiteral("c"));
    TADOQuery other(&FConnection);
    other.SQL = QStringList{QStringLiteral("select * from mycook")};
    other.Open();
    FQuery.SetFilter(QStringLiteral("菜名 like '%an%'"));
    FQuery.SetFiltered(true);
    ASSERT_EQ(Names(), QStringList{QStringLiteral("banana")});

    TField& kept = FQuery.FieldByName(Ingredients); // must survive the re-read
    FConnection.BeginTrans();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("banana")));
    FQuery.Edit();
    kept.SetAsString(QStringLiteral("changed"));
    FQuery.Post();
    Add(QStringLiteral("durian")); // visible under the filter until it is applied again
    EXPECT_EQ(FQuery.RecordCount(), 2);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("banana")));
    FConnection.RollbackTrans();

    EXPECT_TRUE(FQuery.Filtered());
    EXPECT_EQ(FQuery.RecordCount(), 1);
    EXPECT_EQ(FQuery.RecNo(), 1); // still on the row it was on
    EXPECT_EQ(kept.AsString(), QStringLiteral("b"));
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("durian")));
    EXPECT_EQ(other.RecordCount(), 3);
    ASSERT_TRUE(other.Locate(Name, QStringLiteral("banana")));
    EXPECT_EQ(other.FieldByName(Ingredients).AsString(), QStringLiteral("b"));
}

TEST_F(TTransactionTest, NestedRollbackDropsOnlyTheInnerPart) {
    FConnection.BeginTrans();
    Add(QStringLiteral("outer"));
    FConnection.BeginTrans();
    Add(QStringLiteral("inner"));
    FConnection.RollbackTrans();
    EXPECT_TRUE(FConnection.InTransaction());
    EXPECT_EQ(Names(), QStringList{QStringLiteral("outer")});
    FConnection.CommitTrans();
    EXPECT_FALSE(FConnection.InTransaction());
    OpenBook();
    EXPECT_EQ(Names(), QStringList{QStringLiteral("outer")});
}

TEST_F(TTransactionTest, PendingEditIsDroppedByRollback) {
    Add(QStringLiteral("a"), QStringLiteral("old"));
    FConnection.BeginTrans();
    FQuery.Edit();
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("never posted"));
    FConnection.RollbackTrans();
    FQuery.First(); // would post a pending edit
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("old"));
}

// The program's save: one transaction, rolled back when anything fails.
void SaveRecipe(TADOConnection& connection, TADOQuery& query, const QString& name,
                const QByteArray& picture) {
    connection.BeginTrans();
    try {
        query.AppendRecord(
            {name, QStringLiteral("料"), QStringLiteral("法"), QStringLiteral("注")});
        if (!picture.isEmpty()) {
            query.Edit();
            QByteArray copy = picture;
            TFailingDevice source(picture.size() + 1, copy);
            query.FieldByName(QStringLiteral("img")).LoadFromStream(source);
            query.Post();
        }
        connection.CommitTrans();
    } catch (...) {
        if (connection.InTransaction()) {
            connection.RollbackTrans();
        }
        throw;
    }
}

class TFailedWriteTest : public TBookTest {
protected:
    void SetUp() override {
        TBookTest::SetUp();
        for (int i = 0; i < 5; ++i) {
            Add(QStringLiteral("菜%1").arg(i), QStringLiteral("料%1").arg(i));
        }
        FNames = Names();
    }
    void ExpectBookAsBefore(const QByteArray& digest) {
        EXPECT_EQ(FileDigest(FPath), digest);
        EXPECT_EQ(IntegrityCheck(FPath), QStringLiteral("ok"));
        EXPECT_FALSE(QFileInfo::exists(FPath + QStringLiteral("-journal")));
    }
    QStringList FNames;
};

TEST_F(TFailedWriteTest, ReadOnlyFileRefusesWritesAndStaysIntact) {
    FQuery.Close();
    FConnection.SetConnected(false);
    QFile::setPermissions(FPath, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    TFaultVfs vfs; // root may write any file; the VFS shows it read-only as the system would
    TFaultVfs::Faults().ReadOnlyMain = true;
    const QByteArray digest = FileDigest(FPath);
    FConnection.SetConnected(true); // reading a read-only book is fine
    OpenBook();
    EXPECT_EQ(Names(), FNames);

    try {
        SaveRecipe(FConnection, FQuery, QStringLiteral("new"), QByteArray(1000, 'j'));
        FAIL() << "wrote to a read-only book";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("菜谱库“%1”是只读的，无法写入。"
                                              "请检查这个文件和它所在文件夹的写入权限。")
                                   .arg(FPath));
    }
    EXPECT_THROW(Add(QStringLiteral("plain append")), EDatabaseError);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("菜1")));
    FQuery.Edit();
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("changed"));
    EXPECT_THROW(FQuery.Post(), EDatabaseError);
    FQuery.Cancel();
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("料1"));
    EXPECT_EQ(Names(), FNames);
    EXPECT_FALSE(FConnection.InTransaction());
    FQuery.Close();
    FConnection.SetConnected(false);
    ExpectBookAsBefore(digest);
    QFile::setPermissions(FPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(TFailedWriteTest, FullDiskFailsTheSaveAndLeavesTheBook) {
    const QByteArray digest = FileDigest(FPath);
    // Room for a few more pages only: the text fits, the picture does not.
    ASSERT_EQ(sqlite3_exec(FConnection.Handle(),
                           "pragma max_page_count = 12", // the book has fewer pages now
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    try {
        SaveRecipe(FConnection, FQuery, QStringLiteral("big"), QByteArray(200000, 'j'));
        FAIL() << "the save did not fail";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(
            e.Message().startsWith(QStringLiteral("磁盘已满，无法写入菜谱库“%1”。").arg(FPath)))
            << e.what();
    }
    EXPECT_FALSE(FConnection.InTransaction());
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("big")));
    EXPECT_EQ(Names(), FNames);
    // A save that fits still works afterwards.
    SaveRecipe(FConnection, FQuery, QStringLiteral("small"), QByteArray());
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("small")));
    FQuery.Close();
    FConnection.SetConnected(false);
    EXPECT_NE(FileDigest(FPath), digest);
    EXPECT_EQ(IntegrityCheck(FPath), QStringLiteral("ok"));
}

TEST_F(TFailedWriteTest, WriteFailureDuringCommitIsRolledBack) {
    FQuery.Close();
    FConnection.SetConnected(false);
    const QByteArray digest = FileDigest(FPath);
    {
        TFaultVfs vfs;
        FConnection.SetConnected(true);
        OpenBook();
        FConnection.BeginTrans();
        Add(QStringLiteral("lost"), QString(200, u'x'), QString(5000, u'y'));
        TFaultVfs::Faults().FailMainWrites = true; // the journal is written, the book is not
        try {
            FConnection.CommitTrans();
            FAIL() << "commit succeeded";
        } catch (const EDatabaseError& e) {
            EXPECT_FALSE(e.Message().isEmpty());
        }
        if (FConnection.InTransaction()) {
            try {
                FConnection.RollbackTrans(); // may fail too while writes fail
            } catch (const EDatabaseError&) {
            }
        }
        TFaultVfs::Faults().FailMainWrites = false;
        FQuery.Close();
        FConnection.SetConnected(false);
    }
    // A later connection finds the book as it was before the failed commit.
    FConnection.SetConnected(true);
    OpenBook();
    EXPECT_EQ(Names(), FNames);
    FQuery.Close();
    FConnection.SetConnected(false);
    ExpectBookAsBefore(digest);
}

TEST(TTwoProgramsTest, ConcurrentWritersLoseNothing) {
#ifndef MYCOOK_DB_WRITER
    GTEST_SKIP() << "writer helper not built";
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cook.mdb"));
    CreateDatabaseFile(CreationString(path));
    {
        TADOConnection c;
        c.SetConnectionString(ConnectString(path));
        c.SetConnected(true);
        c.Execute(CreateTableSql);
    }
    constexpr int PerWriter = 150;
    QProcess a, b;
    a.start(QStringLiteral(MYCOOK_DB_WRITER),
            {path, QStringLiteral("A"), QString::number(PerWriter)});
    b.start(QStringLiteral(MYCOOK_DB_WRITER),
            {path, QStringLiteral("B"), QString::number(PerWriter)});
    ASSERT_TRUE(a.waitForFinished(300000));
    ASSERT_TRUE(b.waitForFinished(300000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    EXPECT_EQ(IntegrityCheck(path), QStringLiteral("ok"));

    TADOConnection c;
    c.SetConnectionString(ConnectString(path));
    c.SetConnected(true);
    TADOQuery q(&c);
    q.SQL = QStringList{QStringLiteral("select * from mycook")};
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2 * PerWriter);
    for (const char* tag : {"A", "B"}) {
        for (int i = 0; i < PerWriter; ++i) {
            const QString name = QStringLiteral("%1-%2").arg(QLatin1String(tag)).arg(i);
            ASSERT_TRUE(q.Locate(Name, name)) << name.toStdString();
            EXPECT_EQ(q.FieldByName(QStringLiteral("img")).AsBytes(), QByteArray(500, 'p'));
        }
    }
#endif
}

TEST(TFailingDeviceTest, FailsAfterTheLimitBothWays) {
    TFailingDevice out(4);
    EXPECT_EQ(out.write("abcdef", 6), 4);
    EXPECT_EQ(out.write("g", 1), -1);
    EXPECT_EQ(out.Written(), QByteArray("abcd"));
    TFailingDevice in(3, QByteArray("xyz123"));
    char buffer[8];
    EXPECT_EQ(in.read(buffer, 8), 3);
    EXPECT_EQ(in.read(buffer, 8), -1);
    TFailingDevice shortIn(100, QByteArray("xy"));
    EXPECT_EQ(shortIn.read(buffer, 8), 2);
    EXPECT_EQ(shortIn.read(buffer, 8), 0); // end of content before the limit
}

} // namespace
