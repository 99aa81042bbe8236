#include "ADODB.h"

#include "ADOFilter.h"
#include "EngineErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <map>

namespace {

// Marks a book as ours so that connecting can refuse anyone else's SQLite file.
constexpr int BookApplicationId = 0x4D434B42;
// A second copy of the program waits this long for the other's write.
constexpr int BusyTimeoutMs = 5000;
constexpr qint64 MaxFieldBytes = 64 * 1024 * 1024;
// Values longer than this stay on disk even in cached columns.
constexpr quint32 MaxCachedChars = 4096;
constexpr size_t ChunkChars = size_t(1) << 20;
constexpr quint32 NullLen = 0xFFFFFFFFu;
constexpr quint32 UncachedLen = 0xFFFFFFFEu;

struct TStmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtDeleter>;

// A statement left stepped would hold a read lock and stall the other program copy.
struct TResetGuard {
    sqlite3_stmt* S;
    ~TResetGuard() {
        if (S) {
            sqlite3_reset(S);
            sqlite3_clear_bindings(S);
        }
    }
    // Resets now and lets go: raising may re-read the query, which finalizes S.
    void Release() {
        sqlite3_reset(S);
        sqlite3_clear_bindings(S);
        S = nullptr;
    }
};

[[noreturn]] void Raise(const QString& text) {
    throw EDatabaseError(text);
}

QString QuoteIdent(const QString& name) {
    QString s = name;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

QString NotOursText(const QString& path) {
    return QStringLiteral("菜谱库没有打开：“%1”不是本程序的菜谱库，程序没有改动它。"
                          "请把它移走或改名，下次启动时程序会建立新的菜谱库。")
        .arg(QDir::toNativeSeparators(path));
}

[[noreturn]] void RaiseOpenError(const QString& path, sqlite3* db, int rc) {
    Raise(EngineErrorText(db ? sqlite3_extended_errcode(db) : rc, BookSubject(path)));
}

// SQLite turns such text into a number in a column without text affinity
// (a "memo" method "007" would come back as "7").
bool LooksNumeric(QStringView s) {
    qsizetype i = 0, n = s.size();
    auto isWs = [&](qsizetype k) {
        const char16_t c = s[k].unicode();
        return c == u' ' || (c >= u'\t' && c <= u'\r');
    };
    while (i < n && isWs(i)) {
        ++i;
    }
    while (n > i && isWs(n - 1)) {
        --n;
    }
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        ++i;
    }
    bool digits = false;
    while (i < n && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
        ++i;
        digits = true;
    }
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return false;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) {
            ++i;
        }
        while (i < n && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
            ++i;
        }
    }
    return i == n;
}

struct TDbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using TDbPtr = std::unique_ptr<sqlite3, TDbCloser>;

// Looks at the file through a read-only handle, so that not even a hot journal of
// someone else's database is rolled back into it.
void CheckOurBook(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        Raise(QStringLiteral("无法打开菜谱库“%1”：%2")
                  .arg(QDir::toNativeSeparators(path), f.errorString()));
    }
    const QByteArray head = f.read(100);
    f.close();
    if (head.size() < 100 || !head.startsWith(QByteArray("SQLite format 3\0", 16))) {
        Raise(NotOursText(path));
    }
    // Our mark sits in the header and never changes, so it reads the same even when
    // a crash left a write unfinished; SQLite recovers such a book when it is opened.
    const auto* h = reinterpret_cast<const uchar*>(head.constData()) + 68;
    if (qint32((quint32(h[0]) << 24) | (quint32(h[1]) << 16) | (quint32(h[2]) << 8) | h[3]) ==
        BookApplicationId) {
        return;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    TDbPtr db(raw);
    if (rc != SQLITE_OK) {
        RaiseOpenError(path, raw, rc);
    }
    sqlite3_busy_timeout(raw, BusyTimeoutMs);
    auto single = [&](const char* sql) -> qint64 {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(raw, sql, -1, &s, nullptr) != SQLITE_OK) {
            RaiseOpenError(path, raw, SQLITE_ERROR);
        }
        TStmt g(s);
        const int step = sqlite3_step(s);
        if (step == SQLITE_ROW) {
            return sqlite3_column_int64(s, 0);
        }
        if (step != SQLITE_DONE) {
            RaiseOpenError(path, raw, step);
        }
        return 0;
    };
    if (single("pragma application_id") == BookApplicationId) {
        return;
    }
    if (single("select count(*) from sqlite_master where type='table' and name='mycook'") == 0) {
        Raise(NotOursText(path));
    }
}

// Runs every statement of the text; true when one of them may have changed data.
bool RunStatements(TADOConnection& connection, const QString& sql) {
    sqlite3* db = connection.Handle();
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = utf8.constData();
    const char* end = tail + utf8.size();
    bool changed = false;
    while (tail < end) {
        sqlite3_stmt* raw = nullptr;
        const char* next = nullptr;
        if (sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &next) != SQLITE_OK) {
            connection.RaiseEngineError();
        }
        tail = next;
        if (!raw) {
            continue; // blanks or a comment
        }
        TStmt stmt(raw);
        if (!sqlite3_stmt_readonly(raw)) {
            connection.CheckWritable();
            changed = true;
        }
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            connection.RaiseEngineError();
        }
    }
    return changed;
}

} // namespace

// ---------------------------------------------------------------------------------------

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

