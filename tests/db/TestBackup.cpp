// The daily copy of the book: once a day, the newest kept, a damaged book copies nothing.
#include "../common/TestFiles.h"
#include "BookBackup.h"
#include "BookTestUtil.h"
#include "FaultVfs.h"
#include "SqliteSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <fcntl.h>
#include <functional>
#ifdef __linux__
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#endif
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {
const QDate Today(2026, 12, 9);

// A copy opened as a book, its query over every recipe.
struct TOpenedCopy {
    explicit TOpenedCopy(const QString& file) {
        Connection.SetConnectionString(ConnectString(file));
        Connection.SetConnected(true);
        Query.SQL = QStringList{QStringLiteral("select * from mycook")};
        Query.Open();
    }
    TADOConnection Connection;
    TADOQuery Query{&Connection};
};

#ifdef __linux__
// The process's threads whose nice value is above `nice`, by their ids.
QStringList ThreadsBelow(int nice) {
    QStringList found;
    for (const QString& tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // After the name in parentheses: state is field 3, nice field 19.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 16 && fields.at(16).toInt() > nice)
            found << tid;
    }
    return found;
}
#endif

class BackupTest : public TBookTest {
protected:
    void SetUp() override {
        TBookTest::SetUp();
        FConnection.BeginTrans();
        for (int i = 0; i < 300; ++i)
            Add(QStringLiteral("菜%1").arg(i), QStringLiteral("料%1").arg(i),
                QString(600, QChar(u'炒')), QStringLiteral("注%1").arg(i));
        ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("菜7")));
        FQuery.Edit();
        FQuery.FieldByName(QStringLiteral("img")).SetAsString(QStringLiteral("picture bytes"));
        FQuery.Post();
        FConnection.CommitTrans();
    }
    QDir Folder() const { return QDir(BackupFolder(FPath)); }
    QStringList Files() const { return Folder().entryList(QDir::Files, QDir::Name); }
    void Touch(const QString& name) {
        QDir().mkpath(Folder().path());
        ASSERT_TRUE(WriteFile(Folder().filePath(name), "older copy"));
    }
};

TEST_F(BackupTest, CopyIsAValidBookWithEveryRecipe) {
    const TBackupOutcome outcome = MakeDailyBackup(FPath, Today);
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    EXPECT_EQ(QFileInfo(outcome.File).fileName(), QStringLiteral("cook-2026-12-09.mdb"));
    EXPECT_EQ(QFileInfo(outcome.File).absolutePath(),
              QFileInfo(FPath).absoluteDir().filePath(QStringLiteral("cook-backups")));

    TOpenedCopy copy(outcome.File); // the connection refuses files that are not our books
    TADOQuery& q = copy.Query;
    ASSERT_EQ(q.RecordCount(), 300);
    for (int i : {0, 7, 299}) {
        ASSERT_TRUE(q.Locate(Name, QStringLiteral("菜%1").arg(i)));
        EXPECT_EQ(q.FieldByName(Method).AsString(), QString(600, QChar(u'炒')));
        EXPECT_EQ(q.FieldByName(Note).AsString(), QStringLiteral("注%1").arg(i));
    }
    ASSERT_TRUE(q.Locate(Name, QStringLiteral("菜7")));
    EXPECT_EQ(q.FieldByName(QStringLiteral("img")).AsBytes(), QByteArray("picture bytes"));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("cook-2026-12-09.mdb")})
        << "no partial file left";
}

TEST_F(BackupTest, AtMostOneADay) {
    ASSERT_EQ(MakeDailyBackup(FPath, Today).Kind, TBackupOutcome::Made);
    const QByteArray first = FileDigest(Folder().filePath(BackupFileName(Today)));
    Add(QStringLiteral("新菜"));
    EXPECT_EQ(MakeDailyBackup(FPath, Today).Kind, TBackupOutcome::AlreadyToday);
    EXPECT_EQ(FileDigest(Folder().filePath(BackupFileName(Today))), first);
    EXPECT_EQ(MakeDailyBackup(FPath, Today.addDays(1)).Kind, TBackupOutcome::Made);
    EXPECT_EQ(Files().size(), 2);
}

