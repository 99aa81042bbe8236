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
    CacheIndex.clear();
    PendingRow = -1;
    PendingPlaced = false;
    Touched.clear();
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
    CacheIndex = index;
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

// About a millisecond's reading of the covering index.
constexpr size_t RowsPerPiece = 500;

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

// Reads a query's rows a piece at a time, each piece a read of its own, so that a
// write of the window waits for one piece at most, never for the whole book.
// Through the covering index the pieces follow its order (its columns, then the row
// id); each piece starts after the last row of the one before.
class TPieceReader {
public:
    TPieceReader(QString table, QString index, QStringList cached)
        : FTable(std::move(table)), FIndex(std::move(index)), FCached(std::move(cached)) {
        if (!FIndex.isEmpty()) {
            FKey = FCached;
        }
        FKey << QStringLiteral("rowid");
    }

    bool Read(sqlite3* db, TRowCache& rows, const std::atomic<bool>* cancel) const {
        std::vector<sqlite3_value*> last;
        struct TFree {
            std::vector<sqlite3_value*>& V;
            ~TFree() {
                for (sqlite3_value* v : V) {
                    sqlite3_value_free(v);
                }
            }
        } free{last};
        // Term j: the first j columns of the key as in the last row, the next greater.
        qsizetype term = -1;
        for (;;) {
            if (cancel && cancel->load()) {
                return false;
            }
            QString where;
            if (!last.empty()) {
                QStringList parts;
                for (qsizetype k = 0; k < term; ++k) {
                    parts << QStringLiteral("%1 is ?%2").arg(FKey[k]).arg(k + 1);
                }
                parts << (sqlite3_value_type(last[size_t(term)]) == SQLITE_NULL
                              ? QStringLiteral("%1 is not null").arg(FKey[term])
                              : QStringLiteral("%1 > ?%2").arg(FKey[term]).arg(term + 1));
                where = QStringLiteral(" where ") + parts.join(QStringLiteral(" and "));
            }
            const QString sql =
                QStringLiteral("select rowid%1 from %2%3%4 order by %5")
                    .arg(FCached.isEmpty() ? QString() : QStringLiteral(", ") + FCached.join(u','),
                         FTable,
                         FIndex.isEmpty() ? QString() : QStringLiteral(" indexed by ") + FIndex,
                         where, FKey.join(u','));
            TStmt holder;
            const QByteArray utf8 = sql.toUtf8();
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &s, nullptr) !=
                SQLITE_OK) {
                return false;
            }
            holder.reset(s);
            for (qsizetype k = 0; k <= term && !last.empty(); ++k) {
                if (sqlite3_value_type(last[size_t(k)]) != SQLITE_NULL || k < term) {
                    sqlite3_bind_value(s, int(k + 1), last[size_t(k)]);
                }
            }
            int rc = SQLITE_OK;
            size_t read = 0;
            if (!rows.AppendRows(s, rc, cancel, RowsPerPiece, read)) {
                return false;
            }
            if (read == RowsPerPiece) {
                // More may follow: the next piece starts after this row.
                for (sqlite3_value* v : last) {
                    sqlite3_value_free(v);
                }
                last.clear();
                for (qsizetype k = 0; k < FKey.size(); ++k) {
                    const int col = k + 1 < FKey.size() ? int(k + 1) : 0; // the row id: 0
                    sqlite3_value* v = sqlite3_value_dup(sqlite3_column_value(s, col));
                    if (!v) {
                        return false;
                    }
                    last.push_back(v);
                }
                term = FKey.size() - 1;
                continue;
            }
            // This term is read to its end: the next one, after the same row.
            if (last.empty() || term == 0) {
                return true;
            }
            --term;
        }
    }

private:
    QString FTable, FIndex;
    QStringList FCached, FKey;
};

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
    // The dish name's (the program's look-ups go by it) comes built by the thread that
    // read the rows, so a million rows do not hold the window here; others are built
    // when first needed.
    for (size_t k = 1; k < Hashes.size(); ++k) {
        Hashes[k].Valid = false;
    }
    if (SlotCount > 0 && !Hashes.empty() && !Hashes[0].Valid) {
        BuildHash(0);
    }
}