qint64 TADOConnection::DataVersion() const {
    sqlite3_stmt* raw = nullptr;
    if (!FDb || sqlite3_prepare_v2(FDb, "pragma data_version", -1, &raw, nullptr) != SQLITE_OK) {
        return -1;
    }
    TStmt stmt(raw);
    return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
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
int TADOConnection::BusyHandler(void* self, int count) {
    auto* c = static_cast<TADOConnection*>(self);
    if (std::this_thread::get_id() != c->FOwnerThread) {
        return 0;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (count == 0) {
        c->FWaitStartMs = now;
        if (c->FWaitHandler) {
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
    FOwnerThread = std::this_thread::get_id();
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // Rollback journal with synchronous=FULL (SQLite's defaults, stated here so they
    // stay): it needs no shared-memory file, so it is safe on any file system and with
    // two program copies; a write interrupted by a crash is rolled back on next open.
    if (sqlite3_exec(raw, "pragma synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        RaiseOpenError(path, raw, SQLITE_ERROR);
    }
    FDb = db.release();
    FPath = path;
    FTransLevel = 0;
    FDataVersion = -1;
}

void TADOConnection::Execute(const QString& sql) {
    CheckConnected();
    FinishLoads();
    RunStatements(*this, sql);
}

void TADOConnection::RaiseEngineError(const QString& context) {
    if (!FDb) {
        Raise(QStringLiteral("菜谱库没有打开。"));
    }
    const int code = sqlite3_extended_errcode(FDb);
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

void TADOConnection::CommitTrans() {
    CheckConnected();
    if (FTransLevel == 0) {
        Raise(QStringLiteral("没有进行中的事务。"));
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
    RefreshQueries();
}

void CreateDatabaseFile(const QString& creationString) {
    const QString path = ConnectionStringItem(creationString, QStringLiteral("Data Source"));
    if (path.isEmpty()) {
        Raise(QStringLiteral("建库字符串没有指明文件（Data Source）。"));
    }
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    // A file of no bytes (left by a copy that crashed) holds nothing: the book is
    // made in it.
    const bool empty = info.isFile() && !info.isSymLink() && info.size() == 0;
    if ((info.exists() || info.isSymLink()) && !empty) {
        Raise(QStringLiteral("菜谱库“%1”已经存在。").arg(shown));
    }
    {
        // Exclusive creation: a file that appears meanwhile is never taken over.
        QFile f(path);
        const QIODevice::OpenMode mode = empty ? QIODevice::ReadWrite | QIODevice::ExistingOnly
                                               : QIODevice::WriteOnly | QIODevice::NewOnly;
        if (!f.open(mode)) {
            Raise(QStringLiteral("无法建立菜谱库“%1”：%2").arg(shown, f.errorString()));
        }
        if (f.size() != 0) {
            Raise(QStringLiteral("菜谱库“%1”已经存在。").arg(shown));
        }
    }
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    TDbPtr db(raw);
    if (rc == SQLITE_OK) {
        const QByteArray sql =
            QStringLiteral("pragma application_id=%1").arg(BookApplicationId).toUtf8();
        rc = sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const QString why =
            EngineErrorText(raw ? sqlite3_extended_errcode(raw) : rc, QStringLiteral("这个文件"));
        db.reset();
        if (!empty) {
            QFile::remove(path);
        }
        Raise(QStringLiteral("无法建立菜谱库“%1”：%2").arg(shown, why));
    }
}

// ---------------------------------------------------------------------------------------

namespace {

enum class TKind { Text, Binary, Other };

struct TColumn {
    QString Name;
    QString Quoted;
    TKind Kind = TKind::Other;
    int Width = 0; // declared char(N); 0 = no limit
    bool TextAffinity = false;
    int Slot = -1; // index among the cached columns
};

struct TSpan {
    quint32 Chunk = 0;
    quint32 Off = 0;
    quint32 Len = NullLen;
};

bool ValueIsNull(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

QString ValueText(const QVariant& v) {
    if (ValueIsNull(v)) {
        return QString();
    }
    if (v.typeId() == QMetaType::QByteArray) {
        return QString::fromUtf8(v.toByteArray());
    }
    return v.toString();
}

void ParseDeclType(const QString& declared, TColumn& c) {
    const QString t = declared.toUpper();
    // SQLite's own affinity rules: INT wins over CHAR/TEXT.
    c.TextAffinity =
        !t.contains(u"INT") && (t.contains(u"CHAR") || t.contains(u"CLOB") || t.contains(u"TEXT"));
    static const char* const textWords[] = {"CHAR", "TEXT", "MEMO", "CLOB", "STRING", "NOTE"};
    static const char* const binaryWords[] = {"BLOB", "IMAGE", "BINARY", "OLEOBJECT", "GENERAL"};
    for (const char* w : binaryWords) {
        if (t.contains(QLatin1String(w))) {
            c.Kind = TKind::Binary;
            return;
        }
    }
    for (const char* w : textWords) {
        if (t.contains(QLatin1String(w))) {
            c.Kind = TKind::Text;
            break;
        }
    }
    if (c.Kind == TKind::Text) {
        static const QRegularExpression width(QStringLiteral("\\(\\s*(\\d{1,9})\\s*\\)"));
        const auto m = width.match(t);
        if (m.hasMatch()) {
            c.Width = m.captured(1).toInt();
        }
    }
}

} // namespace

// The rows held in memory: identities in row order and the short leading text
// columns, stored in large UTF-16 chunks (no allocation per value). Read on any
// connection, so a thread of its own can fill one while the window starts.
struct TRowCache {
    int Stride = 0; // cached columns per row
    std::vector<qint64> RowIds;
    // Spans are kept in the order the rows were read (the texts' memory order), so a
    // filter pass runs through memory sequentially.
    std::vector<TSpan> Cells;       // load slot * Stride + column slot
    std::vector<int32_t> PoolOrder; // load slot -> row
    std::vector<int32_t> LoadOfRow; // row -> load slot
    std::vector<std::unique_ptr<char16_t[]>> Chunks;
    size_t ChunkUsed = ChunkChars;

    QStringView SpanText(const TSpan& s) const {
        if (s.Len == 0) {
            return QStringView(u"", 0); // may come before any chunk exists
        }
        return QStringView(Chunks[s.Chunk].get() + s.Off, qsizetype(s.Len));
    }

    TSpan AddText(const char16_t* text, size_t len) {
        TSpan s;
        if (len > MaxCachedChars) {
            s.Len = UncachedLen;
            return s;
        }
        if (len == 0) {
            s.Len = 0;
            return s;
        }
        if (ChunkUsed + len > ChunkChars) {
            Chunks.push_back(std::make_unique_for_overwrite<char16_t[]>(ChunkChars));
            ChunkUsed = 0;
        }
        std::copy(text, text + len, Chunks.back().get() + ChunkUsed);
        s.Chunk = quint32(Chunks.size() - 1);
        s.Off = quint32(ChunkUsed);
        s.Len = quint32(len);
        ChunkUsed += len;
        return s;
    }

    // One cached cell from column `i` of a stepped statement.
    TSpan ReadCell(sqlite3_stmt* s, int i) {
        switch (sqlite3_column_type(s, i)) {
        case SQLITE_NULL:
            return TSpan{};
        case SQLITE_BLOB: { // text kept as bytes so it would not turn into a number
            if (sqlite3_column_bytes(s, i) > int(MaxCachedChars) * 4) {
                return TSpan{0, 0, UncachedLen};
            }
            const QString t = QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(s, i)),
                                                sqlite3_column_bytes(s, i));
            return AddText(reinterpret_cast<const char16_t*>(t.utf16()), size_t(t.size()));
        }
        default: {
            const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, i));
            if (!p) {
                if (sqlite3_errcode(sqlite3_db_handle(s)) == SQLITE_NOMEM) {
                    Raise(QStringLiteral("内存不足，无法读取菜谱库。"));
                }
                return AddText(u"", 0);
            }
            return AddText(p, size_t(sqlite3_column_bytes16(s, i)) / 2);
        }
        }
    }

    // Steps `s` (row id, then the cached columns) to its end; false when cancelled.
    // Raises nothing itself but the engine's error code comes back in `rc`.
    bool ReadRows(sqlite3_stmt* s, int stride, int& rc, const std::atomic<bool>* cancel);
};

class TFieldImpl;

struct TADOQuery::Impl : TRowCache {
    explicit Impl(TADOQuery& owner) : Q(owner) {}

    TADOQuery& Q;
    bool Active = false;
    QString Table; // quoted
    QString TableName;
    QString OpenedSql; // what a re-read runs, whatever SQL holds meanwhile
    std::vector<TColumn> Columns;
    QStringList ColumnNames;
    int SlotCount = 0;

    // Rows still to be read after a deferred opening, and the count meanwhile.
    bool RowsPending = false;
    int PendingCount = 0;
    QString LoadSql;
    std::future<std::unique_ptr<TRowCache>> Loader;
    std::shared_ptr<std::atomic<bool>> CancelLoad;
    std::unique_ptr<TRowReader> Reader;

    bool FilterOn = false;
    std::vector<int32_t> View;    // row indices shown while filtered
    std::vector<int32_t> ViewPos; // row index -> view position, -1 when hidden
    size_t Cur = 0;

    bool Editing = false;
    std::map<int, QVariant> Pending;

    qint64 FetchedRow = -1;
    std::map<int, QVariant> Fetched;
    std::vector<TStmt> SizeStmts, FetchStmts;

    struct THash {
        std::vector<int32_t> Slots;
        size_t Count = 0;
        bool Valid = false;
    };
    std::vector<THash> Hashes;
    // Kept for the query's life: a field reference stays valid across re-reads.
    std::vector<std::unique_ptr<TFieldImpl>> Fields;
    bool Reopening = false;
    qint64 SeenVersion = -1; // the book's change count the cache was read at

    sqlite3* Db() const { return Q.FConnection->Handle(); }
    [[noreturn]] void EngineError() { Q.FConnection->RaiseEngineError(); }

    // A query whose opening failed (the book locked or missing at start-up) opens
    // again when next needed; if that fails too, its error says why.
    void CheckActive() {
        if (Active) {
            return;
        }
        if (!Q.FReopenSql.isEmpty() && Q.FConnection && !Reopening) {
            Reopening = true;
            struct TReset {
                bool& Flag;
                ~TReset() { Flag = false; }
            } reset{Reopening};
            Q.FConnection->CheckConnected();
            try {
                Open(Q.FReopenSql);
            } catch (...) {
                Clear();
                throw;
            }
            return;
        }
        const QString why = Q.FConnection ? Q.FConnection->LastOpenError() : QString();
        Raise(why.isEmpty() ? QStringLiteral("菜谱库没有打开。") : why);
    }
    void CheckConnection() const {
        if (!Q.FConnection) {
            Raise(QStringLiteral("菜谱库没有打开。"));
        }
        Q.FConnection->CheckConnected();
    }

    size_t ViewSize() const { return FilterOn ? View.size() : RowIds.size(); }
    int32_t RowAt(size_t pos) const { return FilterOn ? View[pos] : int32_t(pos); }
    int32_t CurrentRow() {
        CheckActive();
        if (Cur >= ViewSize()) {
            Raise(QStringLiteral("没有当前的菜谱记录（已到开头或末尾，或者它已被删除）。"));
        }
        return RowAt(Cur);
    }

    TSpan& CellAt(int32_t load, int slot) { return Cells[size_t(load) * SlotCount + slot]; }
    const TSpan& CellAt(int32_t load, int slot) const {
        return Cells[size_t(load) * SlotCount + slot];
    }
    const TSpan& Cell(int32_t row, int slot) const { return CellAt(LoadOfRow[size_t(row)], slot); }
    sqlite3_stmt* Prepare(const QString& sql, TStmt& holder) {
        sqlite3_stmt* raw = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(Db(), utf8.constData(), int(utf8.size()), &raw, nullptr) !=
            SQLITE_OK) {
            EngineError();
        }
        holder.reset(raw);
        return raw;
    }

    QString CachedColumnList() const {
        QString list;
        for (const TColumn& c : Columns) {
            if (c.Slot >= 0) {
                list += QStringLiteral(", ") + c.Quoted;
            }
        }
        return list;
    }

    void Clear();
    void Open(const QString& sql, bool mayDefer = false);
    void LoadRows();
    void StartLoading();
    void Ready();
    void TakeRows(TRowCache&& rows);
    QString EnsureCacheIndex();
    void ApplyFilter(const QString& text);
    void RebuildViewPos();
    QVariant StoredValue(int col);
    QVariant FetchValue(qint64 rowId, int col);
    QVariant Value(int col);
    void BindValue(sqlite3_stmt* s, int index, int col, const QVariant& v);
    QVariant CheckedValue(int col, const QVariant& v) const;
    // newRow: the row is not in the look-up hashes yet, so nothing there goes stale.
    void RefreshRowCells(int32_t row, bool newRow = false);
    void InsertRow(qint64 rowId);
    bool Locate(int col, const QVariant& value);
    void BuildHash(int slot);
    void HashInsert(int slot, int32_t row);
    void Post();
    void Append(const QList<QVariant>& values);
    void RemoveRow(int32_t row);
    void CheckBrowse() {
        if (Editing) {
            Post();
        }
    }
    void RequireEdit() {
        CheckActive();
        if (!Editing) {
            Raise(QStringLiteral("记录不在编辑状态。"));
        }
    }
    int ColumnIndex(const QString& name) const {
        for (size_t i = 0; i < Columns.size(); ++i) {
            if (Columns[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
                return int(i);
            }
        }
        return -1;
    }
};

class TFieldImpl : public TField {
public:
    TFieldImpl(TADOQuery::Impl& impl, int col) : I(impl), Col(col) {}

    QString FieldName() const override { return Column().Name; }
    QString AsString() const override { return ValueText(I.Value(Col)); }
    void SetAsString(const QString& value) override {
        I.RequireEdit();
        if (Column().Kind == TKind::Binary) {
            I.Pending[Col] = value.toUtf8();
        } else {
            I.Pending[Col] = value;
        }
    }
    bool IsNull() const override { return ValueIsNull(I.Value(Col)); }
    void Clear() override {
        I.RequireEdit();
        Column();
        I.Pending[Col] = QVariant();
    }
    void SaveToStream(QIODevice& dest) const override {
        const QByteArray bytes = AsBytes();
        qint64 done = 0;
        while (done < bytes.size()) {
            const qint64 n = dest.write(bytes.constData() + done, bytes.size() - done);
            if (n <= 0) {
                Raise(QStringLiteral("无法写出字段“%1”的内容：%2")
                          .arg(FieldName(), dest.errorString()));
            }
            done += n;
        }
    }
    void LoadFromStream(QIODevice& source) override {
        I.RequireEdit();
        QByteArray bytes;
        char buffer[64 * 1024];
        for (;;) {
            const qint64 n = source.read(buffer, sizeof buffer);
            if (n < 0) {
                Raise(QStringLiteral("无法读入字段“%1”的内容：%2")
                          .arg(FieldName(), source.errorString()));
            }
            if (n == 0) {
                break;
            }
            if (bytes.size() + n > MaxFieldBytes) {
                Raise(QStringLiteral("字段“%1”的内容超过 %2 MiB。")
                          .arg(FieldName())
                          .arg(MaxFieldBytes >> 20));
            }
            bytes.append(buffer, qsizetype(n));
        }
        if (Column().Kind == TKind::Binary) {
            I.Pending[Col] = bytes;
        } else {
            I.Pending[Col] = QString::fromUtf8(bytes);
        }
    }
    QByteArray AsBytes() const override {
        const QVariant v = I.Value(Col);
        if (ValueIsNull(v)) {
            return QByteArray();
        }
        if (v.typeId() == QMetaType::QByteArray) {
            return v.toByteArray();
        }
        return v.toString().toUtf8();
    }

private:
    // A field kept from an earlier opening may outlive its column.
    const TColumn& Column() const {
        I.CheckActive();
        if (size_t(Col) >= I.Columns.size()) {
            Raise(QStringLiteral("这个字段已不属于查询的记录集。"));
        }
        return I.Columns[size_t(Col)];
    }

    TADOQuery::Impl& I;
    int Col;
};

void TADOQuery::Impl::Clear() {
    if (CancelLoad) {
        *CancelLoad = true;
    }
    if (Loader.valid()) {
        Loader.wait();
    }
    Loader = {};
    CancelLoad.reset();
    RowsPending = false;
    PendingCount = 0;
    LoadSql.clear();
    Stride = 0;
    Active = false;
    Table.clear();
    TableName.clear();
    OpenedSql.clear();
    Columns.clear();
    ColumnNames.clear();
    SlotCount = 0;
    RowIds = {};
    Cells = {};
    PoolOrder = {};
    LoadOfRow = {};
    Chunks.clear();
    ChunkUsed = ChunkChars;
    FilterOn = false;
    View = {};
    ViewPos = {};
    Cur = 0;
    Editing = false;
    Pending.clear();
    FetchedRow = -1;
    Fetched.clear();
    SizeStmts.clear();
    FetchStmts.clear();
    Hashes.clear();
}

void TADOQuery::Impl::Open(const QString& sql, bool mayDefer) {
    static const QRegularExpression selectAll(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(\"(?:[^\"]|\"\")+\"|\\[[^\\]]+\\]|`[^`]+`|"
                       "[^\\s;\"\\[`]+)\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = selectAll.match(sql);
    if (!m.hasMatch()) {
        Raise(sql.trimmed().isEmpty()
                  ? QStringLiteral("查询没有语句。")
                  : QStringLiteral("只能打开“select * from <表名>”形式的语句：%1")
                        .arg(sql.trimmed()));
    }
    QString name = m.captured(1);
    if (name.startsWith(u'"')) {
        name = name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    } else if (name.startsWith(u'[') || name.startsWith(u'`')) {
        name = name.mid(1, name.size() - 2);
    }
    Table = QuoteIdent(name);
    TableName = name;
    OpenedSql = sql;

    TStmt probe;
    sqlite3_stmt* s = Prepare(QStringLiteral("select * from %1 limit 0").arg(Table), probe);
    const int n = sqlite3_column_count(s);
    bool leading = true;
    for (int i = 0; i < n; ++i) {
        TColumn c;
        c.Name = QString::fromUtf8(sqlite3_column_name(s, i));
        c.Quoted = QuoteIdent(c.Name);
        const char* decl = sqlite3_column_decltype(s, i);
        ParseDeclType(decl ? QString::fromUtf8(decl) : QString(), c);
        // Cache the short text columns stored ahead of any long one: they are read
        // without touching overflow pages and are what searches and look-ups use.
        if (leading && c.Kind == TKind::Text && c.Width > 0 && quint32(c.Width) <= MaxCachedChars) {
            c.Slot = SlotCount++;
        } else {
            leading = false;
        }
        ColumnNames << c.Name;
        Columns.push_back(std::move(c));
    }
    probe.reset();
    SizeStmts.resize(Columns.size());
    FetchStmts.resize(Columns.size());
    Hashes.resize(size_t(SlotCount));
    const QString index = SlotCount > 0 ? EnsureCacheIndex() : QString();
    LoadSql = index.isEmpty() ? QString()
                              : QStringLiteral("select rowid%1 from %2 indexed by %3")
                                    .arg(CachedColumnList(), Table, index);
    for (int i = 0; i < n; ++i) {
        if (size_t(i) >= Fields.size()) {
            Fields.push_back(std::make_unique<TFieldImpl>(*this, i));
        }
    }
    if (mayDefer && !Q.FFiltered) {
        // Only the count now; the rows follow (StartLoading) or come on first use.
        // Their reading starts later than this: a change made meanwhile is read again.
        Q.FConnection->NoteSeen(Q.FConnection->DataVersion());
        TStmt holder;
        sqlite3_stmt* c = Prepare(QStringLiteral("select count(*) from %1").arg(Table), holder);
        if (sqlite3_step(c) != SQLITE_ROW) {
            EngineError();
        }
        PendingCount = int(std::min<qint64>(sqlite3_column_int64(c, 0), INT32_MAX));
        RowsPending = true;
        Active = true;
        Cur = 0;
        return;
    }
    LoadRows();
    Active = true;
    if (Q.FFiltered) {
        ApplyFilter(Q.FFilter);
    }
    Cur = 0;
    Q.FConnection->NoteSeen(SeenVersion);
}

// On our own books the cached columns get a covering index: reading it touches a
// tenth of the pages a table scan would (rows carry long methods and pictures).
QString TADOQuery::Impl::EnsureCacheIndex() {
    sqlite3* db = Db();
    const QString index = QuoteIdent(QStringLiteral("mycook_cache_") + TableName);
    auto single = [&](const QString& sql) -> qint64 {
        sqlite3_stmt* raw = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &raw, nullptr) !=
            SQLITE_OK) {
            return -1;
        }
        TStmt g(raw);
        return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
    };
    if (single(QStringLiteral("pragma application_id")) != BookApplicationId ||
        Q.FConnection->Damaged()) {
        return QString();
    }
    QString literal = TableName;
    literal.replace(u'\'', QStringLiteral("''"));
    // Counting the rows reads the smallest index; this one holds nothing but them,
    // so a deferred opening counts a large book without reading its texts.
    const qint64 counter = single(QStringLiteral("select count(*) from sqlite_master where "
                                                 "type='index' and name='mycook_count_%1'")
                                      .arg(literal));
    if (counter == 0 && sqlite3_get_autocommit(db)) {
        const QByteArray sql =
            QStringLiteral("create index if not exists %1 on %2(0)")
                .arg(QuoteIdent(QStringLiteral("mycook_count_") + TableName), Table)
                .toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr); // without it: slower
    }
    const qint64 present = single(QStringLiteral("select count(*) from sqlite_master where "
                                                 "type='index' and name='mycook_cache_%1'")
                                      .arg(literal));
    if (present < 0) {
        return QString();
    }
    if (present == 0) {
        // Never inside the caller's transaction (a failure could end it); a read-only
        // or busy book simply goes without.
        if (!sqlite3_get_autocommit(db)) {
            return QString();
        }
        QString cols;
        for (const TColumn& c : Columns) {
            if (c.Slot >= 0) {
                cols += (cols.isEmpty() ? QString() : QStringLiteral(", ")) + c.Quoted;
            }
        }
        const QByteArray sql = QStringLiteral("create index if not exists %1 on %2(%3)")
                                   .arg(index, Table, cols)
                                   .toUtf8();
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            return QString();
        }
    }
    return index;
}

namespace {

// The statement that reads the cache: through the covering index when there is one.
sqlite3_stmt* PrepareLoad(sqlite3* db, const QString& viaIndex, const QString& plain,
                          TStmt& holder) {
    for (const QString& sql : {viaIndex, plain}) {
        if (sql.isEmpty()) {
            continue;
        }
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &s, nullptr) == SQLITE_OK) {
            holder.reset(s);
            return s;
        }
    }
    return nullptr;
}

// Rows as read, for the query's loaded-rows hook and for look-ups by identity.
class TCacheReader final : public TRowReader {
public:
    TCacheReader(const TRowCache& cache, std::vector<TColumn> columns,
                 TADOQuery::Impl* fetcher = nullptr)
        : C(cache), Cols(std::move(columns)), Fetcher(fetcher) {}
    qsizetype Count() const override { return qsizetype(C.RowIds.size()); }
    qint64 RowId(qsizetype row) const override { return C.RowIds[size_t(row)]; }
    qsizetype Find(qint64 rowId) const override {
        const auto it = std::lower_bound(C.RowIds.begin(), C.RowIds.end(), rowId);
        return it != C.RowIds.end() && *it == rowId ? qsizetype(it - C.RowIds.begin()) : -1;
    }
    QStringView Text(qsizetype row, int col, QString& scratch) const override;
    int Column(const QString& name) const override {
        for (size_t i = 0; i < Cols.size(); ++i) {
            if (Cols[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
                return int(i);
            }
        }
        return -1;
    }

private:
    const TRowCache& C;
    std::vector<TColumn> Cols;
    TADOQuery::Impl* Fetcher;
};

} // namespace

bool TRowCache::ReadRows(sqlite3_stmt* s, int stride, int& rc, const std::atomic<bool>* cancel) {
    Stride = stride;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            return false;
        }
        if (RowIds.size() >= size_t(INT32_MAX) - 1) {
            Raise(QStringLiteral("表中的记录太多。"));
        }
        RowIds.push_back(sqlite3_column_int64(s, 0));
        for (int k = 0; k < stride; ++k) {
            Cells.push_back(ReadCell(s, k + 1));
        }
    }
    if (rc != SQLITE_DONE) {
        return false;
    }
    // Rows may come in index order; they are numbered in row order.
    std::vector<int32_t> order(RowIds.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = int32_t(i);
    }
    if (!std::is_sorted(RowIds.begin(), RowIds.end())) {
        std::sort(order.begin(), order.end(),
                  [&](int32_t a, int32_t b) { return RowIds[size_t(a)] < RowIds[size_t(b)]; });
        std::vector<qint64> ids(RowIds.size());
        for (size_t i = 0; i < order.size(); ++i) {
            ids[i] = RowIds[size_t(order[i])];
        }
        RowIds = std::move(ids);
    }
    LoadOfRow = order;
    PoolOrder.assign(order.size(), 0);
    for (size_t i = 0; i < order.size(); ++i) {
        PoolOrder[size_t(order[i])] = int32_t(i);
    }
    return true;
}

