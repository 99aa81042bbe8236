#include "BookBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <chrono>
#include <memory>
#include <sqlite3.h>

namespace {
// About 1 MB a step: the book's read lock is held for a few milliseconds at a time.
constexpr int PagesPerStep = 256;
constexpr auto PauseBetweenSteps = std::chrono::milliseconds(1);
constexpr auto PauseWhenBusy = std::chrono::milliseconds(20);

struct TDbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using TDb = std::unique_ptr<sqlite3, TDbCloser>;

struct TBackupFinisher {
    void operator()(sqlite3_backup* b) const { sqlite3_backup_finish(b); }
};

// The unfinished copy goes away unless it was kept.
class TPartFile {
public:
    explicit TPartFile(QString path) : FPath(std::move(path)) { QFile::remove(FPath); }
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

TDb Open(const QString& path, int flags, QString& reason) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    TDb db(raw);
    if (rc != SQLITE_OK) {
        reason = QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        db.reset();
    }
    return db;
}

bool Damaged(int rc) {
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

TBackupOutcome Outcome(TBackupOutcome::TKind kind, QString reason = {}) {
    TBackupOutcome outcome;
    outcome.Kind = kind;
    outcome.Reason = std::move(reason);
    return outcome;
}

// "ok" from the quick check; a stop interrupts it.
int QuickCheck(sqlite3* db, const std::stop_token& stop, QString& reason) {
    sqlite3_progress_handler(
        db, 10000,
        [](void* token) { return static_cast<std::stop_token*>(token)->stop_requested() ? 1 : 0; },
        const_cast<std::stop_token*>(&stop));
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "pragma quick_check", -1, &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    if (rc != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
        return rc;
    }
    rc = sqlite3_step(raw);
    if (rc == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        reason = QString::fromUtf8(text ? text : "");
        rc = reason == QStringLiteral("ok") ? SQLITE_OK : SQLITE_CORRUPT;
    } else {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
    }
    stmt.reset();
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return rc;
}

void RemoveOldCopies(QDir folder, int kept) {
    static const QRegularExpression name(QStringLiteral("^cook-\\d{4}-\\d{2}-\\d{2}\\.mdb$"));
    QStringList copies;
    for (const QString& file : folder.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        if (name.match(file).hasMatch())
            copies.append(file);
    }
    for (qsizetype i = kept; i < copies.size(); ++i)
        folder.remove(copies.at(i));
}
} // namespace

QString BackupFolder(const QString& bookPath) {
    return QFileInfo(bookPath).absoluteDir().filePath(QStringLiteral("cook-backups"));
}

QString BackupFileName(const QDate& day) {
    return QStringLiteral("cook-%1.mdb").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

TBackupOutcome MakeDailyBackup(const QString& bookPath, const QDate& today, std::stop_token stop,
                               int kept) {
    const QDir folder(BackupFolder(bookPath));
    if (!QDir().mkpath(folder.path()))
        return Outcome(TBackupOutcome::Failed,
                       QStringLiteral("Cannot create folder \"%1\"").arg(folder.path()));
    const QString target = folder.filePath(BackupFileName(today));
    if (QFileInfo::exists(target))
        return Outcome(TBackupOutcome::AlreadyToday);

    QString reason;
    TDb source = Open(bookPath, SQLITE_OPEN_READONLY, reason);
    if (!source)
        return Outcome(TBackupOutcome::Failed, reason);
    TPartFile part(target + QStringLiteral(".part"));
    TDb copy = Open(part.Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, reason);
    if (!copy)
        return Outcome(TBackupOutcome::Failed, reason);

    std::unique_ptr<sqlite3_backup, TBackupFinisher> backup(
        sqlite3_backup_init(copy.get(), "main", source.get(), "main"));
    if (!backup)
        return Outcome(TBackupOutcome::Failed, QString::fromUtf8(sqlite3_errmsg(copy.get())));
    int rc = SQLITE_OK;
    while (rc != SQLITE_DONE) {
        if (stop.stop_requested())
            return Outcome(TBackupOutcome::Stopped);
        rc = sqlite3_backup_step(backup.get(), PagesPerStep);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            std::this_thread::sleep_for(PauseWhenBusy); // the program is writing
        else if (rc == SQLITE_OK)
            std::this_thread::sleep_for(PauseBetweenSteps);
        else if (rc != SQLITE_DONE)
            break;
    }
    backup.reset();
    if (rc != SQLITE_DONE) {
        const int code = sqlite3_extended_errcode(copy.get());
        reason = QString::fromUtf8(sqlite3_errmsg(copy.get()));
        return Outcome(Damaged(rc) || Damaged(code) ? TBackupOutcome::BookDamaged
                                                    : TBackupOutcome::Failed,
                       reason);
    }
    source.reset();

    // The copy holds the book's pages as they are, so its check is the book's.
    rc = QuickCheck(copy.get(), stop, reason);
    if (stop.stop_requested())
        return Outcome(TBackupOutcome::Stopped);
    if (rc != SQLITE_OK)
        return Outcome(Damaged(rc) ? TBackupOutcome::BookDamaged : TBackupOutcome::Failed, reason);
    copy.reset();
    if (!QFile::rename(part.Path(), target))
        return Outcome(TBackupOutcome::Failed,
                       QStringLiteral("Cannot rename \"%1\" to \"%2\"").arg(part.Path(), target));
    part.Keep();
    RemoveOldCopies(folder, kept);
    TBackupOutcome made = Outcome(TBackupOutcome::Made);
    made.File = target;
    return made;
}

TBackgroundBackup::TBackgroundBackup(const QString& bookPath, const QDate& today)
    : FThread([this, bookPath, today](std::stop_token stop) {
          FOutcome = MakeDailyBackup(bookPath, today, stop);
          FFinished = true;
      }) {}

TBackgroundBackup::~TBackgroundBackup() {
    FThread.request_stop();
}

const TBackupOutcome& TBackgroundBackup::Wait() {
    if (FThread.joinable())
        FThread.join();
    return FOutcome;
}
