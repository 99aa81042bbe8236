#pragma once
// Numbers and units as cooks write them: "1 1/2", "½", "2-3", "一个半", "两三",
// "500克", "2 tbsp". Reading stops at what it does not know; nothing here guesses.

#include <QString>
#include <QStringView>

// How a unit's amounts are rounded and whether they add up across units.
enum class TUnitFamily {
    Mass,   // grams and the like: added through grams
    Volume, // millilitres and the like: added through millilitres
    Spoon,  // spoons, cups, bowls: nice fractions, added only within the same unit
    Piece,  // counted things (个, clove, or no unit at all): halves, thirds below one
};

struct TUnit {
    QStringView Written; // as the table spells it
    QStringView Key;     // one name for all its spellings ("g" for 克, g, grams)
    TUnitFamily Family;
    double Base;    // grams or millilitres in one (Mass, Volume); 0 otherwise
    bool Chinese;   // a Chinese unit: amounts written the Chinese way
    int Decimals;   // at most this many decimals when no fraction is used
    bool Fractions; // written as fractions (1/2, 1 1/3) rather than decimals
};

// The longest unit at the start of `text`; a Latin unit only where a word ends.
// Null when none.
const TUnit* UnitAt(QStringView text, qsizetype& length);
// The unit of counted things written without one ("3 eggs", "鸡蛋 3").
const TUnit& BareCount();
// A unit by its key ("g", "ml"); null when unknown.
const TUnit* UnitByKey(QStringView key);

// A number at the start of `text`: Arabic (full-width too), a decimal, a
// fraction ("1/2", "1 1/2", "½", "1½"), or a Chinese numeral ("二十", "两", "半").
// Not a range. Returns the characters read, 0 when there is no number.
struct TNumber {
    double Value = 0;
    bool Chinese = false; // written in Chinese numerals
};
qsizetype ReadNumber(QStringView text, TNumber& number);

// A value rounded as the unit's amounts are: grams and millilitres whole, pieces
// to halves (thirds and quarters below one), spoons to quarters and thirds.
double RoundedAmount(double value, const TUnit& unit);
// The rounded value written for the unit: "800", "1.5", "1/3", "1 1/2".
QString AmountText(double value, const TUnit& unit);
// "1/3", "1 1/2", "2" for a value that is a whole number plus a simple
// fraction; empty when it is not one.
QString FractionText(double value);