void TADOQuery::Impl::LoadRows() {
    TStmt holder;
    sqlite3_stmt* s = PrepareLoad(
        Db(), LoadSql,
        QStringLiteral("select rowid%1 from %2 order by rowid").arg(CachedColumnList(), Table),
        holder);
    if (!s) {
        EngineError();
    }
    TRowCache rows;
    int rc = SQLITE_OK;
    // Taken before the rows: a change made meanwhile is read again later, never missed.
    SeenVersion = Q.FConnection->DataVersion();
    if (!rows.ReadRows(s, SlotCount, rc, nullptr)) {
        EngineError();
    }
    holder.reset();
    TakeRows(std::move(rows));
    if (Q.FOnRowsLoaded) {
        const TCacheReader reader(*this, Columns, this);
        try {
            Q.FOnRowsLoaded(reader);
        } catch (...) {
            // What others build from the rows never costs the book its opening.
        }
    }
}

void TADOQuery::Impl::TakeRows(TRowCache&& rows) {
    static_cast<TRowCache&>(*this) = std::move(rows);
    FetchedRow = -1;
    Fetched.clear();
    for (THash& h : Hashes) {
        h.Valid = false;
    }
    if (SlotCount > 0) {
        BuildHash(0); // the dish name: the program's look-ups go by it
    }
}

