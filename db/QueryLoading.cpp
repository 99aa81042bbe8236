#include "ADOField.h"
#include "BookFile.h"
#include "QueryImpl.h"

#include <QRegularExpression>

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
    Whole = {};
    Cur = 0;
    Editing = false;
    Pending.clear();
    FetchedRow = -1;
    Fetched.clear();
    SizeStmts.clear();
    FetchStmts.clear();
    WriteStmts.clear();
    RowCellsStmt.reset();
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
    const QString index =
        SlotCount > 0 ? EnsureCacheIndex(Db(), TableName, Table, Columns, Q.FConnection->Damaged())
                      : QString();
    LoadSql = index.isEmpty() ? QString()
                              : QStringLiteral("select rowid%1 from %2 indexed by %3")
                                    .arg(CachedColumnList(), Table, index);
    for (int i = 0; i < n; ++i) {
        if (size_t(i) >= Fields.size()) {
            Fields.push_back(std::make_unique<TFieldImpl>(*this, i));
        }
    }
    if (mayDefer && !Q.FFiltered && !Q.FNarrowing) {
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
    if (Q.FFiltered || Q.FNarrowing) {
        ApplyFilter(Q.FFiltered ? Q.FFilter : QString());
    }
    Cur = 0;
    Q.FConnection->NoteSeen(SeenVersion);
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

} // namespace

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

void TADOConnection::FinishLoads() {
    for (TADOQuery* q : std::vector<TADOQuery*>(FQueries)) {
        q->FImpl->Ready();
    }
}

QStringView TCacheReader::Text(qsizetype row, int col, QString& scratch) const {
    const TColumn& c = Cols[size_t(col)];
    if (c.Slot >= 0) {
        const TSpan& s = C.Cell(int32_t(row), c.Slot);
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
