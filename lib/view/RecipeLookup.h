#pragma once
// Turns an entry of the recipe list back into a record. The list shows names
// trimmed, so a stored name with edge blanks, or a name stored twice, lists as
// text that an exact look-up cannot tell apart.

#include "ListItems.h"

class TADOQuery;

// Positions the query on the recipe that list entry `index` shows: the exact
// look-up when the entry's text is listed once and found so; otherwise the n-th
// recipe of the current view whose trimmed name equals the text, for the n-th
// entry of that text. False when there is none.
bool LocateListedRecipe(TADOQuery& query, const TListItems& listedNames, int index);
