#pragma once
// The one place that reads and stores a whole recipe: the designed row through
// the caller's query (as the designed save does it), and the rest in tables of
// our own keyed by that row's identity (see docs/ARCHITECTURE.md, "The recipe's
// extras"). The designed handlers keep working on the row alone.

#include "Recipe.h"

#include <memory>

class TADOConnection;
class TADOQuery;

// The version of our own tables that this program writes (PRAGMA user_version).
inline constexpr int RecipeTablesVersion = 1;

// Whether the book has our own tables yet; never changes the book.
bool HasRecipeTables(TADOConnection& connection);
// Makes or upgrades our own tables in one transaction (a savepoint inside the
// caller's); a book of a later version is left as it is.
void EnsureRecipeTables(TADOConnection& connection);

class TRecipeStore {
public:
    explicit TRecipeStore(TADOConnection& connection);
    ~TRecipeStore();
    TRecipeStore(const TRecipeStore&) = delete;
    TRecipeStore& operator=(const TRecipeStore&) = delete;

    // The whole recipe of a row; raises when the row is not in the book. Extras
    // that no longer match the row (its texts changed by the designed save, or a
    // book copied by another program) give way to what the row holds.
    TRecipe Read(qint64 rowId);

    // A new row through `query` (append, then the cover into it, as the designed
    // save), then its extras; sets RowId. recipe.Columns are stored as they are:
    // ColumnsFor makes them from the whole texts.
    void Append(TADOQuery& query, TRecipe& recipe);
    // Overwrites the query's current row; without a cover the stored one stays.
    // The date added stays; the date changed becomes now.
    void Overwrite(TADOQuery& query, TRecipe& recipe);
    // Makes the query's current row this recipe exactly, as another copy of the
    // book holds it: its cover or none, its own dates (a sync).
    void Replace(TADOQuery& query, TRecipe& recipe);
    // Only the extras of a row whose designed texts were just stored.
    void WriteExtras(qint64 rowId, const TRecipe& recipe);

private:
    // fresh: the row was just added, so the insert trigger left it no extras.
    void WriteExtras(qint64 rowId, const TRecipe& recipe, bool fresh);
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

// The categories the book's recipes carry, most used first; none in a book
// without our tables. Never changes the book.
QStringList RecipeCategories(TADOConnection& connection);
