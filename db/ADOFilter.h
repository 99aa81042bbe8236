#pragma once
// The record set's filter language: terms such as  菜名 like  '%鱼%',  原料 = 'x',
// 价格 >= 12, joined by "and"/"or" with parentheses. Parsed once, then evaluated
// per row against whatever source holds the row's text.

#include "SysUtils.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
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

private:
    enum class TShape { General, Contains, Prefix, Suffix, Exact };
    TShape FShape = TShape::General;
    std::u16string FLiteral;   // folded literal of the simple shapes
    bool FHasLetters = true;   // the literal holds ASCII letters, so case matters
    std::u16string FPattern;   // folded pattern for the general matcher
    std::vector<char> FIsWild; // per pattern unit: 0 literal, 1 any-one, 2 any-run
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

    struct TNode;

private:
    TFilterExpr();
    std::unique_ptr<TNode> FRoot;
    std::vector<int> FUsed;
};
