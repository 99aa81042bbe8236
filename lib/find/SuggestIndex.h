#pragma once
// Suggestions for what is being typed into the keyword box: dish names matched by
// their characters (in either script), by toneless pinyin, initials or a mix of the
// two anywhere in the name; then names whose ingredients hold the characters typed.
// Free of widgets and of the database: the book feeds it recipe by recipe.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct TSuggestion {
    QString Name; // trimmed, as the recipe list shows it
    qint64 RowId = -1;
    bool ByIngredient = false; // matched in the ingredients only
    bool operator==(const TSuggestion&) const = default;
};

// The recipe's current ingredients; the index keeps no copy of them. `scratch`
// may hold the text the returned view points into.
using TIngredientsOf = std::function<QStringView(qint64 rowId, QString& scratch)>;

class TSuggestIndex {
public:
    static constexpr int MaxSuggestions = 10;
    // Longer input is no name being typed (and the matcher keeps its state in 64 bits).
    static constexpr int MaxTypedUnits = 63;

    TSuggestIndex();
    ~TSuggestIndex();
    TSuggestIndex(TSuggestIndex&&) noexcept;
    TSuggestIndex& operator=(TSuggestIndex&&) noexcept;

    // Adds the recipe, or replaces what the index holds for the same identity.
    void Put(qint64 rowId, QStringView name, QStringView ingredients);
    void Remove(qint64 rowId);
    // Between the two, Puts only append; the order is settled once at the end.
    void BeginBulk(qsizetype expected);
    void EndBulk();

    qsizetype Count() const;
    size_t MemoryBytes() const;

    // Best first: names matched at their start, then inside, each shorter first and
    // then in the order recipes were added; then names matched by ingredients.
    std::vector<TSuggestion> Suggest(QStringView typed, const TIngredientsOf& ingredients,
                                     int limit = MaxSuggestions) const;
    // The rows of the names Suggest gives first, for a caller that holds the names.
    std::vector<qint64> SuggestRows(QStringView typed, int limit = MaxSuggestions) const;

    struct TData;

private:
    std::unique_ptr<TData> D;
};

// What a name and a typed text are compared as: characters in their simplified
// form, ASCII letters in lower case, "ü" as "v"; blanks and apostrophes dropped.
char32_t SuggestUnit(char32_t c);
bool IsSkippedInName(char32_t c);