TEST_F(BackupTest, NewestFourteenKeptOtherFilesLeftAlone) {
    for (int d = 1; d <= 20; ++d)
        Touch(BackupFileName(Today.addDays(-d)));
    Touch(QStringLiteral("notes.txt"));
    Touch(QStringLiteral("cook-2020-1-1.mdb")); // not a name we give
    ASSERT_EQ(MakeDailyBackup(FPath, Today).Kind, TBackupOutcome::Made);
    QStringList expected;
    for (int d = 13; d >= 0; --d)
        expected << BackupFileName(Today.addDays(-d));
    expected << QStringLiteral("cook-2020-1-1.mdb") << QStringLiteral("notes.txt");
    expected.sort();
    EXPECT_EQ(Files(), expected);
}

TEST_F(BackupTest, DamagedBookCopiesNothingAndRemovesNothing) {
    for (int d = 1; d <= 15; ++d)
        Touch(BackupFileName(Today.addDays(-d)));
    const QStringList before = Files();
    FQuery.Close();
    FConnection.SetConnected(false);
    {
        // Scribble over a page in the middle of the table.
        QFile book(FPath);
        ASSERT_TRUE(book.open(QIODevice::ReadWrite));
        const qint64 pages = book.size() / 4096;
        ASSERT_GT(pages, 10);
        book.seek((pages / 2) * 4096);
        book.write(QByteArray(4096, '\x55'));
    }
    const TBackupOutcome outcome = MakeDailyBackup(FPath, Today);
    EXPECT_EQ(outcome.Kind, TBackupOutcome::BookDamaged) << outcome.Reason.toStdString();
    EXPECT_EQ(Files(), before);
}

