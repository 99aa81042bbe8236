#include "RecipeText.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace {
const QString Ellipsis = QStringLiteral("…");
} // namespace

QString CollapseWhitespace(const QString& text) {
    const auto blankAt = [](QChar c) {
        return c.isSpace() || c == QChar(0x00A0);
    };
    // Most texts are collapsed already (an import passes each line here): shared, not copied.
    bool collapsed = text.isEmpty() || (!blankAt(text.front()) && !blankAt(text.back()));
    for (qsizetype i = 1; collapsed && i < text.size(); ++i)
        if (blankAt(text[i]) && (text[i] != u' ' || text[i - 1] == u' '))
            collapsed = false;
    if (collapsed)
        return text;
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    qsizetype n = 0;
    bool blank = false;
    for (const QChar c : text) {
        if (blankAt(c)) {
            blank = n > 0;
            continue;
        }
        if (blank)
            to[n++] = u' ';
        blank = false;
        to[n++] = c;
    }
    out.truncate(n);
    return out;
}

QString CutToFit(const QString& text, int maxChars) {
    if (text.size() <= maxChars)
        return text;
    if (maxChars <= 0)
        return {};
    // A boundary depends on the characters around it only: the finder reads what
    // it needs, not a whole method of thousands of characters.
    const qsizetype seen = std::min(text.size(), qsizetype(maxChars) + 32);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData(), int(seen));
    finder.setPosition(maxChars - int(Ellipsis.size()));
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    const qsizetype cut = std::max<qsizetype>(0, finder.position());
    return text.left(cut) + Ellipsis;
}

QString DurationText(const QString& iso) {
    const QString t = iso.trimmed();
    if (t.size() < 3 || t.size() > 40 || !t.startsWith(u'P'))
        return t;
    QString out;
    bool inTime = false;
    QString number;
    for (qsizetype i = 1; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c == u'T') {
            inTime = true;
            continue;
        }
        if (c.isDigit() || c == u'.') {
            number.append(c);
            continue;
        }
        if (number.isEmpty())
            return t;
        bool ok = false;
        const double value = number.toDouble(&ok);
        if (!ok)
            return t;
        number.clear();
        if (value == 0)
            continue;
        const QString n = QString::number(value);
        switch (c.toUpper().unicode()) {
        case u'Y':
            out += n + QStringLiteral("年");
            break;
        case u'W':
            out += n + QStringLiteral("周");
            break;
        case u'D':
            out += n + QStringLiteral("天");
            break;
        case u'H':
            out += n + QStringLiteral("小时");
            break;
        case u'M':
            out += n + (inTime ? QStringLiteral("分钟") : QStringLiteral("个月"));
            break;
        case u'S':
            out += n + QStringLiteral("秒");
            break;
        default:
            return t;
        }
    }
    if (!number.isEmpty())
        return t;
    return out.isEmpty() ? QString() : out;
}

QString IsoDuration(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 60)
        return {};
    static const QRegularExpression iso(
        QStringLiteral("^P(?:\\d+(?:\\.\\d+)?[YMWD])*(?:T(?:\\d+(?:\\.\\d+)?[HMS])+)?$"),
        QRegularExpression::CaseInsensitiveOption);
    if (t.size() > 1 && iso.match(t).hasMatch())
        return t.toUpper();
    static const QRegularExpression clock(QStringLiteral("^(\\d{1,3}):(\\d{2})$"));
    qint64 minutes = 0;
    if (const auto m = clock.match(t); m.hasMatch()) {
        minutes = m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong();
    } else {
        // Numbers each followed by a unit; anything else makes it no duration.
        static const QRegularExpression part(
            QStringLiteral("\\s*(\\d+(?:\\.\\d+)?)\\s*(days?|d|hours?|hrs?|h|minutes?|mins?|m|"
                           "天|小时|个小时|钟头|分钟|分)\\s*(?:and\\s*|,\\s*|，)?"),
            QRegularExpression::CaseInsensitiveOption);
        double total = 0;
        qsizetype at = 0;
        while (at < t.size()) {
            const auto m = part.match(t, at, QRegularExpression::NormalMatch,
                                      QRegularExpression::AnchorAtOffsetMatchOption);
            if (!m.hasMatch() || m.capturedLength() == 0)
                return {};
            const double n = m.captured(1).toDouble();
            const QString unit = m.captured(2).toLower();
            if (unit.startsWith(u'd') || unit == u"天")
                total += n * 24 * 60;
            else if (unit.startsWith(u'h') || unit.contains(u'时') || unit == u"钟头")
                total += n * 60;
            else
                total += n;
            at += m.capturedLength();
        }
        minutes = qint64(total + 0.5);
    }
    if (minutes <= 0 || minutes > 100LL * 24 * 60)
        return {};
    QString out = QStringLiteral("PT");
    if (minutes >= 60)
        out += QString::number(minutes / 60) + u'H';
    if (minutes % 60)
        out += QString::number(minutes % 60) + u'M';
    return out;
}

