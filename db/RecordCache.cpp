#include "RecordCache.h"

#include <QHash>
#include <algorithm>

bool TRowCache::ReadRows(sqlite3_stmt* s, int stride, int& rc, const std::atomic<bool>* cancel) {
    Stride = stride;
    Hashes.assign(size_t(stride), THash{});
    size_t read = 0;
    if (!AppendRows(s, rc, cancel, SIZE_MAX, read)) {
        return false;
    }
    FinishRows();
    return true;
}

bool TRowCache::AppendRows(sqlite3_stmt* s, int& rc, const std::atomic<bool>* cancel, size_t limit,
                           size_t& read) {
    read = 0;
    while (read < limit && (rc = sqlite3_step(s)) == SQLITE_ROW) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            return false;
        }
        if (RowIds.size() >= size_t(INT32_MAX) - 1) {
            Raise(QStringLiteral("表中的记录太多。"));
        }
        RowIds.push_back(sqlite3_column_int64(s, 0));
        for (int k = 0; k < Stride; ++k) {
            Cells.push_back(ReadCell(s, k + 1));
        }
        ++read;
    }
    return read == limit || rc == SQLITE_DONE;
}

namespace {
// Room for the session's saves, made here on the reading's thread: at their exact
// size the first save after the reading copied every array of a million rows whole
// on the window's thread.
size_t WithRoom(size_t size) {
    return size + size / 32 + 8;
}
} // namespace

void TRowCache::FinishRows() {
    Layout = NewRowsLayout();
    // Rows may come in index order; they are numbered in row order.
    std::vector<int32_t> order(RowIds.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = int32_t(i);
    }
    if (!std::is_sorted(RowIds.begin(), RowIds.end())) {
        std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
            return RowIds[size_t(a)] != RowIds[size_t(b)] ? RowIds[size_t(a)] < RowIds[size_t(b)]
                                                          : a < b;
        });
    }
    std::vector<char> keep;
    for (size_t i = 1; i < order.size(); ++i) {
        if (RowIds[size_t(order[i])] == RowIds[size_t(order[i - 1])]) {
            keep.resize(order.size(), 1);
            keep[size_t(order[i - 1])] = 0;
        }
    }
    if (!keep.empty()) {
        size_t to = 0;
        for (size_t load = 0; load < keep.size(); ++load) {
            if (!keep[load]) {
                continue;
            }
            RowIds[to] = RowIds[load];
            std::copy_n(Cells.begin() + ptrdiff_t(load) * Stride, Stride,
                        Cells.begin() + ptrdiff_t(to) * Stride);
            ++to;
        }
        RowIds.resize(to);
        Cells.resize(to * size_t(Stride));
        FinishRows();
        return;
    }
    if (!std::is_sorted(RowIds.begin(), RowIds.end())) {
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
    LayOutInRowOrder();
}

// Rows read in the cache index's order have their texts scattered in row order: a
// walk of the rows in their order (listing every name) then misses the processor's
// caches at each row, 150 ms at a million rows. Copied once where the rows are read,
// into row order and column by column, listing every name reads the names alone in
// sequence (16 ms at a million), and the keyword search reads each column as one run.
// Rows read in their order are laid out too: their columns lie side by side.
void TRowCache::LayOutInRowOrder() {
    TRowCache laid;
    laid.Cells.reserve(WithRoom(Cells.size()));
    laid.Cells.resize(Cells.size());
    for (size_t k = 0; k < size_t(Stride); ++k) {
        for (size_t row = 0; row < LoadOfRow.size(); ++row) {
            const size_t load = size_t(LoadOfRow[row]);
            const TSpan& from = Cells[load * size_t(Stride) + k];
            TSpan& to = laid.Cells[row * size_t(Stride) + k];
            if (from.Len == 0 || from.Len >= UncachedLen) {
                to = from;
                if (!laid.Chunks.empty()) { // where it lies among the texts: runs go on
                    to.Chunk = quint32(laid.Chunks.size() - 1);
                    to.Off = quint32(laid.ChunkUsed);
                }
            } else {
                const QStringView text = SpanText(from);
                to = laid.AddText(reinterpret_cast<const char16_t*>(text.utf16()),
                                  size_t(text.size()));
            }
        }
    }
    Cells.swap(laid.Cells);
    Chunks.swap(laid.Chunks);
    ChunkUsed = laid.ChunkUsed;
    for (size_t i = 0; i < LoadOfRow.size(); ++i) {
        LoadOfRow[i] = int32_t(i);
        PoolOrder[i] = int32_t(i);
    }
    RowIds.reserve(WithRoom(RowIds.size()));
    LoadOfRow.reserve(WithRoom(LoadOfRow.size()));
    PoolOrder.reserve(WithRoom(PoolOrder.size()));
}

const TRowCache::TColumnRuns& TRowCache::RunsOf(int slot) {
    if (ColumnRuns.size() != size_t(Stride)) {
        ColumnRuns.assign(size_t(Stride), TColumnRuns{});
    }
    TColumnRuns& c = ColumnRuns[size_t(slot)];
    if (c.Layout == Layout) {
        return c;
    }
    c.Layout = Layout;
    c.Runs.clear();
    c.Uncached.clear();
    const auto loads = int32_t(Cells.size() / size_t(Stride));
    bool open = false;
    TColumnRuns::TRun run;
    for (int32_t load = 0; load < loads; ++load) {
        const TSpan& s = CellAt(load, slot);
        if (s.Len == UncachedLen) {
            c.Uncached.push_back(load);
        }
        const bool text = s.Len != 0 && s.Len < UncachedLen;
        if (open && s.Chunk == run.Chunk && s.Off == run.End) {
            run.End += text ? s.Len : 0;
            continue;
        }
        // Elsewhere (a row read again, or added): the run ends before it.
        if (open) {
            run.To = load;
            c.Runs.push_back(run);
            open = false;
        }
        if (text) {
            run = {load, 0, s.Chunk, s.Off + s.Len};
            open = true;
        }
    }
    if (open) {
        run.To = loads;
        c.Runs.push_back(run);
    }
    return c;
}

void TRowCache::BuildHash(int slot) {
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

void TRowCache::HashInsert(int slot, int32_t row) {
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
