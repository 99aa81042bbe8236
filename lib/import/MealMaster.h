#pragma once
// MealMaster text files: several recipes per file, fixed-column ingredient
// lines (also in two columns), section headings, wrapped directions.

#include "ImportTypes.h"

// The text is already decoded. Raises EImportError when no recipe header is found.
void ReadMealMasterText(const QString& text, const TRecipeSink& sink);
// Decodes the bytes as the parser reaches them, `pieceBytes` at a time, so the
// first recipes arrive before a large file is decoded.
void ReadMealMasterBytes(QByteArrayView bytes, const TRecipeSink& sink,
                         qsizetype pieceBytes = 64 * 1024);
void ReadMealMasterFile(const QString& path, const TRecipeSink& sink);
