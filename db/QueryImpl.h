#pragma once
// The state behind TADOQuery (private to db/): the rows it holds, its view and
// position, pending edits, and the deferred reading of its rows.

#include "ADODB.h"
#include "ColumnTypes.h"
#include "RecordCache.h"
#include "RecordWholeTexts.h"
#include "SqliteSupport.h"

#include <QStringList>
#include <algorithm>
#include <functional>
#include <future>
#include <map>

class TFieldImpl;
struct TContainsSearch;

struct TADOQuery::Impl : TRowCache {
    // Out of line: the fields' type is complete only where the query is made.
    explicit Impl(TADOQuery& owner);
    ~Impl();

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
    QString CacheIndex; // quoted; empty when the book has none
    std::future<std::unique_ptr<TRowCache>> Loader;
    std::shared_ptr<std::atomic<bool>> CancelLoad;
    std::shared_future<void> RowsRead; // ready once the Loader's thread is done
    std::unique_ptr<TRowReader> Reader;
    // While the rows are read: the current row by identity, and the rows the window
    // itself wrote meanwhile (read again when the rows come).
    // Placed: a look-up or an append chose the row (-1: none); otherwise the first.
    qint64 PendingRow = -1;
    bool PendingPlaced = false;
    std::vector<qint64> Touched;

    bool FilterOn = false;
    std::vector<int32_t> View;    // row indices shown while filtered
    std::vector<int32_t> ViewPos; // row index -> view position, -1 when hidden
    size_t Cur = 0;

    bool Editing = false;
    std::map<int, QVariant> Pending;

    qint64 FetchedRow = -1;
    std::map<int, QVariant> Fetched;
    std::vector<TStmt> SizeStmts, FetchStmts;
    // The writes' statements, kept prepared: an import appends thousands of rows, and
    // preparing an insert also compiles the table's triggers.
    std::map<QString, TStmt> WriteStmts;
    TStmt RowCellsStmt;

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

    // Steps the guarded statement over the record of this row id (its one
    // parameter) onto its row; raises when the record is gone or the engine fails.
    void StepRecord(TResetGuard& g, qint64 rowId);

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

    // A statement of this text prepared once for the query's reading of the book.
    sqlite3_stmt* PrepareKept(const QString& sql) {
        TStmt& slot = WriteStmts[sql];
        return slot ? slot.get() : Prepare(sql, slot);
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
    // Whether the rows are still being read on their thread; takes them when done.
    bool Provisional();
    // The same, with the current row chosen by identity.
    bool ProvisionalRow() { return PendingPlaced && Provisional(); }
    // Whether a look-up of this column can go without the rows: the book's covering
    // index leads with it.
    bool LocatesByIndex(int col) const {
        return !CacheIndex.isEmpty() && Columns[size_t(col)].Slot == 0;
    }
    bool LocateByIndex(int col, const QVariant& value);
    void NoteWrite(int op, const char* table, qint64 rowId);
    void CatchUp(std::vector<qint64>& touched);
    // The current row's identity, with or without the rows.
    qint64 CurrentId() {
        if (RowsPending && PendingPlaced) {
            CheckActive();
            if (PendingRow < 0) {
                Raise(QStringLiteral("没有当前的菜谱记录（已到开头或末尾，或者它已被删除）。"));
            }
            return PendingRow;
        }
        return RowIds[size_t(CurrentRow())];
    }
    void TakeRows(TRowCache&& rows);
    void ApplyFilter(const QString& text);
    // The whole texts as the book holds them now, for a filter on these rows; laid out
    // for a search for a keyword of that many characters.
    const TWholeTexts& WholeTexts(size_t keyword = 0);
    TWholeTexts Whole;
    qint64 Hooked = 0; // rows the connection's writes changed, as its hook told them
    // Every write of the connection: the whole texts note the rows they must read again.
    void NoteWholeWrite(const char* table, qint64 rowId);
    // Begins reading the whole texts on a thread of their own, when the book has them.
    void StartWholeTexts();
    // The rows (ascending) whose searched columns, whole where cut, hold the text;
    // matchesRow answers for a row whose text the cache does not hold.
    void SearchRuns(const TContainsSearch& search, const TWholeTexts& whole,
                    const std::function<bool(int32_t load)>& matchesRow,
                    std::vector<int32_t>& rows);
    // Marks the load slots [from, to) whose searched texts hold it (RunsOf built).
    void SearchPiece(const TContainsSearch& search, const TWholeTexts& whole, bool wholeParts,
                     int32_t from, int32_t to, std::vector<char>& hit);
    bool KeepsWholeTexts() const;
    void RebuildViewPos();
    QVariant StoredValue(int col);
    QVariant FetchValue(qint64 rowId, int col);
    QVariant Value(int col);
    void BindValue(sqlite3_stmt* s, int index, int col, const QVariant& v) {
        ::BindValue(s, index, Columns[size_t(col)], v);
    }
    QVariant CheckedValue(int col, const QVariant& v) const {
        return ::CheckedValue(Columns[size_t(col)], v);
    }
    // newRow: the row is not in the look-up hashes yet, so nothing there goes stale.
    void RefreshRowCells(int32_t row, bool newRow = false);
    void InsertRow(qint64 rowId);
    bool Locate(int col, const QVariant& value);
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
    int ColumnIndex(const QString& name) const { return ColumnIndexOf(Columns, name); }
};

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
    int Column(const QString& name) const override { return ColumnIndexOf(Cols, name); }

private:
    const TRowCache& C;
    std::vector<TColumn> Cols;
    TADOQuery::Impl* Fetcher;
};
