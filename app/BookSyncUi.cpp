#include "BookSyncUi.h"

#include "ADODB.h"
#include "Controls.h"
#include "EngineErrors.h"
#include "ErrorDisplay.h"
#include "KindControls.h"
#include "MsgShell.h"
#include "StandardErrors.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTime>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr int PanelWidth = 260;
constexpr int WatchBatch = 400; // folders watched per turn of the event loop
constexpr int RetryMs = 10'000; // after a failure or with recipes still being written

QString SettingsKey(const QString& bookPath) {
    const QByteArray path = QFileInfo(bookPath).absoluteFilePath().toUtf8();
    return QStringLiteral("syncFolder/") +
           QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex());
}
} // namespace

TBookSyncUi::TBookSyncUi(const TWindowSite& site) : FolderDialog(&site.Window), FSite(site) {
    FolderDialog.SetTitle(QStringLiteral("选择同步文件夹"));
    FFolder = QSettings().value(SettingsKey(FSite.BookPath)).toString();
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { RunNow(); });
    FRetry.setSingleShot(true);
    connect(&FRetry, &QTimer::timeout, this, [this] { Request(0); });
    FPanel = new QLabel(&FSite.StatusBar1);
    FPanel->setObjectName(QStringLiteral("SyncPanel"));
    FPanel->setFrameShape(QFrame::Panel);
    FPanel->setFrameShadow(QFrame::Sunken);
    FPanel->hide();
    FSite.StatusBar1.installEventFilter(this);
}

TBookSyncUi::~TBookSyncUi() {
    FSite.StatusBar1.removeEventFilter(this);
    if (FCancel)
        *FCancel = true;
    if (FThread.joinable())
        FThread.join(); // a cancelled sync leaves the book as it was
}

bool TBookSyncUi::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &FSite.StatusBar1 && event->type() == QEvent::Resize)
        PlacePanel();
    return false;
}

void TBookSyncUi::PlacePanel() {
    const QRect bar = FSite.StatusBar1.rect();
    FPanel->setGeometry(bar.width() - PanelWidth, 0, PanelWidth, bar.height());
    FPanel->raise();
}

QString TBookSyncUi::PanelText() const {
    return FPanel->isVisible() ? FPanel->text() : QString();
}

void TBookSyncUi::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("同步文件夹…")), &QAction::triggered, this,
            [this] { RunGuarded([this] { ChooseFolder(); }); });
    QAction* stop = menu.addAction(QStringLiteral("停止同步"));
    stop->setEnabled(!FFolder.isEmpty());
    connect(stop, &QAction::triggered, this, [this] { RunGuarded([this] { StopSyncing(); }); });
}

void TBookSyncUi::ChooseFolder() {
    if (!FolderDialog.Execute())
        return;
    FFolder = QFileInfo(FolderDialog.Folder()).absoluteFilePath();
    QSettings().setValue(SettingsKey(FSite.BookPath), FFolder);
    FTold.clear();
    FStarted = true;
    Watch();
    Request(0);
}

void TBookSyncUi::StopSyncing() {
    FFolder.clear();
    QSettings().remove(SettingsKey(FSite.BookPath));
    FTimer.stop();
    FRetry.stop();
    FAgain = false;
    FWatcher.reset();
    FListing.reset();
    FRelist = false;
    FWatched.clear();
    if (FCancel)
        *FCancel = true;
    FPanel->setText(QStringLiteral("同步已停止"));
    FPanel->setToolTip(QString());
    FPanel->show();
    PlacePanel();
}

void TBookSyncUi::Start() {
    FStarted = true;
    if (FFolder.isEmpty())
        return;
    Watch();
    Request(0);
}

void TBookSyncUi::BookTouched() {
    if (!FOwnChange)
        Request();
}

void TBookSyncUi::Request(int delayMs) {
    if (!FStarted || FFolder.isEmpty())
        return;
    if (Running()) {
        FAgain = true;
        return;
    }
    // Not restarted by later changes, so a busy folder still syncs within two seconds.
    if (!FTimer.isActive() || delayMs < FTimer.remainingTime())
        FTimer.start(delayMs);
}

// Directory watches for the folder and each recipe folder in it, added a batch
// per turn of the event loop so that a folder of ten thousand never pauses the window.
void TBookSyncUi::Watch() {
    FWatcher = std::make_unique<QFileSystemWatcher>();
    connect(FWatcher.get(), &QFileSystemWatcher::directoryChanged, this,
            [this](const QString& path) {
                if (path == FFolder)
                    ListAgain(); // new recipe folders need watches of their own
                else if (!QFileInfo(path).isDir())
                    FWatched.remove(path); // gone, and its watch with it
                Request(1000);
            });
    FWatched.clear();
    FListing.reset();
    ListAgain();
}

void TBookSyncUi::ListAgain() {
    const bool idle = !FListing && !FRelist;
    FRelist = true;
    if (idle)
        QTimer::singleShot(0, this, [this] { WatchMore(); });
}

void TBookSyncUi::WatchMore() {
    if (!FWatcher)
        return;
    QStringList fresh;
    if (FRelist) {
        FRelist = false;
        if (!FWatched.contains(FFolder)) {
            FWatched.insert(FFolder);
            fresh.append(FFolder);
        }
        FListing = std::make_unique<QDirIterator>(FFolder, QDir::Dirs | QDir::NoDotAndDotDot);
    }
    while (FListing && fresh.size() < WatchBatch) {
        if (!FListing->hasNext()) {
            FListing.reset();
            break;
        }
        const QString path = FListing->next();
        if (!FWatched.contains(path)) {
            FWatched.insert(path);
            fresh.append(path);
        }
    }
    if (!fresh.isEmpty())
        FWatcher->addPaths(fresh); // past the system's limit, the folder's own watch still tells
    if (FListing || FRelist)
        QTimer::singleShot(0, this, [this] { WatchMore(); });
}

