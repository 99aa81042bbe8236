#include "Ingredient.h"

#include <cmath>

namespace {
bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsArabicDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
}
bool IsChineseDigit(QChar c) {
    return QStringView(u"一二两三四五六七八九").contains(c);
}
int ChineseDigitValue(QChar c) {
    const qsizetype at = QStringView(u"一二三四五六七八九").indexOf(c);
    return c == u'两' ? 2 : int(at) + 1;
}
bool StartsNumber(QChar c) {
    return IsArabicDigit(c) || IsChineseDigit(c) || c == u'十' || c == u'半' ||
           QStringView(u"½⅓⅔¼¾⅕⅖⅗⅘⅙⅚⅛⅜⅝⅞").contains(c);
}

qsizetype SkipSpaces(QStringView text, qsizetype at) {
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t' || text[at] == u'　'))
        ++at;
    return at;
}

// Words that stand where an amount would: the line stays as written.
constexpr QStringView VagueWords[] = {
    u"适量",        u"少许",       u"少量",     u"若干",      u"一点点",      u"一点儿",
    u"一点",        u"一些",       u"些许",     u"酌量",      u"酌情",        u"随意",
    u"適量",        u"少許",       u"一點",     u"适当",      u"依口味",      u"按口味",
    u"根据口味",    u"可选",       u"to taste", u"as needed", u"as required", u"for garnish",
    u"for serving", u"for frying", u"a pinch",  u"a dash",    u"some",        u"optional",
};

// Where a vague word stands in the line; -1 when none.
qsizetype FindVague(QStringView text, QStringView& word) {
    qsizetype best = -1;
    for (QStringView w : VagueWords) {
        const bool latin = IsAsciiLetter(w[0]);
        qsizetype from = 0;
        while (true) {
            const qsizetype at =
                text.indexOf(w, from, latin ? Qt::CaseInsensitive : Qt::CaseSensitive);
            if (at < 0)
                break;
            const qsizetype end = at + w.size();
            const bool bounded = !latin || ((at == 0 || !IsAsciiLetter(text[at - 1])) &&
                                            (end == text.size() || !IsAsciiLetter(text[end])));
            if (bounded) {
                if (best < 0 || at < best) {
                    best = at;
                    word = w;
                }
                break;
            }
            from = at + 1;
        }
    }
    return best;
}

bool IsHeading(QStringView t) {
    if (t.startsWith(u'#') && t.size() > 1)
        return true;
    if ((t.startsWith(u'【') && t.endsWith(u'】')) || (t.startsWith(u'[') && t.endsWith(u']')))
        return true;
    if (t.endsWith(u':') || t.endsWith(u'：'))
        return true;
    // A recipe file's section in capitals: "FILLING", "CRUMB TOPPING"
    bool capitals = t.size() >= 3;
    for (QChar c : t)
        capitals = capitals && ((c >= u'A' && c <= u'Z') || c == u' ' || c == u'&');
    if (capitals)
        return true;
    // "—— 调料 ——", "-- SAUCE --", "== 配料 =="
    auto rule = [](QChar c) {
        return c == u'-' || c == u'—' || c == u'=' || c == u'─';
    };
    return t.size() > 4 && rule(t.front()) && rule(t.back()) && rule(t[1]) && rule(t[t.size() - 2]);
}

