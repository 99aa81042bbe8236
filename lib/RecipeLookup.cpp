#include "RecipeLookup.h"

#include "ADODB.h"

bool LocateListedRecipe(TADOQuery& query, const QStringList& listedNames, int index) {
    if (index < 0 || index >= listedNames.size())
        return false;
    return query.Locate(QStringLiteral("菜名"), listedNames.at(index));
}
