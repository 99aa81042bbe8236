#include "RecipeLines.h"

#include "RecipeText.h"

#include <QRegularExpression>

namespace {
int DigitValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19) // full-width digits
        return c.unicode() - 0xFF10;
    return -1;
}

int ChineseDigit(QChar c) {
    static const QString digits = QStringLiteral("一二三四五六七八九");
    const qsizetype i = digits.indexOf(c);
    return i < 0 ? -1 : int(i) + 1;
}

// "一" … "二十": a number up to 20 and its length; 0 when none.
int ChineseNumber(QStringView t, qsizetype at, qsizetype& length) {
    const auto c = [&](qsizetype i) {
        return at + i < t.size() ? t[at + i] : QChar();
    };
    if (c(0) == u'十') {
        const int unit = ChineseDigit(c(1));
        length = unit > 0 ? 2 : 1;
        return 10 + std::max(unit, 0);
    }
    const int first = ChineseDigit(c(0));
    if (first < 0)
        return 0;
    if (c(1) == u'十' && first == 2) {
        length = 2;
        return 20;
    }
    length = 1;
    return first;
}

// Digits (at most two) as a number; 0 when none.
int Digits(QStringView t, qsizetype at, qsizetype& length) {
    int value = 0;
    length = 0;
    while (at + length < t.size() && length < 3 && DigitValue(t[at + length]) >= 0)
        value = value * 10 + DigitValue(t[at + length++]);
    if (length == 0 || length > 2 || (at + length < t.size() && DigitValue(t[at + length]) >= 0))
        return 0;
    return value;
}

bool IsSpaceAt(QStringView t, qsizetype i) {
    return i >= t.size() || t[i].isSpace();
}

bool AtLineEnd(QStringView t, qsizetype i) {
    while (i < t.size() && t[i] != u'\n' && t[i].isSpace())
        ++i;
    return i >= t.size() || t[i] == u'\n';
}

// A step's number beginning at `at` ("3.", "3、", "(3)", "③", "第三步", "Step 3:"),
// its value and length, punctuation and blanks after it included; 0 when none.
int MarkAt(QStringView t, qsizetype at, qsizetype& length) {
    length = 0;
    if (at >= t.size())
        return 0;
    const QChar c = t[at];
    qsizetype n = 0;
    int value = 0;
    auto after = [&](qsizetype i) { // punctuation that may follow, then blanks
        if (i < t.size() && QStringLiteral(".、．:：)）,，-").contains(t[i]))
            ++i;
        while (i < t.size() && t[i] != u'\n' && t[i].isSpace())
            ++i;
        return i;
    };
    const ushort u = c.unicode();
    if ((u >= 0x2460 && u <= 0x2473) || (u >= 0x2776 && u <= 0x277F) ||
        (u >= 0x2780 && u <= 0x2789) || (u >= 0x278A && u <= 0x2793)) {
        value = u >= 0x278A   ? u - 0x278A + 1
                : u >= 0x2780 ? u - 0x2780 + 1
                : u >= 0x2776 ? u - 0x2776 + 1
                              : u - 0x2460 + 1;
        length = after(at + 1) - at;
        return value;
    }
    if (c == u'(' || c == u'（') {
        value = Digits(t, at + 1, n);
        if (value == 0 || at + 1 + n >= t.size() ||
            (t[at + 1 + n] != u')' && t[at + 1 + n] != u'）'))
            return 0;
        qsizetype i = at + 2 + n;
        while (i < t.size() && t[i] != u'\n' && t[i].isSpace())
            ++i;
        length = i - at;
        return value;
    }
    if (c == u'第' || t.sliced(at).startsWith(u"步骤")) {
        const qsizetype start = at + (c == u'第' ? 1 : 2);
        value = Digits(t, start, n);
        if (value == 0)
            value = ChineseNumber(t, start, n);
        if (value == 0)
            return 0;
        qsizetype i = start + n;
        if (c == u'第') {
            if (i >= t.size() || t[i] != u'步')
                return 0;
            ++i;
        }
        length = after(i) - at;
        return value;
    }
    for (const char* word : {"step", "schritt", "étape", "etape", "paso", "passo", "krok"}) {
        const QString w = QString::fromUtf8(word);
        if (!t.sliced(at).startsWith(w, Qt::CaseInsensitive))
            continue;
        qsizetype i = at + w.size();
        while (i < t.size() && t[i] == u' ')
            ++i;
        value = Digits(t, i, n);
        if (value == 0)
            return 0;
        length = after(i + n) - at;
        return value;
    }
    value = Digits(t, at, n);
    if (value > 0) {
        const qsizetype i = at + n;
        if (i < t.size() && QStringLiteral(".、．)）:：").contains(t[i])) {
            // "1.5 kg" and "10:30" are amounts and times, not numbers of steps.
            if (i + 1 < t.size() && DigitValue(t[i + 1]) >= 0)
                return 0;
            length = after(i) - at;
            return value;
        }
        if (AtLineEnd(t, i)) { // the number alone on its line
            length = i - at;
            return value;
        }
        return 0;
    }
    value = ChineseNumber(t, at, n);
    if (value > 0 && at + n < t.size() && t[at + n] == u'、') {
        length = after(at + n) - at;
        return value;
    }
    return 0;
}

