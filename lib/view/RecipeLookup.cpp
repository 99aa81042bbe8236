#include "RecipeLookup.h"

#include "ADODB.h"
#include "Controls.h"

namespace {
const QString NameColumn = QStringLiteral("菜名");
}

bool LocateListedRecipe(TADOQuery& query, const TListItems& listedNames, int index) {
    if (index < 0 || index >= listedNames.Count())
        return false;
    const QStringView text = listedNames.At(index);
    int before = 0; // entries of the same text above this one
    int same = 0;
    for (qsizetype i = 0; i < listedNames.Count(); ++i) {
        if (listedNames.At(i) == text) {
            ++same;
            if (i < index)
                ++before;
        }
    }
    if (same == 1 && query.Locate(NameColumn, text.toString()))
        return true;
    // The list was filled by walking the view in its order, so the n-th entry of
    // a text is the n-th recipe of the view that lists as that text.
    query.First(); // the book's changes by others are read first, as a walk does
    qint64 found = -1;
    int seen = 0;
    query.ForEachInView(NameColumn, [&](qint64 rowId, QStringView name) {
        if (found < 0 && TrimmedView(name) == text && seen++ == before)
            found = rowId;
    });
    return found >= 0 && query.LocateRowId(found);
}