// Notes and brackets off a name: "五花肉（带皮）" → "五花肉", "flour, sifted" → "flour".
QString CleanName(QStringView text) {
    QString out;
    int depth = 0;
    for (QChar c : text) {
        if (c == u'(' || c == u'（' || c == u'[' || c == u'【') {
            ++depth;
            continue;
        }
        if (c == u')' || c == u'）' || c == u']' || c == u'】') {
            depth = std::max(0, depth - 1);
            continue;
        }
        if (depth > 0)
            continue;
        if (c == u',' || c == u'，' || c == u';' || c == u'；' || c == u'/' || c == u'／')
            break;
        out.append(c);
    }
    QStringView v = QStringView(out).trimmed();
    // List marks and separators at either end.
    static const QStringView marks = u"-–—•·*:：、.。 　\t";
    while (!v.isEmpty() && marks.contains(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && marks.contains(v.back()))
        v.chop(1);
    if (v.startsWith(u"of ", Qt::CaseInsensitive))
        v = v.sliced(3).trimmed();
    if (v.startsWith(u'的'))
        v = v.sliced(1).trimmed();
    return v.toString();
}

// A range's second number after the first: "2-3", "2～3", "2 to 3", "两三".
qsizetype ReadRangeEnd(QStringView text, qsizetype at, const TNumber& first, qsizetype firstLength,
                       TNumber& second, QString& separator) {
    if (at < text.size() && first.Chinese && firstLength == 1 && IsChineseDigit(text[at - 1]) &&
        IsChineseDigit(text[at])) {
        const int a = ChineseDigitValue(text[at - 1]);
        const int b = ChineseDigitValue(text[at]);
        if (b == a + 1 || (a == 3 && b == 5)) {
            second = {double(b), true};
            separator.clear();
            return 1;
        }
        return 0;
    }
    const qsizetype s = SkipSpaces(text, at);
    if (s >= text.size())
        return 0;
    qsizetype sepLength = 0;
    static const QStringView seps = u"-–—~～〜至到";
    if (seps.contains(text[s]))
        sepLength = 1;
    else if (text.sliced(s).startsWith(u"to ", Qt::CaseInsensitive) && s > at)
        sepLength = 2;
    else if (text.sliced(s).startsWith(u"or ", Qt::CaseInsensitive) && s > at)
        sepLength = 2;
    if (sepLength == 0)
        return 0;
    const qsizetype n = SkipSpaces(text, s + sepLength);
    const qsizetype read = ReadNumber(text.sliced(n), second);
    if (read == 0 || second.Value <= first.Value)
        return 0;
    separator = text.sliced(s, sepLength).toString();
    if (sepLength == 2)
        separator = u' ' + separator + u' ';
    return n + read - at;
}

// After a number with no unit: what shows it is no count of things.
bool RejectsBareCount(QStringView text, qsizetype end, qsizetype next) {
    if (next >= text.size())
        return false;
    const QChar c = text[next];
    if (QStringView(u"%％°℃度岁:：×*").contains(c))
        return true;
    // Attached: "3x", "2nd", "1.", "1、", "3鸡蛋"
    return next == end && c != u'(' && c != u'（' && c != u',' && c != u'，';
}

// The amount at `at` where a number begins; false when what follows is no amount.
bool ReadAmountAt(QStringView text, qsizetype at, TAmount& amount) {
    TNumber first;
    const qsizetype n = ReadNumber(text.sliced(at), first);
    if (n == 0 || !(first.Value > 0))
        return false;
    qsizetype end = at + n;
    TNumber second = first;
    QString separator;
    bool range = false;
    if (const qsizetype r = ReadRangeEnd(text, end, first, n, second, separator)) {
        range = true;
        end += r;
    }
    auto unitAfter = [&](qsizetype from, qsizetype& unitStart, qsizetype& unitLength) {
        unitStart = SkipSpaces(text, from);
        return UnitAt(text.sliced(unitStart), unitLength);
    };
    qsizetype unitStart = 0, unitLength = 0;
    const TUnit* unit = unitAfter(end, unitStart, unitLength);
    if (!unit && range && separator.isEmpty()) {
        // "一两" with no unit after it is one 两 (fifty grams), not one or two
        range = false;
        end = at + n;
        unit = unitAfter(end, unitStart, unitLength);
    }
    double low = first.Value, high = range ? second.Value : first.Value;
    if (unit) {
        end = unitStart + unitLength;
        // "一个半", "一斤半"
        if (!range && end < text.size() && text[end] == u'半' && unit->Chinese && low >= 1 &&
            std::floor(low) == low) {
            low += 0.5;
            high = low;
            ++end;
        }
        amount.SpaceBeforeUnit = text[unitStart - 1].isSpace();
        amount.UnitText = text.sliced(unitStart, unitLength).toString();
    } else {
        // A number with no unit counts things, only where it is plainly an amount:
        // Arabic, and not followed by a letter, a percent or a degree.
        if (first.Chinese || second.Chinese)
            return false;
        if (RejectsBareCount(text, end, SkipSpaces(text, end)))
            return false;
        unit = &BareCount();
        amount.UnitText.clear();
        amount.SpaceBeforeUnit = false;
    }
    amount.Low = low;
    amount.High = high;
    amount.Unit = unit;
    amount.Start = at;
    amount.Length = end - at;
    amount.Separator = separator;
    return true;
}

// A Latin unit in the number's grammar: "1 cup", "2 cups".
QString UnitForCount(const TAmount& amount, double value) {
    const QString& written = amount.UnitText;
    if (written.size() < 3 || !IsAsciiLetter(written[0]) || !amount.Unit)
        return written;
    const bool many = value > 1 + 1e-9;
    auto known = [&](const QString& spelling) {
        qsizetype length = 0;
        const TUnit* u = UnitAt(spelling, length);
        return u && length == spelling.size() && u->Key == amount.Unit->Key;
    };
    if (many && !written.endsWith(u's', Qt::CaseInsensitive)) {
        for (const QString plural : {written + u's', written + QStringLiteral("es")})
            if (known(plural))
                return plural;
    } else if (!many && written.endsWith(u's', Qt::CaseInsensitive)) {
        for (const qsizetype cut : {1, 2}) {
            const QString single = written.chopped(cut);
            if (single.size() >= 3 && known(single))
                return single;
        }
    }
    return written;
}
} // namespace

