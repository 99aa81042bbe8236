#include "GdiPlayer.h"
#include "GdiSupport.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace Metafile {

using namespace GdiSupport;

namespace {

// Deeper SaveDC nesting than this is refused rather than stored.
constexpr size_t MaxSavedStates = 4096;
// Longest time one playing may take.
constexpr qint64 MaxPlayMilliseconds = 4000;
// Widest pen drawn, in target pixels and in logical units: Qt refuses 32768.
constexpr double MaxPenPixels = 30000;

enum : quint32 {
    RopSrcCopy = 0x00CC0020,
    RopSrcPaint = 0x00EE0086,
    RopSrcAnd = 0x008800C6,
    RopSrcInvert = 0x00660046,
    RopNotSrcCopy = 0x00330008,
    RopPatCopy = 0x00F00021,
    RopPatInvert = 0x005A0049,
    RopDstInvert = 0x00550009,
    RopBlackness = 0x00000042,
    RopWhiteness = 0x00FF0062,
};

QColor StockGray(int id) {
    static const int levels[] = {255, 192, 128, 64, 0};
    return QColor(levels[id], levels[id], levels[id]);
}

Qt::BrushStyle HatchStyle(int hatch) {
    switch (hatch) {
    case 0:
        return Qt::HorPattern;
    case 1:
        return Qt::VerPattern;
    case 2:
        return Qt::FDiagPattern;
    case 3:
        return Qt::BDiagPattern;
    case 4:
        return Qt::CrossPattern;
    case 5:
        return Qt::DiagCrossPattern;
    default:
        return Qt::SolidPattern;
    }
}

} // namespace

TGdiPlayer::TGdiPlayer(QPainter* painter, const QTransform& deviceToTarget, const QRectF& target,
                       QSizeF deviceDpi)
    : FPainter(painter), FDeviceToTarget(deviceToTarget), FTarget(target), FDeviceDpi(deviceDpi) {
    FClock.start();
    if (FDeviceDpi.width() <= 0 || FDeviceDpi.height() <= 0 || !std::isfinite(FDeviceDpi.width()) ||
        !std::isfinite(FDeviceDpi.height()))
        FDeviceDpi = QSizeF(96, 96);
    if (FPainter) {
        FPainter->save();
        FBase = FPainter->worldTransform();
        FEntryHadClip = FPainter->hasClipping();
        if (FEntryHadClip)
            FEntryClip = FPainter->clipPath();
        FPainter->setRenderHint(QPainter::Antialiasing, true);
        FPainter->setRenderHint(QPainter::TextAntialiasing, true);
        FPainter->setRenderHint(QPainter::SmoothPixmapTransform, false);
        FRasterOps = FPainter->paintEngine() &&
                     FPainter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    }
}

bool TGdiPlayer::OutOfTime() {
    if (!FOutOfTime && ++FRecordsSinceCheck >= 64) {
        FRecordsSinceCheck = 0;
        FOutOfTime = FClock.elapsed() > MaxPlayMilliseconds;
    }
    return FOutOfTime;
}

TGdiPlayer::~TGdiPlayer() {
    if (FPainter)
        FPainter->restore();
}

// ---- state -----------------------------------------------------------------

void TGdiPlayer::SaveDc() {
    if (FSaved.size() < MaxSavedStates)
        FSaved.push_back(FDc);
}

void TGdiPlayer::RestoreDc(int which) {
    const qint64 depth = qint64(FSaved.size());
    const qint64 level = which < 0 ? depth + which : qint64(which) - 1; // index to restore
    if (which == 0 || level < 0 || level >= depth)
        return;
    FDc = FSaved[size_t(level)];
    FSaved.resize(size_t(level));
    FClipDirty = true;
}

void TGdiPlayer::SetMapMode(int mode) {
    if (mode < MmText || mode > MmAnisotropic)
        return;
    FDc.MapMode = mode;
}

void TGdiPlayer::SetWindowExt(QSizeF s) {
    if (s.width() != 0 && s.height() != 0 && std::isfinite(s.width()) && std::isfinite(s.height()))
        FDc.WindowExt = s;
}

