#pragma once
// Reading a recipe's parts out of plain lines, as pages show them and as cooks
// paste them: which heading names which part ("用料", "Zubereitung"...), a
// method written as one text with its own numbers ("1." "2、" "①" "第一步"),
// ingredients given on one line ("盐、糖、酱油").

#include "ImportTypes.h"

enum class TRecipePart { None, Ingredients, Steps, Notes };

struct TPartHeading {
    TRecipePart Part = TRecipePart::None;
    bool Generic = false; // "用料", "Ingredients": names the part, not one section of it
    QString Title;        // the heading without its decoration ("主料", "For the sauce")
    QString Rest;         // what follows its colon on the same line ("五花肉 500克、冰糖")
};
// The part a heading or a line's head names, in the languages cooks write in;
// None for anything longer than a heading.
TPartHeading PartHeading(const QString& text);

// The steps of a text that numbers them itself, from 1 and in order, without
// their numbers; empty when the text holds fewer than two such numbers.
// lastEndsAtLine: the last step ends with its line (a page's paragraphs after a
// numbered method are its chatter, not the step's).
QStringList SplitNumberedSteps(const QString& text, bool lastEndsAtLine = false);
// A line's own number or bullet ("3.", "②", "第三步", "Step 3:", "•") and its length; 0 when none.
qsizetype LeadingMarkLength(QStringView line);

// Lines as ingredients: bullets dropped, "主料：a、b" as a heading and its items,
// a line of items separated by "、" "，" "；" as several.
std::vector<TRecipeLine> IngredientLines(const QStringList& lines);
// Lines as steps: a text that numbers its steps is split at its numbers (a line
// without a number continues its step), else one step a line; "For the sauce:"
// lines are headings.
std::vector<TRecipeLine> StepLines(const QStringList& lines, bool paragraphs = false);
// A heading without its decoration: "【用料】" and "## Ingredients ##" as the words.
QString Undecorated(QString text);
// Line breaks of any kind (CR, U+2028, U+2029, U+0085) as "\n".
QString UnifyLineBreaks(QString text);
