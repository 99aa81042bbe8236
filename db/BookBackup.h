#pragma once
// The daily copy of the recipe book: "cook-backups/cook-YYYY-MM-DD.mdb" beside the
// book, made with SQLite's online backup in small steps on its own connection, so
// the program can go on reading and writing the book meanwhile.

#include <QDate>
#include <QString>
#include <atomic>
#include <stop_token>
#include <thread>

struct TBackupOutcome {
    enum TKind {
        Made,         // a new copy is in place, old ones beyond the kept number removed
        AlreadyToday, // today's copy exists; nothing done
        BookDamaged,  // the book fails its check; no copy made, older copies untouched
        Failed,       // the copy could not be made (Reason says why)
        Stopped,      // the program ended first; nothing left behind
    } Kind = Failed;
    QString File; // the copy, when made
    QString Reason;
};

inline constexpr int KeptBackups = 14;

QString BackupFolder(const QString& bookPath);
QString BackupFileName(const QDate& day);

// Copies the book unless today's copy exists. Runs for as long as the copy takes;
// each step holds the book's read lock only briefly.
TBackupOutcome MakeDailyBackup(const QString& bookPath, const QDate& today,
                               std::stop_token stop = {}, int kept = KeptBackups);

// MakeDailyBackup on a thread of its own. Destroying it stops the copy and waits.
class TBackgroundBackup {
public:
    TBackgroundBackup(const QString& bookPath, const QDate& today);
    ~TBackgroundBackup();
    TBackgroundBackup(const TBackgroundBackup&) = delete;
    TBackgroundBackup& operator=(const TBackgroundBackup&) = delete;

    bool Finished() const { return FFinished.load(); }
    // Waits for the copy to end.
    const TBackupOutcome& Wait();

private:
    TBackupOutcome FOutcome;
    std::atomic<bool> FFinished{false};
    std::jthread FThread;
};