void TADOQuery::Impl::StartLoading() {
    // Another connection would not see rows of our own open transaction.
    if (!RowsPending || Loader.valid() || !sqlite3_get_autocommit(Db())) {
        return;
    }
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    const QByteArray path = Q.FConnection->DatabasePath().toUtf8();
    const QString viaIndex = LoadSql;
    const QString plain =
        QStringLiteral("select rowid%1 from %2 order by rowid").arg(CachedColumnList(), Table);
    const int stride = SlotCount;
    const std::vector<TColumn> columns = Columns;
    const TRowsLoaded hook = Q.FOnRowsLoaded;
    try {
        Loader = std::async(std::launch::async, [=]() -> std::unique_ptr<TRowCache> {
            // Any failure here leaves the reading to the query's own connection,
            // which reports it as it always has.
            try {
                auto rows = std::make_unique<TRowCache>();
                {
                    sqlite3* raw = nullptr;
                    const int opened =
                        sqlite3_open_v2(path.constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
                    TDbPtr db(raw);
                    if (opened != SQLITE_OK) {
                        return nullptr;
                    }
                    sqlite3_busy_timeout(raw, BusyTimeoutMs);
                    TStmt holder;
                    sqlite3_stmt* s = PrepareLoad(raw, viaIndex, plain, holder);
                    int rc = SQLITE_OK;
                    if (!s || !rows->ReadRows(s, stride, rc, cancel.get())) {
                        return nullptr;
                    }
                }
                if (hook && !*cancel) {
                    const TCacheReader reader(*rows, columns);
                    try {
                        hook(reader);
                    } catch (...) {
                    }
                }
                return rows;
            } catch (...) {
                return nullptr;
            }
        });
        CancelLoad = std::move(cancel);
    } catch (const std::system_error&) {
        // No thread to be had: the rows are read on first use.
    }
}

void TADOQuery::Impl::Ready() {
    if (!RowsPending) {
        return;
    }
    RowsPending = false;
    std::unique_ptr<TRowCache> rows;
    if (Loader.valid()) {
        rows = Loader.get();
        Loader = {};
        CancelLoad.reset();
    }
    if (rows) {
        TakeRows(std::move(*rows));
        return;
    }
    try {
        LoadRows();
    } catch (...) {
        Clear();
        throw;
    }
}

namespace {

// Rows of the cache, for filters that read cached columns only.
class TCacheRow : public TFilterRow {
public:
    TCacheRow(TADOQuery::Impl& impl) : I(impl) {}
    int32_t Row = 0;
    int32_t Load = -1; // the row's load slot when known
    bool Text(int col, QStringView& out, QString& scratch) const override {
        const int slot = I.Columns[size_t(col)].Slot;
        if (slot >= 0) {
            const TSpan& s = Load >= 0 ? I.CellAt(Load, slot) : I.Cell(Row, slot);
            if (s.Len == NullLen) {
                return false;
            }
            if (s.Len != UncachedLen) {
                out = I.SpanText(s);
                return true;
            }
        }
        const QVariant v = I.FetchValue(I.RowIds[size_t(Row)], col);
        if (ValueIsNull(v)) {
            return false;
        }
        scratch = ValueText(v);
        out = scratch;
        return true;
    }

private:
    TADOQuery::Impl& I;
};

// Rows read in one pass from the table, walked in step with the cache.
class TStreamRow : public TFilterRow {
public:
    TStreamRow(const TCacheRow& cache, const std::vector<TColumn>& cols)
        : FCache(cache), FCols(cols) {}
    sqlite3_stmt* Stmt = nullptr; // nullptr: the table has no such row
    std::vector<int> StmtIndex;   // column -> result index, -1 when cached
    bool Text(int col, QStringView& out, QString& scratch) const override {
        const int k = StmtIndex[size_t(col)];
        if (k < 0) {
            return FCache.Text(col, out, scratch);
        }
        if (!Stmt) {
            return false;
        }
        switch (sqlite3_column_type(Stmt, k)) {
        case SQLITE_NULL:
            return false;
        case SQLITE_BLOB:
            scratch =
                FCols[size_t(col)].Kind == TKind::Text
                    ? QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(Stmt, k)),
                                        sqlite3_column_bytes(Stmt, k))
                    : QString::fromLatin1(static_cast<const char*>(sqlite3_column_blob(Stmt, k)),
                                          sqlite3_column_bytes(Stmt, k));
            out = scratch;
            return true;
        default: {
            const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(Stmt, k));
            out = p ? QStringView(p, sqlite3_column_bytes16(Stmt, k) / 2) : QStringView();
            return true;
        }
        }
    }

