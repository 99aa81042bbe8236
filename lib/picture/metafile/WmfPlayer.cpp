// Plays the records of a Windows metafile. Parameters come in reverse order of
// the GDI call's arguments (y before x, bottom before top).

#include "Dib.h"
#include "GdiPlayer.h"
#include "MetafileFormat.h"
#include "RecordCalls.h"

namespace Metafile {

namespace {

QPointF ReadPointYX(TByteReader& r) {
    const qint16 y = r.I16();
    const qint16 x = r.I16();
    return QPointF(x, y);
}

// A Rect in GDI argument order read backwards: bottom, right, top, left.
QRectF ReadRectBRTL(TByteReader& r) {
    const qint16 bottom = r.I16(), right = r.I16(), top = r.I16(), left = r.I16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPolygonF ReadPoints(TByteReader& r, qint64 count) {
    QPolygonF points;
    if (count <= 0 || count > r.Remaining() / 4)
        return points;
    points.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const qint16 x = r.I16(), y = r.I16();
        points.append(QPointF(x, y));
    }
    return points;
}

TGdiObject ReadFont(TByteReader& r) {
    TGdiObject object;
    object.Kind = TObjectKind::Font;
    TGdiFont& f = object.Font;
    f.Height = r.I16();
    f.Width = r.I16();
    f.Escapement = r.I16();
    r.I16(); // orientation
    f.Weight = r.I16();
    f.Italic = r.U8() != 0;
    f.Underline = r.U8() != 0;
    f.StrikeOut = r.U8() != 0;
    f.Charset = r.U8();
    r.Skip(4); // precision, quality, pitch and family
    QByteArray face;
    while (r.Remaining() > 0 && face.size() < 32) {
        const char c = char(r.U8());
        if (c == 0)
            break;
        face.append(c);
    }
    f.Face = TGdiPlayer::DecodeAnsi(face, f.Charset);
    return object;
}

quint32 ReadU16(TByteReader& r) {
    return r.U16();
}

const TFieldReaders WmfFields{ReadU16, ReadPointYX, ReadRectBRTL};

// The records of one field and one call.
constexpr TRecordCall WmfCalls[] = {
    {0x0102, TCall::BkMode},
    {0x0103, TCall::MapMode},
    {0x0104, TCall::Rop2},
    {0x0106, TCall::PolyFillMode},
    {0x0107, TCall::StretchMode},
    {0x012E, TCall::TextAlign},
    {0x0201, TCall::BkColor},
    {0x0209, TCall::TextColor},
    {0x020B, TCall::SetWindowOrg},
    {0x020C, TCall::SetWindowExt},
    {0x020D, TCall::SetViewportOrg},
    {0x020E, TCall::SetViewportExt},
    {0x020F, TCall::OffsetWindowOrg},
    {0x0211, TCall::OffsetViewportOrg},
    {0x0213, TCall::LineTo},
    {0x0214, TCall::MoveTo},
    {0x0220, TCall::OffsetClip},
    {0x0415, TCall::ExcludeClipRect},
    {0x0416, TCall::IntersectClipRect},
    {0x0418, TCall::Ellipse},
    {0x041B, TCall::Rectangle},
};

void PlayRecord(quint16 function, qint64 words, TByteReader r, TGdiPlayer& p) {
    if (const TRecordCall* call = FindCall(WmfCalls, function)) {
        PlayCall(call->Call, r, WmfFields, p);
        return;
    }
    TDcState& dc = p.Dc();
    switch (function) {
    case 0x001E:
        p.SaveDc();
        break;
    case 0x0127:
        p.RestoreDc(r.I16());
        break;
    case 0x0410:
    case 0x0412: {
        const double yDenom = r.I16(), yNum = r.I16(), xDenom = r.I16(), xNum = r.I16();
        if (!r.Ok())
            break;
        if (function == 0x0410)
            p.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
        else
            p.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case 0x061C: {
        const qint16 h = r.I16(), w = r.I16();
        const QRectF rect = ReadRectBRTL(r);
        if (r.Ok())
            p.RoundRect(rect, QSizeF(w, h));
        break;
    }
    case 0x061D: {
        const quint32 rop = r.U32();
        const qint16 h = r.I16(), w = r.I16();
        const QPointF pt = ReadPointYX(r);
        if (r.Ok())
            p.PatBlt(QRectF(pt, QSizeF(w, h)), rop);
        break;
    }
    case 0x0817:
    case 0x081A:
    case 0x0830: {
        const QPointF end = ReadPointYX(r);
        const QPointF start = ReadPointYX(r);
        const QRectF rect = ReadRectBRTL(r);
        if (!r.Ok())
            break;
        const TArcKind kind = function == 0x0817   ? TArcKind::Arc
                              : function == 0x081A ? TArcKind::Pie
                                                   : TArcKind::Chord;
        p.ArcFigure(kind, rect, start, end);
        break;
    }
    case 0x041F: {
        const QColor c = ReadColor(r);
        const QPointF pt = ReadPointYX(r);
        if (r.Ok())
            p.SetPixel(pt, c);
        break;
    }
    case 0x0521: {
        const qint16 count = r.I16();
        if (count <= 0 || !r.Has(count))
            break;
        const QByteArray bytes(reinterpret_cast<const char*>(r.Current()), count);
        r.Skip(count + (count & 1));
        TTextRun run;
        run.Reference = ReadPointYX(r);
        if (!r.Ok())
            break;
        run.Text = TGdiPlayer::DecodeAnsi(bytes, dc.Font.Charset);
        p.TextOut(run);
        break;
    }
    case 0x0A32: {
        TTextRun run;
        run.Reference = ReadPointYX(r);
        const qint16 count = r.I16();
        run.Options = r.U16();
        if (run.Options & (EtoOpaque | EtoClipped)) {
            const qint16 left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
            run.Rect = QRectF(QPointF(left, top), QPointF(right, bottom));
            run.HasRect = true;
        }
        if (!r.Ok() || count < 0 || !r.Has(count))
            break;
        const QByteArray bytes(reinterpret_cast<const char*>(r.Current()), count);
        r.Skip(count + (count & 1));
        run.Text = TGdiPlayer::DecodeAnsi(bytes, dc.Font.Charset);
        // Advances are per byte; a double-byte character takes the sum of its two.
        if (r.Remaining() >= 2 * qint64(count) && count > 0) {
            QList<double> perByte;
            for (int i = 0; i < count; ++i)
                perByte.append(r.I16());
            if (run.Text.size() == count) {
                run.Dx = perByte;
            } else {
                int at = 0;
                for (QChar ch : run.Text) {
                    const int n = ch.unicode() < 0x80 ? 1 : 2;
                    double sum = 0;
                    for (int k = 0; k < n && at < count; ++k)
                        sum += perByte[at++];
                    run.Dx.append(sum);
                }
            }
        }
        if (run.Text.isEmpty() && run.HasRect && (run.Options & EtoOpaque)) {
            // An empty run still paints its opaque rectangle.
            const TGdiBrush saved = dc.Brush;
            const TGdiPen savedPen = dc.Pen;
            dc.Brush = TGdiBrush{BsSolid, dc.BkColor, 0, {}};
            dc.Pen.Style = PsNull;
            p.Rectangle(run.Rect);
            dc.Brush = saved;
            dc.Pen = savedPen;
            break;
        }
        p.TextOut(run);
        break;
    }
    case 0x0324:
    case 0x0325: {
        const qint16 count = r.I16();
        const QPolygonF points = ReadPoints(r, count);
        if (points.isEmpty())
            break;
        if (function == 0x0324)
            p.Polygon(points);
        else
            p.Polyline(points);
        break;
    }
    case 0x0538: {
        const quint16 polygons = r.U16();
        if (qint64(polygons) * 2 > r.Remaining())
            break;
        QList<qint64> counts;
        qint64 total = 0;
        for (int i = 0; i < polygons; ++i) {
            counts.append(r.U16());
            total += counts.last();
        }
        if (total * 4 > r.Remaining())
            break;
        QList<QPolygonF> list;
        for (qint64 n : counts)
            list.append(ReadPoints(r, n));
        p.PolyPolygon(list);
        break;
    }
    case 0x012D:
        p.SelectObject(r.U16());
        break;
    case 0x01F0:
        p.DeleteObject(r.U16());
        break;
    case 0x02FA: {
        TGdiObject object;
        object.Kind = TObjectKind::Pen;
        const quint16 style = r.U16();
        object.Pen.Style = style & 0x0F;
        object.Pen.Width = r.I16();
        r.I16();
        object.Pen.Color = ReadColor(r);
        SetPenEnds(object.Pen, style);
        p.AddObject(object); // a short record still takes its slot
        break;
    }
    case 0x02FC: {
        TGdiObject object;
        object.Kind = TObjectKind::Brush;
        object.Brush.Style = r.U16();
        object.Brush.Color = ReadColor(r);
        object.Brush.Hatch = r.U16();
        p.AddObject(object);
        break;
    }
    case 0x02FB:
        p.AddObject(ReadFont(r));
        break;
    case 0x0142: {
        TGdiObject object;
        object.Kind = TObjectKind::Brush;
        const quint16 style = r.U16();
        const quint16 usage = r.U16();
        object.Brush.Style = BsDibPattern;
        object.Brush.Color = Qt::black;
        if (style != BsPattern && usage == 0)
            object.Brush.Pattern = DecodePackedDib(r.Sub(r.Pos(), r.Remaining()));
        if (object.Brush.Pattern.isNull())
            object.Brush.Style = BsSolid;
        p.AddObject(object);
        break;
    }
    case 0x01F9: { // a device-dependent pattern: kept as a grey fill
        TGdiObject object;
        object.Kind = TObjectKind::Brush;
        object.Brush.Color = Qt::gray;
        p.AddObject(object);
        break;
    }
    case 0x00F7: // palette
    case 0x06FF: // region
        p.AddObject(TGdiObject{});
        break;
    case 0x0940:
    case 0x0B41: {
        const bool stretch = function == 0x0B41;
        const bool withBitmap = words != (function >> 8) + 3;
        const quint32 rop = r.U32();
        double srcH = 0, srcW = 0;
        if (stretch) {
            srcH = r.I16();
            srcW = r.I16();
        }
        const double ySrc = r.I16(), xSrc = r.I16();
        if (!withBitmap)
            r.I16(); // reserved
        const double h = r.I16(), w = r.I16();
        const QPointF dest = ReadPointYX(r);
        if (!r.Ok())
            break;
        if (!stretch) {
            srcW = w;
            srcH = h;
        }
        if (!withBitmap) {
            p.PatBlt(QRectF(dest, QSizeF(w, h)), rop);
            break;
        }
        const QImage image = DecodePackedDib(r.Sub(r.Pos(), r.Remaining()));
        p.StretchImage(QRectF(dest, QSizeF(w, h)), image, QRectF(xSrc, ySrc, srcW, srcH), rop);
        break;
    }
    case 0x0F43:   // STRETCHDIB
    case 0x0D33: { // SETDIBITSTODEVICE: no raster operation, the source unscaled
        const bool stretch = function == 0x0F43;
        const quint32 rop = stretch ? r.U32() : 0x00CC0020; // SRCCOPY
        const quint16 usage = r.U16();
        // SETDIBITSTODEVICE: the scan count and start scan, not needed.
        const double srcH = r.I16(), srcW = r.I16();
        const double ySrc = r.I16(), xSrc = r.I16(), h = r.I16(), w = r.I16();
        const QPointF dest = ReadPointYX(r);
        if (!r.Ok() || usage != 0)
            break;
        const QImage image = DecodePackedDib(r.Sub(r.Pos(), r.Remaining()));
        if (!image.isNull())
            p.StretchImage(
                QRectF(dest, QSizeF(w, h)), image,
                BottomUpSource(image, xSrc, ySrc, stretch ? srcW : w, stretch ? srcH : h), rop);
        break;
    }
    default:
        break; // escapes, palettes, regions and the rest: nothing to draw
    }
}

} // namespace

void PlayWmf(const QByteArray& data, const TMetafileInfo& info, TGdiPlayer& player) {
    const QRectF& frame = info.LogicalFrame;
    if (info.WindowFromFrame) {
        player.SetMapMode(MmAnisotropic);
        player.SetWindowExt(frame.size());
        player.SetViewportExt(frame.size());
    }
    player.SetWindowOrg(frame.topLeft());

    TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    r.Seek(info.RecordsStart);
    while (r.Has(6)) {
        const qint64 words = r.U32();
        const quint16 function = r.U16();
        if (words < 3 || words * 2 - 6 > r.Remaining() || function == 0 || player.OutOfTime())
            break;
        PlayRecord(function, words, r.Sub(r.Pos(), words * 2 - 6), player);
        r.Skip(words * 2 - 6);
    }
}

} // namespace Metafile
