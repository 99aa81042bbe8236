#pragma once
// Shared by the Qt-internal control skin suites: the default skin, grabs and
// pixel comparisons against the element bitmaps.

#include "SkinPaint.h"
#include "SkinResource.h"
#include "WinSkinData.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

inline TSkinData& DefaultSkin() {
    static TSkinData* skin = [] {
        auto* s = new TSkinData;
        s->ReadSkinStream(DefaultSkinStream());
        return s;
    }();
    return *skin;
}

inline QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Frame `index` of an element as it lies in the bitmap.
inline QImage FrameImage(const TDataSkinObject& e, int index) {
    return e.Map.copy(SkinFrameRect(e, index)).convertToFormat(QImage::Format_RGB32);
}

// Pixels of `expected` (its `part`, default whole) that differ from `actual` at `at`.
inline int Mismatches(const QImage& actual, const QPoint& at, const QImage& expected,
                      QRect part = {}) {
    if (part.isNull()) {
        part = expected.rect();
    }
    int bad = 0;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) {
            const QPoint p = at + QPoint(x - part.left(), y - part.top());
            if (!actual.rect().contains(p) || actual.pixel(p) != expected.pixel(x, y)) {
                ++bad;
            }
        }
    }
    return bad;
}

// The deferred deletion of a released shared style.
inline void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