private:
    const TCacheRow& FCache;
    const std::vector<TColumn>& FCols;
};

} // namespace

void TADOConnection::FinishLoads() {
    for (TADOQuery* q : std::vector<TADOQuery*>(FQueries)) {
        q->FImpl->Ready();
    }
}

QStringView TCacheReader::Text(qsizetype row, int col, QString& scratch) const {
    const TColumn& c = Cols[size_t(col)];
    if (c.Slot >= 0) {
        const TSpan& s =
            C.Cells[size_t(C.LoadOfRow[size_t(row)]) * size_t(C.Stride) + size_t(c.Slot)];
        if (s.Len == NullLen) {
            return QStringView(u"", 0);
        }
        if (s.Len != UncachedLen) {
            return C.SpanText(s);
        }
    }
    if (!Fetcher) {
        return QStringView(u"", 0);
    }
    scratch = ValueText(Fetcher->FetchValue(C.RowIds[size_t(row)], col));
    return scratch;
}

void TADOQuery::Impl::ApplyFilter(const QString& text) {
    const auto expr = TFilterExpr::Parse(text, ColumnNames);
    if (expr->IsEmpty()) {
        FilterOn = false;
        View = {};
        ViewPos = {};
        Cur = 0;
        return;
    }
    std::vector<int32_t> view;
    TCacheRow cacheRow(*this);
    QString streamCols;
    std::vector<int> stmtIndex(Columns.size(), -1);
    int k = 1;
    for (int col : expr->UsedColumns()) {
        if (Columns[size_t(col)].Slot < 0) {
            streamCols += QStringLiteral(", ") + Columns[size_t(col)].Quoted;
            stmtIndex[size_t(col)] = k++;
        }
    }
    const int32_t rows = int32_t(RowIds.size());
    if (streamCols.isEmpty()) {
        // Walk the texts in memory order, then put the matches in row order.
        for (size_t load = 0; load < PoolOrder.size(); ++load) {
            cacheRow.Row = PoolOrder[load];
            cacheRow.Load = int32_t(load);
            if (expr->Matches(cacheRow)) {
                view.push_back(cacheRow.Row);
            }
        }
        std::sort(view.begin(), view.end());
    } else {
        TStmt holder;
        sqlite3_stmt* s = Prepare(
            QStringLiteral("select rowid%1 from %2 order by rowid").arg(streamCols, Table), holder);
        TStreamRow streamRow(cacheRow, Columns);
        streamRow.StmtIndex = stmtIndex;
        int rc = sqlite3_step(s);
        for (int32_t r = 0; r < rows; ++r) {
            const qint64 id = RowIds[size_t(r)];
            while (rc == SQLITE_ROW && sqlite3_column_int64(s, 0) < id) {
                rc = sqlite3_step(s);
            }
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
                EngineError();
            }
            cacheRow.Row = r;
            streamRow.Stmt = (rc == SQLITE_ROW && sqlite3_column_int64(s, 0) == id) ? s : nullptr;
            if (expr->Matches(streamRow)) {
                view.push_back(r);
            }
        }
    }
    View = std::move(view);
    FilterOn = true;
    RebuildViewPos();
    Cur = 0;
}

