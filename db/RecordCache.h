#pragma once
// The rows a query holds in memory (private to db/): identities and the short
// leading text columns, and a look-up index by each cached column's text.

#include "SqliteSupport.h"

#include <QString>
#include <QStringView>
#include <atomic>
#include <memory>
#include <vector>

// Values longer than this stay on disk even in cached columns.
inline constexpr quint32 MaxCachedChars = 4096;
inline constexpr size_t ChunkChars = size_t(1) << 20;
inline constexpr quint32 NullLen = 0xFFFFFFFFu;
inline constexpr quint32 UncachedLen = 0xFFFFFFFEu;

// A fresh number for each layout of a cache's rows (read, or a row added, removed
// or read again), so what is built over the rows knows when to follow them.
inline quint64 NewRowsLayout() {
    static std::atomic<quint64> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

struct TSpan {
    quint32 Chunk = 0;
    quint32 Off = 0;
    quint32 Len = NullLen;
};

// The rows held in memory: identities in row order and the short leading text
// columns, stored in large UTF-16 chunks (no allocation per value). Read on any
// connection, so a thread of its own can fill one while the window starts.
struct TRowCache {
    int Stride = 0; // cached columns per row
    quint64 Layout = NewRowsLayout();
    std::vector<qint64> RowIds;
    // Spans are kept in the order the rows were read; once all are read, that order is
    // row order and the texts lie column by column (LayOutInRowOrder), so a filter
    // pass over one column runs through memory sequentially. Rows added later follow.
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
    // The same in pieces: rows appended as `s` yields them (at most `limit`), their
    // count in `read`; then FinishRows once all are in.
    bool AppendRows(sqlite3_stmt* s, int& rc, const std::atomic<bool>* cancel, size_t limit,
                    size_t& read);
    // Numbers the rows in row order; a row read twice (read in pieces, it moved
    // meanwhile) keeps its later reading.
    void FinishRows();
    void LayOutInRowOrder(); // the texts in memory in row order, column by column

    // Where one column's texts lie back to back in memory: runs of load slots whose
    // texts follow one another in one chunk, each cell's Off where its text starts
    // (an empty cell's too), so a search reads a run as one text and finds a find's
    // cell by the offsets, with no work per cell.
    struct TColumnRuns {
        struct TRun {
            int32_t From = 0, To = 0; // load slots [From, To)
            quint32 Chunk = 0, End = 0;
        };
        quint64 Layout = 0;
        std::vector<TRun> Runs;
        std::vector<int32_t> Uncached; // load slots whose text stays on disk
    };
    // Built once for each layout of the rows.
    const TColumnRuns& RunsOf(int slot);

    TSpan& CellAt(int32_t load, int slot) { return Cells[size_t(load) * Stride + slot]; }
    const TSpan& CellAt(int32_t load, int slot) const {
        return Cells[size_t(load) * Stride + slot];
    }
    const TSpan& Cell(int32_t row, int slot) const { return CellAt(LoadOfRow[size_t(row)], slot); }

    // Open-addressed look-up of rows by a cached column's text, one per column; an
    // invalid one is rebuilt when next needed.
    struct THash {
        std::vector<int32_t> Slots;
        size_t Count = 0;
        bool Valid = false;
    };
    std::vector<THash> Hashes;
    std::vector<TColumnRuns> ColumnRuns; // by slot
    void BuildHash(int slot);
    void HashInsert(int slot, int32_t row);
};
