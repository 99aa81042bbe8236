#include "ADODB.h"

#include "ADOField.h"
#include "QueryImpl.h"

#include <algorithm>

TADOQuery::Impl::Impl(TADOQuery& owner) : Q(owner) {}

TADOQuery::Impl::~Impl() = default;

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
    // Rows being read on their thread are read again the same way.
    const bool loading = FImpl->RowsPending && FImpl->Loader.valid();
    const bool placed = loading && FImpl->PendingPlaced;
    qint64 current = loading ? FImpl->PendingRow : -1;
    if (!loading && FImpl->Cur < FImpl->ViewSize()) {
        current = FImpl->RowIds[size_t(FImpl->RowAt(FImpl->Cur))];
    }
    const QString sql = FImpl->OpenedSql;
    const bool whole = FImpl->Whole.Table || FImpl->Whole.Reading.Running();
    FImpl->Clear(); // a reading under way is given up: this one reads afresh
    if (whole && FDeferred) {
        FImpl->StartWholeTexts(); // beside the rows' reading, not after it
    }
    try {
        FImpl->Open(sql, loading && FDeferred);
    } catch (const Exception&) {
        FImpl->Clear(); // e.g. the table went away with the rollback
        return;
    }
    if (FImpl->RowsPending) {
        FImpl->StartLoading();
        FImpl->PendingRow = current;
        FImpl->PendingPlaced = placed;
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
    // While the rows are read the count follows the window's own writes.
    if (FImpl->RowsPending && (!FImpl->Loader.valid() || FImpl->Provisional())) {
        return FImpl->PendingCount;
    }
    FImpl->Ready(); // a reading under way may have met another copy's writes
    return int(FImpl->ViewSize());
}

void TADOQuery::StartLoading() {
    if (!FImpl->Active) {
        return;
    }
    FImpl->StartLoading();
    // Beside the rows, the whole texts are read on a thread too, so the first search
    // need not read them; not before, where the thread would slow the window's first
    // paint (the window starts the rows' reading once it has painted).
    if (FDeferred && FImpl->KeepsWholeTexts() && HasWholeTextsTable(FImpl->Db())) {
        FImpl->StartWholeTexts();
    }
}

bool TADOQuery::RowsPending() const {
    return FImpl->RowsPending;
}

bool TADOQuery::RowsLoading() const {
    return FImpl->Loader.valid() &&
           FImpl->Loader.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
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
    const int col = FImpl->ColumnIndex(field);
    if (col < 0) {
        Raise(QStringLiteral("找不到字段“%1”。").arg(field));
    }
    // The save's look-up by name need not wait for a large book's rows: the index
    // answers it, and the rows catch up with what the save writes when they come.
    if (FImpl->Provisional() && FImpl->LocatesByIndex(col)) {
        FImpl->CheckBrowse();
        FConnection->SyncWithBook();
        FImpl->CheckActive();
        if (FImpl->Provisional()) {
            return FImpl->LocateByIndex(col, value);
        }
    }
    FImpl->Ready();
    FImpl->CheckBrowse();
    // A look-up decides between adding and overwriting, and finds what a view shows:
    // it sees what another copy of the program saved meanwhile.
    FConnection->SyncWithBook();
    FImpl->CheckActive();
    return FImpl->Locate(col, value);
}

void TADOQuery::AppendRecord(const QList<QVariant>& values) {
    FImpl->CheckActive();
    if (!FImpl->Provisional()) {
        FImpl->Ready();
    }
    FImpl->CheckBrowse();
    FImpl->Append(values);
}

void TADOQuery::Edit() {
    FImpl->CheckActive();
    if (!FImpl->ProvisionalRow()) {
        FImpl->Ready();
    }
    if (FImpl->Editing) {
        return;
    }
    FImpl->CurrentId();
    FImpl->Editing = true;
    FImpl->Pending.clear();
}

void TADOQuery::Post() {
    FImpl->CheckActive();
    if (!FImpl->ProvisionalRow()) {
        FImpl->Ready();
    }
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
    if (FImpl->ProvisionalRow()) {
        return FImpl->PendingRow;
    }
    FImpl->Ready();
    if (!FImpl->Active || FImpl->Cur >= FImpl->ViewSize()) {
        return -1;
    }
    return FImpl->RowIds[size_t(FImpl->RowAt(FImpl->Cur))];
}

bool TADOQuery::LocateRowId(qint64 rowId) {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->CheckBrowse();
    const auto at = std::lower_bound(FImpl->RowIds.begin(), FImpl->RowIds.end(), rowId);
    if (at == FImpl->RowIds.end() || *at != rowId) {
        return false;
    }
    const auto row = int32_t(at - FImpl->RowIds.begin());
    if (!FImpl->FilterOn) {
        FImpl->Cur = size_t(row);
        return true;
    }
    if (size_t(row) >= FImpl->ViewPos.size() || FImpl->ViewPos[size_t(row)] < 0) {
        return false;
    }
    FImpl->Cur = size_t(FImpl->ViewPos[size_t(row)]);
    return true;
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

void TADOQuery::ForEachInView(const QString& field,
                              const std::function<void(qint64, QStringView)>& each) {
    FImpl->CheckActive();
    FImpl->Ready();
    FImpl->CheckBrowse();
    const int col = FImpl->ColumnIndex(field);
    if (col < 0) {
        Raise(QStringLiteral("找不到字段“%1”。").arg(field));
    }
    const Impl& rows = *FImpl;
    const int slot = rows.Columns[size_t(col)].Slot;
    QString scratch;
    for (size_t pos = 0; pos < rows.ViewSize(); ++pos) {
        const int32_t row = rows.RowAt(pos);
        const qint64 id = rows.RowIds[size_t(row)];
        if (slot >= 0) {
            const TSpan& s = rows.Cell(row, slot);
            if (s.Len == NullLen) {
                each(id, QStringView(u"", 0));
                continue;
            }
            if (s.Len != UncachedLen) {
                each(id, rows.SpanText(s));
                continue;
            }
        }
        scratch = ValueText(FImpl->FetchValue(id, col));
        each(id, scratch);
    }
    FImpl->Cur = rows.ViewSize();
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
        FImpl->ApplyFilter(on ? FFilter : QString());
    }
    FFiltered = on;
}

void TADOQuery::SetNarrowing(std::shared_ptr<const std::vector<qint64>> rowIds) {
    std::swap(FNarrowing, rowIds);
    if (!FImpl->Active) {
        return;
    }
    try {
        FImpl->Ready();
        FImpl->CheckBrowse();
        FImpl->ApplyFilter(FFiltered ? FFilter : QString());
    } catch (...) {
        std::swap(FNarrowing, rowIds);
        throw;
    }
}

void TADOQuery::NoteWrite(int op, const char* table, qint64 rowId) {
    FImpl->NoteWholeWrite(table, rowId);
    FImpl->NoteWrite(op, table, rowId);
}