void TADOQuery::Impl::RebuildViewPos() {
    ViewPos.assign(RowIds.size(), -1);
    for (size_t p = 0; p < View.size(); ++p) {
        ViewPos[size_t(View[p])] = int32_t(p);
    }
}

QVariant TADOQuery::Impl::FetchValue(qint64 rowId, int col) {
    const TColumn& c = Columns[size_t(col)];
    sqlite3_stmt* sizeStmt = SizeStmts[size_t(col)].get();
    if (!sizeStmt) {
        // length() and typeof() look at the record header only, so a huge value is
        // refused before it is read into memory.
        sizeStmt = Prepare(QStringLiteral("select typeof(%1), length(%1) from %2 where rowid=?")
                               .arg(c.Quoted, Table),
                           SizeStmts[size_t(col)]);
    }
    {
        TResetGuard g{sizeStmt};
        sqlite3_bind_int64(sizeStmt, 1, rowId);
        const int rc = sqlite3_step(sizeStmt);
        if (rc == SQLITE_DONE) {
            Raise(QStringLiteral("找不到这道菜的记录，它可能已被另一个程序删除。"));
        }
        if (rc != SQLITE_ROW) {
            g.Release();
            EngineError();
        }
        if (sqlite3_column_int64(sizeStmt, 1) > MaxFieldBytes) {
            Raise(QStringLiteral("字段“%1”的内容超过 %2 MiB，无法读取。")
                      .arg(c.Name)
                      .arg(MaxFieldBytes >> 20));
        }
    }
    sqlite3_stmt* s = FetchStmts[size_t(col)].get();
    if (!s) {
        s = Prepare(QStringLiteral("select %1 from %2 where rowid=?").arg(c.Quoted, Table),
                    FetchStmts[size_t(col)]);
    }
    TResetGuard g{s};
    sqlite3_bind_int64(s, 1, rowId);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) {
        Raise(QStringLiteral("找不到这道菜的记录，它可能已被另一个程序删除。"));
    }
    if (rc != SQLITE_ROW) {
        g.Release();
        EngineError();
    }
    switch (sqlite3_column_type(s, 0)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(s, 0)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, 0));
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(s, 0));
        const int n = sqlite3_column_bytes(s, 0);
        if (c.Kind == TKind::Text) {
            return QVariant(QString::fromUtf8(p, n));
        }
        return QVariant(QByteArray(p, n));
    }
    default: {
        const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, 0));
        if (!p) {
            Raise(QStringLiteral("内存不足，无法读取字段“%1”。").arg(c.Name));
        }
        return QVariant(
            QString(reinterpret_cast<const QChar*>(p), sqlite3_column_bytes16(s, 0) / 2));
    }
    }
}

QVariant TADOQuery::Impl::StoredValue(int col) {
    const int32_t row = CurrentRow();
    const int slot = Columns[size_t(col)].Slot;
    if (slot >= 0) {
        const TSpan& s = Cell(row, slot);
        if (s.Len == NullLen) {
            return QVariant();
        }
        if (s.Len != UncachedLen) {
            return QVariant(SpanText(s).toString());
        }
    }
    const qint64 id = RowIds[size_t(row)];
    if (FetchedRow != id) {
        Fetched.clear();
        FetchedRow = id;
    }
    auto it = Fetched.find(col);
    if (it == Fetched.end()) {
        it = Fetched.emplace(col, FetchValue(id, col)).first;
    }
    return it->second;
}

QVariant TADOQuery::Impl::Value(int col) {
    CheckActive();
    Ready();
    if (size_t(col) >= Columns.size()) {
        Raise(QStringLiteral("这个字段已不属于查询的记录集。"));
    }
    if (Editing) {
        const auto it = Pending.find(col);
        if (it != Pending.end()) {
            return it->second;
        }
    }
    return StoredValue(col);
}

QVariant TADOQuery::Impl::CheckedValue(int col, const QVariant& v) const {
    const TColumn& c = Columns[size_t(col)];
    if (ValueIsNull(v)) {
        return QVariant();
    }
    if (c.Kind == TKind::Text) {
        const QString text = ValueText(v);
        // Refused rather than cut short, so nothing typed is silently lost.
        if (c.Width > 0 && text.size() > c.Width) {
            Raise(QStringLiteral("“%1”有 %2 个字，最多只能有 %3 个字。")
                      .arg(c.Name)
                      .arg(text.size())
                      .arg(c.Width));
        }
        return text;
    }
    if (c.Kind == TKind::Binary) {
        const QByteArray bytes =
            v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
        if (bytes.size() > MaxFieldBytes) {
            Raise(
                QStringLiteral("字段“%1”的内容超过 %2 MiB。").arg(c.Name).arg(MaxFieldBytes >> 20));
        }
        return bytes;
    }
    return v;
}

void TADOQuery::Impl::BindValue(sqlite3_stmt* s, int index, int col, const QVariant& v) {
    const TColumn& c = Columns[size_t(col)];
    if (ValueIsNull(v)) {
        sqlite3_bind_null(s, index);
        return;
    }
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(s, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        return;
    }
    if (c.Kind != TKind::Text) {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            sqlite3_bind_int64(s, index, v.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(s, index, v.toDouble());
            return;
        default:
            break;
        }
    }
    const QString text = v.toString();
    if (c.Kind == TKind::Text && !c.TextAffinity && LooksNumeric(text)) {
        const QByteArray b = text.toUtf8();
        sqlite3_bind_blob64(s, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        return;
    }
    sqlite3_bind_text16(s, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
}

void TADOQuery::Impl::RefreshRowCells(int32_t row, bool newRow) {
    FetchedRow = -1;
    Fetched.clear();
    if (SlotCount == 0) {
        return;
    }
    TStmt holder;
    sqlite3_stmt* s = Prepare(
        QStringLiteral("select rowid%1 from %2 where rowid=?").arg(CachedColumnList(), Table),
        holder);
    sqlite3_bind_int64(s, 1, RowIds[size_t(row)]);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE) {
            EngineError();
        }
        return;
    }
    for (int k = 0; k < SlotCount; ++k) {
        TSpan& cell = CellAt(LoadOfRow[size_t(row)], k);
        const TSpan fresh = ReadCell(s, k + 1);
        const bool same =
            cell.Len == fresh.Len && (cell.Len >= UncachedLen || SpanText(cell) == SpanText(fresh));
        if (!same && !newRow) {
            Hashes[size_t(k)].Valid = false;
        }
        cell = fresh;
    }
}

