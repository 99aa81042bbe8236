#include "ColumnMapping.h"

#include <QTextBoundaryFinder>

namespace {
const QString Ellipsis = QStringLiteral("…");

void AddSection(QStringList& lines, const QString& heading, const QString& body) {
    if (body.isEmpty())
        return;
    if (!lines.isEmpty())
        lines.append(QString());
    lines.append(heading);
    lines.append(body);
}

QString JoinLines(const std::vector<TRecipeLine>& lines) {
    QStringList out;
    for (const TRecipeLine& line : lines)
        if (!line.Text.isEmpty())
            out.append(line.Text);
    return out.join(u'\n');
}
} // namespace

QString CollapseWhitespace(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (const QChar c : text) {
        if (c.isSpace() || c == QChar(0x00A0)) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out.append(u' ');
        blank = false;
        out.append(c);
    }
    return out;
}

QString CutToFit(const QString& text, int maxChars) {
    if (text.size() <= maxChars)
        return text;
    if (maxChars <= 0)
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
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

TRecipeColumns MapToColumns(const TImportedRecipe& recipe) {
    if (recipe.Exact)
        return *recipe.Exact;
    TRecipeColumns columns;
    QString name = CollapseWhitespace(recipe.Name);
    if (name.isEmpty())
        name = QStringLiteral("未命名菜谱");
    const QString ingredients = JoinLines(recipe.Ingredients);

    QStringList method;
    int number = 0;
    for (const TRecipeLine& step : recipe.Steps) {
        if (step.Text.isEmpty())
            continue;
        if (step.Heading)
            method.append(step.Text);
        else
            method.append(QStringLiteral("%1. %2").arg(++number).arg(WithoutStepNumber(step.Text)));
    }

    QStringList note;
    if (!recipe.Description.isEmpty())
        note.append(recipe.Description);
    if (!recipe.Yield.isEmpty())
        note.append(QStringLiteral("份量：") + recipe.Yield);
    QStringList times;
    const std::pair<const char*, const QString*> timeFields[] = {
        {"准备", &recipe.PrepTime}, {"烹饪", &recipe.CookTime}, {"总计", &recipe.TotalTime}};
    for (const auto& [label, value] : timeFields) {
        const QString text = DurationText(*value);
        if (!text.isEmpty())
            times.append(QString::fromUtf8(label) + QStringLiteral("：") + text);
    }
    if (!times.isEmpty())
        note.append(times.join(QStringLiteral("　")));
    if (!recipe.Source.isEmpty())
        note.append(QStringLiteral("来源：") + recipe.Source);
    if (!recipe.Categories.isEmpty())
        note.append(QStringLiteral("分类：") + recipe.Categories.join(QStringLiteral("，")));
    const QString noteText = note.join(u'\n');

    AddSection(method, QStringLiteral("【备注】"), recipe.Notes);
    columns.Name = CutToFit(name, NameColumnChars);
    if (columns.Name != name)
        AddSection(method, QStringLiteral("【完整菜名】"), name);
    columns.Ingredients = CutToFit(ingredients, IngredientsColumnChars);
    if (columns.Ingredients != ingredients)
        AddSection(method, QStringLiteral("【完整配料】"), ingredients);
    columns.Note = CutToFit(noteText, NoteColumnChars);
    if (columns.Note != noteText)
        AddSection(method, QStringLiteral("【完整说明】"), noteText);
    columns.Method = method.join(u'\n');
    return columns;
}
