#pragma once
// The record set's filter language: terms such as  菜名 like  '%鱼%',  原料 = 'x',
// 价格 >= 12, joined by "and"/"or" with parentheses. Parsed once, then evaluated
// per row against whatever source holds the row's text.

#include "SysUtils.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// Gives the filter the text of one column of the row being tested.
class TFilterRow {
public:
    virtual ~TFilterRow() = default;
    // False when the value is NULL; otherwise `out` views the text (it may view `scratch`).
    virtual bool Text(int column, QStringView& out, QString& scratch) const = 0;
};

// A compiled like-pattern: "%" and "*" match any run, "_" and "?" one character,
// "[x]" the one character x (so "[%]" is a percent sign); ASCII letters compare
// without regard to case, everything else exactly.
class TLikePattern {
public:
    explicit TLikePattern(QStringView pattern);
    bool Matches(QStringView text) const;
    // "%text%" with some text: the folded literal; empty otherwise.
    std::u16string_view ContainedLiteral() const;

private:
    enum class TShape { General, Contains, Prefix, Suffix, Exact };
    TShape FShape = TShape::General;
    std::u16string FLiteral;   // folded literal of the simple shapes
    std::u16string FPattern;   // folded pattern for the general matcher
    std::vector<char> FIsWild; // per pattern unit: 0 literal, 1 any-one, 2 any-run
};

// The first place at or after `from` where the folded literal stands in the text,
// ASCII letters of the text taken in lower case; -1 when it stands nowhere.
qsizetype FindFolded(const char16_t* text, size_t length, size_t from, std::u16string_view literal);

// A filter made only of "column like '%text%'" terms joined by "or", every term
// with the same text: what a keyword search is. Such a filter can be answered by
// searching the columns' texts as long runs instead of row by row.
struct TContainsSearch {
    std::vector<int> Columns; // ascending, each once
    std::u16string Literal;   // folded, never empty
};

class TFilterExpr {
public:
    // Raises EDatabaseError ("Invalid filter: ...") naming the problem. Column names
    // are matched without regard to ASCII case. Blank text gives an empty filter.
    static std::unique_ptr<TFilterExpr> Parse(const QString& text, const QStringList& columns);
    ~TFilterExpr();

    bool IsEmpty() const { return FRoot == nullptr; }
    bool Matches(const TFilterRow& row) const;
    // Columns the filter reads, each once, in ascending order.
    const std::vector<int>& UsedColumns() const { return FUsed; }
    // The filter as a search for one text in some columns, when it is one.
    std::optional<TContainsSearch> AsContainsSearch() const;

    struct TNode;

private:
    TFilterExpr();
    std::unique_ptr<TNode> FRoot;
    std::vector<int> FUsed;
};
