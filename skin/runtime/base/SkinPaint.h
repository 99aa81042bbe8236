#pragma once
// Drawing skin elements: a state frame cut from an element's strip, the
// transparency colour applied once, nine-slice scaling by the element's margins.
// Prepared pixmaps are cached per element bitmap, frame and size.

#include "WinSkinElements.h"

#include <QPainter>
#include <QPixmap>
#include <QRect>

// How the frames of a strip lie: side by side (most elements) or stacked
// (the top and bottom window borders).
enum class TFrameLayout { Horizontal, Vertical };

// The colour that a bitmap with its transparency flag set leaves unpainted.
constexpr QRgb SkinTransparentColor = 0xFFFF00FF;

// Number of frames, at least 1 (a broken description may say 0).
int SkinFrameCount(const TDataSkinObject& element);
// Size of one frame.
QSize SkinFrameSize(const TDataSkinObject& element, TFrameLayout layout = TFrameLayout::Horizontal);
// Source rectangle of frame `index` in the element's bitmap; an index past the
// last frame takes the last one.
QRect SkinFrameRect(const TDataSkinObject& element, int index,
                    TFrameLayout layout = TFrameLayout::Horizontal);

// The element's bitmap with its transparency applied (magenta becomes
// transparent when `trans` is set), prepared once and cached.
QPixmap SkinElementPixmap(const TDataSkinObject& element);

// The middle zone's rule: general elements stretch with Tile 0 and repeat with
// Tile 1; window borders hold their Stretch value in Tile (1 stretches).
Qt::TileRule SkinTileRule(const TDataSkinObject& element);
Qt::TileRule SkinBorderTileRule(const TDataSkinObject& element);

// Frame `index` scaled to `size` by the element's margins (r), cached.
QPixmap SkinElementAt(const TDataSkinObject& element, int index, const QSize& size,
                      TFrameLayout layout, Qt::TileRule rule);
inline QPixmap SkinElementAt(const TDataSkinObject& element, int index, const QSize& size) {
    return SkinElementAt(element, index, size, TFrameLayout::Horizontal, SkinTileRule(element));
}

// Draws frame `index` into `target` (nine-slice through qDrawBorderPixmap).
void DrawSkinElement(QPainter& painter, const QRect& target, const TDataSkinObject& element,
                     int index, TFrameLayout layout, Qt::TileRule rule);
inline void DrawSkinElement(QPainter& painter, const QRect& target, const TDataSkinObject& element,
                            int index) {
    DrawSkinElement(painter, target, element, index, TFrameLayout::Horizontal,
                    SkinTileRule(element));
}

// Draws frame `index` of a glyph strip (check, radio, arrows) at its own size,
// centred in `target`.
void DrawSkinGlyph(QPainter& painter, const QRect& target, const QImage& strip, int frames,
                   int index);

// The image with every pixel of colour `key` made transparent (menu glyphs:
// white; icons: magenta), prepared once and cached.
QPixmap SkinColorKeyPixmap(const QImage& image, QRgb key);

// Paints on `widget` with `paint(painter)`. An error is dropped here: it must
// never unwind through Qt's paint delivery.
template <typename F> void PaintGuarded(QWidget& widget, F&& paint) {
    try {
        QPainter painter(&widget);
        paint(painter);
    } catch (...) {
    }
}
