#pragma once
// What the control skins share when they paint: scheme colours, the text
// colours of an element's states and the transparency rule.

#include "WinSkinData.h"

#include <QColor>

class QWidget;
class QPainter;
class QRect;

// Scheme indices the control skins use.
enum TSchemeIndex {
    scWindowText = 0,
    scButtonFace = 3,
    scButtonText = 4,
    scButtonHilight = 5,
    scButtonShadow = 7,
};

QColor SchemeColor(const TSkinData& skin, int index);
// Text colour of `state` (TSkinControl's st* values) on a face of `element`:
// the element's second colours when given, its integer colours, else the
// scheme's button text; disabled text is the button shadow.
QColor FaceTextColor(const TSkinData& skin, const TDataSkinObject* element, int state);
// Buttons, check boxes and radio buttons draw transparently with
// xoTransparent, and whatever the options say when their Tag is 5555.
bool DrawsTransparently(const TSkinData& skin, const QWidget& control);
// Draws frame `index` of `element` into `target`; `transparent` forces the
// transparency colour even where the element's own flag is clear.
void DrawFace(QPainter& painter, const QRect& target, const TDataSkinObject& element, int index,
              bool transparent);
// A glyph strip (check, radio) frame at its own size, centred in `target`.
void DrawStripGlyph(QPainter& painter, const QRect& target, const QImage& strip, int frames,
                    int index, bool transparent);
