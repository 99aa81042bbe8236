#include "MealMaster.h"

#include "ColumnMapping.h"
#include "ImportFile.h"
#include "TextDecode.h"

#include <deque>
#include <utility>

namespace {
bool IsHeader(QStringView line) {
    return (line.startsWith(u"MMMMM-") || line.startsWith(u"-----")) &&
           line.contains(u"Meal-Master", Qt::CaseInsensitive);
}

bool IsEnd(QStringView line) {
    const QStringView t = line.trimmed();
    return t == u"MMMMM" || t == u"-----";
}

// "MMMMM------SAUCE------" or "-----SAUCE-----": the heading's text, else empty.
QString Heading(QStringView line) {
    QStringView t = line.trimmed();
    if (!t.startsWith(u"MMMMM-") && !t.startsWith(u"-----"))
        return {};
    if (t.startsWith(u"MMMMM"))
        t = t.sliced(5);
    qsizetype a = 0, b = t.size();
    while (a < b && t[a] == u'-')
        ++a;
    while (b > a && t[b - 1] == u'-')
        --b;
    const QString text = CollapseWhitespace(t.sliced(a, b - a).toString());
    for (const QChar c : text)
        if (c.isLetterOrNumber())
            return text;
    return {};
}

bool IsUnit(QStringView unit) {
    static const QStringList units = {
        QStringLiteral("x"),  QStringLiteral("sm"), QStringLiteral("md"), QStringLiteral("lg"),
        QStringLiteral("cn"), QStringLiteral("pk"), QStringLiteral("pn"), QStringLiteral("dr"),
        QStringLiteral("ds"), QStringLiteral("ct"), QStringLiteral("sl"), QStringLiteral("ea"),
        QStringLiteral("t"),  QStringLiteral("ts"), QStringLiteral("T"),  QStringLiteral("tb"),
        QStringLiteral("fl"), QStringLiteral("c"),  QStringLiteral("pt"), QStringLiteral("qt"),
        QStringLiteral("ga"), QStringLiteral("oz"), QStringLiteral("lb"), QStringLiteral("ml"),
        QStringLiteral("cb"), QStringLiteral("cl"), QStringLiteral("dl"), QStringLiteral("l"),
        QStringLiteral("mg"), QStringLiteral("cg"), QStringLiteral("dg"), QStringLiteral("g"),
        QStringLiteral("kg")};
    const QStringView u = unit.trimmed();
    return u.isEmpty() || units.contains(u.toString());
}

bool IsAmount(QStringView amount) {
    for (const QChar c : amount)
        if (!c.isDigit() && c != u' ' && c != u'/' && c != u'.' && c != u'-')
            return false;
    return true;
}

struct TIngredient {
    bool Valid = false;
    bool Continues = false;
    QString Text;
};

QStringView Part(QStringView cell, qsizetype from, qsizetype n) {
    return from >= cell.size() ? QStringView() : cell.sliced(from, std::min(n, cell.size() - from));
}

// Whether the cell is laid out as one ingredient: amount in columns 1-7, unit
// 9-10, the item from 12 to the cell's end. Asked of most lines more than once,
// so it builds no text.
bool IsIngredientCell(QStringView cell) {
    if (cell.trimmed().isEmpty())
        return false;
    const QStringView amount = Part(cell, 0, 7);
    if (!IsAmount(amount) || !IsUnit(Part(cell, 8, 2)))
        return false;
    if ((cell.size() > 7 && cell[7] != u' ') || (cell.size() > 10 && cell[10] != u' '))
        return false;
    return !Part(cell, 11, cell.size()).trimmed().isEmpty() || !amount.trimmed().isEmpty();
}

// One ingredient, as IsIngredientCell lays it out.
TIngredient ParseIngredient(QStringView cell) {
    TIngredient result;
    if (!IsIngredientCell(cell))
        return result;
    result.Valid = true;
    const QStringView amount = Part(cell, 0, 7);
    const QStringView unit = Part(cell, 8, 2);
    const QStringView item = Part(cell, 11, cell.size());
    if (amount.trimmed().isEmpty() && unit.trimmed().isEmpty()) {
        QString text = CollapseWhitespace(item.toString());
        if (text.startsWith(u'-')) {
            result.Continues = true;
            text = CollapseWhitespace(text.mid(1));
        }
        result.Text = std::move(text);
        return result;
    }
    result.Text =
        CollapseWhitespace(amount.toString() + u' ' + unit.toString() + u' ' + item.toString());
    return result;
}

// Where the second ingredient of a two-column line starts: column 42, where the
// program itself puts it, or 41, where some other writers do; -1 for a line of
// one column, whose item may run to any length. A right cell must look as the
// writers lay it out (the amount right-aligned, the item in its own column),
// so the words of a long one-column line are never taken for one.
qsizetype RightColumn(QStringView line) {
    for (const qsizetype at : {qsizetype(41), qsizetype(40)}) {
        if (line.size() <= at || line[at - 1] != u' ')
            continue;
        const QStringView cell = line.sliced(at);
        const bool noAmount = cell.first(std::min<qsizetype>(cell.size(), 7)).trimmed().isEmpty();
        if (!noAmount && (cell.size() < 7 || cell[6] == u' '))
            continue;
        const bool noUnit =
            cell.size() <= 8 ||
            cell.sliced(8, std::min<qsizetype>(2, cell.size() - 8)).trimmed().isEmpty();
        if (noAmount && noUnit && (cell.size() <= 11 || cell[11] == u' '))
            continue;
        if (IsIngredientCell(cell))
            return at;
    }
    return -1;
}

// The file's lines, decoded as the parser reaches them; lines behind the
// recipe being read are let go.
class TLines {
public:
    explicit TLines(std::function<bool(QString&)> more) : FMore(std::move(more)) {}

