#include "RecordWholeTexts.h"

#include "ADODB.h"
#include "BookFile.h"
#include "RecordCache.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace {

// Rows of a piece read in one go on the reading thread: a few milliseconds.
constexpr size_t RowsPerPiece = 2000;
constexpr int WaitStepMs = 10;

QString Text(sqlite3_stmt* s, int i) {
    if (sqlite3_column_type(s, i) == SQLITE_NULL) {
        return {};
    }
    return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_column_text16(s, i)),
                              sqlite3_column_bytes16(s, i) / 2);
}

qint32 Same(const QString& column, const QString& whole) {
    const qsizetype n = std::min(column.size(), whole.size());
    qsizetype i = 0;
    while (i < n && column[i] == whole[i]) {
        ++i;
    }
    return qint32(i);
}

// The entries of a range of rows; prepared once for any number of ranges.
class TWholeSelect {
public:
    bool Prepare(sqlite3* db) {
        sqlite3_stmt* s = nullptr;
        const QByteArray sql =
            QStringLiteral("select w.recipe, w.name, w.ingredients, e.name_column,"
                           " e.ingredients_column from %1 w left join mycook_recipe e"
                           " on e.recipe = w.recipe where w.recipe between ?1 and ?2"
                           " order by w.recipe limit ?3")
                .arg(QLatin1String(WholeTextsTable))
                .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
            sqlite3_finalize(s);
            return false;
        }
        FStmt.reset(s);
        return true;
    }
    bool Read(qint64 from, qint64 to, size_t limit, std::vector<TWholeEntry>& out,
              const std::atomic<bool>* cancel) {
        sqlite3_stmt* s = FStmt.get();
        TResetGuard guard{s};
        sqlite3_bind_int64(s, 1, from);
        sqlite3_bind_int64(s, 2, to);
        sqlite3_bind_int64(s, 3, limit == SIZE_MAX ? -1 : qint64(limit));
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                return false;
            }
            TWholeEntry e;
            e.RowId = sqlite3_column_int64(s, 0);
            e.Name = Text(s, 1);
            e.Ingredients = Text(s, 2);
            e.NameColumn = Text(s, 3);
            e.IngredientsColumn = Text(s, 4);
            e.NameSame = Same(e.NameColumn, e.Name);
            e.IngredientsSame = Same(e.IngredientsColumn, e.Ingredients);
            out.push_back(std::move(e));
        }
        return rc == SQLITE_DONE;
    }

private:
    TStmt FStmt;
};

} // namespace

bool HasWholeTextsTable(sqlite3* db) {
    const QByteArray sql = QStringLiteral("select count(*) from sqlite_master where type = 'table'"
                                          " and name in ('%1', 'mycook_recipe')")
                               .arg(QLatin1String(WholeTextsTable))
                               .toUtf8();
    return ReadNumberOr(db, sql, 0) == 2;
}

bool ReadWholeEntries(sqlite3* db, qint64 from, qint64 to, size_t limit,
                      std::vector<TWholeEntry>& out, const std::atomic<bool>* cancel) {
    TWholeSelect select;
    return select.Prepare(db) && select.Read(from, to, limit, out, cancel);
}

TWholeReading& TWholeReading::operator=(TWholeReading&& other) noexcept {
    if (this != &other) {
        Stop();
        FResult = std::move(other.FResult);
        FCancel = std::move(other.FCancel);
    }
    return *this;
}

void TWholeReading::Stop() {
    if (FCancel) {
        *FCancel = true;
    }
    if (FResult.valid()) {
        FResult.wait();
    }
    FResult = {};
    FCancel.reset();
}

