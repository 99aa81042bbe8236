#include "RecordFilter.h"

#include "PieceWalk.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <map>

namespace {

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

// The recipe's whole name and ingredients where the designed columns hold them cut
// (kept by lib/recipe in WholeTextsTable): a keyword matches the whole text.
// `Position` is the row's index (Index) or, walking the cache, its load slot (ByLoad).
template <class TRow> class TWholeRow final : public TFilterRow {
public:
    TWholeRow(const TRow& row, const int32_t& position, const std::vector<int32_t>& index,
              const TWholeTexts& whole)
        : FRow(row), FPosition(position), FIndex(index), FWhole(whole) {}
    bool Text(int col, QStringView& out, QString& scratch) const override {
        if (col == FWhole.NameCol || col == FWhole.IngredientsCol) {
            const int32_t i = FIndex[size_t(FPosition)];
            if (i >= 0) {
                const TWholeEntry& e = FWhole.Entries[size_t(i)];
                if (col == FWhole.NameCol ? !e.Name.isNull() : e.UseIngredients) {
                    out = col == FWhole.NameCol ? e.Name : e.Ingredients;
                    return true;
                }
            }
        }
        return FRow.TRow::Text(col, out, scratch);
    }

private:
    const TRow& FRow;
    const int32_t& FPosition;
    const std::vector<int32_t>& FIndex;
    const TWholeTexts& FWhole;
};

} // namespace