    // Whether line i exists, decoding more of the file as needed.
    bool Has(qsizetype i) {
        while (i - FFirst >= qsizetype(FLines.size()) && !FEnded)
            Decode();
        return i - FFirst < qsizetype(FLines.size());
    }
    const QString& operator[](qsizetype i) const { return FLines[size_t(i - FFirst)]; }
    void Forget(qsizetype before) {
        while (FFirst < before && !FLines.empty()) {
            FLines.pop_front();
            ++FFirst;
        }
    }

private:
    void Decode() {
        QString text;
        if (!FMore(text)) {
            // As splitting the whole text would: the last line, empty or not.
            Add(std::move(FPartial));
            FEnded = true;
            return;
        }
        qsizetype from = 0;
        for (qsizetype nl; (nl = text.indexOf(u'\n', from)) >= 0; from = nl + 1) {
            FPartial += QStringView(text).sliced(from, nl - from);
            Add(std::exchange(FPartial, QString()));
        }
        FPartial += QStringView(text).sliced(from);
    }
    void Add(QString line) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.contains(u'\t'))
            line.replace(u'\t', QStringLiteral("        "));
        FLines.push_back(std::move(line));
    }

    std::function<bool(QString&)> FMore;
    std::deque<QString> FLines;
    qsizetype FFirst = 0;
    QString FPartial;
    bool FEnded = false;
};

class TParser {
public:
    TParser(TLines& lines, const TRecipeSink& sink) : FLines(lines), FSink(sink) {}

    void Run() {
        int found = 0;
        for (FAt = 0; FLines.Has(FAt); ++FAt) {
            FLines.Forget(FAt);
            if (!IsHeader(FLines[FAt]))
                continue;
            if (++found > MaxRecipesPerFile)
                throw EImportError(QStringLiteral("文件里的菜谱太多"));
            ++FAt;
            Recipe();
        }
        if (found == 0)
            throw EImportError(QStringLiteral("不是 MealMaster 文件：没有“Meal-Master”开头的菜谱"));
    }

private:
    // Lines up to the recipe's end line (or the next header, or the end of the file).
    void Recipe() {
        TImportedRecipe r;
        // Header fields, up to the first blank line after them.
        while (FLines.Has(FAt) && Blank(FLines[FAt]))
            ++FAt;
        while (FLines.Has(FAt) && !Blank(FLines[FAt]) && !Stop()) {
            const QString line = FLines[FAt].trimmed();
            const qsizetype colon = line.indexOf(u':');
            const QString key = colon > 0 ? line.left(colon).trimmed().toLower() : QString();
            const QString value = colon > 0 ? CollapseWhitespace(line.mid(colon + 1)) : QString();
            if (key == u"title") {
                r.Name = value;
            } else if (key == u"categories") {
                for (const QString& c : value.split(u',', Qt::SkipEmptyParts)) {
                    const QString t = c.trimmed();
                    if (!t.isEmpty() && t.compare(u"None", Qt::CaseInsensitive) != 0)
                        r.Categories.append(t);
                }
            } else if (key == u"yield" || key == u"servings") {
                r.Yield = value;
            } else {
                break; // no blank line after the fields: ingredients follow at once
            }
            ++FAt;
        }
        Ingredients(r);
        Directions(r);
        FSink(std::move(r));
        // FAt is at the end line or the next header; the outer loop steps past it.
        if (FLines.Has(FAt) && IsHeader(FLines[FAt]))
            --FAt;
    }