void TWholeReading::Start(const QByteArray& bookPath, std::shared_future<void> after) {
    Stop();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    try {
        FResult =
            std::async(std::launch::async,
                       [bookPath, cancel, after]() -> std::optional<std::vector<TWholeEntry>> {
                           YieldToWindow();
                           while (after.valid() && after.wait_for(std::chrono::milliseconds(20)) !=
                                                       std::future_status::ready) {
                               if (*cancel) {
                                   return std::nullopt;
                               }
                           }
                           sqlite3* raw = nullptr;
                           const int opened = sqlite3_open_v2(bookPath.constData(), &raw,
                                                              SQLITE_OPEN_READONLY, nullptr);
                           TDbPtr db(raw);
                           if (opened != SQLITE_OK) {
                               return std::nullopt;
                           }
                           // Waits for another program's write as the book's connection does, but
                           // gives up at once when the reading is no longer wanted.
                           sqlite3_busy_handler(
                               raw,
                               [](void* stop, int count) {
                                   if (static_cast<std::atomic<bool>*>(stop)->load() ||
                                       count * WaitStepMs >= BusyTimeoutMs) {
                                       return 0;
                                   }
                                   sqlite3_sleep(WaitStepMs);
                                   return 1;
                               },
                               cancel.get());
                           std::vector<TWholeEntry> out;
                           if (!HasWholeTextsTable(raw)) {
                               return out;
                           }
                           TWholeSelect select;
                           if (!select.Prepare(raw)) {
                               return std::nullopt;
                           }
                           // Each piece starts after the last row of the one before.
                           qint64 from = std::numeric_limits<qint64>::min();
                           for (;;) {
                               const size_t before = out.size();
                               if (!select.Read(from, std::numeric_limits<qint64>::max(),
                                                RowsPerPiece, out, cancel.get())) {
                                   return std::nullopt;
                               }
                               if (out.size() - before < RowsPerPiece) {
                                   return out;
                               }
                               from = out.back().RowId + 1;
                           }
                       });
        FCancel = std::move(cancel);
    } catch (const std::system_error&) {
        // No thread to be had: the entries are read when the search needs them.
    }
}

std::optional<std::vector<TWholeEntry>> TWholeReading::Take() {
    if (!FResult.valid()) {
        return std::nullopt;
    }
    // Not done yet: its thread gives way to the window's and may wait long on a busy
    // machine, so the caller reads them itself at the window's own priority.
    if (FResult.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        Stop();
        return std::nullopt;
    }
    auto result = FResult.get();
    FResult = {};
    FCancel.reset();
    return result;
}

bool TWholeTexts::Update(sqlite3* db) {
    if (Dirty.empty()) {
        return true;
    }
    std::sort(Dirty.begin(), Dirty.end());
    Dirty.erase(std::unique(Dirty.begin(), Dirty.end()), Dirty.end());
    if (!Table) {
        Table = HasWholeTextsTable(db);
        if (!Table) {
            Dirty.clear();
            return true;
        }
    }
    // Rows written together (an import) lie in runs: one reading a run.
    std::vector<TWholeEntry> fresh;
    TWholeSelect select;
    if (!select.Prepare(db)) {
        return false;
    }
    for (size_t i = 0; i < Dirty.size();) {
        size_t j = i;
        while (j + 1 < Dirty.size() && Dirty[j + 1] == Dirty[j] + 1) {
            ++j;
        }
        if (!select.Read(Dirty[i], Dirty[j], SIZE_MAX, fresh, nullptr)) {
            return false;
        }
        i = j + 1;
    }
    std::vector<TWholeEntry> merged;
    merged.reserve(Entries.size() + fresh.size());
    size_t d = 0, f = 0;
    for (TWholeEntry& e : Entries) {
        while (f < fresh.size() && fresh[f].RowId < e.RowId) {
            merged.push_back(std::move(fresh[f++]));
        }
        while (d < Dirty.size() && Dirty[d] < e.RowId) {
            ++d;
        }
        if (d < Dirty.size() && Dirty[d] == e.RowId) {
            continue; // read again above, if it is still there
        }
        merged.push_back(std::move(e));
    }
    while (f < fresh.size()) {
        merged.push_back(std::move(fresh[f++]));
    }
    Entries = std::move(merged);
    Dirty.clear();
    Mapped = false;
    return true;
}

