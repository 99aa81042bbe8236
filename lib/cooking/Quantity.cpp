#include "Quantity.h"

#include <array>
#include <cmath>

namespace {
using F = TUnitFamily;

// Spellings of a unit share its key; a table row per spelling keeps lookups plain.
// Latin spellings of one letter are matched exactly ("T" is a tablespoon and "t"
// a teaspoon, as recipe files of the 1990s write them); longer ones in any case.
constexpr TUnit Units[] = {
    // Mass
    {u"克", u"g", F::Mass, 1, true, 0, false},
    {u"千克", u"kg", F::Mass, 1000, true, 2, false},
    {u"公斤", u"kg", F::Mass, 1000, true, 2, false},
    {u"斤", u"斤", F::Mass, 500, true, 1, false},
    {u"两", u"两", F::Mass, 50, true, 1, false},
    {u"毫克", u"mg", F::Mass, 0.001, true, 0, false},
    {u"g", u"g", F::Mass, 1, false, 0, false},
    {u"gr", u"g", F::Mass, 1, false, 0, false},
    {u"gram", u"g", F::Mass, 1, false, 0, false},
    {u"grams", u"g", F::Mass, 1, false, 0, false},
    {u"kg", u"kg", F::Mass, 1000, false, 2, false},
    {u"kilogram", u"kg", F::Mass, 1000, false, 2, false},
    {u"kilograms", u"kg", F::Mass, 1000, false, 2, false},
    {u"mg", u"mg", F::Mass, 0.001, false, 0, false},
    {u"oz", u"oz", F::Mass, 28.35, false, 2, true},
    {u"ounce", u"oz", F::Mass, 28.35, false, 2, true},
    {u"ounces", u"oz", F::Mass, 28.35, false, 2, true},
    {u"lb", u"lb", F::Mass, 453.6, false, 2, true},
    {u"lbs", u"lb", F::Mass, 453.6, false, 2, true},
    {u"pound", u"lb", F::Mass, 453.6, false, 2, true},
    {u"pounds", u"lb", F::Mass, 453.6, false, 2, true},
    // Volume
    {u"毫升", u"ml", F::Volume, 1, true, 0, false},
    {u"升", u"l", F::Volume, 1000, true, 2, false},
    {u"ml", u"ml", F::Volume, 1, false, 0, false},
    {u"milliliter", u"ml", F::Volume, 1, false, 0, false},
    {u"milliliters", u"ml", F::Volume, 1, false, 0, false},
    {u"millilitre", u"ml", F::Volume, 1, false, 0, false},
    {u"millilitres", u"ml", F::Volume, 1, false, 0, false},
    {u"l", u"l", F::Volume, 1000, false, 2, false},
    {u"L", u"l", F::Volume, 1000, false, 2, false},
    {u"liter", u"l", F::Volume, 1000, false, 2, false},
    {u"liters", u"l", F::Volume, 1000, false, 2, false},
    {u"litre", u"l", F::Volume, 1000, false, 2, false},
    {u"litres", u"l", F::Volume, 1000, false, 2, false},
    {u"dl", u"dl", F::Volume, 100, false, 1, false},
    {u"cl", u"cl", F::Volume, 10, false, 0, false},
    // Spoons, cups and bowls: each its own
    {u"勺", u"勺", F::Spoon, 0, true, 2, true},
    {u"大勺", u"大勺", F::Spoon, 0, true, 2, true},
    {u"小勺", u"小勺", F::Spoon, 0, true, 2, true},
    {u"汤勺", u"汤勺", F::Spoon, 0, true, 2, true},
    {u"茶勺", u"茶勺", F::Spoon, 0, true, 2, true},
    {u"汤匙", u"汤匙", F::Spoon, 0, true, 2, true},
    {u"茶匙", u"茶匙", F::Spoon, 0, true, 2, true},
    {u"大匙", u"大匙", F::Spoon, 0, true, 2, true},
    {u"小匙", u"小匙", F::Spoon, 0, true, 2, true},
    {u"杯", u"杯", F::Spoon, 0, true, 2, true},
    {u"碗", u"碗", F::Spoon, 0, true, 2, true},
    {u"小碗", u"小碗", F::Spoon, 0, true, 2, true},
    {u"tbsp", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tbsps", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tbs", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tbl", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tb", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"T", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tablespoon", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tablespoons", u"tbsp", F::Spoon, 0, false, 2, true},
    {u"tsp", u"tsp", F::Spoon, 0, false, 2, true},
    {u"tsps", u"tsp", F::Spoon, 0, false, 2, true},
    {u"ts", u"tsp", F::Spoon, 0, false, 2, true},
    {u"t", u"tsp", F::Spoon, 0, false, 2, true},
    {u"teaspoon", u"tsp", F::Spoon, 0, false, 2, true},
    {u"teaspoons", u"tsp", F::Spoon, 0, false, 2, true},
    {u"cup", u"cup", F::Spoon, 0, false, 2, true},
    {u"cups", u"cup", F::Spoon, 0, false, 2, true},
    {u"c", u"cup", F::Spoon, 0, false, 2, true},
    {u"C", u"cup", F::Spoon, 0, false, 2, true},
    {u"pt", u"pint", F::Spoon, 0, false, 2, true},
    {u"pint", u"pint", F::Spoon, 0, false, 2, true},
    {u"pints", u"pint", F::Spoon, 0, false, 2, true},
    {u"qt", u"quart", F::Spoon, 0, false, 2, true},
    {u"quart", u"quart", F::Spoon, 0, false, 2, true},
    {u"quarts", u"quart", F::Spoon, 0, false, 2, true},
    {u"pinch", u"pinch", F::Spoon, 0, false, 2, true},
    {u"pinches", u"pinch", F::Spoon, 0, false, 2, true},
    {u"pn", u"pinch", F::Spoon, 0, false, 2, true},
    {u"dash", u"dash", F::Spoon, 0, false, 2, true},
    {u"ds", u"dash", F::Spoon, 0, false, 2, true},
    // Counted things
    {u"个", u"个", F::Piece, 0, true, 1, true},
    {u"只", u"只", F::Piece, 0, true, 1, true},
    {u"根", u"根", F::Piece, 0, true, 1, true},
    {u"小根", u"小根", F::Piece, 0, true, 1, true},
    {u"片", u"片", F::Piece, 0, true, 1, true},
    {u"瓣", u"瓣", F::Piece, 0, true, 1, true},
    {u"块", u"块", F::Piece, 0, true, 1, true},
    {u"小块", u"小块", F::Piece, 0, true, 1, true},
    {u"大块", u"大块", F::Piece, 0, true, 1, true},
    {u"颗", u"颗", F::Piece, 0, true, 1, true},
    {u"粒", u"粒", F::Piece, 0, true, 1, true},
    {u"条", u"条", F::Piece, 0, true, 1, true},
    {u"张", u"张", F::Piece, 0, true, 1, true},
    {u"把", u"把", F::Piece, 0, true, 1, true},
    {u"小把", u"小把", F::Piece, 0, true, 1, true},
    {u"棵", u"棵", F::Piece, 0, true, 1, true},
    {u"朵", u"朵", F::Piece, 0, true, 1, true},
    {u"头", u"头", F::Piece, 0, true, 1, true},
    {u"枚", u"枚", F::Piece, 0, true, 1, true},
    {u"段", u"段", F::Piece, 0, true, 1, true},
    {u"节", u"节", F::Piece, 0, true, 1, true},
    {u"撮", u"撮", F::Piece, 0, true, 1, true},
    {u"小撮", u"小撮", F::Piece, 0, true, 1, true},
    {u"袋", u"袋", F::Piece, 0, true, 1, true},
    {u"包", u"包", F::Piece, 0, true, 1, true},
    {u"盒", u"盒", F::Piece, 0, true, 1, true},
    {u"罐", u"罐", F::Piece, 0, true, 1, true},
    {u"听", u"听", F::Piece, 0, true, 1, true},
    {u"瓶", u"瓶", F::Piece, 0, true, 1, true},
    {u"串", u"串", F::Piece, 0, true, 1, true},
    {u"支", u"支", F::Piece, 0, true, 1, true},
    {u"株", u"株", F::Piece, 0, true, 1, true},
    {u"尾", u"尾", F::Piece, 0, true, 1, true},
    {u"clove", u"clove", F::Piece, 0, false, 1, true},
    {u"cloves", u"clove", F::Piece, 0, false, 1, true},
    {u"slice", u"slice", F::Piece, 0, false, 1, true},
    {u"slices", u"slice", F::Piece, 0, false, 1, true},
    {u"sl", u"slice", F::Piece, 0, false, 1, true},
    {u"piece", u"piece", F::Piece, 0, false, 1, true},
    {u"pieces", u"piece", F::Piece, 0, false, 1, true},
    {u"can", u"can", F::Piece, 0, false, 1, true},
    {u"cans", u"can", F::Piece, 0, false, 1, true},
    {u"cn", u"can", F::Piece, 0, false, 1, true},
    {u"stalk", u"stalk", F::Piece, 0, false, 1, true},
    {u"stalks", u"stalk", F::Piece, 0, false, 1, true},
    {u"sprig", u"sprig", F::Piece, 0, false, 1, true},
    {u"sprigs", u"sprig", F::Piece, 0, false, 1, true},
    {u"bunch", u"bunch", F::Piece, 0, false, 1, true},
    {u"bunches", u"bunch", F::Piece, 0, false, 1, true},
    {u"bn", u"bunch", F::Piece, 0, false, 1, true},
    {u"package", u"package", F::Piece, 0, false, 1, true},
    {u"packages", u"package", F::Piece, 0, false, 1, true},
    {u"pkg", u"package", F::Piece, 0, false, 1, true},
    {u"pk", u"package", F::Piece, 0, false, 1, true},
    {u"head", u"head", F::Piece, 0, false, 1, true},
    {u"heads", u"head", F::Piece, 0, false, 1, true},
    {u"large", u"large", F::Piece, 0, false, 1, true},
    {u"lg", u"large", F::Piece, 0, false, 1, true},
    {u"medium", u"medium", F::Piece, 0, false, 1, true},
    {u"md", u"medium", F::Piece, 0, false, 1, true},
    {u"small", u"small", F::Piece, 0, false, 1, true},
    {u"sm", u"small", F::Piece, 0, false, 1, true},
    {u"ea", u"ea", F::Piece, 0, false, 1, true},
};

constexpr TUnit Bare{u"", u"", F::Piece, 0, false, 1, true};

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Arabic digits, full-width ones too; -1 for anything else.
int DigitValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'０' && c <= u'９')
        return c.unicode() - u'０';
    return -1;
}