TEST_F(BackupTest, NotABookAtAllIsDamaged) {
    FQuery.Close();
    FConnection.SetConnected(false);
    QFile book(FPath);
    ASSERT_TRUE(book.open(QIODevice::WriteOnly | QIODevice::Truncate));
    book.write(QByteArray(8192, 'x'));
    book.close();
    EXPECT_EQ(MakeDailyBackup(FPath, Today).Kind, TBackupOutcome::BookDamaged);
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(BackupTest, CopiesTheCommittedBookWhileTheProgramWrites) {
    FConnection.BeginTrans();
    Add(QStringLiteral("未提交"));
    const TBackupOutcome outcome = MakeDailyBackup(FPath, Today);
    FConnection.CommitTrans();
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    TOpenedCopy copy(outcome.File);
    TADOQuery& q = copy.Query;
    EXPECT_EQ(q.RecordCount(), 300);
}

// The book's locks are the process's, and closing any descriptor of the book drops
// them all: a copy that opened the book by hand would let another program write
// into a save in progress. The lock of a write or a read going on must survive the
// copy, made through the window's connection or through one of its own (a copy
// through a connection that is writing waits for the write, so not that one).
TEST_F(BackupTest, TheBooksLocksOutliveTheCopy) {
    constexpr off_t ReservedByte = 0x40000001;
    constexpr off_t SharedFirst = 0x40000002;
    const struct {
        bool ThroughWindow;
        bool Writing;
    } cases[] = {{false, true}, {false, false}, {true, false}};
    int day = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(
            std::string(c.ThroughWindow ? "through the window's connection" : "on its own") +
            (c.Writing ? ", writing" : ", reading"));
        sqlite3* db = FConnection.Handle();
        ASSERT_EQ(sqlite3_exec(db,
                               c.Writing ? "begin immediate" : "begin; select count(*) from mycook",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        const TBackupOutcome outcome = MakeDailyBackup(FPath, Today.addDays(day++), {}, KeptBackups,
                                                       c.ThroughWindow ? db : nullptr);
        EXPECT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
        // An open-file-description lock conflicts with the process's own ones.
        const int fd = ::open(QFile::encodeName(FPath).constData(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = c.Writing ? ReservedByte : SharedFirst;
        probe.l_len = c.Writing ? 1 : 510;
        ASSERT_EQ(::fcntl(fd, F_OFD_GETLK, &probe), 0);
        EXPECT_NE(probe.l_type, F_UNLCK) << "the book's lock was dropped";
        // Ended before the probe's own close drops the lock.
        EXPECT_EQ(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
        ::close(fd);
    }
}

TEST_F(BackupTest, BackgroundCopyFinishesOrStopsCleanly) {
    {
        TBackgroundBackup done(FPath, Today);
        EXPECT_EQ(done.Wait().Kind, TBackupOutcome::Made);
        EXPECT_TRUE(done.Finished());
    }
    {
        // Ended at once: whatever it reached, no partial copy stays.
        TBackgroundBackup stopped(FPath, Today.addDays(1));
    }
    for (const QString& f : Files())
        EXPECT_FALSE(f.endsWith(QStringLiteral(".part"))) << f.toStdString();
}
// A clock that was once wrong left copies dated in the future: today's copy stays,
// the oldest of the others go.
TEST_F(BackupTest, TodaysCopyStaysWhenLaterCopiesExist) {
    for (int d = 1; d <= 20; ++d)
        Touch(BackupFileName(QDate(2030, 1, d)));
    const TBackupOutcome outcome = MakeDailyBackup(FPath, Today);
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    QStringList expected{BackupFileName(Today)};
    for (int d = 8; d <= 20; ++d)
        expected << BackupFileName(QDate(2030, 1, d));
    expected.sort();
    EXPECT_EQ(Files(), expected);
    EXPECT_TRUE(QFileInfo::exists(outcome.File));
}

// Another copy of the program writing its own unfinished copy of today.
TEST_F(BackupTest, AnotherProgramsUnfinishedCopyIsLeftAlone) {
    const QString theirs = BackupFileName(Today) + QStringLiteral(".part");
    Touch(theirs);
    const QByteArray before = FileDigest(Folder().filePath(theirs));
    const TBackupOutcome outcome = MakeDailyBackup(FPath, Today);
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    EXPECT_EQ(FileDigest(Folder().filePath(theirs)), before);
    EXPECT_EQ(Files(), (QStringList{BackupFileName(Today), theirs}));
}

// The program saves every few milliseconds while the copy runs, as a cook at work
// does on a big book; the copy must still finish, holding every committed recipe.
TEST_F(BackupTest, CopyFinishesWhileTheProgramKeepsSaving) {
    FConnection.BeginTrans();
    for (int i = 0; i < 3000; ++i) // some 10 MB: tens of copy steps
        Add(QStringLiteral("大%1").arg(i), QString(), QString(1500, QChar(u'煮')));
    FConnection.CommitTrans();
    TBackgroundBackup backup(FPath, Today, FConnection.Handle());
    QElapsedTimer clock;
    clock.start();
    int saves = 0;
    while (!backup.Finished() && clock.elapsed() < 20000) {
        FConnection.BeginTrans();
        Add(QStringLiteral("备份中%1").arg(saves++));
        FConnection.CommitTrans();
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    const TBackupOutcome& outcome = backup.Wait();
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_GT(saves, 0);
    TOpenedCopy copy(outcome.File);
    TADOQuery& q = copy.Query;
    EXPECT_GE(q.RecordCount(), 3300);
    EXPECT_TRUE(q.Locate(Name, QStringLiteral("大2999")));
}

// A copy that cannot be made says why and what to do, and leaves nothing behind.
TEST_F(BackupTest, CopyThatCannotBeMadeSaysWhyAndWhatToDo) {
    const QString folder = QDir::toNativeSeparators(Folder().path());
    struct TCase {
        const char* What;
        std::function<void(BackupTest&)> Make;
        QString Reason;
    };
    const TCase cases[] = {
        {"a file where the folder goes",
         [&](BackupTest&) { ASSERT_TRUE(WriteFile(Folder().path())); },
         QStringLiteral("“%1”是一个文件，不是文件夹。请把这个文件改名或移走，").arg(folder)},
        {"a folder that takes no file",
         [](BackupTest&) { TFaultVfs::Faults().ReadOnlyMain = true; },
         QStringLiteral("无法在文件夹“%1”中写入文件。请确认这个文件夹可以写入，").arg(folder)},
        {"a full disk", [](BackupTest&) { TFaultVfs::Faults().FailMainWrites = true; },
         QStringLiteral("“%1”所在的磁盘已满。请腾出磁盘空间，").arg(folder)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        QFile::remove(Folder().path());
        Folder().removeRecursively();
        TFaultVfs vfs;
        c.Make(*this);
        const TBackupOutcome outcome = MakeDailyBackup(FPath, Today);
        EXPECT_EQ(outcome.Kind, TBackupOutcome::Failed);
        EXPECT_EQ(
            outcome.Reason,
            QStringLiteral("今天的菜谱库备份没有做成：%1下次启动时会再做备份。").arg(c.Reason));
        EXPECT_TRUE(Files().isEmpty()) << Files().join(u' ').toStdString();
    }
}
} // namespace

// The copy holds the connection it reads through, the window's, in steps of at most
// 256 KB, not for the whole book; the figures it gives agree with each other.
TEST_F(BackupTest, CopyHoldsTheConnectionInShortSteps) {
    FConnection.BeginTrans();
    for (int i = 0; i < 3000; ++i) // some 10 MB
        Add(QStringLiteral("大%1").arg(i), QString(), QString(1500, QChar(u'煮')));
    FConnection.CommitTrans();
    const TBackupOutcome outcome =
        MakeDailyBackup(FPath, Today, {}, KeptBackups, FConnection.Handle());
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    const qint64 bytes = QFileInfo(FPath).size();
    EXPECT_GE(qint64(outcome.Steps) * 256 * 1024, bytes);
    EXPECT_GT(outcome.LongestHoldMs, 0);
    EXPECT_LE(outcome.LongestHoldMs, outcome.HeldMs);
    TOpenedCopy copy(outcome.File);
    EXPECT_EQ(copy.Query.RecordCount(), 3300);
}

// While the window holds its connection (a save's statements), the copy takes no
// step; it neither fails nor gives up, and once the connection is free it finishes
// with everything the window committed meanwhile.
TEST_F(BackupTest, CopyWaitsWhileTheWindowHoldsItsConnection) {
    sqlite3* db = FConnection.Handle();
    sqlite3_mutex* hold = sqlite3_db_mutex(db);
    ASSERT_NE(hold, nullptr);
    sqlite3_mutex_enter(hold);
    TBackgroundBackup backup(FPath, Today, db);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(backup.Finished());
#ifdef __linux__
    // The copy's thread, about to step, is at the window's priority: a step starved by
    // a busy machine would hold the window with it.
    const QStringList lowered = ThreadsBelow(::getpriority(PRIO_PROCESS, 0));
    EXPECT_TRUE(lowered.isEmpty()) << lowered.join(u' ').toStdString();
#endif
    Add(QStringLiteral("等待中保存"));
    sqlite3_mutex_leave(hold);
    const TBackupOutcome& outcome = backup.Wait();
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    TOpenedCopy copy(outcome.File);
    EXPECT_EQ(copy.Query.RecordCount(), 301);
    EXPECT_TRUE(copy.Query.Locate(Name, QStringLiteral("等待中保存")));
}

// SQLite's count of its memory takes one mutex for the whole process at every
// allocation: a background thread preempted inside it would stop the window's
// statements. The count stays off, so nothing is counted however much is allocated.
TEST_F(BackupTest, SqliteDoesNotCountItsMemory) {
    const TBackupOutcome outcome =
        MakeDailyBackup(FPath, Today, {}, KeptBackups, FConnection.Handle());
    ASSERT_EQ(outcome.Kind, TBackupOutcome::Made) << outcome.Reason.toStdString();
    TOpenedCopy copy(outcome.File);
    EXPECT_EQ(copy.Query.RecordCount(), 300);
    EXPECT_EQ(sqlite3_memory_used(), 0);
    EXPECT_EQ(sqlite3_memory_highwater(false), 0);
}

#ifdef __linux__
struct TThreadShare {
    int Policy = -1;
    int Nice = 0;
    int IoPriority = -1; // class << 13 | level
    bool operator==(const TThreadShare&) const = default;
};

TThreadShare ShareOfThisThread() {
    const auto tid = pid_t(::syscall(SYS_gettid));
    TThreadShare share;
    share.Policy = ::sched_getscheduler(tid);
    share.Nice = ::getpriority(PRIO_PROCESS, id_t(tid));
    constexpr int ioprioWhoProcess = 1;
    share.IoPriority = int(::syscall(SYS_ioprio_get, ioprioWhoProcess, int(tid)));
    return share;
}

// Giving way lowers the calling thread and no other: the window's thread keeps its
// share of the processor and the disk.
TEST(GiveWayTest, LowersTheCallingThreadOnly) {
    constexpr int bestEffortLowest = (2 << 13) | 7;
    const TThreadShare window = ShareOfThisThread();
    // The thread as the window's, or already lowered (a program started with nice):
    // it goes ten lower, never higher, and no lower than the lowest.
    for (const int already : {0, 5, 15}) {
        SCOPED_TRACE(already);
        const int start = std::min(window.Nice + already, 19);
        TThreadShare lowered;
        std::thread([&] {
            ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), start);
            YieldToWindow();
            lowered = ShareOfThisThread();
        }).join();
        EXPECT_EQ(lowered, (TThreadShare{SCHED_OTHER, std::min(start + 10, 19), bestEffortLowest}));
    }
    EXPECT_EQ(ShareOfThisThread(), window);
}
#endif
