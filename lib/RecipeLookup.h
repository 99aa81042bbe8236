#pragma once
// Turning a listed dish name back into a record of the book.

#include <QStringList>

class TADOQuery;

// Positions the query on the recipe that list entry `index` shows; false when none.
bool LocateListedRecipe(TADOQuery& query, const QStringList& listedNames, int index);
