#pragma once
// The texts of a recipe and the designed row's forms of them: cutting to a
// column, the method as numbered lines and back, yields and durations.

#include "Recipe.h"

// At most maxChars UTF-16 units, cut between two characters (never inside a
// surrogate pair or before a combining mark), ending in "…" when cut.
QString CutToFit(const QString& text, int maxChars);
// Runs of white space (line breaks included) as one blank, ends trimmed.
QString CollapseWhitespace(const QString& text);
// "PT1H30M" as "1小时30分钟"; anything else unchanged (trimmed).
QString DurationText(const QString& iso);
// A duration as ISO 8601 ("PT1H30M") from ISO itself, "1 hour 30 minutes",
// "90 mins", "1小时30分钟", "1:30"; "" when the text is no duration.
QString IsoDuration(const QString& text);
// A step without a number its source already gave it ("1.", "2、", "3)").
QString WithoutStepNumber(const QString& step);

// 做法 as the designed window shows it: steps numbered "1. ", headings as they are.
QString MethodText(const std::vector<TRecipeLine>& steps);

// What a stored 做法 holds: its steps, and the whole texts that earlier imports
// kept under 【完整菜名】, 【完整配料】, 【完整说明】 and 【备注】 after them.
struct TMethodParts {
    std::vector<TRecipeLine> Steps;
    QString WholeName;
    QString WholeIngredients;
    QString WholeNote;
    QString Notes;
};
TMethodParts ReadMethod(const QString& method);

// The designed row for the whole texts: cut forms, the numbered method.
TRecipeColumns ColumnsFor(const TRecipe& recipe);

// "4 人份", "12 个", or the unit alone when the number is not known.
QString YieldText(double servings, const QString& unit);
// "4 servings" as 4 and "servings"; "4-6 人份" or "一盘" as 0 and the whole text.
void ReadYield(const QString& text, double& servings, QString& unit);
