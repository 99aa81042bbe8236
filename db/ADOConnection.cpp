#include "ADODB.h"

#include "BookFile.h"
#include "EngineErrors.h"
#include "SqliteSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <algorithm>

// A commit running on a thread of its own; joined before it goes, whatever happens.
// The loops waiting for it on the connection's thread (the commit's own, and those of
// whatever needed the connection while it turned) all end when it does.
struct TADOConnection::TAsideCommit {
    QObject Waker; // lives on the connection's thread; wakes the waiting loops there
    std::thread Worker;
    int Code = SQLITE_OK;
    std::atomic<bool> Done{false};
    std::vector<QEventLoop*> Waiting; // touched on the connection's thread only
    ~TAsideCommit() {
        if (Worker.joinable()) {
            Worker.join();
        }
    }
    // Called last on the commit's thread.
    void Finish(int code) {
        Code = code;
        Done = true;
        QMetaObject::invokeMethod(
            &Waker,
            [this] {
                for (QEventLoop* loop : Waiting)
                    loop->quit();
            },
            Qt::QueuedConnection);
    }
    // Turns an event loop with user input held until the commit has ended (or the
    // application quits every loop: the caller then joins).
    void Await() {
        if (Done)
            return;
        QEventLoop loop;
        Waiting.push_back(&loop);
        struct TUnlist {
            std::vector<QEventLoop*>& List;
            QEventLoop* Loop;
            ~TUnlist() { List.erase(std::find(List.begin(), List.end(), Loop)); }
        } unlist{Waiting, &loop};
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
};

QString ConnectionStringItem(const QString& text, const QString& key) {
    QString value;
    const QString wanted = key.trimmed();
    for (const QString& item : text.split(u';')) {
        const qsizetype eq = item.indexOf(u'=');
        if (eq < 0) {
            continue;
        }
        if (item.left(eq).trimmed().compare(wanted, Qt::CaseInsensitive) == 0) {
            value = item.mid(eq + 1); // a repeated item overrides the earlier one
        }
    }
    return value;
}

TADOConnection::TADOConnection() = default;

TADOConnection::~TADOConnection() {
    Settle(false);
    for (TADOQuery* q : std::vector<TADOQuery*>(FQueries)) {
        q->Detach();
    }
    FQueries.clear();
    SetConnected(false);
}

void TADOConnection::SetConnectionString(const QString& text) {
    if (Connected()) {
        Raise(QStringLiteral("菜谱库已经打开，不能再改它的连接字符串。"));
    }
    FConnectionString = text;
}

void TADOConnection::CheckConnected() {
    Settle();
    if (!FDb && FWantConnected) {
        SetConnected(true); // a lock or a missing disk may have gone since
    }
    if (!FDb) {
        Raise(QStringLiteral("菜谱库没有打开。"));
    }
}

void TADOConnection::CheckWritable() const {
    if (FDamaged) {
        Raise(DamagedBookText(
            FPath.isEmpty() ? ConnectionStringItem(FConnectionString, QStringLiteral("Data Source"))
                            : FPath));
    }
}

bool TADOConnection::CheckBookIntact() {
    CheckConnected();
    const int rc = QuickCheck(FDb);
    if (IsDamageCode(rc))
        FDamaged = true;
    else if (rc != SQLITE_OK)
        Raise(EngineErrorText(rc, BookSubject(FPath)));
    return !FDamaged;
}

qint64 TADOConnection::DataVersion() const {
    const_cast<TADOConnection*>(this)->Settle();
    return FDb ? ReadNumberOr(FDb, "pragma data_version", -1) : -1;
}

bool TADOConnection::SyncWithBook() {
    const qint64 version = DataVersion();
    if (version < 0 || version == FDataVersion) {
        return false;
    }
    const bool first = FDataVersion < 0;
    FDataVersion = version;
    if (first) {
        return false;
    }
    RefreshQueries();
    return true;
}

// SQLite's own waits, told to the program once per wait. Another thread stepping the
// daily copy through this connection never waits here: it would hold the connection
// (and so the window) meanwhile; it pauses on its own instead.
// A commit running aside waits as the window would, without telling the window.
int TADOConnection::BusyHandler(void* self, int count) {
    auto* c = static_cast<TADOConnection*>(self);
    const std::thread::id me = std::this_thread::get_id();
    const bool owner = me == c->FOwnerThread;
    if (!owner && me != c->FCommitThread.load()) {
        return 0;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (count == 0) {
        c->FWaitStartMs = now;
        if (owner && c->FWaitHandler) {
            c->FWaitHandler();
        }
    }
    if (now - c->FWaitStartMs >= BusyTimeoutMs) {
        return 0;
    }
    static constexpr int Delays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50};
    sqlite3_sleep(count < int(std::size(Delays)) ? Delays[count] : 100);
    return 1;
}

void TADOConnection::SetConnected(bool on) {
    FWantConnected = on;
    try {
        Connect(on);
        FLastOpenError.clear();
    } catch (const EDatabaseError& e) {
        if (on)
            FLastOpenError = e.Message();
        throw;
    }
}

void TADOConnection::Connect(bool on) {
    if (on == Connected()) {
        return;
    }
    if (!on) {
        Settle();
        for (TADOQuery* q : FQueries) {
            q->Close();
        }
        if (FTransLevel > 0) {
            sqlite3_exec(FDb, "rollback", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(FDb);
        FDb = nullptr;
        FTransLevel = 0;
        return;
    }
    const QString path = ConnectionStringItem(FConnectionString, QStringLiteral("Data Source"));
    if (path.isEmpty()) {
        Raise(QStringLiteral("连接字符串没有指明菜谱库文件（Data Source）。"));
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        Raise(QStringLiteral("找不到菜谱库文件“%1”。").arg(QDir::toNativeSeparators(path)));
    }
    if (!info.isFile()) {
        Raise(NotOursText(path));
    }
    CheckOurBook(path);
    sqlite3* raw = nullptr;
    // No SQLITE_OPEN_CREATE: connecting never makes a file.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    TDbPtr db(raw);
    if (rc != SQLITE_OK) {
        RaiseOpenError(path, raw, rc);
    }
    sqlite3_busy_handler(raw, &TADOConnection::BusyHandler, this);
    sqlite3_update_hook(raw, &TADOConnection::UpdateHook, this);
    FOwnerThread = std::this_thread::get_id();
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // Rollback journal with synchronous=FULL (SQLite's defaults, stated here so they
    // stay): it needs no shared-memory file, so it is safe on any file system and with
    // two program copies; a write interrupted by a crash is rolled back on next open.
    if (sqlite3_exec(raw, "pragma synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        RaiseOpenError(path, raw, SQLITE_ERROR);
    }
    // A save's pages (a photo of several MB among them) stay in memory until the
    // commit, whose flushes run aside (SetCommitAside): a spill would flush the journal
    // on the window's thread in the middle of the save. 4096 pages: 16 MB at most.
    // SQLite reads the number as a switch too, by its low byte, and 4096 would turn
    // spilling off altogether (an import held whole in memory): "on" turns it back on.
    sqlite3_exec(raw, "pragma cache_spill=4096; pragma cache_spill=on", nullptr, nullptr, nullptr);
    FDb = db.release();
    FPath = path;
    FTransLevel = 0;
    FDataVersion = -1;
}

void TADOConnection::Execute(const QString& sql) {
    CheckConnected();
    RunStatements(*this, sql);
}

void TADOConnection::UpdateHook(void* self, int op, const char*, const char* table,
                                long long rowId) {
    for (TADOQuery* q : static_cast<TADOConnection*>(self)->FQueries) {
        q->NoteWrite(op, table, rowId);
    }
}

void TADOConnection::RaiseEngineError(const QString& context) {
    if (!FDb) {
        Raise(QStringLiteral("菜谱库没有打开。"));
    }
    RaiseEngineCode(sqlite3_extended_errcode(FDb), context);
}

void TADOConnection::RaiseEngineCode(int code, const QString& context) {
    QString message;
    if (IsDamageCode(code)) {
        // Told once by the caller's error display; from now on nothing more is
        // written into the book, so what it still holds stays as it is.
        FDamaged = true;
        message = DamagedBookText(FPath);
    } else {
        message = EngineErrorText(code, BookSubject(FPath));
    }
    if (FTransLevel > 0 && sqlite3_get_autocommit(FDb)) {
        // The engine gave up the whole transaction (disk full, I/O error): say so,
        // and let the queries show what the book now holds.
        FTransLevel = 0;
        message += QStringLiteral("本次修改没有保存。");
        RefreshQueries();
    }
    Raise(context.isEmpty() ? message : context + QStringLiteral("：") + message);
}

void TADOConnection::RefreshQueries() {
    for (TADOQuery* q : FQueries) {
        q->Reload();
    }
}

void TADOConnection::BeginTrans() {
    CheckConnected();
    CheckWritable();
    // "immediate" takes the write lock now, so two copies queue up via the busy
    // timeout instead of failing on a read-to-write upgrade.
    Execute(FTransLevel == 0 ? QStringLiteral("begin immediate")
                             : QStringLiteral("savepoint mycook_%1").arg(FTransLevel));
    ++FTransLevel;
}

sqlite3* TADOConnection::Handle() const {
    const_cast<TADOConnection*>(this)->Settle();
    return FDb;
}

bool TADOConnection::InTransaction() const {
    const_cast<TADOConnection*>(this)->Settle();
    return FTransLevel > 0;
}

void TADOConnection::CommitTrans() {
    CheckConnected();
    if (FTransLevel == 0) {
        Raise(QStringLiteral("没有进行中的事务。"));
    }
    const QCoreApplication* app = QCoreApplication::instance();
    if (FTransLevel == 1 && FCommitAside && app && QThread::currentThread() == app->thread() &&
        std::this_thread::get_id() == FOwnerThread) {
        CommitWhilePainting();
        return;
    }
    Execute(FTransLevel == 1 ? QStringLiteral("commit")
                             : QStringLiteral("release mycook_%1").arg(FTransLevel - 1));
    --FTransLevel;
}

void TADOConnection::RollbackTrans() {
    CheckConnected();
    if (FTransLevel == 0) {
        Raise(QStringLiteral("没有进行中的事务。"));
    }
    if (FTransLevel == 1) {
        Execute(QStringLiteral("rollback"));
    } else {
        const QString name = QStringLiteral("mycook_%1").arg(FTransLevel - 1);
        Execute(QStringLiteral("rollback to %1; release %1").arg(name));
    }
    --FTransLevel;
    ++FRollbacks;
    RefreshQueries();
}

// The flushes of a commit take the disk's time (milliseconds each, far more while
// other programs write); the window paints meanwhile. Input waits in the queue, so
// the cook cannot start anything until the save is on disk.
void TADOConnection::CommitWhilePainting() {
    TAsideCommit aside;
    sqlite3* db = FDb;
    try {
        aside.Worker = std::thread([this, db, &aside] {
            FCommitThread = std::this_thread::get_id();
            // The code read under the same hold as the commit: the daily copy steps
            // through this connection too.
            sqlite3_mutex* hold = sqlite3_db_mutex(db);
            sqlite3_mutex_enter(hold);
            int rc = sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                rc = sqlite3_extended_errcode(db);
            }
            sqlite3_mutex_leave(hold);
            FCommitThread = std::thread::id();
            aside.Finish(rc);
        });
    } catch (const std::system_error&) {
        Execute(QStringLiteral("commit")); // no thread to be had: in place
        --FTransLevel;
        return;
    }
    FAside = &aside;
    struct TForget {
        TADOConnection& C;
        TAsideCommit* Mine;
        ~TForget() {
            if (C.FAside == Mine)
                C.FAside = nullptr;
        }
    } forget{*this, &aside};
    aside.Await();
    Settle();
    if (aside.Code != SQLITE_OK) {
        FTransLevel = 1; // told, and the queries re-read, as a transaction the engine gave up
        RaiseEngineCode(aside.Code, QString());
    }
}

// Whoever needs the connection next on its own thread (the commit's caller, or a
// timer or queued call that ran while the commit's loop turned) waits here for the
// commit and sees the transaction ended: committed, or rolled back when it failed.
// It waits as the commit's caller does, turning an event loop with user input held,
// so a timer that touches the book mid-commit never stops the window painting; what
// runs in that loop and needs the connection waits the same way, one loop inside the
// other, and all of them end with the commit. Only the connection's end joins.
void TADOConnection::Settle(bool turnLoop) {
    if (!FAside || std::this_thread::get_id() != FOwnerThread) {
        return;
    }
    TAsideCommit& aside = *FAside;
    const QCoreApplication* app = QCoreApplication::instance();
    if (turnLoop && app && QThread::currentThread() == app->thread()) {
        aside.Await();
        if (FAside != &aside) {
            return; // accounted for by a caller inside the wait
        }
    }
    FAside = nullptr;
    if (aside.Worker.joinable()) {
        aside.Worker.join();
    }
    if (aside.Code != SQLITE_OK && !sqlite3_get_autocommit(FDb)) {
        sqlite3_exec(FDb, "rollback", nullptr, nullptr, nullptr);
    }
    FTransLevel = 0;
}