TIngredient ReadIngredient(QStringView line) {
    TIngredient out;
    const QStringView t = line.trimmed();
    out.Text = t.toString();
    if (t.isEmpty())
        return out;
    if (t.size() > MaxIngredientLine) {
        out.Kind = TLineKind::Unread;
        out.Name = CleanName(t.first(60));
        return out;
    }
    if (IsHeading(t)) {
        out.Kind = TLineKind::Heading;
        return out;
    }
    // A list's own number: "1. 五花肉 500克", "2、鸡蛋 3个"
    qsizetype first = 0;
    while (first < t.size() && first < 3 && IsArabicDigit(t[first]))
        ++first;
    if (first > 0 && first < t.size() && QStringView(u".、)）").contains(t[first]) &&
        (first + 1 == t.size() || !IsArabicDigit(t[first + 1])))
        first = SkipSpaces(t, first + 1);
    else
        first = 0;
    for (qsizetype i = first; i < t.size(); ++i) {
        const QChar c = t[i];
        if (!StartsNumber(c))
            continue;
        if (i > 0) {
            const QChar before = t[i - 1];
            // Inside a word or a longer number: "H2O", "1.5" read from its start
            if (IsAsciiLetter(before) || IsArabicDigit(before) || before == u'.' ||
                before == u'/' || before == u'-')
                if (IsArabicDigit(c) || !IsChineseDigit(c))
                    continue;
        }
        if (!ReadAmountAt(t, i, out.Amount))
            continue;
        // A bare count only at the start or the end of the line: "3 eggs", "鸡蛋 3"
        if (out.Amount.UnitText.isEmpty() && i > 0 &&
            SkipSpaces(t, out.Amount.Start + out.Amount.Length) < t.size() &&
            !t[SkipSpaces(t, out.Amount.Start + out.Amount.Length)].isPunct()) {
            out.Amount = {};
            continue;
        }
        out.Kind = TLineKind::Amount;
        const QStringView before = t.sliced(first, out.Amount.Start - first);
        const QStringView after = t.sliced(out.Amount.Start + out.Amount.Length);
        out.Name = CleanName(before);
        if (out.Name.isEmpty())
            out.Name = CleanName(after);
        return out;
    }
    out.Kind = TLineKind::Unread;
    const QStringView body = t.sliced(first);
    QStringView word;
    const qsizetype vague = FindVague(body, word);
    if (vague >= 0) {
        out.Vague = body.sliced(vague, word.size()).toString();
        out.Name = CleanName(body.first(vague));
        if (out.Name.isEmpty())
            out.Name = CleanName(body.sliced(vague + word.size()));
    } else {
        out.Name = CleanName(body);
    }
    return out;
}

QString ScaledText(const TIngredient& ingredient, double factor) {
    if (ingredient.Kind != TLineKind::Amount || factor == 1 || !(factor > 0) ||
        !ingredient.Amount.Unit)
        return ingredient.Text;
    const TAmount& a = ingredient.Amount;
    const TUnit& unit = *a.Unit;
    QString amount = AmountText(a.Low * factor, unit);
    if (a.High != a.Low) {
        const QString high = AmountText(a.High * factor, unit);
        if (high != amount)
            amount += (a.Separator.isEmpty() ? QStringLiteral("-") : a.Separator) + high;
    }
    QString unitText = UnitForCount(a, RoundedAmount(a.High * factor, unit));
    if (a.SpaceBeforeUnit || (!unitText.isEmpty() && IsAsciiLetter(unitText[0]) &&
                              !IsArabicDigit(amount.back()) && amount.back() != u' '))
        unitText.prepend(u' ');
    return ingredient.Text.left(a.Start) + amount + unitText +
           ingredient.Text.mid(a.Start + a.Length);
}

QString NameKey(QStringView name) {
    QString key;
    key.reserve(name.size());
    bool space = false;
    for (QChar c : name) {
        if (c.isSpace()) {
            space = !key.isEmpty();
            continue;
        }
        if (space)
            key.append(u' ');
        space = false;
        key.append(c.unicode() < 128 ? c.toLower() : c);
    }
    // "eggs" and "egg", "tomatoes" and "tomato"
    if (key.size() > 3 && IsAsciiLetter(key.back())) {
        if (key.endsWith(QStringLiteral("oes")))
            key.chop(2);
        else if (key.endsWith(u's') && !key.endsWith(QStringLiteral("ss")))
            key.chop(1);
    }
    return key;
}

std::vector<TScaledLine> ScaleIngredients(QStringView text, double factor) {
    std::vector<TScaledLine> out;
    for (QStringView line : text.tokenize(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (factor == 1) {
            out.push_back({line.toString(), false});
            continue;
        }
        const TIngredient ing = ReadIngredient(line);
        if (ing.Kind != TLineKind::Amount) {
            out.push_back({line.toString(), ing.Kind == TLineKind::Unread});
            continue;
        }
        // The line's own blanks around the trimmed text stay.
        qsizetype lead = 0;
        while (lead < line.size() && line[lead].isSpace())
            ++lead;
        out.push_back({line.first(lead).toString() + ScaledText(ing, factor) +
                           line.sliced(lead + ing.Text.size()).toString(),
                       false});
    }
    return out;
}