void TWholeTexts::Map(const TRowCache& rows, int nameSlot, int ingredientsSlot) {
    Layout = rows.Layout;
    Mapped = true;
    PastSame.clear();
    bool any = false;
    auto holds = [&rows](int32_t row, int slot, const QString& cut) {
        const TSpan& s = rows.Cell(row, slot);
        return !cut.isNull() && s.Len < UncachedLen && rows.SpanText(s) == cut;
    };
    auto at = rows.RowIds.begin();
    for (TWholeEntry& e : Entries) {
        e.Load = -1;
        e.UseIngredients = false;
        at = std::lower_bound(at, rows.RowIds.end(), e.RowId);
        if (at == rows.RowIds.end() || *at != e.RowId) {
            continue;
        }
        const auto row = int32_t(at - rows.RowIds.begin());
        if (!holds(row, nameSlot, e.NameColumn)) {
            continue;
        }
        e.Load = rows.LoadOfRow[size_t(row)];
        e.UseIngredients =
            !e.Ingredients.isNull() && holds(row, ingredientsSlot, e.IngredientsColumn);
        any = true;
        if (!e.Name.isNull()) {
            for (qsizetype k = e.NameSame; k < e.NameColumn.size(); ++k) {
                PastSame.push_back(e.NameColumn[k].unicode());
            }
        }
        if (e.UseIngredients) {
            for (qsizetype k = e.IngredientsSame; k < e.IngredientsColumn.size(); ++k) {
                PastSame.push_back(e.IngredientsColumn[k].unicode());
            }
        }
        if (PastSame.size() > 4096) { // keep it a short set
            std::sort(PastSame.begin(), PastSame.end());
            PastSame.erase(std::unique(PastSame.begin(), PastSame.end()), PastSame.end());
        }
    }
    std::sort(PastSame.begin(), PastSame.end());
    PastSame.erase(std::unique(PastSame.begin(), PastSame.end()), PastSame.end());
    Index.clear();
    ByLoad.clear();
    Parts.clear();
    Pool.clear();
    Laid = false;
    if (!any) {
        return;
    }
    Index.assign(rows.RowIds.size(), -1);
    ByLoad.assign(rows.PoolOrder.size(), -1);
    for (size_t i = 0; i < Entries.size(); ++i) {
        const int32_t load = Entries[i].Load;
        if (load >= 0) {
            ByLoad[size_t(load)] = int32_t(i);
            Index[size_t(rows.PoolOrder[size_t(load)])] = int32_t(i);
        }
    }
}

void TWholeTexts::Lay(qint32 back) {
    Parts.clear();
    Pool.clear();
    Laid = true;
    LaidBack = back;
    auto put = [this, back](const QString& text, qint32 same, qint32& off, qint32& len) {
        const qsizetype from = std::max<qsizetype>(0, same - back);
        off = qint32(Pool.size());
        len = qint32(text.size() - from);
        Pool.append(reinterpret_cast<const char16_t*>(text.utf16()) + from, size_t(len));
    };
    for (size_t load = 0; load < ByLoad.size(); ++load) {
        if (ByLoad[load] < 0) {
            continue;
        }
        const TWholeEntry& e = Entries[size_t(ByLoad[load])];
        // An absent text starts where the next would: the offsets only ever rise.
        TPart p{int32_t(load), qint32(Pool.size()), -1, 0, -1};
        if (!e.Name.isNull()) {
            put(e.Name, e.NameSame, p.NameOff, p.NameLen);
        }
        p.IngredientsOff = qint32(Pool.size());
        if (e.UseIngredients) {
            put(e.Ingredients, e.IngredientsSame, p.IngredientsOff, p.IngredientsLen);
        }
        Parts.push_back(p);
    }
}
