#include "WholeTexts.h"

#include "ADODB.h"

#include <sqlite3.h>
#include <string>

namespace {
// As the keyword search reads them (db/RecordFilter): a whole text counts while the
// row's columns are what it was cut to.
const std::string Select =
    "select w.recipe, case when e.name_column = m.菜名 then w.name end,"
    " case when e.name_column = m.菜名 and e.ingredients_column = m.原料 then w.ingredients end"
    " from mycook_whole w join mycook_recipe e on e.recipe = w.recipe"
    " join mycook m on m.rowid = w.recipe";
const std::string AllSql = Select + " order by w.recipe";
const std::string OneSql = Select + " where w.recipe = ?";

QString Text(sqlite3_stmt* s, int i) {
    if (sqlite3_column_type(s, i) == SQLITE_NULL)
        return {};
    return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_column_text16(s, i)),
                              sqlite3_column_bytes16(s, i) / 2);
}

// False when the book has no such table or the engine fails.
bool Read(sqlite3* db, qint64 rowId, std::vector<TWholeText>& out) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, (rowId < 0 ? AllSql : OneSql).c_str(), -1, &s, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(s);
        return false;
    }
    if (rowId >= 0)
        sqlite3_bind_int64(s, 1, rowId);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        TWholeText w{sqlite3_column_int64(s, 0), Text(s, 1), Text(s, 2)};
        if (!w.Name.isNull() || !w.Ingredients.isNull())
            out.push_back(std::move(w));
    }
    sqlite3_finalize(s);
    return rc == SQLITE_DONE;
}

bool HasWholeTable(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "select count(*) from sqlite_master where type = 'table' and"
                       " name in ('mycook_whole', 'mycook_recipe', 'mycook')",
                       -1, &s, nullptr);
    const bool has = s && sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == 3;
    sqlite3_finalize(s);
    return has;
}
} // namespace

std::vector<TWholeText> ReadWholeTexts(TADOConnection& connection, qint64 rowId) {
    std::vector<TWholeText> out;
    sqlite3* db = connection.Handle();
    if (!db || !HasWholeTable(db))
        return out;
    if (!Read(db, rowId, out))
        connection.RaiseEngineError();
    return out;
}

std::vector<TWholeText> ReadWholeTexts(const QString& bookPath) {
    std::vector<TWholeText> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(bookPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        if (HasWholeTable(db) && !Read(db, -1, out))
            out.clear();
    }
    sqlite3_close(db);
    return out;
}
