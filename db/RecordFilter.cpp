#include "RecordFilter.h"

#include <algorithm>
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
                const TWholeTexts::TEntry& e = FWhole.Entries[size_t(i)];
                const bool name = col == FWhole.NameCol;
                const qint32 len = name ? e.NameLen : e.IngredientsLen;
                if (len >= 0) {
                    out = QStringView(FWhole.Pool.data() + (name ? e.NameOff : e.IngredientsOff),
                                      len);
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
// runs over the end of its cell counts for none, nor does one in a cell of load -1
// (a text read whole elsewhere, kept in the run so that the run goes on).
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
            if (size_t(at) + m <= cellEnd && FCells[c].Load >= 0) {
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

const TWholeTexts& TADOQuery::Impl::WholeTexts() {
    // Read again only when the book changed: by this connection, another, or rows.
    const qint64 changes = sqlite3_total_changes64(Db());
    const qint64 version = Q.FConnection->DataVersion();
    if (Whole.Changes == changes && Whole.Version == version && Whole.Rows == RowIds.size()) {
        return Whole;
    }
    TWholeTexts whole;
    whole.Changes = changes;
    whole.Version = version;
    whole.Rows = RowIds.size();
    whole.NameCol = int(ColumnNames.indexOf(QStringLiteral("菜名")));
    whole.IngredientsCol = int(ColumnNames.indexOf(QStringLiteral("原料")));
    const QByteArray exists = QStringLiteral("select count(*) from sqlite_master where type = "
                                             "'table' and name = '%1'")
                                  .arg(QLatin1String(WholeTextsTable))
                                  .toUtf8();
    if (TableName.compare(QStringLiteral("mycook"), Qt::CaseInsensitive) != 0 ||
        whole.NameCol < 0 || whole.IngredientsCol < 0 || ReadNumberOr(Db(), exists, 0) <= 0) {
        Whole = std::move(whole);
        return Whole;
    }
    // Only texts that still belong to their row: the row's columns are what the
    // whole texts were cut to, compared in the cache. What they were cut to lies in
    // mycook_recipe, whose rows (the whole recipe) are long and cover the book's
    // recipes: it is read only for whole texts that are new since the last reading.
    TStmt holder, oneHolder;
    // The first reading joins the two tables in one pass.
    const bool first = Whole.Cuts.empty();
    sqlite3_stmt* s =
        Prepare(first ? QStringLiteral("select w.recipe, w.name, w.ingredients, e.name_column,"
                                       " e.ingredients_column from %1 w join mycook_recipe e on"
                                       " e.recipe = w.recipe order by w.recipe")
                            .arg(QLatin1String(WholeTextsTable))
                      : QStringLiteral("select recipe, name, ingredients from %1 order by recipe")
                            .arg(QLatin1String(WholeTextsTable)),
                holder);
    sqlite3_stmt* cutTo = nullptr;
    auto text = [](sqlite3_stmt* st, int i) {
        if (sqlite3_column_type(st, i) == SQLITE_NULL) {
            return QString();
        }
        return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_column_text16(st, i)),
                                  sqlite3_column_bytes16(st, i) / 2);
    };
    TCacheRow row(*this);
    QString scratch;
    // Whether the row's column holds the text.
    auto holds = [&](int col, const QString& cut) {
        QStringView cell;
        return !cut.isNull() && row.Text(col, cell, scratch) && cell == cut;
    };
    std::vector<std::pair<QString, QString>> found;
    std::vector<int32_t> foundAt(RowIds.size(), -1);
    std::vector<TWholeTexts::TCut> cuts;
    auto before = Whole.Cuts.cbegin();
    int rc;
    auto at = RowIds.begin();
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        TWholeTexts::TCut c;
        c.RowId = sqlite3_column_int64(s, 0);
        c.Name = text(s, 1);
        c.Ingredients = text(s, 2);
        while (before != Whole.Cuts.cend() && before->RowId < c.RowId) {
            ++before;
        }
        if (first) {
            c.NameColumn = text(s, 3);
            c.IngredientsColumn = text(s, 4);
        } else if (before != Whole.Cuts.cend() && before->RowId == c.RowId &&
                   before->Name == c.Name && before->Ingredients == c.Ingredients &&
                   before->Name.isNull() == c.Name.isNull() &&
                   before->Ingredients.isNull() == c.Ingredients.isNull()) {
            c.NameColumn = before->NameColumn;
            c.IngredientsColumn = before->IngredientsColumn;
        } else {
            if (!cutTo) {
                cutTo = Prepare(QStringLiteral("select name_column, ingredients_column from"
                                               " mycook_recipe where recipe = ?"),
                                oneHolder);
            }
            sqlite3_bind_int64(cutTo, 1, c.RowId);
            const int one = sqlite3_step(cutTo);
            if (one == SQLITE_ROW) {
                c.NameColumn = text(cutTo, 0);
                c.IngredientsColumn = text(cutTo, 1);
            } else if (one != SQLITE_DONE) {
                EngineError();
            }
            sqlite3_reset(cutTo);
        }
        cuts.push_back(c);
        at = std::lower_bound(at, RowIds.end(), c.RowId);
        if (at == RowIds.end() || *at != c.RowId) {
            continue;
        }
        row.Row = int32_t(at - RowIds.begin());
        if (!holds(whole.NameCol, c.NameColumn)) {
            continue;
        }
        foundAt[size_t(row.Row)] = int32_t(found.size());
        found.emplace_back(c.Name, holds(whole.IngredientsCol, c.IngredientsColumn) ? c.Ingredients
                                                                                    : QString());
    }
    whole.Cuts = std::move(cuts);
    if (rc != SQLITE_DONE) {
        EngineError();
    }
    if (!found.empty()) {
        whole.Index.assign(RowIds.size(), -1);
        whole.ByLoad.assign(PoolOrder.size(), -1);
        auto put = [&](const QString& text, qint32& off, qint32& len) {
            if (text.isNull()) {
                return;
            }
            off = qint32(whole.Pool.size());
            len = qint32(text.size());
            whole.Pool.append(reinterpret_cast<const char16_t*>(text.utf16()), size_t(len));
        };
        for (size_t load = 0; load < PoolOrder.size(); ++load) {
            const int32_t row = PoolOrder[load];
            const int32_t f = foundAt[size_t(row)];
            if (f < 0) {
                continue;
            }
            TWholeTexts::TEntry e;
            put(found[size_t(f)].first, e.NameOff, e.NameLen);
            put(found[size_t(f)].second, e.IngredientsOff, e.IngredientsLen);
            whole.Index[size_t(row)] = whole.ByLoad[load] = int32_t(whole.Entries.size());
            whole.Entries.push_back(e);
        }
    }
    Whole = std::move(whole);
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
    const TWholeTexts& whole = WholeTexts();
    const TWholeRow<TCacheRow> wholeCacheRow(cacheRow, cacheRow.Load, whole.ByLoad, whole);
    const TFilterRow& cached =
        whole.Index.empty() ? static_cast<const TFilterRow&>(cacheRow) : wholeCacheRow;
    const std::optional<TContainsSearch> search = expr->AsContainsSearch();
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

