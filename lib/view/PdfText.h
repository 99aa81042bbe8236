#pragma once
// The text of a PDF that Qt writes is searchable through each font's map from glyphs
// back to characters (ToUnicode). Qt maps a glyph to the lowest character the font
// draws with it, so where a font shares one glyph between characters (the CJK fonts
// give 肉 the glyph of the radical U+2F81, a space that of the tab) the PDF's text is
// not what was typed. These functions put the typed characters back.

#include <QByteArray>
#include <QHash>

class QTextDocument;

// Per font (PostScript name): the character Qt writes -> the character typed,
// each as upper-case hex of its UTF-16 code unit ("2F81" -> "8089").
using TPdfCharFixes = QHash<QByteArray, QHash<QByteArray, QByteArray>>;

// What the laid-out document's text needs, from the fonts its text is drawn in.
TPdfCharFixes PdfCharFixes(const QTextDocument& document);

// The PDF with its ToUnicode maps mended; unchanged when nothing needs mending or
// the file is not laid out as Qt writes it.
QByteArray MendPdfText(const QByteArray& pdf, const TPdfCharFixes& fixes);
