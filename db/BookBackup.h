#pragma once
// The daily copy of the recipe book: "cook-backups/cook-YYYY-MM-DD.mdb" beside the
// book, made with SQLite's online backup in small steps. Given the program's own
// connection to read from, the copy follows the program's saves instead of starting
// again after each one.

#include "BackupFiles.h"

#include <QDate>
#include <QString>
#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

struct sqlite3;

struct TBackupOutcome {
    enum TKind {
        Made,         // a new copy is in place, old ones beyond the kept number removed
        AlreadyToday, // today's copy exists; nothing done
        BookDamaged,  // the book fails its check; no copy made, older copies untouched
        Failed,       // the copy could not be made (Reason says why and what to do)
        Stopped,      // the program ended first; nothing left behind
    } Kind = Failed;
    QString File; // the copy, when made
    QString Reason;
    // How the copy held the connection it read through: the steps taken, the longest
    // and the total time a step held it.
    int Steps = 0;
    double LongestHoldMs = 0;
    double HeldMs = 0;
};

inline constexpr int KeptBackups = 14;

// Copies the book unless today's copy exists. Runs for as long as the copy takes;
// each step holds the book's read lock, and the source connection, only briefly, and
// only when that connection is free. source: a connection to the
// book that may be used by another thread meanwhile (SQLite serialises the calls);
// without one the copy reads through a connection of its own.
TBackupOutcome MakeDailyBackup(const QString& bookPath, const QDate& today,
                               std::stop_token stop = {}, int kept = KeptBackups,
                               sqlite3* source = nullptr);

// MakeDailyBackup on a thread of its own: its steps at the caller's priority, as
// they hold the source connection, the rest below the window's (YieldToWindow).
// Destroying it stops the copy and waits, so it must go before the source connection
// closes. onDone runs on that thread.
class TBackgroundBackup {
public:
    TBackgroundBackup(const QString& bookPath, const QDate& today, sqlite3* source = nullptr,
                      std::function<void()> onDone = {});
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
