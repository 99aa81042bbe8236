#pragma once
// Fits an imported recipe into the book's columns: 菜名 30 characters, 原料 and
// 说明 255, 做法 unlimited. What does not fit is cut with "…" and kept whole in
// 做法 under a heading of its own, so nothing is lost.

#include "ImportTypes.h"

inline constexpr int NameColumnChars = 30;
inline constexpr int IngredientsColumnChars = 255;
inline constexpr int NoteColumnChars = 255;

TRecipeColumns MapToColumns(const TImportedRecipe& recipe);

// At most maxChars UTF-16 units, cut between two characters (never inside a
// surrogate pair or before a combining mark), ending in "…" when cut.
QString CutToFit(const QString& text, int maxChars);
// Runs of white space (line breaks included) as one blank, ends trimmed.
QString CollapseWhitespace(const QString& text);
// "PT1H30M" as "1小时30分钟"; anything else unchanged (trimmed).
QString DurationText(const QString& iso);
// A step without a number its source already gave it ("1.", "2、", "3)").
QString WithoutStepNumber(const QString& step);
