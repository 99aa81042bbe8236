#pragma once
// What the browse page narrows the list by: the book's categories with their
// counts, and the rows of a category or of the favourites. Reads only; a book
// without our tables has none of either.

#include <QString>
#include <vector>

class TADOConnection;

struct TCategoryCount {
    QString Name;
    int Count = 0;
    bool operator==(const TCategoryCount&) const = default;
};

// Every category with how many recipes carry it, by name (in the locale's order).
std::vector<TCategoryCount> CategoryCounts(TADOConnection& connection);
// The recipes (row identities, ascending) carrying the category.
std::vector<qint64> CategoryRows(TADOConnection& connection, const QString& category);
// The recipes marked as favourites, ascending.
std::vector<qint64> FavouriteRows(TADOConnection& connection);