int ChineseDigit(QChar c) {
    switch (c.unicode()) {
    case u'零':
    case u'〇':
        return 0;
    case u'一':
        return 1;
    case u'二':
    case u'两':
        return 2;
    case u'三':
        return 3;
    case u'四':
        return 4;
    case u'五':
        return 5;
    case u'六':
        return 6;
    case u'七':
        return 7;
    case u'八':
        return 8;
    case u'九':
        return 9;
    default:
        return -1;
    }
}

double VulgarFraction(QChar c) {
    switch (c.unicode()) {
    case u'½':
        return 0.5;
    case u'⅓':
        return 1.0 / 3;
    case u'⅔':
        return 2.0 / 3;
    case u'¼':
        return 0.25;
    case u'¾':
        return 0.75;
    case u'⅕':
        return 0.2;
    case u'⅖':
        return 0.4;
    case u'⅗':
        return 0.6;
    case u'⅘':
        return 0.8;
    case u'⅙':
        return 1.0 / 6;
    case u'⅚':
        return 5.0 / 6;
    case u'⅛':
        return 0.125;
    case u'⅜':
        return 0.375;
    case u'⅝':
        return 0.625;
    case u'⅞':
        return 0.875;
    default:
        return 0;
    }
}

// Longer runs of digits are no amount (a telephone number, a product code).
constexpr int MaxDigits = 7;

