#include "WinSubClassDraw.h"

#include "SkinPaint.h"
#include "WinSubClass.h"

#include <QPainter>
#include <QWidget>

QColor SchemeColor(const TSkinData& skin, int index) {
    return ColorToQColor(skin.Colors[static_cast<size_t>(index)]);
}

QColor FaceTextColor(const TSkinData& skin, const TDataSkinObject* element, int state) {
    if (state == TSkinControl::stDisabled) {
        return SchemeColor(skin, scButtonShadow);
    }
    if (!element) {
        return SchemeColor(skin, scButtonText);
    }
    const auto* button = dynamic_cast<const TDataSkinButton*>(element);
    const bool over = state == TSkinControl::stOver;
    const bool down = state == TSkinControl::stDown;
    if (button) {
        if (down && button->newdown) {
            return ColorToQColor(button->Downcolor2);
        }
        if (over && button->newover) {
            return ColorToQColor(button->Overcolor2);
        }
        if (!over && !down && button->newnormal) {
            return ColorToQColor(button->Normalcolor2);
        }
    }
    const int given = down ? element->Downcolor : over ? element->Overcolor : element->Normalcolor;
    if (given != -1) {
        return ColorToQColor(given & 0xFFFFFF);
    }
    return SchemeColor(skin, scButtonText);
}

bool DrawsTransparently(const TSkinData& skin, const QWidget& control) {
    return skin.Options.Contains(xoTransparent) || ControlTag(control) == 5555;
}

void DrawFace(QPainter& painter, const QRect& target, const TDataSkinObject& element, int index,
              bool transparent) {
    if (transparent && !element.trans) {
        TDataSkinObject copy = element; // shares the bitmap; only the flag differs
        copy.trans = 1;
        DrawSkinElement(painter, target, copy, index);
        return;
    }
    DrawSkinElement(painter, target, element, index);
}

void DrawStripGlyph(QPainter& painter, const QRect& target, const QImage& strip, int frames,
                    int index, bool transparent) {
    if (strip.isNull()) {
        return;
    }
    TDataSkinObject glyph(QStringLiteral("glyph"));
    glyph.Map = strip;
    glyph.frame = frames;
    glyph.trans = transparent ? 1 : 0;
    const QSize size = SkinFrameSize(glyph);
    const QRect placed(target.x() + (target.width() - size.width()) / 2,
                       target.y() + (target.height() - size.height()) / 2, size.width(),
                       size.height());
    DrawSkinElement(painter, placed, glyph, index);
}
