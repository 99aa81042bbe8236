#include "RecipeLookup.h"

#include "ADODB.h"
#include "Controls.h"

namespace {
const QString NameColumn = QStringLiteral("菜名");
}

bool LocateListedRecipe(TADOQuery& query, const QStringList& listedNames, int index) {
    if (index < 0 || index >= listedNames.size())
        return false;
    const QString& text = listedNames.at(index);
    int before = 0; // entries of the same text above this one
    int same = 0;
    for (int i = 0; i < listedNames.size(); ++i) {
        if (listedNames.at(i) == text) {
            ++same;
            if (i < index)
                ++before;
        }
    }
    if (same == 1 && query.Locate(NameColumn, text))
        return true;
    // The list was filled by walking the view in its order, so the n-th entry of
    // a text is the n-th recipe of the view that lists as that text.
    TField& name = query.FieldByName(NameColumn);
    int seen = 0;
    for (query.First(); !query.Eof(); query.Next()) {
        if (TrimText(name.AsString()) == text && seen++ == before)
            return true;
    }
    return false;
}