// Digits at `at`; their count, 0 when none or too many.
qsizetype ReadDigits(QStringView text, qsizetype at, double& value) {
    qsizetype i = at;
    value = 0;
    while (i < text.size() && DigitValue(text[i]) >= 0) {
        value = value * 10 + DigitValue(text[i]);
        ++i;
    }
    return i - at > MaxDigits ? 0 : i - at;
}

bool IsFractionSlash(QChar c) {
    return c == u'/' || c == u'⁄' || c == u'／';
}

// "a/b" at `at` with b not zero: its length, 0 when there is none.
qsizetype ReadSimpleFraction(QStringView text, qsizetype at, double& value) {
    double numerator = 0, denominator = 0;
    const qsizetype n = ReadDigits(text, at, numerator);
    if (n == 0 || at + n >= text.size() || !IsFractionSlash(text[at + n]))
        return 0;
    const qsizetype d = ReadDigits(text, at + n + 1, denominator);
    if (d == 0 || denominator == 0)
        return 0;
    value = numerator / denominator;
    return n + 1 + d;
}

qsizetype ReadChineseNumber(QStringView text, double& value) {
    if (text.isEmpty())
        return 0;
    if (text[0] == u'半') {
        value = 0.5;
        return 1;
    }
    // 五, 十五, 二十, 二十五, 一百, 两百二十, 一百零五
    double total = 0;
    int digit = -1;    // a digit waiting for its 十 or 百
    int lastScale = 0; // the last 十 or 百 read
    bool zero = false; // 零 after 百
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        const int d = ChineseDigit(c);
        if (d == 0) {
            if (lastScale != 100 || digit >= 0 || zero)
                break;
            zero = true;
        } else if (d > 0) {
            if (digit >= 0)
                break; // "两三" is a range, read by the caller
            digit = d;
        } else if (c == u'十') {
            if (lastScale == 10 || zero || (lastScale == 100 && digit < 0))
                break;
            total += (digit < 0 ? 1 : digit) * 10;
            digit = -1;
            lastScale = 10;
        } else if (c == u'百') {
            if (lastScale != 0 || digit < 0)
                break;
            total += digit * 100;
            digit = -1;
            lastScale = 100;
        } else {
            break;
        }
    }
    if (digit < 0 && lastScale == 0)
        return 0;
    // "一百零" without its digit reads as 一百
    if (zero && digit < 0)
        --i;
    value = total + (digit > 0 ? digit : 0);
    return i;
}
} // namespace