void TADOQuery::Impl::StartLoading() {
    // Another connection would not see rows of our own open transaction.
    if (!RowsPending || Loader.valid() || !sqlite3_get_autocommit(Db())) {
        return;
    }
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    const QByteArray path = Q.FConnection->DatabasePath().toUtf8();
    QStringList cached;
    for (const TColumn& c : Columns) {
        if (c.Slot >= 0) {
            cached << c.Quoted;
        }
    }
    const TPieceReader pieces(Table, CacheIndex, cached);
    const int stride = SlotCount;
    const std::vector<TColumn> columns = Columns;
    const TRowsLoaded hook = Q.FOnRowsLoaded;
    Touched.clear();
    auto read = std::make_shared<std::promise<void>>();
    RowsRead = read->get_future().share();
    try {
        Loader = std::async(std::launch::async, [=]() -> std::unique_ptr<TRowCache> {
            struct TDone {
                std::shared_ptr<std::promise<void>> Read;
                ~TDone() { Read->set_value(); }
            } const done{read};
            // Any failure here leaves the reading to the query's own connection,
            // which reports it as it always has.
            try {
                YieldToWindow();
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
                    rows->Stride = stride;
                    rows->Hashes.assign(size_t(stride), TRowCache::THash{});
                    if (!pieces.Read(raw, *rows, cancel.get())) {
                        return nullptr;
                    }
                    rows->FinishRows();
                    if (stride > 0) {
                        rows->BuildHash(0);
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
        read->set_value();
    }
}

bool TADOQuery::Impl::Provisional() {
    if (!RowsPending || !Loader.valid()) {
        return false;
    }
    if (Loader.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return true;
    }
    Ready();
    return false;
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
    const qint64 current = PendingPlaced ? PendingRow : -2;
    PendingRow = -1;
    PendingPlaced = false;
    std::vector<qint64> touched;
    touched.swap(Touched);
    if (rows) {
        TakeRows(std::move(*rows));
        CatchUp(touched);
    } else {
        try {
            LoadRows();
        } catch (...) {
            Clear();
            throw;
        }
    }
    Cur = current == -1 ? RowIds.size() : 0;
    if (current >= 0) {
        const auto at = std::lower_bound(RowIds.begin(), RowIds.end(), current);
        Cur = at != RowIds.end() && *at == current ? size_t(at - RowIds.begin()) : RowIds.size();
    }
}

// The window's own writes made while the rows were read in pieces: each such row is
// read again, so none is missed, lost or left as it was.
void TADOQuery::Impl::CatchUp(std::vector<qint64>& touched) {
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    if (touched.empty()) {
        return;
    }
    TStmt holder;
    sqlite3_stmt* s = Prepare(QStringLiteral("select 1 from %1 where rowid=?").arg(Table), holder);
    for (const qint64 id : touched) {
        sqlite3_bind_int64(s, 1, id);
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            EngineError();
        }
        const auto at = std::lower_bound(RowIds.begin(), RowIds.end(), id);
        const bool cached = at != RowIds.end() && *at == id;
        if (rc == SQLITE_ROW) {
            if (cached) {
                RefreshRowCells(int32_t(at - RowIds.begin()));
            } else {
                InsertRow(id);
            }
        } else if (cached) {
            RemoveRow(int32_t(at - RowIds.begin()));
        }
    }
}

void TADOQuery::Impl::NoteWrite(int op, const char* table, qint64 rowId) {
    if (!RowsPending || !Loader.valid() ||
        QString::fromUtf8(table).compare(TableName, Qt::CaseInsensitive) != 0) {
        return;
    }
    Touched.push_back(rowId);
    if (op == SQLITE_INSERT) {
        ++PendingCount;
    } else if (op == SQLITE_DELETE) {
        PendingCount = std::max(PendingCount - 1, 0);
    }
}

// The first row of the view whose column holds the value, found through the index
// that leads with it, without the rows: the loaded rows would give the same.
bool TADOQuery::Impl::LocateByIndex(int col, const QVariant& value) {
    const TColumn& c = Columns[size_t(col)];
    qint64 best = -1;
    auto consider = [&best](qint64 id) {
        if (best < 0 || id < best) {
            best = id;
        }
    };
    TStmt holder;
    if (ValueIsNull(value)) {
        sqlite3_stmt* s = Prepare(
            QStringLiteral("select min(rowid) from %1 where %2 is null").arg(Table, c.Quoted),
            holder);
        if (sqlite3_step(s) != SQLITE_ROW) {
            EngineError();
        }
        if (sqlite3_column_type(s, 0) != SQLITE_NULL) {
            consider(sqlite3_column_int64(s, 0));
        }
    } else {
        const QString wanted = ValueText(value);
        sqlite3_stmt* s = Prepare(
            QStringLiteral("select min(rowid) from %1 where %2 = ?").arg(Table, c.Quoted), holder);
        sqlite3_bind_text16(s, 1, wanted.utf16(), int(wanted.size() * 2), SQLITE_TRANSIENT);
        if (sqlite3_step(s) != SQLITE_ROW) {
            EngineError();
        }
        if (sqlite3_column_type(s, 0) != SQLITE_NULL) {
            consider(sqlite3_column_int64(s, 0));
        }
        // Texts another program stored as bytes: the rows read them as text.
        TStmt bytesHolder;
        sqlite3_stmt* b =
            Prepare(QStringLiteral("select rowid, %2 from %1 where %2 >= x''").arg(Table, c.Quoted),
                    bytesHolder);
        int rc;
        while ((rc = sqlite3_step(b)) == SQLITE_ROW) {
            const int n = sqlite3_column_bytes(b, 1);
            if (n <= int(MaxCachedChars) * 4 &&
                QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(b, 1)), n) ==
                    wanted) {
                consider(sqlite3_column_int64(b, 0));
            }
        }
        if (rc != SQLITE_DONE) {
            EngineError();
        }
    }
    PendingRow = best;
    PendingPlaced = true;
    return best >= 0;
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
