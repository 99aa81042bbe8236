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
class TWholeRow : public TFilterRow {
public:
    TWholeRow(const TFilterRow& row, const int32_t& current, const TWholeTexts& whole)
        : FRow(row), FCurrent(current), FWhole(whole) {}
    bool Text(int col, QStringView& out, QString& scratch) const override {
        if (col == FWhole.NameCol || col == FWhole.IngredientsCol) {
            const auto it = FWhole.Rows.find(FCurrent);
            if (it != FWhole.Rows.end()) {
                const QString& whole = col == FWhole.NameCol ? it->second.first : it->second.second;
                if (!whole.isNull()) {
                    out = whole;
                    return true;
                }
            }
        }
        return FRow.Text(col, out, scratch);
    }

private:
    const TFilterRow& FRow;
    const int32_t& FCurrent;
    const TWholeTexts& FWhole;
};

} // namespace

TWholeTexts TADOQuery::Impl::ReadWholeTexts() {
    TWholeTexts whole;
    whole.NameCol = int(ColumnNames.indexOf(QStringLiteral("菜名")));
    whole.IngredientsCol = int(ColumnNames.indexOf(QStringLiteral("原料")));
    if (TableName.compare(QStringLiteral("mycook"), Qt::CaseInsensitive) != 0 ||
        whole.NameCol < 0 || whole.IngredientsCol < 0) {
        return whole;
    }
    const QByteArray exists = QStringLiteral("select count(*) from sqlite_master where type = "
                                             "'table' and name = '%1'")
                                  .arg(QLatin1String(WholeTextsTable))
                                  .toUtf8();
    if (ReadNumberOr(Db(), exists, 0) <= 0) {
        return whole;
    }
    // Only texts that still belong to their row: the row's columns are what the
    // whole texts were cut to.
    TStmt holder;
    sqlite3_stmt* s = Prepare(
        QStringLiteral("select w.recipe, case when e.name_column = m.菜名 then w.name end,"
                       " case when e.name_column = m.菜名 and e.ingredients_column = m.原料"
                       " then w.ingredients end from %1 w join mycook_recipe e on e.recipe ="
                       " w.recipe join %2 m on m.rowid = w.recipe")
            .arg(QLatin1String(WholeTextsTable), Table),
        holder);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const auto at = std::lower_bound(RowIds.begin(), RowIds.end(), sqlite3_column_int64(s, 0));
        if (at == RowIds.end() || *at != sqlite3_column_int64(s, 0)) {
            continue;
        }
        auto text = [&](int i) {
            if (sqlite3_column_type(s, i) == SQLITE_NULL) {
                return QString();
            }
            const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, i));
            return QString::fromUtf16(p, sqlite3_column_bytes16(s, i) / 2);
        };
        whole.Rows[int32_t(at - RowIds.begin())] = {text(1), text(2)};
    }
    if (rc != SQLITE_DONE) {
        EngineError();
    }
    return whole;
}

void TADOQuery::Impl::ApplyFilter(const QString& text) {
    const auto expr = TFilterExpr::Parse(text, ColumnNames);
    if (expr->IsEmpty()) {
        FilterOn = false;
        View = {};
        ViewPos = {};
        Cur = 0;
        return;
    }
    std::vector<int32_t> view;
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
    const TWholeTexts whole = ReadWholeTexts();
    const TWholeRow wholeCacheRow(cacheRow, cacheRow.Row, whole);
    const TFilterRow& cached =
        whole.Rows.empty() ? static_cast<const TFilterRow&>(cacheRow) : wholeCacheRow;
    if (streamCols.isEmpty()) {
        // Walk the texts in memory order, then put the matches in row order.
        for (size_t load = 0; load < PoolOrder.size(); ++load) {
            cacheRow.Row = PoolOrder[load];
            cacheRow.Load = int32_t(load);
            if (expr->Matches(cached)) {
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
            const TWholeRow wholeStreamRow(streamRow, cacheRow.Row, whole);
            if (expr->Matches(whole.Rows.empty() ? static_cast<const TFilterRow&>(streamRow)
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

void TADOQuery::Impl::RebuildViewPos() {
    ViewPos.assign(RowIds.size(), -1);
    for (size_t p = 0; p < View.size(); ++p) {
        ViewPos[size_t(View[p])] = int32_t(p);
    }
}
