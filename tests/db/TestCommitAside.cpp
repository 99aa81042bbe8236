// A commit whose flushes run on a thread of their own while the window's event loop
// turns: it waits for other readers as before, lets nothing run inside it, and a
// failure still leaves the book as it was.

#include "../common/RawBook.h"
#include "BookBackup.h"
#include "BookTestUtil.h"
#include "FaultVfs.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <sqlite3.h>

namespace {

class TCommitAsideTest : public TBookTest {
protected:
    void SetUp() override {
        if (!QCoreApplication::instance()) {
            FApp = std::make_unique<QCoreApplication>(FArgc, FArgv);
        }
        TBookTest::SetUp();
        Add(QStringLiteral("旧菜"));
        FConnection.SetCommitAside(true);
    }
    void TearDown() override {
        ReleaseReader();
        FQuery.Close();
        FConnection.SetConnected(false);
        FApp.reset();
    }
    // Another program reading the book: its read lock keeps any commit waiting.
    void HoldReader() {
        ASSERT_EQ(
            sqlite3_open_v2(FPath.toUtf8().constData(), &FReader, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        ASSERT_EQ(
            sqlite3_exec(FReader, "begin; select count(*) from mycook;", nullptr, nullptr, nullptr),
            SQLITE_OK);
    }
    void ReleaseReader() {
        if (FReader) {
            sqlite3_exec(FReader, "commit", nullptr, nullptr, nullptr);
            sqlite3_close(FReader);
            FReader = nullptr;
        }
    }
    QStringList NamesOnDisk() {
        TRawBook book(FPath, SQLITE_OPEN_READONLY);
        return book.Texts(QStringLiteral("select 菜名 from mycook order by rowid"));
    }

    int FArgc = 1;
    char FArg0[8] = "test";
    char* FArgv[2] = {FArg0, nullptr};
    std::unique_ptr<QCoreApplication> FApp;
    sqlite3* FReader = nullptr;
};

TEST_F(TCommitAsideTest, CommitWaitingForAReaderKeepsTheLoopTurning) {
    HoldReader();
    FConnection.BeginTrans();
    Add(QStringLiteral("新菜"));
    bool ranWhileCommitting = false;
    // Only a turning loop lets the reader go; otherwise the commit waits 5 s and fails.
    QTimer::singleShot(50, [&] {
        ranWhileCommitting = FConnection.Committing();
        ReleaseReader();
    });
    QElapsedTimer took;
    took.start();
    FConnection.CommitTrans();
    EXPECT_TRUE(ranWhileCommitting);
    EXPECT_LT(took.elapsed(), 4000);
    EXPECT_FALSE(FConnection.InTransaction());
    EXPECT_FALSE(FConnection.Committing());
    EXPECT_EQ(NamesOnDisk(), (QStringList{QStringLiteral("旧菜"), QStringLiteral("新菜")}));
    EXPECT_FALSE(QFileInfo::exists(FPath + QStringLiteral("-journal")));
}

// A timer that writes while the commit's loop turns: its write is a transaction of its
// own after the commit, never a part of the one being committed.
TEST_F(TCommitAsideTest, WriteFromATimerWaitsForTheCommitAndStandsAlone) {
    HoldReader();
    FConnection.BeginTrans();
    Add(QStringLiteral("外层"));
    bool inTransactionSeen = true;
    bool nestedDone = false;
    QTimer::singleShot(20, [&] {
        ReleaseReader();
        inTransactionSeen = FConnection.InTransaction(); // waits for the commit
        FConnection.BeginTrans();
        Add(QStringLiteral("计时器"));
        FConnection.CommitTrans();
        nestedDone = true;
    });
    FConnection.CommitTrans();
    EXPECT_TRUE(nestedDone);
    EXPECT_FALSE(inTransactionSeen);
    EXPECT_FALSE(FConnection.InTransaction());
    EXPECT_EQ(NamesOnDisk(), (QStringList{QStringLiteral("旧菜"), QStringLiteral("外层"),
                                          QStringLiteral("计时器")}));
    EXPECT_EQ(Names(), NamesOnDisk());
    // The connection goes on as usual.
    FConnection.BeginTrans();
    Add(QStringLiteral("之后"));
    FConnection.RollbackTrans();
    EXPECT_EQ(FQuery.RecordCount(), 3);
}

// Whatever touches the connection while a commit waits for the disk (a timer, a queued
// call, a second save) waits for it turning the event loop, not blocking: the loop
// goes on, so the timer that lets the commit finish still runs. Each case's action
// comes 20 ms into a commit that another program's read lock holds up for 200 ms (or
// past the wait, when the commit is to fail); a 5 ms timer watches the loop's gaps.
TEST_F(TCommitAsideTest, ConnectionTouchedDuringTheCommitKeepsTheLoopTurning) {
    struct TCase {
        const char* Why;
        std::function<void(TADOConnection&, TADOQuery&)> Touch;
        bool CommitFails = false;
        QStringList OnDisk = {QStringLiteral("旧菜"), QStringLiteral("新菜")};
    };
    const auto inTransaction = [](TADOConnection& c, TADOQuery& q) {
        EXPECT_FALSE(c.InTransaction());
    };
    const TCase cases[] = {
        {"asks whether a transaction is open", inTransaction},
        {"takes the handle",
         [](TADOConnection& c, TADOQuery& q) {
             EXPECT_NE(c.Handle(), nullptr);
         }},
        {"reads the count of other copies' changes",
         [](TADOConnection& c, TADOQuery& q) {
             EXPECT_GE(c.DataVersion(), 0);
         }},
        {"runs a statement",
         [](TADOConnection& c, TADOQuery& q) {
             c.Execute(QStringLiteral("select 1"));
         }},
        {"looks a recipe up",
         [](TADOConnection& c, TADOQuery& q) {
             EXPECT_TRUE(q.Locate(Name, QStringLiteral("新菜")));
         }},
        {"saves another recipe",
         [](TADOConnection& c, TADOQuery& q) {
             c.BeginTrans();
             q.AppendRecord({QStringLiteral("第二个"), {}, {}, {}});
             c.CommitTrans();
         },
         false,
         {QStringLiteral("旧菜"), QStringLiteral("新菜"), QStringLiteral("第二个")}},
        {"a second timer waits inside the first one's wait",
         [](TADOConnection& c, TADOQuery& q) {
             bool inner = false;
             QTimer::singleShot(10, [&] {
                 EXPECT_FALSE(c.InTransaction());
                 inner = true;
             });
             EXPECT_FALSE(c.InTransaction());
             EXPECT_TRUE(inner) << "the inner wait ends with the commit, before the outer one";
         }},
        {"the commit fails meanwhile", inTransaction, true, {QStringLiteral("旧菜")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        HoldReader();
        FConnection.BeginTrans();
        Add(QStringLiteral("新菜"));
        bool touchedMidCommit = false, touchDone = false;
        QTimer::singleShot(20, [&] {
            touchedMidCommit = FConnection.Committing();
            c.Touch(FConnection, FQuery);
            touchDone = true;
        });
        if (!c.CommitFails)
            QTimer::singleShot(200, [&] { ReleaseReader(); });
        QElapsedTimer sinceTick;
        qint64 maxGapMs = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            maxGapMs = std::max(maxGapMs, sinceTick.elapsed());
            sinceTick.restart();
        });
        tick.start(5);
        sinceTick.start();
        bool failed = false;
        try {
            FConnection.CommitTrans();
        } catch (const EDatabaseError& e) {
            failed = true;
            EXPECT_TRUE(e.Message().contains(QStringLiteral("本次修改没有保存")))
                << e.Message().toStdString();
        }
        tick.stop();
        EXPECT_EQ(failed, c.CommitFails);
        EXPECT_TRUE(touchedMidCommit);
        EXPECT_TRUE(touchDone);
        // Blocking would hold the loop until the lock's wait (5 s) ran out.
        EXPECT_LT(maxGapMs, 1000);
        EXPECT_FALSE(FConnection.Committing());
        EXPECT_FALSE(FConnection.InTransaction());
        ReleaseReader();
        EXPECT_EQ(NamesOnDisk(), c.OnDisk);
        EXPECT_EQ(Names(), c.OnDisk);
        // Back to the one recipe for the next case.
        FConnection.Execute(QStringLiteral("delete from mycook where 菜名 <> '旧菜'"));
        OpenBook();
    }
}

// The daily copy steps through the same connection while saves commit aside: both go
// on, the copy is whole, and no save is lost from the book.
TEST_F(TCommitAsideTest, SavesWhileTheDailyCopyReadsThroughTheConnection) {
    FConnection.BeginTrans();
    for (int i = 0; i < 3000; ++i) // some 10 MB: tens of copy steps
        Add(QStringLiteral("大%1").arg(i), QString(), QString(1500, QChar(u'煮')));
    FConnection.CommitTrans();
    TBackgroundBackup backup(FPath, QDate(2026, 12, 9), FConnection.Handle());
    QElapsedTimer clock;
    clock.start();
    int saves = 0;
    while (!backup.Finished() && clock.elapsed() < 20000) {
        FConnection.BeginTrans();
        Add(QStringLiteral("备份中%1").arg(saves++));
        FConnection.CommitTrans();
        EXPECT_FALSE(FConnection.InTransaction());
    }
    const TBackupOutcome& outcome = backup.Wait();
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    EXPECT_GT(saves, 0);
    TRawBook copy(outcome.File, SQLITE_OPEN_READONLY);
    EXPECT_EQ(copy.Text(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
    EXPECT_GE(copy.Text(QStringLiteral("select count(*) from mycook")).toInt(), 3001);
    EXPECT_EQ(NamesOnDisk().size(), 3001 + saves);
}

// A save of a large photo keeps its pages in memory up to the commit: a spill would
// flush the journal and write the book on the window's thread before it.
TEST_F(TCommitAsideTest, LargePictureWritesNothingBeforeTheCommit) {
    const QByteArray before = FileDigest(FPath);
    FConnection.BeginTrans();
    FConnection.Execute(
        QStringLiteral("insert into mycook(菜名, img) values('大图', randomblob(6000000))"));
    EXPECT_EQ(FileDigest(FPath), before);
    FConnection.CommitTrans();
    EXPECT_GT(QFileInfo(FPath).size(), 6000000);
    EXPECT_EQ(NamesOnDisk(), (QStringList{QStringLiteral("旧菜"), QStringLiteral("大图")}));
}

// A commit that cannot be made is told, rolled back and leaves the book as it was,
// whether it ran in place or aside.
TEST_F(TCommitAsideTest, FailedCommitLeavesTheBookAsItWas) {
    struct TCase {
        const char* Why;
        bool Aside;
        bool FailWrites; // else another program's read lock outlasts the wait
    };
    const TCase cases[] = {
        {"write fails, in place", false, true},
        {"write fails, aside", true, true},
        {"lock held too long, aside", true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        FQuery.Close();
        FConnection.SetConnected(false);
        const QByteArray digest = FileDigest(FPath);
        {
            TFaultVfs vfs;
            FConnection.SetConnected(true);
            FConnection.SetCommitAside(c.Aside);
            OpenBook();
            if (!c.FailWrites)
                HoldReader();
            FConnection.BeginTrans();
            Add(QStringLiteral("没存上"), QString(200, u'x'), QString(5000, u'y'));
            TFaultVfs::Faults().FailMainWrites = c.FailWrites;
            QElapsedTimer took;
            took.start();
            try {
                FConnection.CommitTrans();
                ADD_FAILURE() << "commit succeeded";
            } catch (const EDatabaseError& e) {
                EXPECT_FALSE(e.Message().isEmpty());
                if (c.Aside)
                    EXPECT_TRUE(e.Message().contains(QStringLiteral("本次修改没有保存")))
                        << e.Message().toStdString();
            }
            if (!c.FailWrites)
                EXPECT_GE(took.elapsed(), 4500) << "the commit waits as long as the window would";
            if (FConnection.InTransaction()) {
                EXPECT_FALSE(c.Aside);
                try {
                    FConnection.RollbackTrans();
                } catch (const EDatabaseError&) {
                }
            }
            EXPECT_FALSE(FConnection.InTransaction());
            TFaultVfs::Faults().FailMainWrites = false;
            EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("没存上")));
            ReleaseReader();
            FQuery.Close();
            FConnection.SetConnected(false);
        }
        // A later connection finds the book as it was before the failed commit.
        FConnection.SetConnected(true);
        OpenBook();
        EXPECT_EQ(Names(), QStringList{QStringLiteral("旧菜")});
        EXPECT_EQ(FileDigest(FPath), digest);
        EXPECT_FALSE(QFileInfo::exists(FPath + QStringLiteral("-journal")));
    }
}

} // namespace
