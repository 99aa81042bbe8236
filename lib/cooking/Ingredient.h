#pragma once
// One ingredient line read for its amount, unit and name: "五花肉 500克",
// "2个鸡蛋", "鸡蛋两个", "1 1/2 cups flour", "2 c Heavy cream", "盐 适量".
// A line whose amount cannot be read keeps its text and is never scaled.

#include "Quantity.h"

#include <QString>
#include <QStringView>
#include <vector>

enum class TLineKind {
    Empty,
    Heading, // "调料：", "【腌料】", "For the sauce:", "#TOPPING"
    Amount,  // an amount that scales
    Unread,  // no amount, or one in words ("适量", "to taste"): stays as written
};

struct TAmount {
    double Low = 0;
    double High = 0; // the same as Low unless a range ("2-3", "两三")
    const TUnit* Unit = nullptr;
    qsizetype Start = 0; // the amount and its unit in the line
    qsizetype Length = 0;
    QString Separator; // a range's, as written ("-", "～", "到"); empty for "两三"
    bool SpaceBeforeUnit = false;
    QString UnitText; // as written ("克", "cups", "" for a bare count)
};

struct TIngredient {
    QString Text; // the line, trimmed
    TLineKind Kind = TLineKind::Empty;
    TAmount Amount; // when Kind is Amount
    QString Name;   // "五花肉", "flour": without amount, notes and brackets
    QString Vague;  // the words standing for an amount: "适量", "to taste"
};

// Lines longer than this are read as text only (no amount is looked for).
inline constexpr qsizetype MaxIngredientLine = 1000;

TIngredient ReadIngredient(QStringView line);
// The line with its amount multiplied and rounded for its unit ("五花肉 1000克",
// "3 cups flour", "鸡蛋 1/3个"); the line itself when it has no amount.
QString ScaledText(const TIngredient& ingredient, double factor);
// A name compared across recipes: Latin letters in lower case, a plural "s" off.
QString NameKey(QStringView name);

struct TScaledLine {
    QString Text;
    bool Unscaled = false; // an ingredient whose amount could not be read
};
// Every line of an ingredient list, scaled; at factor one the lines as written
// and none marked.
std::vector<TScaledLine> ScaleIngredients(QStringView text, double factor);
