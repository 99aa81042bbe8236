#include "Durations.h"

#include "Quantity.h"

#include <cmath>

namespace {
struct TTimeUnit {
    QStringView Written;
    int Seconds;
};
// Longest first where one begins another ("分钟" before "分").
constexpr TTimeUnit TimeUnits[] = {
    {u"个半小时", -5400}, {u"个半钟头", -5400}, {u"个小时", 3600}, {u"个钟头", 3600},
    {u"小时", 3600},      {u"钟头", 3600},      {u"刻钟", 900},    {u"分钟", 60},
    {u"秒钟", 1},         {u"分", 60},          {u"秒", 1},        {u"hours", 3600},
    {u"hour", 3600},      {u"hrs", 3600},       {u"hr", 3600},     {u"h", 3600},
    {u"minutes", 60},     {u"minute", 60},      {u"mins", 60},     {u"min", 60},
    {u"seconds", 1},      {u"second", 1},       {u"secs", 1},      {u"sec", 1},
};

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsArabicDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
}
bool IsHan(QChar c) {
    return c.unicode() >= 0x3400 && c.unicode() <= 0x9fff;
}

qsizetype SkipSpaces(QStringView text, qsizetype at) {
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t' || text[at] == u'　'))
        ++at;
    return at;
}

// The time unit at `at`: its seconds (negative: "个半小时", an hour and a half per
// number less the half added), its length; 0 when none.
const TTimeUnit* TimeUnitAt(QStringView text, qsizetype at, qsizetype& length) {
    for (const TTimeUnit& unit : TimeUnits) {
        const qsizetype n = unit.Written.size();
        if (at + n > text.size())
            continue;
        const bool latin = IsAsciiLetter(unit.Written[0]);
        if (text.sliced(at, n).compare(unit.Written,
                                       latin ? Qt::CaseInsensitive : Qt::CaseSensitive) != 0)
            continue;
        const qsizetype end = at + n;
        if (latin && end < text.size() && IsAsciiLetter(text[end]))
            continue;
        // "分" alone only where no other word goes on: "三分之一", "五分熟" are no time
        if (unit.Written == u"分" && end < text.size() && IsHan(text[end]))
            continue;
        length = n;
        return &unit;
    }
    return nullptr;
}

// One number, an optional range, a unit: seconds of the shorter end, or 0.
qsizetype ReadPart(QStringView text, qsizetype at, double& seconds, int& unitSeconds) {
    TNumber number;
    const qsizetype n = ReadNumber(text.sliced(at), number);
    if (n == 0 || !(number.Value > 0))
        return 0;
    qsizetype end = at + n;
    // "20-25分钟", "20到25分钟", "2～3小时"
    {
        const qsizetype s = SkipSpaces(text, end);
        if (s < text.size() && QStringView(u"-–~～〜到至").contains(text[s])) {
            TNumber second;
            const qsizetype k = SkipSpaces(text, s + 1);
            if (const qsizetype m = ReadNumber(text.sliced(k), second);
                m && second.Value > number.Value)
                end = k + m;
        }
    }
    const qsizetype u = SkipSpaces(text, end);
    qsizetype length = 0;
    const TTimeUnit* unit = TimeUnitAt(text, u, length);
    if (!unit)
        return 0;
    if (unit->Seconds < 0) {
        seconds = number.Value * 3600 + 1800;
        unitSeconds = 3600;
    } else {
        seconds = number.Value * unit->Seconds;
        unitSeconds = unit->Seconds;
    }
    // "半" reads only as half of an hour or a minute: "半分钟", "半小时"
    return u + length - at;
}

bool StartsNumber(QChar c) {
    return IsArabicDigit(c) || QStringView(u"一二两三四五六七八九十半½¼¾").contains(c);
}

QString ClauseName(QStringView step, qsizetype start, qsizetype end) {
    static const QStringView breaks = u"，。；！？,;!?\n、：:（(";
    qsizetype from = start;
    while (from > 0 && !breaks.contains(step[from - 1]))
        --from;
    const QStringView clause = step.sliced(from, end - from).trimmed();
    // A Han character is as wide as two Latin letters.
    constexpr int MaxWidth = 36;
    int width = 0;
    qsizetype begin = clause.size();
    while (begin > 0) {
        const int w = IsHan(clause[begin - 1]) ? 2 : 1;
        if (width + w > MaxWidth)
            break;
        width += w;
        --begin;
    }
    QString name = clause.sliced(begin).toString();
    if (begin > 0)
        name = QStringLiteral("…") + name.sliced(1).trimmed();
    return name;
}
} // namespace

std::vector<TStepDuration> DurationsIn(QStringView step) {
    std::vector<TStepDuration> out;
    for (qsizetype i = 0; i < step.size(); ++i) {
        if (!StartsNumber(step[i]))
            continue;
        if (i > 0 && (IsAsciiLetter(step[i - 1]) || IsArabicDigit(step[i - 1]) ||
                      step[i - 1] == u'.' || step[i - 1] == u'/'))
            continue;
        double seconds = 0;
        int unit = 0;
        qsizetype length = ReadPart(step, i, seconds, unit);
        if (length == 0)
            continue;
        // "1小时20分钟", "1 hour 30 minutes", "1 hr and 15 mins"
        while (unit > 1) {
            qsizetype next = SkipSpaces(step, i + length);
            if (step.sliced(next).startsWith(u"and ", Qt::CaseInsensitive))
                next = SkipSpaces(step, next + 4);
            else if (next < step.size() && step[next] == u'又')
                next = SkipSpaces(step, next + 1);
            double more = 0;
            int smaller = 0;
            const qsizetype m = next < step.size() ? ReadPart(step, next, more, smaller) : 0;
            if (m == 0 || smaller >= unit)
                break;
            seconds += more;
            unit = smaller;
            length = next + m - i;
        }
        const int whole = int(std::lround(std::min<double>(seconds, MaxTimerSeconds + 1)));
        if (whole > 0 && whole <= MaxTimerSeconds)
            out.push_back({i, length, whole, ClauseName(step, i, i + length)});
        i += length - 1;
    }
    return out;
}

QString CountdownText(int seconds) {
    seconds = std::max(0, seconds);
    const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
}
