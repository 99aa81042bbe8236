#include "BookBackup.h"

#include "EngineErrors.h"
#include "SqliteSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {
// About 128 KB a step: the window's connection, which the copy reads through, is
// held a fraction of a millisecond at a time on a quiet machine. After each step the
// copy rests at least three times as long as the step held the connection, so on a
// busy machine, where steps take longer, it holds the connection a quarter of the
// time at most and writes to the disk the more slowly.
constexpr int PagesPerStep = 32;
constexpr auto PauseBetweenSteps = std::chrono::milliseconds(1);
constexpr int RestPerHeld = 3;
constexpr auto LongestRest = std::chrono::milliseconds(100);
constexpr auto PauseWhenBusy = std::chrono::milliseconds(20);
constexpr auto PauseWhenHeld = std::chrono::milliseconds(2);
constexpr int MaxTries = 500;
// The copy's written data is flushed every 2 MB, outside the hold, so neither the
// book's own flush at each save nor a step's writes (which the system slows down while
// much written data waits for the disk) wait behind a backlog of the copy's.
constexpr int StepsBetweenFlushes = 16;

using TDb = TDbPtr;

struct TBackupFinisher {
    void operator()(sqlite3_backup* b) const { sqlite3_backup_finish(b); }
};

// The unfinished copy goes away unless it was kept. Its name is this process's own,
// so a second copy of the program never writes into it or removes it.
class TPartFile {
public:
    explicit TPartFile(const QString& target)
        : FPath(QStringLiteral("%1.%2.part").arg(target).arg(QCoreApplication::applicationPid())) {
        QFile::remove(FPath);
    }
    ~TPartFile() {
        if (!FKept) {
            QFile::remove(FPath);
            QFile::remove(FPath + QStringLiteral("-journal"));
        }
    }
    const QString& Path() const { return FPath; }
    void Keep() { FKept = true; }

private:
    QString FPath;
    bool FKept = false;
};

struct TFileHandle {
    int Fd;
    explicit TFileHandle(int fd) : Fd(fd) {}
    ~TFileHandle() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
};

TBackupOutcome Outcome(TBackupOutcome::TKind kind, QString reason = {}) {
    TBackupOutcome outcome;
    outcome.Kind = kind;
    outcome.Reason = std::move(reason);
    return outcome;
}

TBackupOutcome Failure(const QString& why) {
    return Outcome(TBackupOutcome::Failed,
                   QStringLiteral("今天的菜谱库备份没有做成：%1下次启动时会再做备份。").arg(why));
}

// Why a copy failed with an SQLite result code, and what to do.
TBackupOutcome EngineFailure(int code, const QDir& folder) {
    const QString where = QDir::toNativeSeparators(folder.path());
    switch (code & 0xff) {
    case SQLITE_FULL:
        return Failure(QStringLiteral("“%1”所在的磁盘已满。请腾出磁盘空间，").arg(where));
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return Failure(
            QStringLiteral("无法在文件夹“%1”中写入文件。请确认这个文件夹可以写入，").arg(where));
    case SQLITE_IOERR:
        return Failure(
            QStringLiteral("在“%1”中读写时出现输入输出错误。请检查磁盘是否正常，").arg(where));
    default:
        return Failure(EngineErrorText(code, QStringLiteral("备份文件夹“%1”").arg(where)));
    }
}

TDb Open(const QString& path, int flags, int& code) {
    sqlite3* raw = nullptr;
    code = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    TDb db(raw);
    if (code != SQLITE_OK) {
        if (raw)
            code = sqlite3_extended_errcode(raw);
        db.reset();
    }
    return db;
}

// Keeps the copy just made and the newest others up to `kept` in all; unfinished
// copies a crashed program left are dropped after a day.
void RemoveOldCopies(QDir folder, int kept, const QString& justMade) {
    QStringList copies;
    for (const QString& file : folder.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        if (file != justMade && CopyName().match(file).hasMatch())
            copies.append(file);
    }
    for (qsizetype i = qMax(kept - 1, 0); i < copies.size(); ++i)
        folder.remove(copies.at(i));
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    for (const QFileInfo& part :
         folder.entryInfoList({QStringLiteral("cook-*.mdb.*.part")}, QDir::Files)) {
        if (part.lastModified() < dayAgo)
            folder.remove(part.fileName());
    }
}
} // namespace

