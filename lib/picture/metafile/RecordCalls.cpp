#include "RecordCalls.h"

#include "GdiPlayer.h"

namespace Metafile {

namespace {

void PlayNumber(TGdiPlayer& p, TCall call, quint32 value) {
    TDcState& dc = p.Dc();
    switch (call) {
    case TCall::BkMode:
        dc.BkMode = int(value);
        break;
    case TCall::MapMode:
        p.SetMapMode(int(value));
        break;
    case TCall::Rop2:
        dc.Rop2 = int(value);
        break;
    case TCall::PolyFillMode:
        dc.PolyFillMode = int(value);
        break;
    case TCall::StretchMode:
        dc.StretchMode = int(value);
        break;
    case TCall::TextAlign:
        dc.TextAlign = value;
        break;
    default:
        break;
    }
}

void PlayColour(TGdiPlayer& p, TCall call, const QColor& colour) {
    (call == TCall::TextColor ? p.Dc().TextColor : p.Dc().BkColor) = colour;
}

void PlayPoint(TGdiPlayer& p, TCall call, QPointF point) {
    const TDcState& dc = p.Dc();
    switch (call) {
    case TCall::SetWindowOrg:
        p.SetWindowOrg(point);
        break;
    case TCall::SetWindowExt:
        p.SetWindowExt(QSizeF(point.x(), point.y()));
        break;
    case TCall::SetViewportOrg:
        p.SetViewportOrg(point);
        break;
    case TCall::SetViewportExt:
        p.SetViewportExt(QSizeF(point.x(), point.y()));
        break;
    case TCall::OffsetWindowOrg:
        p.SetWindowOrg(dc.WindowOrg + point);
        break;
    case TCall::OffsetViewportOrg:
        p.SetViewportOrg(dc.ViewportOrg + point);
        break;
    case TCall::MoveTo:
        p.MoveTo(point);
        break;
    case TCall::LineTo:
        p.LineTo(point);
        break;
    case TCall::OffsetClip:
        p.OffsetClip(point);
        break;
    default:
        break;
    }
}

void PlayRect(TGdiPlayer& p, TCall call, const QRectF& rect) {
    switch (call) {
    case TCall::ExcludeClipRect:
        p.ExcludeClipRect(rect);
        break;
    case TCall::IntersectClipRect:
        p.IntersectClipRect(rect);
        break;
    case TCall::Ellipse:
        p.Ellipse(rect);
        break;
    case TCall::Rectangle:
        p.Rectangle(rect);
        break;
    default:
        break;
    }
}

} // namespace

const TRecordCall* FindCall(std::span<const TRecordCall> table, quint32 record) {
    for (const TRecordCall& entry : table)
        if (entry.Record == record)
            return &entry;
    return nullptr;
}

void PlayCall(TCall call, TByteReader& r, const TFieldReaders& read, TGdiPlayer& p) {
    if (call <= TCall::TextAlign) {
        PlayNumber(p, call, read.Number(r));
    } else if (call <= TCall::BkColor) {
        const QColor colour = ReadColor(r);
        if (r.Ok())
            PlayColour(p, call, colour);
    } else if (call <= TCall::OffsetClip) {
        const QPointF point = read.Point(r);
        if (r.Ok())
            PlayPoint(p, call, point);
    } else {
        const QRectF rect = read.Rect(r);
        if (r.Ok())
            PlayRect(p, call, rect);
    }
}

QColor ReadColor(TByteReader& r) {
    const quint8 red = r.U8(), green = r.U8(), blue = r.U8();
    r.U8();
    return QColor(red, green, blue);
}

QRectF BottomUpSource(const QImage& image, double x, double y, double w, double h) {
    return QRectF(x, image.height() - y - h, w, h);
}

void SetPenEnds(TGdiPen& pen, quint32 style) {
    const quint32 cap = style & 0x0F00, join = style & 0xF000;
    if (cap == 0x0100)
        pen.Cap = Qt::SquareCap;
    else if (cap == 0x0200)
        pen.Cap = Qt::FlatCap;
    if (join == 0x1000)
        pen.Join = Qt::BevelJoin;
    else if (join == 0x2000)
        pen.Join = Qt::MiterJoin;
}

} // namespace Metafile