// Where a step's number may stand: at a line's start, or after a sentence ends.
bool MarkMayStand(QStringView t, qsizetype at) {
    if (at == 0)
        return true;
    if (const ushort u = t[at].unicode();
        (u >= 0x2460 && u <= 0x2473) || (u >= 0x2776 && u <= 0x2793))
        return true; // "①" stands out wherever it is
    const QChar p = t[at - 1];
    return p.isSpace() || QStringLiteral("。．！!？?；;").contains(p);
}

QString Clean(QStringView text) {
    return CollapseWhitespace(text.toString());
}

bool HasChinese(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x2E80 && c.unicode() < 0xFE30)
            return true;
    return false;
}

// Items of one line separated by "、" "，" "；" (and "," between Chinese words),
// never inside brackets: "盐（或酱油、生抽）" is one item.
QStringList SplitItems(const QString& line) {
    const bool chinese = HasChinese(line);
    QStringList out;
    QString item;
    int depth = 0;
    for (const QChar c : line) {
        if (QStringLiteral("(（[【").contains(c))
            ++depth;
        else if (QStringLiteral(")）]】").contains(c) && depth > 0)
            --depth;
        const bool separator =
            depth == 0 && (QStringLiteral("、，；;").contains(c) || (chinese && c == u','));
        if (!separator) {
            item.append(c);
            continue;
        }
        if (const QString t = Clean(item); !t.isEmpty())
            out.append(t);
        item.clear();
    }
    if (const QString t = Clean(item); !t.isEmpty())
        out.append(t);
    return out;
}

// A short line ending in a colon: a section of a part ("For the sauce:", "酱汁：").
bool IsSectionLine(const QString& line) {
    return line.size() >= 2 && line.size() <= 30 && (line.endsWith(u':') || line.endsWith(u'：')) &&
           !SplitItems(line.chopped(1)).isEmpty() && SplitItems(line.chopped(1)).size() == 1;
}

QString WithoutMark(const QString& line) {
    return line.mid(LeadingMarkLength(line)).trimmed();
}

const QString Decoration = QStringLiteral("#*=【】[]「」『』《》〔〕<>■□●○◆◇▶►▸▼★☆✿❀·•-—_~|｜ \t");

} // namespace

QString Undecorated(QString t) {
    t = t.trimmed();
    qsizetype from = 0;
    while (from < t.size() && (Decoration.contains(t[from]) || t[from].isSurrogate() ||
                               t[from].category() == QChar::Symbol_Other))
        ++from;
    qsizetype to = t.size();
    while (to > from && (Decoration.contains(t[to - 1]) || t[to - 1].isSurrogate() ||
                         t[to - 1].category() == QChar::Symbol_Other))
        --to;
    return t.mid(from, to - from);
}

