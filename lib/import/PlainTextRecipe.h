#pragma once
// A recipe copied as text from a chat or an article: a title line, then
// "用料："/"食材："/"Ingredients" with items on lines or separated by "、" "，" "；",
// then "做法："/"步骤："/"Directions" with numbered or unnumbered steps, then
// anything else as the note.

#include "ImportTypes.h"

// At most this many characters are read as one pasted recipe.
inline constexpr qsizetype MaxPlainTextChars = 1024 * 1024;

// Raises EImportError when the text names neither ingredients nor steps.
TImportedRecipe RecipeFromPlainText(const QString& text);
// A .txt file that is no MealMaster file, in any encoding TextDecode finds.
void ReadPlainTextFile(const QString& path, const TRecipeSink& sink);
// Whether a text file's head is MealMaster's (its header lines, in any of its versions).
bool LooksLikeMealMaster(const QByteArray& head);