void TADOQuery::Impl::InsertRow(qint64 rowId) {
    const auto at = std::upper_bound(RowIds.begin(), RowIds.end(), rowId);
    if (at != RowIds.begin() && *(at - 1) == rowId) {
        // Another program deleted the row we still showed and the engine reused its
        // identity: the cached row becomes the new one.
        const int32_t row = int32_t(at - RowIds.begin()) - 1;
        RefreshRowCells(row);
        if (FilterOn && ViewPos[size_t(row)] < 0) {
            View.push_back(row);
            RebuildViewPos();
        }
        Cur = FilterOn ? size_t(ViewPos[size_t(row)]) : size_t(row);
        return;
    }
    const int32_t row = int32_t(at - RowIds.begin());
    const bool atEnd = at == RowIds.end();
    RowIds.insert(at, rowId);
    const int32_t load = int32_t(PoolOrder.size());
    Cells.resize(Cells.size() + size_t(SlotCount));
    LoadOfRow.insert(LoadOfRow.begin() + row, load);
    if (!atEnd) { // a reused lower row identity: shift everything that points past it
        for (int32_t& v : View) {
            if (v >= row) {
                ++v;
            }
        }
        for (int32_t& v : PoolOrder) {
            if (v >= row) {
                ++v;
            }
        }
        for (THash& h : Hashes) {
            h.Valid = false;
        }
    }
    PoolOrder.push_back(row);
    RefreshRowCells(row, atEnd);
    if (FilterOn) {
        // Stays visible until the filter is applied again, so the caller can find it.
        View.push_back(row);
        RebuildViewPos();
        Cur = View.size() - 1;
    } else {
        Cur = size_t(row);
    }
    if (atEnd) {
        for (int k = 0; k < SlotCount; ++k) {
            HashInsert(k, row);
        }
    }
}

void TADOQuery::Impl::BuildHash(int slot) {
    THash& h = Hashes[size_t(slot)];
    size_t size = 64;
    while (size < RowIds.size() * 2 + 16) {
        size *= 2;
    }
    h.Slots.assign(size, -1);
    h.Count = 0;
    h.Valid = true;
    for (int32_t r = 0; r < int32_t(RowIds.size()); ++r) {
        HashInsert(slot, r);
    }
}

void TADOQuery::Impl::HashInsert(int slot, int32_t row) {
    THash& h = Hashes[size_t(slot)];
    if (!h.Valid) {
        return;
    }
    const TSpan& s = Cell(row, slot);
    if (s.Len >= UncachedLen) {
        return;
    }
    if ((h.Count + 1) * 2 > h.Slots.size()) {
        h.Valid = false; // rebuilt larger at the next look-up
        return;
    }
    const size_t mask = h.Slots.size() - 1;
    size_t i = qHash(SpanText(s)) & mask;
    while (h.Slots[i] >= 0) {
        i = (i + 1) & mask;
    }
    h.Slots[i] = row;
    ++h.Count;
}

bool TADOQuery::Impl::Locate(int col, const QVariant& value) {
    if (ViewSize() == 0) {
        return false;
    }
    size_t best = SIZE_MAX;
    auto consider = [&](int32_t row) {
        const size_t pos = FilterOn ? size_t(qint64(ViewPos[size_t(row)])) : size_t(row);
        if (pos < best) { // a hidden row maps to SIZE_MAX
            best = pos;
        }
    };
    const TColumn& c = Columns[size_t(col)];
    const QString wanted = ValueText(value);
    if (ValueIsNull(value)) {
        TCacheRow probe(*this);
        QString scratch;
        for (size_t p = 0; p < ViewSize() && best == SIZE_MAX; ++p) {
            probe.Row = RowAt(p);
            QStringView v;
            if (!probe.Text(col, v, scratch)) {
                best = p;
            }
        }
    } else if (c.Slot >= 0 && quint32(wanted.size()) <= MaxCachedChars) {
        THash& h = Hashes[size_t(c.Slot)];
        if (!h.Valid) {
            BuildHash(c.Slot);
        }
        const size_t mask = h.Slots.size() - 1;
        for (size_t i = qHash(QStringView(wanted)) & mask; h.Slots[i] >= 0; i = (i + 1) & mask) {
            const int32_t row = h.Slots[i];
            const TSpan& s = Cell(row, c.Slot);
            if (s.Len < UncachedLen && SpanText(s) == wanted) {
                consider(row);
            }
        }
    } else {
        TStmt holder;
        sqlite3_stmt* s = Prepare(
            QStringLiteral("select rowid from %1 where %2 = ?").arg(Table, c.Quoted), holder);
        BindValue(s, 1, col, ValueText(value));
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(s, 0);
            const auto it = std::lower_bound(RowIds.begin(), RowIds.end(), id);
            if (it != RowIds.end() && *it == id) {
                consider(int32_t(it - RowIds.begin()));
            }
        }
        if (rc != SQLITE_DONE) {
            EngineError();
        }
    }
    if (best == SIZE_MAX) {
        return false;
    }
    Cur = best;
    return true;
}

void TADOQuery::Impl::Post() {
    if (!Editing) {
        return;
    }
    Q.FConnection->CheckWritable();
    const int32_t row = CurrentRow();
    if (Pending.empty()) {
        Editing = false;
        return;
    }
    std::vector<std::pair<int, QVariant>> values;
    QString sets;
    for (const auto& [col, v] : Pending) {
        values.emplace_back(col, CheckedValue(col, v));
        if (!sets.isEmpty()) {
            sets += QStringLiteral(", ");
        }
        sets += Columns[size_t(col)].Quoted + QStringLiteral("=?");
    }
    TStmt holder;
    sqlite3_stmt* s =
        Prepare(QStringLiteral("update %1 set %2 where rowid=?").arg(Table, sets), holder);
    int index = 1;
    for (const auto& [col, v] : values) {
        BindValue(s, index++, col, v);
    }
    sqlite3_bind_int64(s, index, RowIds[size_t(row)]);
    if (sqlite3_step(s) != SQLITE_DONE) {
        EngineError();
    }
    if (sqlite3_changes(Db()) == 0) {
        Raise(QStringLiteral("找不到要更新的菜谱记录，它可能已被另一个程序删除。"));
    }
    holder.reset();
    Editing = false;
    Pending.clear();
    RefreshRowCells(row);
}

void TADOQuery::Impl::Append(const QList<QVariant>& values) {
    Q.FConnection->CheckWritable();
    if (values.size() > qsizetype(Columns.size())) {
        Raise(QStringLiteral("追加记录时给了 %1 个值，但只有 %2 个字段。")
                  .arg(values.size())
                  .arg(Columns.size()));
    }
    QList<QVariant> checked;
    QString names, marks;
    for (int i = 0; i < values.size(); ++i) {
        checked << CheckedValue(i, values[i]);
        names += (i ? QStringLiteral(", ") : QString()) + Columns[size_t(i)].Quoted;
        marks += i ? QStringLiteral(", ?") : QStringLiteral("?");
    }
    TStmt holder;
    sqlite3_stmt* s =
        Prepare(values.isEmpty()
                    ? QStringLiteral("insert into %1 default values").arg(Table)
                    : QStringLiteral("insert into %1 (%2) values (%3)").arg(Table, names, marks),
                holder);
    for (int i = 0; i < checked.size(); ++i) {
        BindValue(s, i + 1, i, checked[i]);
    }
    if (sqlite3_step(s) != SQLITE_DONE) {
        EngineError();
    }
    holder.reset();
    InsertRow(sqlite3_last_insert_rowid(Db()));
}