namespace {
// yieldAfterSteps: on a thread of the copy's own, which gives way to the window once
// it no longer holds the window's connection.
TBackupOutcome MakeCopy(const QString& bookPath, const QDate& today, std::stop_token stop, int kept,
                        sqlite3* source, bool yieldAfterSteps) {
    const QDir folder(BackupFolder(bookPath));
    const QFileInfo folderInfo(folder.path());
    if (folderInfo.exists() && !folderInfo.isDir())
        return Failure(QStringLiteral("“%1”是一个文件，不是文件夹。请把这个文件改名或移走，")
                           .arg(QDir::toNativeSeparators(folder.path())));
    if (!QDir().mkpath(folder.path()))
        return Failure(QStringLiteral("无法建立文件夹“%1”。请确认“%2”可以写入，")
                           .arg(QDir::toNativeSeparators(folder.path()),
                                QDir::toNativeSeparators(QFileInfo(bookPath).absolutePath())));
    const QString target = folder.filePath(BackupFileName(today));
    if (QFileInfo::exists(target))
        return Outcome(TBackupOutcome::AlreadyToday);

    int code = SQLITE_OK;
    TDb own;
    if (!source) {
        own = Open(bookPath, SQLITE_OPEN_READONLY, code);
        if (!own)
            return IsDamageCode(code)
                       ? Outcome(TBackupOutcome::BookDamaged, DamagedBookText(bookPath))
                       : Failure(EngineErrorText(code, BookSubject(bookPath)));
        source = own.get();
    }
    TPartFile part(target);
    TDb copy = Open(part.Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, code);
    if (!copy)
        return EngineFailure(code, folder);

    std::unique_ptr<sqlite3_backup, TBackupFinisher> backup(
        sqlite3_backup_init(copy.get(), "main", source, "main"));
    if (!backup)
        return EngineFailure(sqlite3_extended_errcode(copy.get()), folder);
    // A descriptor of our own for the flushes: SQLite's stays SQLite's. With it the
    // copy needs no journal nor SQLite's flushes, which would run inside the last
    // step's hold: the file is flushed here before it takes today's name.
    const TFileHandle flush(
        ::open(QFile::encodeName(part.Path()).constData(), O_RDONLY | O_CLOEXEC));
    if (flush.Fd >= 0)
        sqlite3_exec(copy.get(), "pragma journal_mode=off; pragma synchronous=off", nullptr,
                     nullptr, nullptr);
    TBackupOutcome stats; // the steps' figures, given with the made copy
    int rc = SQLITE_OK;
    sqlite3_mutex* const hold = sqlite3_db_mutex(source); // none when not serialised
    int busyTries = 0;
    while (rc != SQLITE_DONE) {
        if (stop.stop_requested())
            return Outcome(TBackupOutcome::Stopped);
        // A step is taken only when the connection is free: the window's statements
        // never queue behind a step already waiting. (While the connection writes,
        // SQLite answers busy at once.) Where trying is not supported, or the
        // connection is not seen free for a second, the copy waits its turn.
        if (hold && sqlite3_mutex_try(hold) != SQLITE_OK) {
            if (++busyTries < MaxTries) {
                std::this_thread::sleep_for(PauseWhenHeld);
                continue;
            }
            sqlite3_mutex_enter(hold);
        }
        busyTries = 0;
        const auto start = std::chrono::steady_clock::now();
        rc = sqlite3_backup_step(backup.get(), PagesPerStep);
        const auto held = std::chrono::steady_clock::now() - start;
        const double heldMs = std::chrono::duration<double, std::milli>(held).count();
        if (hold)
            sqlite3_mutex_leave(hold);
        ++stats.Steps;
        stats.HeldMs += heldMs;
        stats.LongestHoldMs = std::max(stats.LongestHoldMs, heldMs);
        if (flush.Fd >= 0 && stats.Steps % StepsBetweenFlushes == 0)
            ::fdatasync(flush.Fd);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            std::this_thread::sleep_for(PauseWhenBusy); // the book is being written
        else if (rc == SQLITE_OK)
            std::this_thread::sleep_for(std::clamp<std::chrono::steady_clock::duration>(
                RestPerHeld * held, PauseBetweenSteps, LongestRest));
        else if (rc != SQLITE_DONE)
            break;
    }
    backup.reset();
    if (rc != SQLITE_DONE) {
        const int copyCode = sqlite3_extended_errcode(copy.get());
        if (IsDamageCode(rc) || IsDamageCode(copyCode))
            return Outcome(TBackupOutcome::BookDamaged, DamagedBookText(bookPath));
        return EngineFailure(copyCode != SQLITE_OK ? copyCode : rc, folder);
    }
    own.reset();
    // The rest is the copy's own work: the window waits for none of it.
    if (yieldAfterSteps)
        YieldToWindow();

    // The copy holds the book's pages as they are, so its check is the book's.
    rc = QuickCheck(copy.get(), stop);
    if (stop.stop_requested())
        return Outcome(TBackupOutcome::Stopped);
    if (rc != SQLITE_OK)
        return IsDamageCode(rc) ? Outcome(TBackupOutcome::BookDamaged, DamagedBookText(bookPath))
                                : EngineFailure(rc, folder);
    copy.reset();
    if (flush.Fd >= 0 && ::fdatasync(flush.Fd) != 0)
        return EngineFailure(SQLITE_IOERR, folder);
    // Another copy of the program may have put today's copy in place meanwhile;
    // either is whole.
    QFile::remove(target);
    if (!QFile::rename(part.Path(), target))
        return Failure(QStringLiteral("无法把备份存为“%1”。请确认这个文件夹可以写入，")
                           .arg(QDir::toNativeSeparators(target)));
    part.Keep();
    RemoveOldCopies(folder, kept, QFileInfo(target).fileName());
    TBackupOutcome made = Outcome(TBackupOutcome::Made);
    made.File = target;
    made.Steps = stats.Steps;
    made.LongestHoldMs = stats.LongestHoldMs;
    made.HeldMs = stats.HeldMs;
    return made;
}
} // namespace

TBackupOutcome MakeDailyBackup(const QString& bookPath, const QDate& today, std::stop_token stop,
                               int kept, sqlite3* source) {
    return MakeCopy(bookPath, today, stop, kept, source, false);
}

TBackgroundBackup::TBackgroundBackup(const QString& bookPath, const QDate& today, sqlite3* source,
                                     std::function<void()> onDone)
    : FThread([this, bookPath, today, source, onDone = std::move(onDone)](std::stop_token stop) {
          // The steps keep the window's priority: each holds the window's connection,
          // and a step starved by a busy machine would hold the window with it.
          FOutcome = MakeCopy(bookPath, today, stop, KeptBackups, source, true);
          FFinished = true;
          if (onDone)
              onDone();
      }) {}

TBackgroundBackup::~TBackgroundBackup() {
    FThread.request_stop();
}

const TBackupOutcome& TBackgroundBackup::Wait() {
    if (FThread.joinable())
        FThread.join();
    return FOutcome;
}
