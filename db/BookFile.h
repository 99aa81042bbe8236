#pragma once
// The book as a file (private to db/): whether a file is one of our books, making an
// empty one, and the indexes later versions add to it.

#include "ColumnTypes.h"

#include <QString>
#include <vector>

struct sqlite3;

// Marks a book as ours so that connecting can refuse anyone else's SQLite file.
inline constexpr int BookApplicationId = 0x4D434B42;
// A second copy of the program waits this long for the other's write.
inline constexpr int BusyTimeoutMs = 5000;

QString NotOursText(const QString& path);
[[noreturn]] void RaiseOpenError(const QString& path, sqlite3* db, int rc);

// Raises when the file at `path` is not one of our books; never changes the file.
void CheckOurBook(const QString& path);

// The covering index of the cached columns on our own books (and the counting
// index beside it); its quoted name, or "" when the book goes without.
QString EnsureCacheIndex(sqlite3* db, const QString& tableName, const QString& table,
                         const std::vector<TColumn>& columns, bool damaged);
