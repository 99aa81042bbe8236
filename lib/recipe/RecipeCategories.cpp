#include "RecipeCategories.h"

#include "ADODB.h"
#include "RecipeStore.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <memory>
#include <sqlite3.h>

namespace {
struct TFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TFinalize>;

// The triggers of our tables drop a deleted row's extras, so the labels are read
// alone: joining every label to its row would read the whole book (100,000 rows in
// over a second) for a row another program renamed in place.
sqlite3_stmt* Prepare(TADOConnection& connection, const QByteArray& sql, TStatement& holder) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(connection.Handle(), sql.constData(), int(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        connection.RaiseEngineError();
    }
    holder.reset(raw);
    return raw;
}

std::vector<qint64> Rows(TADOConnection& connection, sqlite3_stmt* s) {
    std::vector<qint64> rows;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        rows.push_back(sqlite3_column_int64(s, 0));
    if (rc != SQLITE_DONE)
        connection.RaiseEngineError();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool Ready(TADOConnection& connection) {
    if (!connection.Connected())
        connection.SetConnected(true);
    return HasRecipeTables(connection);
}
} // namespace

std::vector<TCategoryCount> CategoryCounts(TADOConnection& connection) {
    if (!Ready(connection))
        return {};
    TStatement holder;
    sqlite3_stmt* s = Prepare(
        connection, "select text, count(*) from mycook_label where kind = 0 group by text", holder);
    std::vector<TCategoryCount> counts;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, 0));
        const QString name =
            p ? QString::fromUtf16(p, sqlite3_column_bytes16(s, 0) / 2) : QString();
        if (!name.trimmed().isEmpty())
            counts.push_back({name, sqlite3_column_int(s, 1)});
    }
    if (rc != SQLITE_DONE)
        connection.RaiseEngineError();
    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    std::sort(counts.begin(), counts.end(), [&](const auto& a, const auto& b) {
        const int c = collator.compare(a.Name, b.Name);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
    return counts;
}

std::vector<qint64> CategoryRows(TADOConnection& connection, const QString& category) {
    if (!Ready(connection))
        return {};
    TStatement holder;
    sqlite3_stmt* s =
        Prepare(connection, "select recipe from mycook_label where kind = 0 and text = ?", holder);
    sqlite3_bind_text16(s, 1, category.utf16(), int(category.size() * 2), SQLITE_TRANSIENT);
    return Rows(connection, s);
}

std::vector<qint64> FavouriteRows(TADOConnection& connection) {
    if (!Ready(connection))
        return {};
    TStatement holder;
    sqlite3_stmt* s =
        Prepare(connection, "select recipe from mycook_recipe where favourite <> 0", holder);
    return Rows(connection, s);
}