namespace {

struct TPattern {
    TRecipePart Part;
    bool Generic;
    const char* Words; // a regular expression, matched case-insensitively against the whole heading
};

// In order: the first that matches names the part.
const TPattern Patterns[] = {
    {TRecipePart::Ingredients, true,
     "(所需|需要的?|准备的?|主要|全部)?(用料|食材|材料|原料|原材料|配料|食料)(清单|表|准备|如下|"
     "明细|一览)?"},
    {TRecipePart::Ingredients, true,
     "(the )?(ingredients?|ingredient list|what you('|’)?ll need|you('|’)?ll need|you will "
     "need|zutaten|ingrédients|ingredientes|ingredienti|składniki|ingrediënten|ingredienser|"
     "ингредиенты|用意するもの|재료)"},
    {TRecipePart::Ingredients, false,
     "(主料|辅料|调料|调味料|佐料|腌料|酱料|酱汁|配菜|主材料|辅材料|.{1,8}(的)?(用料|材料|配料|"
     "食材))"},
    {TRecipePart::Ingredients, false,
     "(ingredients?|zutaten|ingrédients|ingredientes|ingredienti|składniki) "
     "(for|für|pour|para|per|dla) .+"},
    {TRecipePart::Steps, true,
     "(具体|详细)?(.{1,20}的)?(做法|步骤|制作方法|制作步骤|做法步骤|烹饪步骤|烹饪方法|制作过程|"
     "操作步骤|烹制方法|烹调方法|制作|制法)(如下|详解|图解)?"},
    {TRecipePart::Steps, true,
     "(directions|method|methods|instructions|preparation|steps|how to make( it)?|cooking "
     "instructions|cooking "
     "method|procedure|zubereitung|anleitung|préparation|étapes|preparación|elaboración|modo de "
     "preparación|preparazione|procedimento|przygotowanie|sposób "
     "przygotowania|bereiding|bereidingswijze|приготовление|作り方|手順|만드는 법|조리법)"},
    {TRecipePart::Steps, false,
     "(directions|instructions|method|zubereitung|préparation|preparación|preparazione|"
     "przygotowanie) (for|für|pour|para|per|dla) .+"},
    {TRecipePart::Notes, true,
     "(小贴士|贴士|小窍门|窍门|提示|小提示|温馨提示|注意|注意事项|备注|心得|烹饪技巧|技巧|要点|"
     "营养|营养成分|评论|相关菜谱|相关推荐|猜你喜欢|tips?|notes?|recipe notes?|cook'?s "
     "notes?|chef'?s notes?|nutrition|nutrition facts|nutrition "
     "information|comments?|reviews?|related recipes|related posts|you may also like|more "
     "recipes|hinweise?|tipps?|notizen|astuces?|conseils?|remarques?|notas?|consejos?|consigli|"
     "wskazówki|uwagi|ポイント|コツ|メモ)"},
};

// All of them as one expression, each a named group: one match a line.
const QRegularExpression& HeadingExpression() {
    static const QRegularExpression expression = [] {
        QStringList groups;
        for (size_t i = 0; i < std::size(Patterns); ++i)
            groups << QStringLiteral("(?<p%1>%2)").arg(i).arg(QString::fromUtf8(Patterns[i].Words));
        QRegularExpression e(QStringLiteral("^(?:") + groups.join(u'|') + QStringLiteral(")$"),
                             QRegularExpression::CaseInsensitiveOption);
        e.optimize();
        return e;
    }();
    return expression;
}
} // namespace

QString UnifyLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar c : {QChar(u'\r'), QChar(0x2028), QChar(0x2029), QChar(0x0085)})
        text.replace(c, u'\n');
    return text;
}

TPartHeading PartHeading(const QString& text) {
    TPartHeading out;
    QString t = CollapseWhitespace(text);
    // "【食材】西兰花1棵、大蒜6瓣": the bracket ends the heading as a colon would.
    static const QString opening = QStringLiteral("【[「『《〔"),
                         closing = QStringLiteral("】]」』》〕");
    if (const qsizetype kind = t.isEmpty() ? -1 : opening.indexOf(t[0]); kind >= 0) {
        const qsizetype close = t.indexOf(closing[kind]);
        if (close > 0 && close < 42) {
            QString rest = t.mid(close + 1).trimmed();
            if (rest.startsWith(u':') || rest.startsWith(u'：'))
                rest.remove(0, 1);
            t = t.mid(1, close - 1) + u'：' + rest;
        }
    }
    t = Undecorated(t);
    if (t.isEmpty())
        return out;
    qsizetype colon = -1;
    for (qsizetype i = 0; colon < 0 && i < t.size() && i < 42; ++i)
        if (t[i] == u':' || t[i] == u'：')
            colon = i;
    if (colon < 0 && t.size() > 60)
        return out; // a sentence, not a heading
    QString head = colon < 0 ? t : t.left(colon);
    head = Undecorated(head);
    // "用料（2人份）", "Ingredients (serves 4)"
    static const QRegularExpression bracket(QStringLiteral("\\s*[（(][^（()）]{0,20}[)）]$"));
    head.remove(bracket);
    while (head.endsWith(u'.') || head.endsWith(u'。'))
        head.chop(1);
    head = head.trimmed();
    if (head.isEmpty() || head.size() > 40)
        return out;
    const QRegularExpressionMatch match = HeadingExpression().match(head);
    if (!match.hasMatch())
        return out;
    for (size_t i = 0; i < std::size(Patterns); ++i) {
        if (match.capturedStart(QStringLiteral("p%1").arg(i)) < 0)
            continue;
        out.Part = Patterns[i].Part;
        out.Generic = Patterns[i].Generic;
        out.Title = head;
        out.Rest = colon < 0 ? QString() : t.mid(colon + 1).trimmed();
        break;
    }
    return out;
}

