#pragma once
// The window's side of keeping the book in step with a recipe folder (lib/sync):
// "同步文件夹…" and "停止同步" in the browse list's menu, a sync after the first
// paint, after each save, delete and import, and within two seconds of a change
// in the folder; the work runs on a thread of its own with its own connection,
// its progress in a panel at the right of the status bar, and each problem is
// told once.

#include "BookSync.h"
#include "Dialogs.h"
#include "WindowSite.h"

#include <QObject>
#include <QSet>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

class QDirIterator;
class QFileSystemWatcher;
class QLabel;
class QMenu;

class TBookSyncUi final : public QObject {
public:
    explicit TBookSyncUi(const TWindowSite& site);
    ~TBookSyncUi() override;
    TBookSyncUi(const TBookSyncUi&) = delete;
    TBookSyncUi& operator=(const TBookSyncUi&) = delete;

    TOpenFolderDialog FolderDialog;
    void AddMenuItems(QMenu& menu);
    // "同步文件夹…": chooses the folder and syncs at once.
    void ChooseFolder();
    void StopSyncing();
    QString Folder() const { return FFolder; }

    // After the first paint.
    void Start();
    // The book changed beside the sync (a save, a delete, an import).
    void BookTouched();
    // A sync soon; several requests close together make one.
    void Request(int delayMs = 300);

    bool Running() const { return FThread.joinable(); }
    QString PanelText() const;
    const TSyncSummary& LastSummary() const { return FLast; }
    // Tests: the syncs finished so far, and whether one is waiting to run.
    int SyncsDone() const { return FDone; }
    bool Pending() const { return FTimer.isActive() || FAgain; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TOutcome {
        TSyncSummary Summary;
        QString Error;
        bool Cancelled = false;
    };
    void RunNow();
    void Finished(const TOutcome& outcome);
    void ShowProgress(int done, int total);
    void Tell(const QStringList& problems);
    void ShowBookAgain();
    void ShowBookAgainLoaded();
    void Watch();
    void ListAgain();
    void WatchMore();
    void PlacePanel();

    const TWindowSite& FSite;
    QString FFolder;
    bool FStarted = false;
    bool FAgain = false;
    bool FOwnChange = false; // the window hears of the sync's own changes
    int FDone = 0;
    TSyncSummary FLast;
    QSet<QString> FTold;
    QStringList FUntold; // waiting for a modal window to close
    QTimer FTimer;
    QTimer FRetry;
    QLabel* FPanel = nullptr;
    std::unique_ptr<QFileSystemWatcher> FWatcher;
    std::unique_ptr<QDirIterator> FListing; // the folder's recipe folders, a batch a turn
    bool FRelist = false;
    QSet<QString> FWatched;
    std::thread FThread;
    std::shared_ptr<std::atomic<bool>> FCancel;
};