void TBookSyncUi::RunNow() {
    if (FFolder.isEmpty() || Running())
        return;
    if (FSite.Connection.Damaged()) {
        Tell({DamagedBookText(FSite.BookPath)});
        return;
    }
    FAgain = false;
    FRetry.stop();
    FPanel->setText(QStringLiteral("正在同步…"));
    FPanel->setToolTip(FFolder);
    FPanel->show();
    PlacePanel();
    FCancel = std::make_shared<std::atomic<bool>>(false);
    const QString connection = FSite.Connection.ConnectionString();
    const QString folder = FFolder;
    const QString trash = DefaultBookTrash(FSite.BookPath);
    auto cancel = FCancel;
    FThread = std::thread([this, connection, folder, trash, cancel] {
        // Behind the window's thread when the cores are busy.
        setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 10);
        TOutcome outcome;
        TADOConnection book;
        QTime shown;
        try {
            book.SetLoginPrompt(false);
            book.SetConnectionString(connection);
            book.SetConnected(true);
            TSyncOptions options;
            options.BookTrash = trash;
            options.Progress = [&](int done, int total) {
                if (*cancel)
                    return false;
                if (!shown.isValid() || shown.msecsTo(QTime::currentTime()) > 200) {
                    shown = QTime::currentTime();
                    QMetaObject::invokeMethod(
                        this, [this, done, total] { ShowProgress(done, total); },
                        Qt::QueuedConnection);
                }
                return true;
            };
            outcome.Summary = SyncBookWithFolder(book, folder, options);
        } catch (const ESyncCancelled&) {
            outcome.Cancelled = true;
        } catch (const std::exception& e) {
            outcome.Error = book.Damaged() ? DamagedBookText(FSite.BookPath, TDamageReader::Window)
                                           : StandardErrorText(e);
        }
        QMetaObject::invokeMethod(
            this, [this, outcome] { Finished(outcome); }, Qt::QueuedConnection);
    });
}

void TBookSyncUi::ShowProgress(int done, int total) {
    if (Running())
        FPanel->setText(QStringLiteral("正在同步… %1/%2").arg(done).arg(total));
}

void TBookSyncUi::Finished(const TOutcome& outcome) {
    if (FThread.joinable())
        FThread.join();
    ++FDone;
    const QString now = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    if (outcome.Cancelled) {
        FPanel->setText(QStringLiteral("同步已取消"));
    } else if (!outcome.Error.isEmpty()) {
        FPanel->setText(QStringLiteral("同步未完成（%1）").arg(now));
        FPanel->setToolTip(outcome.Error);
        Tell({outcome.Error});
        FRetry.start(RetryMs);
    } else {
        FLast = outcome.Summary;
        FPanel->setText(
            FLast.Waiting > 0
                ? QStringLiteral("已同步 %1（%2 个稍后再同步）").arg(now).arg(FLast.Waiting)
                : QStringLiteral("已同步 %1").arg(now));
        FPanel->setToolTip((QStringList{FLast.Text()} + FLast.WaitingNotes).join(u'\n'));
        if (FLast.Waiting > 0)
            FRetry.start(RetryMs);
        if (FLast.BookChanged())
            ShowBookAgain();
        Tell(FLast.Problems);
    }
    if (FAgain && !FFolder.isEmpty())
        Request(0);
}

// The window's query reads the book again on a thread of its own (only the count
// now); once the rows are in, a search the cook made is made again and the window
// hears the book changed.
void TBookSyncUi::ShowBookAgain() {
    TADOQuery& query = FSite.Query;
    FSite.Connection.SyncWithBook();
    FSite.ShowCount();
    query.StartLoading();
    if (query.RowsLoading()) {
        QTimer::singleShot(20, this, [this] { RunGuarded([this] { ShowBookAgainLoaded(); }); });
        return;
    }
    ShowBookAgainLoaded();
}

void TBookSyncUi::ShowBookAgainLoaded() {
    if (FSite.Query.RowsLoading()) {
        QTimer::singleShot(20, this, [this] { RunGuarded([this] { ShowBookAgainLoaded(); }); });
        return;
    }
    FOwnChange = true;
    try {
        if (FSite.ListBox1.Count() > 0 || !FSite.Edit2.text().isEmpty())
            FSite.BitBtn6.click();
        FSite.BookChanged();
    } catch (...) {
        FOwnChange = false;
        throw;
    }
    FOwnChange = false;
}

// Each problem once per run: a conflict, a recipe still being written, the book locked.
void TBookSyncUi::Tell(const QStringList& problems) {
    QStringList fresh;
    for (const QString& p : problems)
        if (!FTold.contains(p)) {
            FTold.insert(p);
            fresh.append(p);
        }
    FUntold += fresh;
    if (FUntold.isEmpty())
        return;
    if (QApplication::activeModalWidget()) {
        // Never over another box or dialog: told once the cook is done with it.
        QTimer::singleShot(2000, this, [this] { Tell({}); });
        return;
    }
    fresh = std::exchange(FUntold, {});
    if (fresh.size() > 8) {
        const qsizetype more = fresh.size() - 8;
        fresh = fresh.mid(0, 8);
        fresh.append(QStringLiteral("……另有 %1 条").arg(more));
    }
    ShowMessage(
        {QStringLiteral("同步"), fresh.join(u'\n'), QMessageBox::Information, QMessageBox::Ok});
}