bool TADOQuery::Impl::KeepsWholeTexts() const {
    if (TableName.compare(QStringLiteral("mycook"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    // Whether a whole text still belongs to its row is read from the cached cells.
    const qsizetype name = ColumnNames.indexOf(QStringLiteral("菜名"));
    const qsizetype ingredients = ColumnNames.indexOf(QStringLiteral("原料"));
    return name >= 0 && ingredients >= 0 && Columns[size_t(name)].Slot >= 0 &&
           Columns[size_t(ingredients)].Slot >= 0;
}

void TADOQuery::Impl::StartWholeTexts() {
    if (Whole.Read || Whole.Reading.Running() || !Db() || !sqlite3_get_autocommit(Db())) {
        return; // another connection would not see what our transaction wrote
    }
    // Writes from now on are read again once the reading is in.
    Whole.Changes = sqlite3_total_changes64(Db());
    Whole.Hooked = Hooked;
    Whole.Version = Q.FConnection->DataVersion();
    Whole.Dirty.clear();
    // After the rows, when they are being read: one reading thread at a time.
    Whole.Reading.Start(Q.FConnection->DatabasePath().toUtf8(),
                        Loader.valid() ? RowsRead : std::shared_future<void>());
}

void TADOQuery::Impl::NoteWholeWrite(const char* table, qint64 rowId) {
    ++Hooked;
    if (!Whole.Read && !Whole.Reading.Running()) {
        return;
    }
    if (qstricmp(table, WholeTextsTable) != 0 && qstricmp(table, "mycook_recipe") != 0 &&
        qstricmp(table, "mycook") != 0) {
        return;
    }
    if (Whole.Dirty.size() >= MaxDirtyWholeRows) {
        Whole.Read = false; // so many that one reading of all is cheaper
        Whole.Dirty.clear();
        return;
    }
    Whole.Dirty.push_back(rowId);
}

const TWholeTexts& TADOQuery::Impl::WholeTexts(size_t keyword) {
    static const TWholeTexts none;
    if (!KeepsWholeTexts()) {
        return none;
    }
    Whole.NameCol = int(ColumnNames.indexOf(QStringLiteral("菜名")));
    Whole.IngredientsCol = int(ColumnNames.indexOf(QStringLiteral("原料")));
    const qint64 changes = sqlite3_total_changes64(Db());
    const qint64 version = Q.FConnection->DataVersion();
    if (!Whole.Read && Whole.Reading.Running()) {
        if (auto entries = Whole.Reading.Take()) {
            Whole.Entries = std::move(*entries);
            Whole.Table = HasWholeTextsTable(Db());
            Whole.Read = true;
            Whole.Mapped = false;
        }
    }
    // Read everything again after another program's change, or a change of ours that
    // the hook did not tell row by row. While the rows too are from before another
    // program's change, the texts stay as old as they are: the rows' re-reading that
    // follows reads both.
    const qint64 rowsVersion = Q.FConnection->FDataVersion;
    const bool rowsCurrent = rowsVersion < 0 || rowsVersion == version;
    if (Whole.Read && ((version != Whole.Version && rowsCurrent) ||
                       changes - Whole.Changes != Hooked - Whole.Hooked)) {
        Whole.Read = false;
    }
    if (!Whole.Read) {
        Whole.Entries.clear();
        Whole.Dirty.clear();
        Whole.Table = HasWholeTextsTable(Db());
        if (Whole.Table &&
            !ReadWholeEntries(Db(), std::numeric_limits<qint64>::min(),
                              std::numeric_limits<qint64>::max(), SIZE_MAX, Whole.Entries)) {
            Whole.Entries.clear();
            EngineError();
        }
        Whole.Read = true;
        Whole.Mapped = false;
        Whole.Version = version;
    }
    if (!Whole.Update(Db())) {
        Whole.Read = false;
        EngineError();
    }
    Whole.Changes = changes;
    Whole.Hooked = Hooked;
    if (!Whole.Mapped || Whole.Layout != Layout) {
        Whole.Map(*this, Columns[size_t(Whole.NameCol)].Slot,
                  Columns[size_t(Whole.IngredientsCol)].Slot);
    }
    const auto back = qint32(std::min<size_t>(std::max<size_t>(keyword, 1) - 1, INT32_MAX / 2));
    if (!Whole.Laid || Whole.LaidBack < back) {
        Whole.Lay(back);
    }
    return Whole;
}

void TADOQuery::Impl::ApplyFilter(const QString& text) {
    const auto expr = TFilterExpr::Parse(text, ColumnNames);
    const std::vector<qint64>* narrowing = Q.FNarrowing.get();
    if (expr->IsEmpty() && !narrowing) {
        FilterOn = false;
        View = {};
        ViewPos = {};
        Cur = 0;
        return;
    }
    std::vector<int32_t> view;
    // The rows the narrowing leaves, by row; empty: all of them.
    std::vector<char> shown;
    if (narrowing) {
        shown.assign(RowIds.size(), 0);
        auto at = RowIds.begin();
        for (const qint64 id : *narrowing) {
            at = std::lower_bound(at, RowIds.end(), id);
            if (at == RowIds.end()) {
                break;
            }
            if (*at == id) {
                shown[size_t(at - RowIds.begin())] = 1;
            }
        }
        if (expr->IsEmpty()) {
            for (size_t r = 0; r < shown.size(); ++r) {
                if (shown[r]) {
                    view.push_back(int32_t(r));
                }
            }
            View = std::move(view);
            FilterOn = true;
            RebuildViewPos();
            Cur = 0;
            return;
        }
    }
    auto hidden = [&shown](int32_t row) {
        return !shown.empty() && !shown[size_t(row)];
    };
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
    const std::optional<TContainsSearch> search = expr->AsContainsSearch();
    const TWholeTexts& whole = WholeTexts(search ? search->Literal.size() : 0);
    const TWholeRow<TCacheRow> wholeCacheRow(cacheRow, cacheRow.Load, whole.ByLoad, whole);
    const TFilterRow& cached =
        whole.Index.empty() ? static_cast<const TFilterRow&>(cacheRow) : wholeCacheRow;
    if (streamCols.isEmpty() && search) {
        SearchRuns(
            *search, whole,
            [&](int32_t load) {
                cacheRow.Row = PoolOrder[size_t(load)];
                cacheRow.Load = load;
                return expr->Matches(cached);
            },
            view);
        view.erase(std::remove_if(view.begin(), view.end(), hidden), view.end());
    } else if (streamCols.isEmpty()) {
        // Walk the texts in memory order, then put the matches in row order.
        for (size_t load = 0; load < PoolOrder.size(); ++load) {
            cacheRow.Row = PoolOrder[load];
            cacheRow.Load = int32_t(load);
            if (!hidden(cacheRow.Row) && expr->Matches(cached)) {
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
            const TWholeRow<TStreamRow> wholeStreamRow(streamRow, cacheRow.Row, whole.Index, whole);
            if (!hidden(r) &&
                expr->Matches(whole.Index.empty() ? static_cast<const TFilterRow&>(streamRow)
                                                  : wholeStreamRow)) {
                view.push_back(r);
            }
        }
    }
    View = std::move(view);
    FilterOn = true;
    RebuildViewPos();
    Cur = 0;
}

namespace {
// Below this many rows a walk is too short to share with the helper thread.
constexpr size_t SharedWalkFrom = 16384;
constexpr size_t WalkPieces = 16;

size_t PiecesFor(size_t count) {
    return count >= SharedWalkFrom ? WalkPieces : 1;
}

// Runs the pieces on both threads; an exception in any is raised on the caller's.
void RunPiecesCaught(size_t count, const std::function<void(size_t)>& piece) {
    std::vector<std::exception_ptr> failed(count);
    RunPieces(count, [&](size_t k) {
        try {
            piece(k);
        } catch (...) {
            failed[k] = std::current_exception();
        }
    });
    for (const std::exception_ptr& e : failed) {
        if (e) {
            std::rethrow_exception(e);
        }
    }
}
} // namespace

namespace {

// Every find of the keyword in text[from, to), handed to `found` with its place; it
// answers where to go on from (past the cell that counted, or one further).
template <class TFound>
void FindEach(const char16_t* text, size_t from, size_t to, std::u16string_view literal,
              TFound&& found) {
    const char16_t* start = text + from;
    const size_t n = to - from;
    size_t at = 0;
    qsizetype f;
    while (at < n && (f = FindFolded(start, n, at, literal)) >= 0) {
        at = found(from + size_t(f)) - from;
    }
}

// The last of [at, hi) whose start `start(i)` is at or before `place`, given that
// start(at) is: the finds come in order, so the search gallops on from the last one's
// cell and reads only cells near it.
template <class TStart>
int32_t LastStartingBy(int32_t at, int32_t hi, size_t place, TStart&& start) {
    int32_t step = 1, past = at + 1;
    while (past < hi && start(past) <= place) {
        at = past;
        step *= 2;
        past = at + step;
    }
    past = std::min(past, hi);
    while (past - at > 1) {
        const int32_t mid = at + (past - at) / 2;
        (start(mid) <= place ? at : past) = mid;
    }
    return at;
}

} // namespace

// A piece of the load slots: each searched column's runs read as one text, then the
// whole texts' parts of the same rows, back to back in their pool. A find is mapped to
// its cell by the cells' offsets and counts only when it lies wholly inside it.
void TADOQuery::Impl::SearchPiece(const TContainsSearch& search, const TWholeTexts& whole,
                                  bool wholeParts, int32_t from, int32_t to,
                                  std::vector<char>& hit) {
    const std::u16string_view literal = search.Literal;
    const size_t m = literal.size();
    for (const int col : search.Columns) {
        const int slot = Columns[size_t(col)].Slot;
        const TColumnRuns& runs = ColumnRuns[size_t(slot)];
        auto run =
            std::upper_bound(runs.Runs.begin(), runs.Runs.end(), from,
                             [](int32_t load, const TColumnRuns::TRun& r) { return load < r.To; });
        for (; run != runs.Runs.end() && run->From < to; ++run) {
            const int32_t lo = std::max(run->From, from), hi = std::min(run->To, to);
            const size_t begin = CellAt(lo, slot).Off;
            const size_t end = hi < run->To ? CellAt(hi, slot).Off : run->End;
            int32_t a = lo; // the last find's cell
            FindEach(Chunks[run->Chunk].get(), begin, end, literal, [&](size_t at) {
                // The last cell starting at or before the find holds it.
                a = LastStartingBy(a, hi, at,
                                   [&](int32_t load) { return size_t(CellAt(load, slot).Off); });
                const TSpan& cell = CellAt(a, slot);
                const size_t cellEnd = size_t(cell.Off) + cell.Len;
                if (at + m <= cellEnd) {
                    hit[size_t(a)] = 1;
                    return cellEnd;
                }
                return at + 1;
            });
        }
    }
    if (!wholeParts) {
        return;
    }
    const bool name =
                   std::binary_search(search.Columns.begin(), search.Columns.end(), whole.NameCol),
               ingredients = std::binary_search(search.Columns.begin(), search.Columns.end(),
                                                whole.IngredientsCol);
    using TPart = TWholeTexts::TPart;
    const auto byLoad = [](const TPart& p, int32_t load) {
        return p.Load < load;
    };
    const auto first = std::lower_bound(whole.Parts.begin(), whole.Parts.end(), from, byLoad);
    const auto last = std::lower_bound(first, whole.Parts.end(), to, byLoad);
    if (first == last) {
        return;
    }
    const size_t begin = size_t(first->NameOff);
    const size_t end = last == whole.Parts.end() ? whole.Pool.size() : size_t(last->NameOff);
    const TPart* parts = whole.Parts.data();
    const auto lo = int32_t(first - whole.Parts.begin()), hi = int32_t(last - whole.Parts.begin());
    int32_t i = lo; // the last find's part
    FindEach(whole.Pool.data(), begin, end, literal, [&](size_t at) {
        i = LastStartingBy(i, hi, at, [&](int32_t k) { return size_t(parts[k].NameOff); });
        const TPart* part = parts + i;
        const bool inName = at < size_t(part->IngredientsOff);
        const size_t cellEnd =
            inName ? size_t(part->NameOff) + size_t(std::max(0, part->NameLen))
                   : size_t(part->IngredientsOff) + size_t(std::max(0, part->IngredientsLen));
        if ((inName ? name : ingredients) && at + m <= cellEnd) {
            hit[size_t(part->Load)] = 1;
            return cellEnd;
        }
        return at + 1;
    });
}

void TADOQuery::Impl::SearchRuns(const TContainsSearch& search, const TWholeTexts& whole,
                                 const std::function<bool(int32_t load)>& matchesRow,
                                 std::vector<int32_t>& rows) {
    std::vector<char> hit(PoolOrder.size(), 0);
    for (const int col : search.Columns) {
        RunsOf(Columns[size_t(col)].Slot); // built here, read by both threads
    }
    const bool name =
                   std::binary_search(search.Columns.begin(), search.Columns.end(), whole.NameCol),
               ingredients = std::binary_search(search.Columns.begin(), search.Columns.end(),
                                                whole.IngredientsCol);
    // A find in a column that runs into what the column holds past the shared start
    // (an ellipsis where it was cut) may be none in the whole text: such keywords are
    // answered row by row for the rows with whole texts.
    bool exact = false;
    for (const char16_t c : whole.PastSame) {
        const char16_t folded = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        exact = exact || search.Literal.find(folded) != std::u16string_view::npos;
    }
    const bool wholeParts = !whole.Parts.empty() && (name || ingredients);
    const size_t loads = PoolOrder.size(), pieces = PiecesFor(loads);
    RunPiecesCaught(pieces, [&](size_t k) {
        SearchPiece(search, whole, wholeParts && !exact, int32_t(loads * k / pieces),
                    int32_t(loads * (k + 1) / pieces), hit);
    });
    if (wholeParts && exact) {
        for (const TWholeTexts::TPart& p : whole.Parts) {
            hit[size_t(p.Load)] = matchesRow(p.Load) ? 1 : 0;
        }
    }
    // Texts too long for the cache, read whole once.
    for (const int col : search.Columns) {
        for (const int32_t load : ColumnRuns[size_t(Columns[size_t(col)].Slot)].Uncached) {
            if (!hit[size_t(load)] && matchesRow(load)) {
                hit[size_t(load)] = 1;
            }
        }
    }
    // Few rows hit: eight slots at a time are passed over while all are clear.
    for (size_t load = 0; load < hit.size();) {
        quint64 eight = 0;
        if (load + 8 <= hit.size() && (std::memcpy(&eight, &hit[load], 8), eight == 0)) {
            load += 8;
            continue;
        }
        if (hit[load]) {
            rows.push_back(PoolOrder[load]);
        }
        ++load;
    }
    if (!std::is_sorted(rows.begin(), rows.end())) {
        std::sort(rows.begin(), rows.end());
    }
}

void TADOQuery::Impl::RebuildViewPos() {
    ViewPos.assign(RowIds.size(), -1);
    for (size_t p = 0; p < View.size(); ++p) {
        ViewPos[size_t(View[p])] = int32_t(p);
    }
}