const TUnit* UnitAt(QStringView text, qsizetype& length) {
    const TUnit* best = nullptr;
    length = 0;
    for (const TUnit& unit : Units) {
        const qsizetype n = unit.Written.size();
        if (n <= length || n > text.size())
            continue;
        const QStringView head = text.first(n);
        const bool latin = IsAsciiLetter(unit.Written[0]);
        const bool same = latin && n > 1 ? head.compare(unit.Written, Qt::CaseInsensitive) == 0
                                         : head == unit.Written;
        if (!same)
            continue;
        if (latin && n < text.size() && (IsAsciiLetter(text[n]) || DigitValue(text[n]) >= 0))
            continue;
        best = &unit;
        length = n;
    }
    // "tbsp." and "oz." keep their dot.
    if (best && IsAsciiLetter(best->Written[0]) && length < text.size() && text[length] == u'.' &&
        (length + 1 == text.size() || text[length + 1].isSpace()))
        ++length;
    return best;
}

const TUnit& BareCount() {
    return Bare;
}

const TUnit* UnitByKey(QStringView key) {
    for (const TUnit& unit : Units)
        if (unit.Key == key)
            return &unit;
    return key.isEmpty() ? &Bare : nullptr;
}

qsizetype ReadNumber(QStringView text, TNumber& number) {
    if (text.isEmpty())
        return 0;
    number = {};
    if (const double v = VulgarFraction(text[0]); v > 0) {
        number.Value = v;
        return 1;
    }
    if (DigitValue(text[0]) < 0) {
        double value = 0;
        const qsizetype n = ReadChineseNumber(text, value);
        if (n == 0)
            return 0;
        number.Value = value;
        number.Chinese = true;
        return n;
    }
    if (double fraction = 0; const qsizetype f = ReadSimpleFraction(text, 0, fraction)) {
        number.Value = fraction;
        return f;
    }
    double whole = 0;
    qsizetype i = ReadDigits(text, 0, whole);
    if (i == 0)
        return 0;
    // A decimal: "1.5", "０．５"
    if (i + 1 < text.size() && (text[i] == u'.' || text[i] == u'．') &&
        DigitValue(text[i + 1]) >= 0) {
        double scale = 0.1;
        qsizetype j = i + 1;
        for (; j < text.size() && DigitValue(text[j]) >= 0; ++j) {
            whole += DigitValue(text[j]) * scale;
            scale /= 10;
        }
        if (j - i - 1 > MaxDigits)
            return 0;
        number.Value = whole;
        return j;
    }
    number.Value = whole;
    // A whole number and a fraction: "1 1/2", "1-1/2", "1½", "1 ½"
    if (i < text.size()) {
        if (const double v = VulgarFraction(text[i]); v > 0) {
            number.Value += v;
            return i + 1;
        }
        if (text[i] == u' ' || text[i] == u'-') {
            if (i + 1 < text.size()) {
                if (const double v = VulgarFraction(text[i + 1]); v > 0 && text[i] == u' ') {
                    number.Value += v;
                    return i + 2;
                }
            }
            double fraction = 0;
            if (const qsizetype f = ReadSimpleFraction(text, i + 1, fraction); f && fraction < 1) {
                number.Value += fraction;
                return i + 1 + f;
            }
        }
    }
    return i;
}

