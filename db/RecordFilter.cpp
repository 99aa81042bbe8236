#include "RecordFilter.h"

#include "PieceWalk.h"

#include <QByteArray>
#include <algorithm>
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

// A keyword searched for in texts handed over cell by cell (a cell: one column of
// one row). Cells that lie back to back in memory, as the cache lays a row's
// columns and the rows one after another, are searched as one run; a find that
// runs over the end of its cell counts for none.
class TRunSearch {
public:
    TRunSearch(std::u16string_view literal, std::vector<char>& hit)
        : FLiteral(literal), FHit(hit), FCells(MaxCells) {}
    [[gnu::always_inline]] void Add(const char16_t* text, quint32 len, int32_t load) {
        if (text != FEnd || FCount == MaxCells) {
            Flush();
            FStart = text;
        }
        FCells[FCount++] = {quint32(text - FStart), len, load};
        FEnd = text + len;
    }
    [[gnu::noinline]] void Flush() {
        if (FCount == 0) {
            return;
        }
        const size_t n = size_t(FEnd - FStart);
        const size_t m = FLiteral.size();
        size_t from = 0, c = 0;
        qsizetype at;
        while ((at = FindFolded(FStart, n, from, FLiteral)) >= 0) {
            while (FCells[c].Off + FCells[c].Len <= size_t(at)) {
                ++c;
            }
            const size_t cellEnd = size_t(FCells[c].Off) + FCells[c].Len;
            if (size_t(at) + m <= cellEnd) {
                FHit[size_t(FCells[c].Load)] = 1;
                from = cellEnd;
            } else {
                from = size_t(at) + 1;
            }
        }
        FCount = 0;
        FEnd = nullptr;
    }

private:
    // Long runs are searched in parts small enough for the cells to stay in cache.
    static constexpr size_t MaxCells = 8192;
    struct TCell {
        quint32 Off, Len;
        int32_t Load;
    };
    std::u16string_view FLiteral;
    std::vector<char>& FHit;
    std::vector<TCell> FCells;
    size_t FCount = 0;
    const char16_t* FStart = nullptr;
    const char16_t* FEnd = nullptr;
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

void TADOQuery::Impl::SearchRuns(const TContainsSearch& search, const TWholeTexts& whole,
                                 const std::function<bool(int32_t load)>& matchesRow,
                                 std::vector<int32_t>& rows) {
    std::vector<char> hit(PoolOrder.size(), 0);
    const size_t loads = PoolOrder.size(), pieces = PiecesFor(loads);
    std::vector<std::vector<int32_t>> others(pieces); // rows with a text too long for the cache
    RunPiecesCaught(pieces, [&](size_t k) {
        TRunSearch run(search.Literal, hit);
        // Column by column, as the cache lays the texts (LayOutInRowOrder).
        for (const int col : search.Columns) {
            const int slot = Columns[size_t(col)].Slot;
            for (size_t load = loads * k / pieces; load < loads * (k + 1) / pieces; ++load) {
                const TSpan& s = CellAt(int32_t(load), slot);
                if (s.Len == UncachedLen) {
                    others[k].push_back(int32_t(load)); // read whole, once, below
                } else if (s.Len != NullLen && s.Len != 0) {
                    run.Add(Chunks[s.Chunk].get() + s.Off, s.Len, int32_t(load));
                }
            }
        }
        run.Flush();
    });
    SearchWholeTexts(search, whole, matchesRow, hit);
    for (const std::vector<int32_t>& piece : others) {
        for (const int32_t load : piece) {
            if (!hit[size_t(load)] && matchesRow(load)) {
                hit[size_t(load)] = 1;
            }
        }
    }
    for (size_t load = 0; load < hit.size(); ++load) {
        if (hit[load]) {
            rows.push_back(PoolOrder[load]);
        }
    }
    std::sort(rows.begin(), rows.end());
}

// The columns were searched as they are; what they share with the whole text from its
// start needs no second look, only the rest with the keyword's length less one before.
void TADOQuery::Impl::SearchWholeTexts(const TContainsSearch& search, const TWholeTexts& whole,
                                       const std::function<bool(int32_t load)>& matchesRow,
                                       std::vector<char>& hit) {
    if (whole.Parts.empty()) {
        return;
    }
    const std::u16string_view literal = search.Literal;
    const auto searched = [&search](int col) {
        return std::binary_search(search.Columns.begin(), search.Columns.end(), col);
    };
    const bool name = searched(whole.NameCol), ingredients = searched(whole.IngredientsCol);
    if (!name && !ingredients) {
        return;
    }
    // A find in a column that runs into what the column holds past the shared start
    // (an ellipsis where it was cut) may be none in the whole text: such keywords are
    // answered row by row.
    bool exact = false;
    for (const char16_t c : whole.PastSame) {
        const char16_t folded = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        exact = exact || literal.find(folded) != std::u16string_view::npos;
    }
    if (exact) { // the column's find may be none
        for (const TWholeTexts::TPart& p : whole.Parts) {
            hit[size_t(p.Load)] = matchesRow(p.Load) ? 1 : 0;
        }
        return;
    }
    // The parts lie back to back, each from the keyword's length less one before the
    // shared end (WholeTexts laid them out so): one run, as the columns are searched.
    const size_t parts = whole.Parts.size(), pieces = PiecesFor(parts);
    RunPiecesCaught(pieces, [&](size_t k) {
        TRunSearch run(literal, hit);
        for (size_t i = parts * k / pieces; i < parts * (k + 1) / pieces; ++i) {
            const TWholeTexts::TPart& p = whole.Parts[i];
            if (hit[size_t(p.Load)]) {
                continue;
            }
            if (name && p.NameLen > 0) {
                run.Add(whole.Pool.data() + p.NameOff, quint32(p.NameLen), p.Load);
            }
            if (ingredients && p.IngredientsLen > 0) {
                run.Add(whole.Pool.data() + p.IngredientsOff, quint32(p.IngredientsLen), p.Load);
            }
        }
        run.Flush();
    });
}

void TADOQuery::Impl::RebuildViewPos() {
    ViewPos.assign(RowIds.size(), -1);
    for (size_t p = 0; p < View.size(); ++p) {
        ViewPos[size_t(View[p])] = int32_t(p);
    }
}
