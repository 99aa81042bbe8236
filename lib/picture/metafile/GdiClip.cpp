// TGdiPlayer's clipping: regions in target pixels, combined as GDI combines them.
#include "GdiPlayer.h"
#include "GdiSupport.h"

#include <QPainter>
#include <cmath>

namespace Metafile {

using namespace GdiSupport;

// ---- clipping --------------------------------------------------------------

QRegion TGdiPlayer::TargetRegion(const QPainterPath& devicePath) const {
    const QPainterPath path = FDeviceToTarget.map(devicePath);
    const QRectF bounds = path.boundingRect();
    if (!Finite(bounds) || path.isEmpty())
        return {};
    // Only the target matters; this also keeps coordinates within int.
    const QRectF limit = FTarget.adjusted(-2, -2, 2, 2);
    bool axisRect = path.elementCount() <= 5;
    for (int i = 0; axisRect && i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        axisRect = (e.x == bounds.left() || e.x == bounds.right()) &&
                   (e.y == bounds.top() || e.y == bounds.bottom());
    }
    if (axisRect) { // the common case stays exact to the pixel
        const QRectF r = bounds.intersected(limit);
        if (r.isEmpty())
            return {};
        return QRegion(
            QRect(QPoint(int(std::lround(r.left())), int(std::lround(r.top()))),
                  QPoint(int(std::lround(r.right())) - 1, int(std::lround(r.bottom())) - 1)));
    }
    QPainterPath bounded = path;
    if (!limit.contains(bounds)) {
        QPainterPath box;
        box.addRect(limit);
        bounded = path.intersected(box);
    }
    return QRegion(bounded.toFillPolygon().toPolygon(), path.fillRule());
}

void TGdiPlayer::CombineClip(const QRegion& region, int mode) {
    if (!FPainter)
        return; // gathering bounds: clipping does not matter
    const QRegion all(FTarget.toAlignedRect().adjusted(-2, -2, 2, 2));
    const QRegion current = FDc.HasClip ? FDc.Clip : all;
    QRegion result;
    switch (mode) {
    case RgnAnd:
        result = current.intersected(region);
        break;
    case RgnOr:
        result = current.united(region);
        break;
    case RgnXor:
        result = current.xored(region);
        break;
    case RgnDiff:
        result = current.subtracted(region);
        break;
    case RgnCopy:
        result = region;
        break;
    default:
        return;
    }
    if (result.rectCount() > MaxClipRects)
        return; // too intricate to refine further; keep what we have
    FDc.Clip = result;
    FDc.HasClip = true;
    FClipDirty = true;
}

void TGdiPlayer::IntersectClipRect(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect.normalized());
    CombineClip(TargetRegion(LogicalToDevice().map(path)), RgnAnd);
}

void TGdiPlayer::ExcludeClipRect(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect.normalized());
    CombineClip(TargetRegion(LogicalToDevice().map(path)), RgnDiff);
}

void TGdiPlayer::OffsetClip(QPointF logicalOffset) {
    if (!FDc.HasClip)
        return;
    const QTransform l2t = LogicalToDevice() * FDeviceToTarget;
    const QPointF d = l2t.map(logicalOffset) - l2t.map(QPointF(0, 0));
    if (std::isfinite(d.x()) && std::isfinite(d.y()) && std::abs(d.x()) < 1e6 &&
        std::abs(d.y()) < 1e6) {
        FDc.Clip.translate(int(std::lround(d.x())), int(std::lround(d.y())));
        FClipDirty = true;
    }
}

void TGdiPlayer::SetClipRects(const QList<QRectF>& deviceRects, int mode) {
    if (mode == RgnCopy && deviceRects.isEmpty()) {
        FDc.HasClip = false;
        FDc.Clip = QRegion();
        FClipDirty = true;
        return;
    }
    QRegion region;
    for (const QRectF& r : deviceRects) {
        QPainterPath path;
        path.addRect(r.normalized());
        region = region.united(TargetRegion(path));
    }
    CombineClip(region, mode);
}

} // namespace Metafile
