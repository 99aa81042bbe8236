#include "QueryImpl.h"
#include "RecordFilter.h"

#include <algorithm>

void TADOQuery::Impl::StepRecord(TResetGuard& g, qint64 rowId) {
    sqlite3_bind_int64(g.S, 1, rowId);
    const int rc = sqlite3_step(g.S);
    if (rc == SQLITE_DONE) {
        Raise(QStringLiteral("找不到这道菜的记录，它可能已被另一个程序删除。"));
    }
    if (rc != SQLITE_ROW) {
        g.Release();
        EngineError();
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
        StepRecord(g, rowId);
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
    StepRecord(g, rowId);
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
    // One row's uncached values, read from the book once while it stays current.
    const auto fetched = [this, col](qint64 id) {
        if (FetchedRow != id) {
            Fetched.clear();
            FetchedRow = id;
        }
        auto it = Fetched.find(col);
        if (it == Fetched.end()) {
            it = Fetched.emplace(col, FetchValue(id, col)).first;
        }
        return it->second;
    };
    if (RowsPending && PendingPlaced) {
        return fetched(CurrentId());
    }
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
    return fetched(RowIds[size_t(row)]);
}

QVariant TADOQuery::Impl::Value(int col) {
    CheckActive();
    if (!ProvisionalRow()) {
        Ready();
    }
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

void TADOQuery::Impl::RefreshRowCells(int32_t row, bool newRow) {
    Layout = NewRowsLayout();
    FetchedRow = -1;
    Fetched.clear();
    if (SlotCount == 0) {
        return;
    }
    sqlite3_stmt* s = RowCellsStmt.get();
    if (!s) {
        s = Prepare(
            QStringLiteral("select rowid%1 from %2 where rowid=?").arg(CachedColumnList(), Table),
            RowCellsStmt);
    }
    TResetGuard g{s};
    sqlite3_bind_int64(s, 1, RowIds[size_t(row)]);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE) {
            g.Release();
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
    Layout = NewRowsLayout();
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
    const qint64 id = CurrentId();
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
    sqlite3_stmt* s =
        PrepareKept(QStringLiteral("update %1 set %2 where rowid=?").arg(Table, sets));
    TResetGuard g{s};
    int index = 1;
    for (const auto& [col, v] : values) {
        BindValue(s, index++, col, v);
    }
    sqlite3_bind_int64(s, index, id);
    const int rc = sqlite3_step(s);
    g.Release();
    if (rc != SQLITE_DONE) {
        EngineError();
    }
    if (sqlite3_changes(Db()) == 0) {
        Raise(QStringLiteral("找不到要更新的菜谱记录，它可能已被另一个程序删除。"));
    }
    Editing = false;
    Pending.clear();
    FetchedRow = -1;
    Fetched.clear();
    if (!RowsPending) {
        RefreshRowCells(CurrentRow());
    }
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
    sqlite3_stmt* s = PrepareKept(
        values.isEmpty()
            ? QStringLiteral("insert into %1 default values").arg(Table)
            : QStringLiteral("insert into %1 (%2) values (%3)").arg(Table, names, marks));
    TResetGuard g{s};
    for (int i = 0; i < checked.size(); ++i) {
        BindValue(s, i + 1, i, checked[i]);
    }
    const int rc = sqlite3_step(s);
    g.Release();
    if (rc != SQLITE_DONE) {
        EngineError();
    }
    if (RowsPending) {
        PendingRow = sqlite3_last_insert_rowid(Db()); // the rows catch up when they come
        PendingPlaced = true;
    } else {
        InsertRow(sqlite3_last_insert_rowid(Db()));
    }
}

// Takes a deleted row out of the cache, keeping the other rows' texts in place.
void TADOQuery::Impl::RemoveRow(int32_t row) {
    Layout = NewRowsLayout();
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