// Takes a deleted row out of the cache, keeping the other rows' texts in place.
void TADOQuery::Impl::RemoveRow(int32_t row) {
    FetchedRow = -1;
    Fetched.clear();
    const int32_t load = LoadOfRow[size_t(row)];
    RowIds.erase(RowIds.begin() + row);
    LoadOfRow.erase(LoadOfRow.begin() + row);
    for (int32_t& l : LoadOfRow) {
        if (l > load) {
            --l;
        }
    }
    PoolOrder.erase(PoolOrder.begin() + load);
    for (int32_t& r : PoolOrder) {
        if (r > row) {
            --r;
        }
    }
    const auto cells = Cells.begin() + ptrdiff_t(load) * SlotCount;
    Cells.erase(cells, cells + SlotCount);
    if (FilterOn) {
        View.erase(std::remove(View.begin(), View.end(), row), View.end());
        for (int32_t& v : View) {
            if (v > row) {
                --v;
            }
        }
        RebuildViewPos();
    }
    for (THash& h : Hashes) {
        h.Valid = false;
    }
}

// ---------------------------------------------------------------------------------------

TADOQuery::TADOQuery(TADOConnection* connection)
    : FConnection(connection), FImpl(std::make_unique<Impl>(*this)) {
    if (FConnection) {
        FConnection->FQueries.push_back(this);
    }
}

TADOQuery::~TADOQuery() {
    FImpl->Clear();
    if (FConnection) {
        auto& list = FConnection->FQueries;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TADOQuery::Detach() {
    FImpl->Clear();
    FConnection = nullptr;
}

void TADOQuery::Reload() {
    if (!FImpl->Active) {
        return;
    }
    qint64 current = -1;
    if (FImpl->Cur < FImpl->ViewSize()) {
        current = FImpl->RowIds[size_t(FImpl->RowAt(FImpl->Cur))];
    }
    const QString sql = FImpl->OpenedSql;
    FImpl->Clear(); // a reading under way is given up: this one reads afresh
    try {
        FImpl->Open(sql);
    } catch (const Exception&) {
        FImpl->Clear(); // e.g. the table went away with the rollback
        return;
    }
    const auto& ids = FImpl->RowIds;
    const auto it = std::lower_bound(ids.begin(), ids.end(), current);
    if (it != ids.end() && *it == current) {
        const int32_t row = int32_t(it - ids.begin());
        const int32_t pos = FImpl->FilterOn ? FImpl->ViewPos[size_t(row)] : row;
        if (pos >= 0) {
            FImpl->Cur = size_t(pos);
        }
    }
}

void TADOQuery::ExecSQL() {
    FImpl->CheckConnection();
    const QString text = SQL.join(u'\n');
    if (text.trimmed().isEmpty()) {
        Raise(QStringLiteral("查询没有语句。"));
    }
    FConnection->FinishLoads();
    if (RunStatements(*FConnection, text)) {
        FConnection->RefreshQueries(); // open record sets show the statement's effect
    }
}

void TADOQuery::Open() {
    if (FImpl->Active) {
        return;
    }
    FReopenSql = SQL.join(u'\n');
    FImpl->CheckConnection();
    try {
        FImpl->Open(SQL.join(u'\n'), FDeferred);
    } catch (...) {
        FImpl->Clear();
        throw;
    }
}

void TADOQuery::Close() {
    FReopenSql.clear();
    FImpl->Clear();
}

bool TADOQuery::Active() const {
    return FImpl->Active;
}

int TADOQuery::RecordCount() const {
    FImpl->CheckActive();
    if (FImpl->RowsPending && !FImpl->Loader.valid()) {
        return FImpl->PendingCount;
    }
    FImpl->Ready(); // a reading under way may have met another copy's writes
    return int(FImpl->ViewSize());
}

void TADOQuery::StartLoading() {
    if (FImpl->Active) {
        FImpl->StartLoading();
    }
}

bool TADOQuery::RowsPending() const {
    return FImpl->RowsPending;
}

void TADOQuery::WaitForRows() {
    FImpl->Ready();
}

int TADOQuery::FieldIndex(const QString& name) const {
    return FImpl->ColumnIndex(name);
}

const TRowReader& TADOQuery::Rows() {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->Reader = std::make_unique<TCacheReader>(*FImpl, FImpl->Columns, FImpl.get());
    return *FImpl->Reader;
}

bool TADOQuery::Locate(const QString& field, const QVariant& value) {
    FImpl->CheckActive();
    FImpl->Ready();
    const int col = FImpl->ColumnIndex(field);
    if (col < 0) {
        Raise(QStringLiteral("找不到字段“%1”。").arg(field));
    }
    FImpl->CheckBrowse();
    // A look-up decides between adding and overwriting, and finds what a view shows:
    // it sees what another copy of the program saved meanwhile.
    FConnection->SyncWithBook();
    FImpl->CheckActive();
    return FImpl->Locate(col, value);
}

void TADOQuery::AppendRecord(const QList<QVariant>& values) {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->CheckBrowse();
    FImpl->Append(values);
}

void TADOQuery::Edit() {
    FImpl->CheckActive();
    FImpl->Ready();
    if (FImpl->Editing) {
        return;
    }
    FImpl->CurrentRow();
    FImpl->Editing = true;
    FImpl->Pending.clear();
}

void TADOQuery::Post() {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->Post();
}

void TADOQuery::Cancel() {
    FImpl->Editing = false;
    FImpl->Pending.clear();
}

void TADOQuery::Delete() {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->Editing = false;
    FImpl->Pending.clear();
    const int32_t row = FImpl->CurrentRow();
    FConnection->CheckWritable();
    TStmt holder;
    sqlite3_stmt* s =
        FImpl->Prepare(QStringLiteral("delete from %1 where rowid=?").arg(FImpl->Table), holder);
    sqlite3_bind_int64(s, 1, FImpl->RowIds[size_t(row)]);
    if (sqlite3_step(s) != SQLITE_DONE) {
        FImpl->EngineError();
    }
    holder.reset();
    FImpl->RemoveRow(row);
}

qint64 TADOQuery::RowId() const {
    FImpl->Ready();
    if (!FImpl->Active || FImpl->Cur >= FImpl->ViewSize()) {
        return -1;
    }
    return FImpl->RowIds[size_t(FImpl->RowAt(FImpl->Cur))];
}

TField& TADOQuery::FieldByName(const QString& name) {
    FImpl->CheckActive();
    const int col = FImpl->ColumnIndex(name);
    if (col < 0) {
        Raise(QStringLiteral("找不到字段“%1”。").arg(name));
    }
    return *FImpl->Fields[size_t(col)];
}

void TADOQuery::First() {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->CheckBrowse();
    FConnection->SyncWithBook();
    FImpl->CheckActive();
    FImpl->Cur = 0;
}

void TADOQuery::Next() {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->CheckBrowse();
    if (FImpl->Cur < FImpl->ViewSize()) {
        ++FImpl->Cur;
    }
}

bool TADOQuery::Eof() const {
    FImpl->Ready();
    return !FImpl->Active || FImpl->Cur >= FImpl->ViewSize();
}

int TADOQuery::RecNo() const {
    FImpl->Ready();
    if (!FImpl->Active || FImpl->Cur >= FImpl->ViewSize()) {
        return -1;
    }
    return int(FImpl->Cur) + 1;
}

void TADOQuery::SetFilter(const QString& text) {
    if (FImpl->Active && FFiltered) {
        FImpl->Ready();
        FImpl->CheckBrowse();
        FImpl->ApplyFilter(text); // raises and keeps the previous view
    }
    FFilter = text;
}

void TADOQuery::SetFiltered(bool on) {
    if (on == FFiltered) {
        return;
    }
    if (FImpl->Active) {
        FImpl->Ready();
        FImpl->CheckBrowse();
        if (on) {
            FImpl->ApplyFilter(FFilter);
        } else {
            FImpl->FilterOn = false;
            FImpl->View = {};
            FImpl->ViewPos = {};
            FImpl->Cur = 0;
        }
    }
    FFiltered = on;
}