QString FractionText(double value) {
    static constexpr std::array<std::pair<double, const char*>, 7> parts = {{
        {1.0 / 8, "1/8"},
        {1.0 / 4, "1/4"},
        {1.0 / 3, "1/3"},
        {1.0 / 2, "1/2"},
        {2.0 / 3, "2/3"},
        {3.0 / 4, "3/4"},
        {7.0 / 8, "7/8"},
    }};
    if (!(value >= 0) || value > 1e9)
        return QString();
    double whole = std::floor(value + 1e-9);
    const double rest = value - whole;
    if (rest < 1e-6)
        return QString::number(qint64(whole));
    for (const auto& [part, text] : parts) {
        if (std::abs(rest - part) < 1e-6) {
            const QString f = QString::fromLatin1(text);
            return whole > 0 ? QString::number(qint64(whole)) + u' ' + f : f;
        }
    }
    return QString();
}

double RoundedAmount(double value, const TUnit& unit) {
    if (!(value > 0) || !std::isfinite(value))
        return 0;
    auto nearest = [&](std::initializer_list<double> steps, double v) {
        double best = *steps.begin();
        for (double s : steps)
            if (std::abs(v - s) < std::abs(v - best))
                best = s;
        return best;
    };
    if (unit.Family == TUnitFamily::Piece) {
        if (value < 1)
            return nearest({1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 3.0 / 4, 1.0}, value);
        if (value >= 20)
            return std::round(value);
        return std::round(value * 2) / 2;
    }
    if (unit.Fractions) {
        const double whole = std::floor(value);
        const double rest =
            nearest({0, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 3.0 / 4, 1.0}, value - whole);
        const double rounded = whole + rest;
        if (rounded > 0)
            return value >= 10 ? std::round(value) : rounded;
        return 1.0 / 8; // a little is still some
    }
    if (unit.Decimals == 0) {
        if (value >= 1)
            return std::round(value);
        return std::max(0.1, std::round(value * 10) / 10);
    }
    const double scale = std::pow(10.0, unit.Decimals);
    return std::max(1 / scale, std::round(value * scale) / scale);
}

QString AmountText(double value, const TUnit& unit) {
    const double r = RoundedAmount(value, unit);
    if (unit.Fractions) {
        const double whole = std::floor(r + 1e-9);
        // A Chinese cook writes one and a half as 1.5, a fraction only below one.
        if (unit.Chinese && whole >= 1 && std::abs(r - whole - 0.5) < 1e-9)
            return QString::number(r, 'f', 1);
        QString f = FractionText(r);
        if (!f.isEmpty()) {
            if (unit.Chinese && whole >= 1)
                f.replace(u' ', QStringLiteral("又"));
            return f;
        }
    }
    QString text = QString::number(r, 'f', std::max(unit.Decimals, r < 1 ? 1 : 0));
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}