QString WithoutStepNumber(const QString& step) {
    qsizetype i = 0;
    while (i < step.size() && i < 3 && step.at(i).isDigit())
        ++i;
    if (i == 0 || i >= step.size())
        return step;
    const QChar mark = step.at(i);
    if (mark != u'.' && mark != u'、' && mark != u')' && mark != u'．' && mark != u'）')
        return step;
    // "1.5 kg" is an amount, not a number of a step.
    if (mark == u'.' && i + 1 < step.size() && step.at(i + 1).isDigit())
        return step;
    const QString rest = step.mid(i + 1).trimmed();
    return rest.isEmpty() ? step : rest;
}

QString MethodText(const std::vector<TRecipeLine>& steps) {
    QStringList lines;
    int number = 0;
    for (const TRecipeLine& step : steps) {
        if (step.Text.isEmpty())
            continue;
        if (step.Heading)
            lines.append(step.Text);
        else
            lines.append(QStringLiteral("%1. %2").arg(++number).arg(WithoutStepNumber(step.Text)));
    }
    return lines.join(u'\n');
}

namespace {
// Our own numbering as MethodText writes it: "12. text".
bool NumberedLine(const QString& line, QString& text) {
    qsizetype i = 0;
    while (i < line.size() && i < 4 && line.at(i).isDigit())
        ++i;
    if (i == 0 || i + 1 >= line.size() || line.at(i) != u'.' || line.at(i + 1) != u' ')
        return false;
    text = line.mid(i + 2).trimmed();
    return !text.isEmpty();
}

const char* const OverflowHeadings[] = {"【备注】", "【完整菜名】", "【完整配料】", "【完整说明】"};

int OverflowHeading(const QString& line) {
    for (int i = 0; i < 4; ++i)
        if (line == QString::fromUtf8(OverflowHeadings[i]))
            return i;
    return -1;
}
} // namespace

TMethodParts ReadMethod(const QString& method) {
    TMethodParts parts;
    const QStringList lines = method.split(u'\n');
    // The overflow blocks stand last, each after an empty line (the first one
    // may open the text when there were no steps).
    qsizetype end = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (OverflowHeading(lines[i].trimmed()) >= 0 &&
            (i == 0 || lines[i - 1].trimmed().isEmpty())) {
            end = i;
            break;
        }
    }
    QString* const blocks[] = {&parts.Notes, &parts.WholeName, &parts.WholeIngredients,
                               &parts.WholeNote};
    QString* current = nullptr;
    QStringList body;
    auto flush = [&] {
        while (!body.isEmpty() && body.last().trimmed().isEmpty())
            body.removeLast();
        if (current)
            *current = body.join(u'\n');
        body.clear();
    };
    for (qsizetype i = end; i < lines.size(); ++i) {
        const int h = OverflowHeading(lines[i].trimmed());
        if (h >= 0 && (i == end || lines[i - 1].trimmed().isEmpty())) {
            flush();
            current = blocks[h];
            continue;
        }
        body.append(lines[i]);
    }
    flush();

    std::vector<QString> kept;
    bool numbered = false;
    for (qsizetype i = 0; i < end; ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        QString text;
        numbered = numbered || NumberedLine(line, text);
        kept.push_back(line);
    }
    for (const QString& line : kept) {
        QString text;
        if (NumberedLine(line, text))
            parts.Steps.push_back({text, false, {}});
        else if (numbered)
            parts.Steps.push_back({line, true, {}}); // between our numbered steps: a heading
        else
            parts.Steps.push_back({WithoutStepNumber(line), false, {}});
    }
    return parts;
}

TRecipeColumns ColumnsFor(const TRecipe& recipe) {
    return {CutToFit(recipe.Name, NameColumnChars),
            CutToFit(recipe.Ingredients, IngredientsColumnChars), MethodText(recipe.Steps),
            CutToFit(recipe.Note, NoteColumnChars)};
}

QString YieldText(double servings, const QString& unit) {
    if (servings <= 0)
        return unit;
    const QString n = QString::number(servings);
    return unit.isEmpty() ? n : n + u' ' + unit;
}

void ReadYield(const QString& text, double& servings, QString& unit) {
    const QString t = CollapseWhitespace(text);
    static const QRegularExpression lead(
        QStringLiteral("^(\\d{1,6}(?:\\.\\d{1,3})?)(?:\\s*(.*))?$"));
    const auto m = lead.match(t);
    servings = 0;
    unit = t;
    if (!m.hasMatch())
        return;
    const QString rest = m.captured(2);
    // A range or a fraction is no one number: kept as written.
    if (!rest.isEmpty() &&
        (rest.front() == u'-' || rest.front() == u'–' || rest.front() == u'~' ||
         rest.front() == u'/' || rest.front() == u'～' || rest.front().isDigit()))
        return;
    servings = m.captured(1).toDouble();
    unit = rest;
}
