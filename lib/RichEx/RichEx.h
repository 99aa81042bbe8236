#pragma once
// Puts a bitmap into the rich-text box as one picture object of the text: an
// image resource of the box's document, shown at the bitmap's own pixel size
// and written out with the document on export.

#include "Graphics.h"

#include <QImage>

class QTextEdit;
class QWidget;

// Inserts the picture at the box's current selection (replacing it), even when
// the box is read-only. Always true; failures raise:
//  - EAssertionFailed "RichEditOle is null! (RichEx, line 330)" when richEdit
//    is not a rich-text box (null, a line edit, a plain-text box);
//  - EOleSysError 0x80070006 when the bitmap has no pixels.
bool InsertBitmapIntoRichEdit(QWidget* richEdit, const TBitmap& bitmap);

// A copy of the bitmap's pixels at the screen's colour depth, never scaled;
// null for an empty bitmap.
QImage CopyToScreenBitmap(const TBitmap& bitmap);
