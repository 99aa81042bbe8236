#pragma once
// The whole names and ingredients a keyword filter on mycook matches where 菜名 and
// 原料 hold them cut (private to db/; the table is written by lib/recipe). Kept
// across searches: a write of this connection reads again only the rows it touched,
// and a reading of every row runs on a thread of its own when it can.

#include "SqliteSupport.h"

#include <QString>
#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <vector>

struct TRowCache;

// Rows noted for a second reading before one reading of all is the cheaper.
inline constexpr size_t MaxDirtyWholeRows = size_t(1) << 20;

// One row of the whole texts' table with what mycook_recipe says its texts were cut to.
struct TWholeEntry {
    qint64 RowId = -1;
    QString Name, Ingredients;             // null: the column holds it whole
    QString NameColumn, IngredientsColumn; // what the columns held when it was cut
    // How many leading characters column and whole text share: a find that lies in
    // them is found in the column already.
    qint32 NameSame = 0, IngredientsSame = 0;
    // Set from the rows: the row's load slot while its 菜名 is what the name was cut
    // to (-1: the entry does not count), and whether the whole ingredients count too.
    int32_t Load = -1;
    bool UseIngredients = false;
};

// Reads the entries of rows [from, to] (all: from = INT64_MIN, to = INT64_MAX) in
// row order, appended to `out`, at most `limit` rows; false when the engine fails
// or `cancel` is set.
bool ReadWholeEntries(sqlite3* db, qint64 from, qint64 to, size_t limit,
                      std::vector<TWholeEntry>& out, const std::atomic<bool>* cancel = nullptr);
bool HasWholeTextsTable(sqlite3* db);

// Every entry read on a thread with a connection of its own, in pieces, so that a
// write of the window waits for one piece at most.
class TWholeReading {
public:
    TWholeReading() = default;
    TWholeReading(TWholeReading&& other) noexcept = default;
    TWholeReading& operator=(TWholeReading&& other) noexcept;
    ~TWholeReading() { Stop(); }
    // Once `after` is ready (when given): one reading thread at a time beside the
    // window's, which shares the processors with it.
    void Start(const QByteArray& bookPath, std::shared_future<void> after = {});
    bool Running() const { return FResult.valid(); }
    // The entries when the reading is done; none when it failed or is still under way
    // (it is then given up).
    std::optional<std::vector<TWholeEntry>> Take();
    void Stop();

private:
    std::future<std::optional<std::vector<TWholeEntry>>> FResult;
    std::shared_ptr<std::atomic<bool>> FCancel;
};

struct TWholeTexts {
    int NameCol = -1;
    int IngredientsCol = -1;
    std::vector<TWholeEntry> Entries; // every row of the table, ascending
    std::vector<int32_t> Index;       // by row: the counting entry, -1 for none; empty: none count
    std::vector<int32_t> ByLoad;      // the same by load slot
    std::u16string PastSame;          // sorted: what columns hold past what they share
    // The counting entries' whole texts in load order, back to back, for the search's
    // one pass: each from `LaidBack` characters before the end of what the column
    // shares with it. A length of -1: the column holds it, or the whole does not count.
    // Offsets rise with the parts, so a find in Pool is mapped to its part by them.
    struct TPart {
        int32_t Load;
        qint32 NameOff, NameLen;
        qint32 IngredientsOff, IngredientsLen;
    };
    std::vector<TPart> Parts;
    std::u16string Pool;
    bool Laid = false;
    qint32 LaidBack = 0;
    bool Read = false;   // Entries hold the book's table
    bool Table = false;  // the book has the table
    bool Mapped = false; // Load, Index and ByLoad follow the rows of `Layout`
    quint64 Layout = 0;
    // What they were read at: the connection's total changes and the hooks' count of
    // them (equal steps: every change was a hooked row), others' changes.
    qint64 Changes = -1;
    qint64 Hooked = -1;
    qint64 Version = -1;
    std::vector<qint64> Dirty; // rows written since, by this connection
    TWholeReading Reading;     // the entries being read, when Read is false

    // Replaces the entries of the dirty rows with what the book holds now.
    // False when the engine fails.
    bool Update(sqlite3* db);
    // Sets each entry's load slot and whether it counts, from the rows.
    void Map(const TRowCache& rows, int nameSlot, int ingredientsSlot);
    // Lays Parts and Pool out for keywords of up to back + 1 characters.
    void Lay(qint32 back);
};
