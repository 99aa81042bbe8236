#pragma once
// Removing a listed recipe from the book.

#include "ListItems.h"

class TADOQuery;

// Removes the recipe that list entry `index` shows (the view's own look-up, under
// the query's filter) in one transaction. Answers the removed row's identity, or
// -1 when the entry shows no recipe. A failure raises and leaves the book as it was.
qint64 DeleteListedRecipe(TADOQuery& query, const TListItems& listedNames, int index);
