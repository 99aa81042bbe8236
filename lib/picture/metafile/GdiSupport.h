#pragma once
// What the units of TGdiPlayer (GdiPlayer, GdiText, GdiClip) share.

#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <cmath>

namespace Metafile::GdiSupport {

// Clip regions beyond this many rectangles stop being refined further.
inline constexpr int MaxClipRects = 4000;
// Beyond these sizes (target pixels) text is not drawn: invisible or absurd.
inline constexpr double MinTextPixels = 0.5;
inline constexpr double MaxTextPixels = 20000;

inline bool Finite(const QTransform& t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy()) &&
           std::isfinite(t.m13()) && std::isfinite(t.m23()) && std::isfinite(t.m33());
}

inline bool Finite(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

inline double Length(QPointF v) {
    return std::hypot(v.x(), v.y());
}

} // namespace Metafile::GdiSupport