qsizetype LeadingMarkLength(QStringView line) {
    static const QString bullets = QStringLiteral("•·●○■□▪▫◆◇★☆▢☐✓✔-*–—~+>");
    qsizetype i = 0;
    while (i < line.size() && line[i].isSpace())
        ++i;
    if (i < line.size() && bullets.contains(line[i])) {
        // "-1/2" and "*3" are no bullets; "- 2 eggs" and "•2 eggs" are.
        if (!(line[i] == u'-' && i + 1 < line.size() && DigitValue(line[i + 1]) >= 0)) {
            ++i;
            while (i < line.size() && line[i].isSpace())
                ++i;
            return i;
        }
    }
    qsizetype length = 0;
    if (MarkAt(line, i, length) > 0 && i + length < line.size())
        return i + length;
    return 0;
}

QStringList SplitNumberedSteps(const QString& raw, bool lastEndsAtLine) {
    const QString text = UnifyLineBreaks(raw);
    const QStringView t(text);
    qsizetype start = 0;
    while (start < t.size() && t[start].isSpace())
        ++start;
    qsizetype length = 0;
    if (MarkAt(t, start, length) != 1)
        return {};
    struct TCut {
        qsizetype At, Length;
    };
    std::vector<TCut> cuts{{start, length}};
    int expected = 2;
    for (qsizetype i = start + length; i < t.size(); ++i) {
        if (!MarkMayStand(t, i))
            continue;
        // A number in mid-line only after a sentence ends or a blank ("切块。2.焯水").
        if (MarkAt(t, i, length) == expected) {
            cuts.push_back({i, length});
            ++expected;
            i += length - 1;
        }
    }
    if (cuts.size() < 2)
        return {};
    QStringList steps;
    for (size_t k = 0; k < cuts.size(); ++k) {
        qsizetype from = cuts[k].At + cuts[k].Length;
        while (from < t.size() && t[from].isSpace())
            ++from;
        qsizetype to = k + 1 < cuts.size() ? cuts[k + 1].At : t.size();
        if (k + 1 == cuts.size() && lastEndsAtLine)
            if (const qsizetype end = t.indexOf(u'\n', from); end >= 0)
                to = end;
        if (const QString step = Clean(t.sliced(from, std::max<qsizetype>(to - from, 0)));
            !step.isEmpty())
            steps.append(step);
    }
    return steps;
}

std::vector<TRecipeLine> IngredientLines(const QStringList& lines) {
    std::vector<TRecipeLine> out;
    auto items = [&](const QString& line) {
        for (const QString& item : SplitItems(line))
            if (const QString t = WithoutMark(item); !t.isEmpty())
                out.push_back({t, false});
    };
    for (const QString& raw : lines) {
        const QString line = Clean(raw);
        if (line.isEmpty())
            continue;
        const TPartHeading heading = PartHeading(line);
        if (heading.Part == TRecipePart::Ingredients) {
            if (!heading.Generic)
                out.push_back({heading.Title, true});
            items(heading.Rest);
            continue;
        }
        if (IsSectionLine(line)) {
            out.push_back({Undecorated(line.chopped(1)), true});
            continue;
        }
        items(WithoutMark(line));
    }
    return out;
}

std::vector<TRecipeLine> StepLines(const QStringList& lines, bool paragraphs) {
    std::vector<TRecipeLine> out;
    QStringList group;
    auto flush = [&] {
        if (group.isEmpty())
            return;
        QStringList steps = SplitNumberedSteps(group.join(u'\n'), paragraphs);
        if (steps.isEmpty())
            for (const QString& line : group)
                if (const QString t = WithoutMark(line); !t.isEmpty())
                    steps.append(t);
        for (const QString& step : steps)
            out.push_back({step, false});
        group.clear();
    };
    for (const QString& raw : lines) {
        const QString line = Clean(raw);
        if (line.isEmpty())
            continue;
        const TPartHeading heading = PartHeading(line);
        if (heading.Part == TRecipePart::Steps) {
            flush();
            if (!heading.Generic)
                out.push_back({heading.Title, true});
            if (!heading.Rest.isEmpty())
                group.append(heading.Rest);
            continue;
        }
        if (IsSectionLine(line) && LeadingMarkLength(line) == 0) {
            flush();
            out.push_back({Undecorated(line.chopped(1)), true});
            continue;
        }
        group.append(line);
    }
    flush();
    return out;
}