void TGdiPlayer::SetViewportExt(QSizeF s) {
    if (s.width() != 0 && s.height() != 0 && std::isfinite(s.width()) && std::isfinite(s.height()))
        FDc.ViewportExt = s;
}

void TGdiPlayer::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom != 0 && yDenom != 0)
        SetWindowExt(
            QSizeF(FDc.WindowExt.width() * xNum / xDenom, FDc.WindowExt.height() * yNum / yDenom));
}

void TGdiPlayer::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom != 0 && yDenom != 0)
        SetViewportExt(QSizeF(FDc.ViewportExt.width() * xNum / xDenom,
                              FDc.ViewportExt.height() * yNum / yDenom));
}

void TGdiPlayer::SetWorldTransform(const QTransform& t) {
    if (Finite(t) && t.isAffine() && t.determinant() != 0)
        FDc.World = t;
}

void TGdiPlayer::ModifyWorldTransform(const QTransform& t, int mode) {
    switch (mode) {
    case 1:
        FDc.World = QTransform();
        break;
    case 2:
        SetWorldTransform(t * FDc.World);
        break;
    case 3:
        SetWorldTransform(FDc.World * t);
        break;
    case 4:
        SetWorldTransform(t);
        break;
    default:
        break;
    }
}

QTransform TGdiPlayer::LogicalToDevice() const {
    double sx = 1, sy = 1;
    const double dx = FDeviceDpi.width(), dy = FDeviceDpi.height();
    switch (FDc.MapMode) {
    case MmLoMetric:
        sx = dx / 254.0, sy = -dy / 254.0;
        break;
    case MmHiMetric:
        sx = dx / 2540.0, sy = -dy / 2540.0;
        break;
    case MmLoEnglish:
        sx = dx / 100.0, sy = -dy / 100.0;
        break;
    case MmHiEnglish:
        sx = dx / 1000.0, sy = -dy / 1000.0;
        break;
    case MmTwips:
        sx = dx / 1440.0, sy = -dy / 1440.0;
        break;
    case MmIsotropic:
    case MmAnisotropic:
        sx = FDc.ViewportExt.width() / FDc.WindowExt.width();
        sy = FDc.ViewportExt.height() / FDc.WindowExt.height();
        if (FDc.MapMode == MmIsotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default:
        break;
    }
    const QTransform page(sx, 0, 0, sy, FDc.ViewportOrg.x() - FDc.WindowOrg.x() * sx,
                          FDc.ViewportOrg.y() - FDc.WindowOrg.y() * sy);
    return FDc.World * page;
}

// ---- objects ---------------------------------------------------------------

int TGdiPlayer::AddObject(TGdiObject object) {
    for (size_t i = 0; i < FObjects.size(); ++i)
        if (!FObjects[i]) {
            FObjects[i] = std::make_unique<TGdiObject>(std::move(object));
            return int(i);
        }
    if (FObjects.size() >= size_t(MaxObjects))
        return -1;
    FObjects.push_back(std::make_unique<TGdiObject>(std::move(object)));
    return int(FObjects.size() - 1);
}

void TGdiPlayer::PutObject(qint64 index, TGdiObject object) {
    if (index < 0 || index >= MaxObjects)
        return;
    if (size_t(index) >= FObjects.size())
        FObjects.resize(size_t(index) + 1);
    FObjects[size_t(index)] = std::make_unique<TGdiObject>(std::move(object));
}

void TGdiPlayer::SelectObject(qint64 index) {
    if (index < 0 || size_t(index) >= FObjects.size() || !FObjects[size_t(index)])
        return;
    const TGdiObject& object = *FObjects[size_t(index)];
    switch (object.Kind) {
    case TObjectKind::Pen:
        FDc.Pen = object.Pen;
        break;
    case TObjectKind::Brush:
        FDc.Brush = object.Brush;
        break;
    case TObjectKind::Font:
        FDc.Font = object.Font;
        break;
    case TObjectKind::Other:
        break;
    }
}

void TGdiPlayer::DeleteObject(qint64 index) {
    if (index >= 0 && size_t(index) < FObjects.size())
        FObjects[size_t(index)].reset();
}

void TGdiPlayer::SelectStockObject(int id) {
    if (id >= 0 && id <= 4) {
        FDc.Brush = TGdiBrush{BsSolid, StockGray(id), 0, {}};
    } else if (id == 5) {
        FDc.Brush = TGdiBrush{BsNull, Qt::white, 0, {}};
    } else if (id == 6 || id == 7 || id == 8) {
        FDc.Pen = TGdiPen{};
        FDc.Pen.Style = id == 8 ? PsNull : PsSolid;
        FDc.Pen.Color = id == 6 ? QColor(Qt::white) : QColor(Qt::black);
    } else if (id >= 10 && id <= 17 && id != 15) {
        FDc.Font = TGdiFont{};
    } else if (id == 18) {
        FDc.Brush = TGdiBrush{};
    } else if (id == 19) {
        FDc.Pen = TGdiPen{};
    }
}

// ---- painting --------------------------------------------------------------

void TGdiPlayer::AddBounds(const QRectF& deviceRect) {
    if (Finite(deviceRect))
        FBounds = FBounds.isNull() ? deviceRect : FBounds.united(deviceRect);
}

void TGdiPlayer::ApplyClip() {
    if (!FPainter || !FClipDirty)
        return;
    FPainter->setWorldTransform(FBase);
    if (FEntryHadClip) {
        FPainter->setClipPath(FEntryClip, Qt::ReplaceClip);
        FPainter->setClipRect(FTarget, Qt::IntersectClip);
    } else {
        FPainter->setClipRect(FTarget, Qt::ReplaceClip);
    }
    if (FDc.HasClip)
        FPainter->setClipRegion(FDc.Clip, Qt::IntersectClip);
    FClipDirty = false;
}

bool TGdiPlayer::PrepareTransform(const QTransform& logicalToTarget) {
    if (!Finite(logicalToTarget) || logicalToTarget.determinant() == 0)
        return false;
    ApplyClip();
    FPainter->setWorldTransform(logicalToTarget * FBase);
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}

QPen TGdiPlayer::MakePen(const QTransform& logicalToTarget) const {
    const TGdiPen& p = FDc.Pen;
    if (p.Style == PsNull || FDc.Rop2 == 11)
        return Qt::NoPen;
    QColor color = p.Color;
    if (FDc.Rop2 == 1)
        color = Qt::black;
    else if (FDc.Rop2 == 16)
        color = Qt::white;
    const double scale = std::sqrt(std::abs(logicalToTarget.determinant()));
    QPen pen(color);
    if (p.Width <= 0 || p.Width * scale < 1.0) {
        pen.setWidthF(1.0);
        pen.setCosmetic(true);
    } else {
        pen.setWidthF(std::min({p.Width, MaxPenPixels / scale, MaxPenPixels})); // Qt refuses wider
    }
    switch (p.Style) {
    case PsDash:
        pen.setStyle(Qt::DashLine);
        break;
    case PsDot:
        pen.setStyle(Qt::DotLine);
        break;
    case PsDashDot:
        pen.setStyle(Qt::DashDotLine);
        break;
    case PsDashDotDot:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    pen.setCapStyle(p.Cap);
    pen.setJoinStyle(p.Join);
    return pen;
}

void TGdiPlayer::Paint(const QPainterPath& path, bool fill, bool stroke) {
    const QTransform l2d = LogicalToDevice();
    if (!FPainter) {
        AddBounds(l2d.map(path).boundingRect());
        return;
    }
    if (FDc.Rop2 == 11) // R2_NOP
        return;
    const QTransform l2t = l2d * FDeviceToTarget;
    if (!Finite(l2t.map(path).boundingRect()) || !PrepareTransform(l2t))
        return;
    const Qt::FillRule rule = FDc.PolyFillMode == FillWinding ? Qt::WindingFill : Qt::OddEvenFill;
    QPainterPath shape = path;
    shape.setFillRule(rule);
    if (FRasterOps && FDc.Rop2 == 7)
        FPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    else if (FRasterOps && FDc.Rop2 == 6)
        FPainter->setCompositionMode(QPainter::RasterOp_NotDestination);

    if (fill && FDc.Brush.Style != BsNull) {
        const TGdiBrush& b = FDc.Brush;
        QColor color = FDc.Rop2 == 1    ? QColor(Qt::black)
                       : FDc.Rop2 == 16 ? QColor(Qt::white)
                                        : b.Color;
        if (b.Style == BsHatched) {
            if (FDc.BkMode == BkOpaque)
                FPainter->fillPath(shape, FDc.BkColor);
            FPainter->fillPath(shape, QBrush(color, HatchStyle(b.Hatch)));
        } else if ((b.Style == BsPattern || b.Style == BsDibPattern || b.Style == BsDibPatternPt) &&
                   !b.Pattern.isNull()) {
            QBrush brush(b.Pattern);
            // Patterns tile in device pixels, not in logical units.
            brush.setTransform(l2t.inverted());
            FPainter->fillPath(shape, brush);
        } else {
            FPainter->fillPath(shape, color);
        }
    }
    if (stroke) {
        const QPen pen = MakePen(l2t);
        if (pen.style() != Qt::NoPen)
            FPainter->strokePath(shape, pen);
    }
}

void TGdiPlayer::AddFigure(const QPainterPath& path) {
    FPath.addPath(path);
}

void TGdiPlayer::MoveTo(QPointF p) {
    FDc.CurrentPos = p;
    if (FInPath)
        FPath.moveTo(p);
}

void TGdiPlayer::LineTo(QPointF p) {
    if (FInPath) {
        if (FPath.elementCount() == 0)
            FPath.moveTo(FDc.CurrentPos);
        FPath.lineTo(p);
    } else {
        QPainterPath path(FDc.CurrentPos);
        path.lineTo(p);
        Paint(path, false, true);
    }
    FDc.CurrentPos = p;
}

void TGdiPlayer::Polyline(const QPolygonF& points) {
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    PaintShape(path, false, true);
}

void TGdiPlayer::PolylineTo(const QPolygonF& points) {
    if (points.isEmpty())
        return;
    if (FInPath) {
        if (FPath.elementCount() == 0)
            FPath.moveTo(FDc.CurrentPos);
        for (const QPointF& p : points)
            FPath.lineTo(p);
    } else {
        QPainterPath path(FDc.CurrentPos);
        for (const QPointF& p : points)
            path.lineTo(p);
        Paint(path, false, true);
    }
    FDc.CurrentPos = points.last();
}

void TGdiPlayer::PolyBezier(const QPolygonF& points) {
    if (points.size() < 4)
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    PaintShape(path, false, true);
}

void TGdiPlayer::PolyBezierTo(const QPolygonF& points) {
    if (points.size() < 3)
        return;
    QPainterPath local(FDc.CurrentPos);
    QPainterPath& path = FInPath ? FPath : local;
    if (FInPath && FPath.elementCount() == 0)
        FPath.moveTo(FDc.CurrentPos);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (!FInPath)
        Paint(local, false, true);
    FDc.CurrentPos = points[i - 1];
}

void TGdiPlayer::Polygon(const QPolygonF& points) {
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    PaintShape(path, true, true);
}

void TGdiPlayer::PolyPolygon(const QList<QPolygonF>& polygons) {
    QPainterPath path;
    for (const QPolygonF& polygon : polygons)
        if (polygon.size() >= 2) {
            path.addPolygon(polygon);
            path.closeSubpath();
        }
    if (!path.isEmpty())
        PaintShape(path, true, true);
}

void TGdiPlayer::PolyPolyline(const QList<QPolygonF>& polylines) {
    QPainterPath path;
    for (const QPolygonF& line : polylines)
        if (line.size() >= 2)
            path.addPolygon(line);
    if (!path.isEmpty())
        PaintShape(path, false, true);
}

void TGdiPlayer::Rectangle(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect.normalized());
    PaintShape(path, true, true);
}

void TGdiPlayer::RoundRect(const QRectF& rect, QSizeF corner) {
    QPainterPath path;
    path.addRoundedRect(rect.normalized(), std::abs(corner.width()) / 2,
                        std::abs(corner.height()) / 2);
    PaintShape(path, true, true);
}

void TGdiPlayer::Ellipse(const QRectF& rect) {
    QPainterPath path;
    path.addEllipse(rect.normalized());
    PaintShape(path, true, true);
}

void TGdiPlayer::ArcPath(QPainterPath& path, const QRectF& box, QPointF start, QPointF end,
                         bool moveTo) {
    const QRectF rect = box.normalized();
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const QPointF c = rect.center();
    const double rx = rect.width() / 2, ry = rect.height() / 2;
    // Angles of the radials, as the parameter of the ellipse, counter-clockwise on a y-down page.
    const double a0 = std::atan2(-(start.y() - c.y()) / ry, (start.x() - c.x()) / rx) * 180 / M_PI;
    const double a1 = std::atan2(-(end.y() - c.y()) / ry, (end.x() - c.x()) / rx) * 180 / M_PI;
    double sweep = std::fmod(a1 - a0 + 720.0, 360.0);
    bool counterClockwise = FDc.ArcDirection != ArcClockwise;
    if (LogicalToDevice().determinant() < 0) // a y-up page turns the device's sense around
        counterClockwise = !counterClockwise;
    if (counterClockwise) {
        if (sweep <= 0)
            sweep += 360;
    } else {
        sweep = sweep - 360;
        if (sweep >= 0)
            sweep -= 360;
    }
    if (!std::isfinite(a0) || !std::isfinite(sweep))
        return;
    if (moveTo)
        path.arcMoveTo(rect, a0);
    path.arcTo(rect, a0, sweep);
}

void TGdiPlayer::ArcFigure(TArcKind kind, const QRectF& rect, QPointF start, QPointF end) {
    if (kind == TArcKind::ArcTo) {
        QPainterPath probe;
        ArcPath(probe, rect, start, end, true);
        if (probe.isEmpty())
            return;
        QPainterPath local(FDc.CurrentPos);
        if (FInPath && FPath.elementCount() == 0)
            FPath.moveTo(FDc.CurrentPos);
        QPainterPath& path = FInPath ? FPath : local;
        path.lineTo(probe.elementAt(0));
        ArcPath(path, rect, start, end, false);
        FDc.CurrentPos = path.currentPosition();
        if (!FInPath)
            Paint(local, false, true);
        return;
    }
    QPainterPath path;
    if (kind == TArcKind::Pie) {
        path.moveTo(rect.normalized().center());
        ArcPath(path, rect, start, end, false);
        path.closeSubpath();
    } else {
        ArcPath(path, rect, start, end, true);
        if (kind == TArcKind::Chord)
            path.closeSubpath();
    }
    if (path.elementCount() > 1)
        PaintShape(path, kind != TArcKind::Arc, true);
}

void TGdiPlayer::AngleArc(QPointF center, double radius, double startDeg, double sweepDeg) {
    if (!std::isfinite(radius) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg) ||
        std::abs(sweepDeg) > 36000)
        return;
    const QRectF rect(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath local(FDc.CurrentPos);
    if (FInPath && FPath.elementCount() == 0)
        FPath.moveTo(FDc.CurrentPos);
    QPainterPath& path = FInPath ? FPath : local;
    QPainterPath probe;
    probe.arcMoveTo(rect, startDeg);
    path.lineTo(probe.currentPosition());
    path.arcTo(rect, startDeg, sweepDeg);
    FDc.CurrentPos = path.currentPosition();
    if (!FInPath)
        Paint(local, false, true);
}

void TGdiPlayer::SetPixel(QPointF p, const QColor& color) {
    const QTransform l2d = LogicalToDevice();
    const QPointF d = l2d.map(p);
    const QRectF deviceRect(std::floor(d.x()), std::floor(d.y()), 1, 1);
    if (!FPainter) {
        AddBounds(deviceRect);
        return;
    }
    if (!Finite(deviceRect) || !PrepareTransform(FDeviceToTarget))
        return;
    FPainter->fillRect(deviceRect, color);
}

// ---- bitmaps ---------------------------------------------------------------

void TGdiPlayer::StretchImage(const QRectF& dest, const QImage& image, const QRectF& source,
                              quint32 rop) {
    if (image.isNull() || FInPath || source.width() == 0 || source.height() == 0 ||
        dest.width() == 0 || dest.height() == 0)
        return;
    // Source pixels to logical units; a negative extent on either side mirrors.
    const QTransform toDest =
        QTransform::fromTranslate(-source.x(), -source.y()) *
        QTransform::fromScale(dest.width() / source.width(), dest.height() / source.height()) *
        QTransform::fromTranslate(dest.x(), dest.y());
    const QRectF clipped = source.normalized().intersected(QRectF(image.rect()));
    if (clipped.isEmpty())
        return;
    const QTransform l2d = LogicalToDevice();
    if (!FPainter) {
        AddBounds((toDest * l2d).mapRect(clipped));
        return;
    }
    const QTransform l2t = toDest * l2d * FDeviceToTarget;
    if (!Finite(l2t.mapRect(clipped)) || !PrepareTransform(l2t))
        return;
    if (FRasterOps) {
        switch (rop) {
        case RopSrcAnd:
            FPainter->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case RopSrcPaint:
            FPainter->setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            break;
        case RopSrcInvert:
            FPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        case RopNotSrcCopy:
            FPainter->setCompositionMode(QPainter::RasterOp_NotSource);
            break;
        default:
            break;
        }
    }
    FPainter->setRenderHint(QPainter::SmoothPixmapTransform, FDc.StretchMode == StretchHalftone);
    FPainter->drawImage(clipped.topLeft(), image, clipped);
    FPainter->setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void TGdiPlayer::PatBlt(const QRectF& dest, quint32 rop) {
    if (FInPath)
        return;
    QPainterPath path;
    path.addRect(dest.normalized());
    if (!FPainter) {
        AddBounds(LogicalToDevice().map(path).boundingRect());
        return;
    }
    const TGdiBrush saved = FDc.Brush;
    const TGdiPen savedPen = FDc.Pen;
    const int savedRop2 = FDc.Rop2;
    FDc.Pen.Style = PsNull;
    FDc.Rop2 = 13;
    switch (rop) {
    case RopBlackness:
        FDc.Brush = TGdiBrush{BsSolid, Qt::black, 0, {}};
        break;
    case RopWhiteness:
        FDc.Brush = TGdiBrush{BsSolid, Qt::white, 0, {}};
        break;
    case RopDstInvert:
        FDc.Rop2 = 6;
        break;
    case RopPatInvert:
        FDc.Rop2 = 7;
        break;
    default:
        break; // the pattern itself
    }
    Paint(path, true, false);
    FDc.Brush = saved;
    FDc.Pen = savedPen;
    FDc.Rop2 = savedRop2;
}

// ---- paths -----------------------------------------------------------------

void TGdiPlayer::BeginPath() {
    FInPath = true;
    FPath = QPainterPath();
}

void TGdiPlayer::AbortPath() {
    FInPath = false;
    FPath = QPainterPath();
}

void TGdiPlayer::CloseFigure() {
    if (FInPath)
        FPath.closeSubpath();
}

void TGdiPlayer::FillPath() {
    FInPath = false;
    Paint(FPath, true, false);
    FPath = QPainterPath();
}

void TGdiPlayer::StrokePath() {
    FInPath = false;
    Paint(FPath, false, true);
    FPath = QPainterPath();
}

void TGdiPlayer::StrokeAndFillPath() {
    FInPath = false;
    Paint(FPath, true, true);
    FPath = QPainterPath();
}

void TGdiPlayer::SelectClipPath(int mode) {
    FInPath = false;
    QPainterPath path = FPath;
    path.setFillRule(FDc.PolyFillMode == FillWinding ? Qt::WindingFill : Qt::OddEvenFill);
    CombineClip(TargetRegion(LogicalToDevice().map(path)), mode);
    FPath = QPainterPath();
}

} // namespace Metafile