    static bool Blank(QStringView line) { return line.trimmed().isEmpty(); }

    bool Stop() { return !FLines.Has(FAt) || IsEnd(FLines[FAt]) || IsHeader(FLines[FAt]); }

    void Ingredients(TImportedRecipe& r) {
        std::vector<TRecipeLine> left, right;
        auto flush = [&] {
            for (auto* column : {&left, &right}) {
                for (TRecipeLine& l : *column)
                    r.Ingredients.push_back(std::move(l));
                column->clear();
            }
        };
        auto add = [&](std::vector<TRecipeLine>& column, const TIngredient& ing) {
            if (ing.Continues && !column.empty())
                column.back().Text += u' ' + ing.Text;
            else if (!ing.Text.isEmpty())
                column.push_back({ing.Text, false});
        };
        while (!Stop()) {
            const QString& line = FLines[FAt];
            if (Blank(line)) {
                // A blank line ends the ingredients unless more of them follow.
                qsizetype next = FAt + 1;
                while (FLines.Has(next) && Blank(FLines[next]))
                    ++next;
                if (!FLines.Has(next) || !LooksLikeIngredientLine(FLines[next]))
                    break;
                FAt = next;
                continue;
            }
            if (const QString heading = Heading(line); !heading.isEmpty()) {
                flush();
                r.Ingredients.push_back({heading, true});
                ++FAt;
                continue;
            }
            const qsizetype split = RightColumn(line);
            const QStringView cell = split < 0 ? QStringView(line) : QStringView(line).first(split);
            const TIngredient first = ParseIngredient(cell);
            if (!first.Valid && (split < 0 || !cell.trimmed().isEmpty()))
                break; // the directions begin
            add(left, first);
            if (split >= 0)
                add(right, ParseIngredient(QStringView(line).sliced(split)));
            ++FAt;
        }
        flush();
    }

    bool LooksLikeIngredientLine(const QString& line) const {
        if (!Heading(line).isEmpty())
            return true;
        const qsizetype split = RightColumn(line);
        if (split < 0)
            return IsIngredientCell(line);
        const QStringView cell = QStringView(line).first(split);
        return cell.trimmed().isEmpty() || IsIngredientCell(cell);
    }

    void Directions(TImportedRecipe& r) {
        QString paragraph;
        auto flush = [&] {
            const QString text = CollapseWhitespace(paragraph);
            if (!text.isEmpty())
                r.Steps.push_back({text, false});
            paragraph.clear();
        };
        for (; !Stop(); ++FAt) {
            QString line = FLines[FAt];
            if (const QString heading = Heading(line); !heading.isEmpty()) {
                flush();
                r.Steps.push_back({heading, true});
                continue;
            }
            if (Blank(line)) {
                flush();
                continue;
            }
            // The byte 0x14 marks a paragraph's end.
            if (!line.contains(QChar(0x14)) && !line.contains(QChar(0x00B6))) {
                paragraph += u' ';
                paragraph += line;
                continue;
            }
            line.replace(QChar(0x00B6), QChar(0x14));
            const QStringList pieces = line.split(QChar(0x14));
            for (qsizetype i = 0; i < pieces.size(); ++i) {
                if (i > 0)
                    flush();
                paragraph += u' ' + pieces[i];
            }
        }
        flush();
    }

    TLines& FLines;
    const TRecipeSink& FSink;
    qsizetype FAt = 0;
};
} // namespace

void ReadMealMasterText(const QString& text, const TRecipeSink& sink) {
    bool given = false;
    TLines lines([&](QString& piece) {
        if (std::exchange(given, true))
            return false;
        piece = text;
        return true;
    });
    TParser(lines, sink).Run();
}

void ReadMealMasterBytes(QByteArrayView bytes, const TRecipeSink& sink, qsizetype pieceBytes) {
    if (bytes.size() > MaxImportFileBytes)
        throw EImportError(QStringLiteral("文件太大"));
    TTextPieces pieces(bytes, DetectEncoding(bytes));
    TLines lines([&](QString& piece) {
        if (pieces.AtEnd())
            return false;
        piece = pieces.Next(pieceBytes);
        return true;
    });
    TParser(lines, sink).Run();
}

void ReadMealMasterFile(const QString& path, const TRecipeSink& sink) {
    ReadMealMasterBytes(ReadImportFile(path), sink);
}