void TADOQuery::Impl::SearchRuns(const TContainsSearch& search, const TWholeTexts& whole,
                                 const std::function<bool(int32_t load)>& matchesRow,
                                 std::vector<int32_t>& rows) {
    std::vector<char> hit(PoolOrder.size(), 0);
    std::vector<int32_t> others; // rows with a text too long for the cache
    {
        TRunSearch cut(search.Literal, hit), wholeRuns(search.Literal, hit);
        const bool anyWhole = !whole.ByLoad.empty();
        for (size_t load = 0; load < PoolOrder.size(); ++load) {
            const int32_t w = anyWhole ? whole.ByLoad[load] : -1;
            for (const int col : search.Columns) {
                if (w >= 0 && (col == whole.NameCol || col == whole.IngredientsCol)) {
                    const TWholeTexts::TEntry& e = whole.Entries[size_t(w)];
                    const bool name = col == whole.NameCol;
                    const qint32 len = name ? e.NameLen : e.IngredientsLen;
                    if (len >= 0) {
                        if (len > 0) {
                            wholeRuns.Add(whole.Pool.data() + (name ? e.NameOff : e.IngredientsOff),
                                          quint32(len), int32_t(load));
                        }
                        const TSpan& s = CellAt(int32_t(load), Columns[size_t(col)].Slot);
                        if (s.Len != NullLen && s.Len != UncachedLen && s.Len != 0) {
                            cut.Add(Chunks[s.Chunk].get() + s.Off, s.Len, -1);
                        }
                        continue;
                    }
                }
                const TSpan& s = CellAt(int32_t(load), Columns[size_t(col)].Slot);
                if (s.Len == UncachedLen) {
                    others.push_back(int32_t(load));
                    break;
                }
                if (s.Len != NullLen && s.Len != 0) {
                    cut.Add(Chunks[s.Chunk].get() + s.Off, s.Len, int32_t(load));
                }
            }
        }
        cut.Flush();
        wholeRuns.Flush();
    }
    for (const int32_t load : others) {
        if (!hit[size_t(load)] && matchesRow(load)) {
            hit[size_t(load)] = 1;
        }
    }
    for (size_t load = 0; load < hit.size(); ++load) {
        if (hit[load]) {
            rows.push_back(PoolOrder[load]);
        }
    }
    std::sort(rows.begin(), rows.end());
}

void TADOQuery::Impl::RebuildViewPos() {
    ViewPos.assign(RowIds.size(), -1);
    for (size_t p = 0; p < View.size(); ++p) {
        ViewPos[size_t(View[p])] = int32_t(p);
    }
}
