#pragma once
// Filtering the query's rows (private to db/): the rows as the filter language's
// evaluation sees them, read from the cache or, for other columns, from the table.

#include "ADOFilter.h"
#include "QueryImpl.h"

// Rows of the cache, for filters that read cached columns only.
class TCacheRow : public TFilterRow {
public:
    TCacheRow(TADOQuery::Impl& impl) : I(impl) {}
    int32_t Row = 0;
    int32_t Load = -1; // the row's load slot when known
    bool Text(int col, QStringView& out, QString& scratch) const override {
        const int slot = I.Columns[size_t(col)].Slot;
        if (slot >= 0) {
            const TSpan& s = Load >= 0 ? I.CellAt(Load, slot) : I.Cell(Row, slot);
            if (s.Len == NullLen) {
                return false;
            }
            if (s.Len != UncachedLen) {
                out = I.SpanText(s);
                return true;
            }
        }
        const QVariant v = I.FetchValue(I.RowIds[size_t(Row)], col);
        if (ValueIsNull(v)) {
            return false;
        }
        scratch = ValueText(v);
        out = scratch;
        return true;
    }

private:
    TADOQuery::Impl& I;
};
