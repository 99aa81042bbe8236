// Plays the records of an enhanced metafile. EMF+ records ride in comments
// and are passed over; the plain records beside them are drawn.

#include "Dib.h"
#include "GdiPlayer.h"
#include "MetafileFormat.h"
#include "RecordCalls.h"

#include <cmath>

namespace Metafile {

namespace {

// More rectangles than this in one clip region are taken as their bounds.
constexpr qint64 MaxClipRects = 1000;

QPointF ReadPoint(TByteReader& r) {
    const qint32 x = r.I32();
    const qint32 y = r.I32();
    return QPointF(x, y);
}

QRectF ReadRect(TByteReader& r) {
    const qint32 left = r.I32(), top = r.I32(), right = r.I32(), bottom = r.I32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

quint32 ReadU32(TByteReader& r) {
    return r.U32();
}

const TFieldReaders EmfFields{ReadU32, ReadPoint, ReadRect};

// The records of one field and one call.
constexpr TRecordCall EmfCalls[] = {
    {9, TCall::SetWindowExt},     {10, TCall::SetWindowOrg},
    {11, TCall::SetViewportExt},  {12, TCall::SetViewportOrg},
    {17, TCall::MapMode},         {18, TCall::BkMode},
    {19, TCall::PolyFillMode},    {20, TCall::Rop2},
    {21, TCall::StretchMode},     {22, TCall::TextAlign},
    {24, TCall::TextColor},       {25, TCall::BkColor},
    {26, TCall::OffsetClip},      {27, TCall::MoveTo},
    {29, TCall::ExcludeClipRect}, {30, TCall::IntersectClipRect},
    {42, TCall::Ellipse},         {43, TCall::Rectangle},
    {54, TCall::LineTo},
};

QTransform ReadXform(TByteReader& r) {
    const double m11 = r.F32(), m12 = r.F32(), m21 = r.F32(), m22 = r.F32(), dx = r.F32(),
                 dy = r.F32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

QPolygonF ReadPoints(TByteReader& r, qint64 count, bool small) {
    QPolygonF points;
    const int size = small ? 4 : 8;
    if (count <= 0 || count > r.Remaining() / size)
        return points;
    points.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        if (small) {
            const qint16 x = r.I16(), y = r.I16();
            points.append(QPointF(x, y));
        } else {
            points.append(ReadPoint(r));
        }
    }
    return points;
}

QList<QPolygonF> ReadPolyPoly(TByteReader& r, bool small) {
    QList<QPolygonF> list;
    r.Skip(16); // bounds
    const qint64 polys = r.U32();
    const qint64 total = r.U32();
    if (!r.Ok() || polys > r.Remaining() / 4)
        return list;
    QList<qint64> counts;
    qint64 sum = 0;
    for (qint64 i = 0; i < polys; ++i) {
        counts.append(r.U32());
        sum += counts.last();
    }
    if (sum > total || total > r.Remaining() / (small ? 4 : 8))
        return list;
    for (qint64 n : counts)
        list.append(ReadPoints(r, n, small));
    return list;
}

// The bitmap of a record: header at offBmi, bits at offBits, both within the record.
QImage ReadBitmap(const TByteReader& record, qint64 offBmi, qint64 cbBmi, qint64 offBits,
                  qint64 cbBits, quint32 usage, bool keepAlpha = false) {
    if (usage != 0 || cbBmi == 0)
        return {}; // palette-index colours need the playback palette, which we do not keep
    return DecodeDib(record.Sub(offBmi, cbBmi), record.Sub(offBits, cbBits), keepAlpha);
}

QString ReadUtf16(const TByteReader& record, qint64 offset, qint64 chars) {
    TByteReader s = record.Sub(offset, chars * 2);
    if (!s.Ok())
        return {};
    QString text;
    text.reserve(chars);
    for (qint64 i = 0; i < chars; ++i)
        text.append(QChar(s.U16()));
    return text;
}

void TextRecord(const TByteReader& record, bool wide, TGdiPlayer& p) {
    TByteReader r = record;
    r.Skip(8 + 16 + 12); // header, bounds, graphics mode and scales
    TTextRun run;
    run.Reference = ReadPoint(r);
    const qint64 chars = r.U32();
    const qint64 offString = r.U32();
    run.Options = r.U32();
    run.Rect = ReadRect(r);
    const qint64 offDx = r.U32();
    if (!r.Ok() || chars <= 0 || chars > record.Size())
        return;
    run.HasRect = (run.Options & (EtoOpaque | EtoClipped)) != 0 && !run.Rect.isEmpty();
    if (wide) {
        run.Text = ReadUtf16(record, offString, chars);
    } else {
        TByteReader s = record.Sub(offString, chars);
        if (!s.Ok())
            return;
        run.Text = TGdiPlayer::DecodeAnsi(
            QByteArray(reinterpret_cast<const char*>(s.Data()), chars), p.Dc().Font.Charset);
    }
    const int stride = (run.Options & EtoPdy) ? 2 : 1;
    TByteReader dx = record.Sub(offDx, chars * 4 * stride);
    if (offDx != 0 && dx.Ok() && (wide || run.Text.size() == chars)) {
        for (qint64 i = 0; i < chars; ++i) {
            run.Dx.append(dx.I32());
            if (stride == 2)
                dx.I32();
        }
    }
    if (!run.Text.isEmpty())
        p.TextOut(run);
}

TGdiObject ReadPenObject(quint32 style, double width, const QColor& color) {
    TGdiObject object;
    object.Kind = TObjectKind::Pen;
    object.Pen.Style = int(style & 0x0F);
    object.Pen.Width = width;
    object.Pen.Color = color;
    SetPenEnds(object.Pen, style);
    if (object.Pen.Style > PsInsideFrame)
        object.Pen.Style = PsSolid; // user styles and alternates: drawn solid
    return object;
}

void PlayRecord(quint32 type, const TByteReader& record, TGdiPlayer& p) {
    TByteReader r = record;
    r.Skip(8);
    if (const TRecordCall* call = FindCall(EmfCalls, type)) {
        PlayCall(call->Call, r, EmfFields, p);
        return;
    }
    TDcState& dc = p.Dc();
    switch (type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: // POLYBEZIER .. POLYLINETO
    case 85:
    case 86:
    case 87:
    case 88:
    case 89: { // their 16-bit forms
        const bool small = type >= 85;
        r.Skip(16);
        const qint64 count = r.U32();
        const QPolygonF points = ReadPoints(r, count, small);
        if (points.isEmpty())
            break;
        switch (small ? type - 83 : type) {
        case 2:
            p.PolyBezier(points);
            break;
        case 3:
            p.Polygon(points);
            break;
        case 4:
            p.Polyline(points);
            break;
        case 5:
            p.PolyBezierTo(points);
            break;
        case 6:
            p.PolylineTo(points);
            break;
        default:
            break;
        }
        break;
    }
    case 7:
    case 8:
    case 90:
    case 91: {
        const QList<QPolygonF> list = ReadPolyPoly(r, type >= 90);
        if (type == 7 || type == 90)
            p.PolyPolyline(list);
        else
            p.PolyPolygon(list);
        break;
    }
    case 15: {
        const QPointF pt = ReadPoint(r);
        const QColor c = ReadColor(r);
        if (r.Ok())
            p.SetPixel(pt, c);
        break;
    }
    case 31:
    case 32: {
        const double xNum = r.I32(), xDenom = r.I32(), yNum = r.I32(), yDenom = r.I32();
        if (!r.Ok())
            break;
        if (type == 31)
            p.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
        else
            p.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case 33:
        p.SaveDc();
        break;
    case 34:
        p.RestoreDc(r.I32());
        break;
    case 35: {
        const QTransform t = ReadXform(r);
        if (r.Ok())
            p.SetWorldTransform(t);
        break;
    }
    case 36: {
        const QTransform t = ReadXform(r);
        const int mode = int(r.U32());
        if (r.Ok())
            p.ModifyWorldTransform(t, mode);
        break;
    }
    case 37: {
        const quint32 index = r.U32();
        if (!r.Ok())
            break;
        if (index & 0x80000000u)
            p.SelectStockObject(int(index & 0x7FFFFFFFu));
        else
            p.SelectObject(index);
        break;
    }
    case 38: {
        const quint32 index = r.U32();
        const quint32 style = r.U32();
        const qint32 width = r.I32();
        r.I32();
        const QColor color = ReadColor(r);
        if (r.Ok())
            p.PutObject(index, ReadPenObject(style, std::abs(double(width)), color));
        break;
    }
    case 39: {
        const quint32 index = r.U32();
        TGdiObject object;
        object.Kind = TObjectKind::Brush;
        object.Brush.Style = int(r.U32());
        object.Brush.Color = ReadColor(r);
        object.Brush.Hatch = int(r.U32());
        if (r.Ok())
            p.PutObject(index, object);
        break;
    }
    case 40:
        p.DeleteObject(r.U32());
        break;
    case 41: {
        const QPointF c = ReadPoint(r);
        const double radius = r.U32();
        const double start = r.F32(), sweep = r.F32();
        if (r.Ok())
            p.AngleArc(c, radius, start, sweep);
        break;
    }
    case 44: {
        const QRectF rect = ReadRect(r);
        const qint32 cx = r.I32(), cy = r.I32();
        if (r.Ok())
            p.RoundRect(rect, QSizeF(cx, cy));
        break;
    }
    case 45:
    case 46:
    case 47:
    case 55: {
        const QRectF rect = ReadRect(r);
        const QPointF start = ReadPoint(r), end = ReadPoint(r);
        if (!r.Ok())
            break;
        const TArcKind kind = type == 45   ? TArcKind::Arc
                              : type == 46 ? TArcKind::Chord
                              : type == 47 ? TArcKind::Pie
                                           : TArcKind::ArcTo;
        p.ArcFigure(kind, rect, start, end);
        break;
    }
    case 49: { // palette: only its slot matters
        const quint32 index = r.U32();
        if (r.Ok())
            p.PutObject(index, TGdiObject{});
        break;
    }
    case 57:
        dc.ArcDirection = int(r.U32());
        break;
    case 59:
        p.BeginPath();
        break;
    case 60:
        p.EndPath();
        break;
    case 61:
        p.CloseFigure();
        break;
    case 62:
        p.FillPath();
        break;
    case 63:
        p.StrokeAndFillPath();
        break;
    case 64:
        p.StrokePath();
        break;
    case 67:
        p.SelectClipPath(int(r.U32()));
        break;
    case 68:
        p.AbortPath();
        break;
    case 75: {
        const qint64 size = r.U32();
        const int mode = int(r.U32());
        if (!r.Ok())
            break;
        QList<QRectF> rects;
        if (size >= 32) {
            TByteReader rgn = record.Sub(16, size);
            rgn.Skip(8);
            const qint64 count = rgn.U32();
            rgn.U32();
            const QRectF bound = ReadRect(rgn);
            if (!rgn.Ok() || count > rgn.Remaining() / 16)
                break;
            if (count > MaxClipRects) {
                rects.append(bound);
            } else {
                for (qint64 i = 0; i < count; ++i)
                    rects.append(ReadRect(rgn));
            }
        }
        p.SetClipRects(rects, mode);
        break;
    }
    case 76:
    case 77:
    case 114: { // BITBLT, STRETCHBLT, ALPHABLEND
        r.Skip(16);
        const qint32 xDest = r.I32(), yDest = r.I32(), cxDest = r.I32(), cyDest = r.I32();
        const quint32 rop = r.U32();
        const qint32 xSrc = r.I32(), ySrc = r.I32();
        r.Skip(24 + 4); // source transform, background colour
        const quint32 usage = r.U32();
        const qint64 offBmi = r.U32(), cbBmi = r.U32(), offBits = r.U32(), cbBits = r.U32();
        qint32 cxSrc = cxDest, cySrc = cyDest;
        if (type != 76) {
            cxSrc = r.I32();
            cySrc = r.I32();
        }
        if (!r.Ok())
            break;
        const QRectF dest(xDest, yDest, cxDest, cyDest);
        if (cbBmi == 0) {
            if (type == 76 || type == 77)
                p.PatBlt(dest, rop);
            break;
        }
        // AlphaBlend: per-pixel alpha when asked, scaled by the constant alpha.
        const bool alpha = type == 114;
        QImage image = ReadBitmap(record, offBmi, cbBmi, offBits, cbBits, usage,
                                  alpha && ((rop >> 24) & 0xFF) == 1);
        if (image.isNull())
            break;
        if (alpha && ((rop >> 16) & 0xFF) != 255) {
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const int constant = int((rop >> 16) & 0xFF);
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb px = line[x];
                    line[x] = qRgba(qRed(px) * constant / 255, qGreen(px) * constant / 255,
                                    qBlue(px) * constant / 255, qAlpha(px) * constant / 255);
                }
            }
        }
        p.StretchImage(dest, image, QRectF(xSrc, ySrc, cxSrc, cySrc), alpha ? 0x00CC0020 : rop);
        break;
    }
    case 80:
    case 81: { // SETDIBITSTODEVICE, STRETCHDIBITS
        r.Skip(16);
        const qint32 xDest = r.I32(), yDest = r.I32();
        const qint32 xSrc = r.I32(), ySrc = r.I32(), cxSrc = r.I32(), cySrc = r.I32();
        const qint64 offBmi = r.U32(), cbBmi = r.U32(), offBits = r.U32(), cbBits = r.U32();
        const quint32 usage = r.U32();
        quint32 rop = 0x00CC0020;
        qint32 cxDest = cxSrc, cyDest = cySrc;
        if (type == 81) {
            rop = r.U32();
            cxDest = r.I32();
            cyDest = r.I32();
        }
        if (!r.Ok())
            break;
        const QImage image = ReadBitmap(record, offBmi, cbBmi, offBits, cbBits, usage);
        if (!image.isNull())
            p.StretchImage(QRectF(xDest, yDest, cxDest, cyDest), image,
                           BottomUpSource(image, xSrc, ySrc, cxSrc, cySrc), rop);
        break;
    }
    case 82: {
        const quint32 index = r.U32();
        TGdiObject object;
        object.Kind = TObjectKind::Font;
        TGdiFont& f = object.Font;
        f.Height = r.I32();
        f.Width = std::abs(double(r.I32()));
        f.Escapement = r.I32();
        r.I32(); // orientation
        f.Weight = r.I32();
        f.Italic = r.U8() != 0;
        f.Underline = r.U8() != 0;
        f.StrikeOut = r.U8() != 0;
        f.Charset = r.U8();
        r.Skip(4);
        if (!r.Ok())
            break;
        QString face;
        while (r.Remaining() >= 2 && face.size() < 32) {
            const quint16 c = r.U16();
            if (c == 0)
                break;
            face.append(QChar(c));
        }
        f.Face = face;
        p.PutObject(index, object);
        break;
    }
    case 83:
    case 84:
        TextRecord(record, type == 84, p);
        break;
    case 93:
    case 94: {
        const quint32 index = r.U32();
        const quint32 usage = r.U32();
        const qint64 offBmi = r.U32(), cbBmi = r.U32(), offBits = r.U32(), cbBits = r.U32();
        if (!r.Ok())
            break;
        TGdiObject object;
        object.Kind = TObjectKind::Brush;
        object.Brush.Style = BsDibPatternPt;
        object.Brush.Color = Qt::black;
        object.Brush.Pattern = ReadBitmap(record, offBmi, cbBmi, offBits, cbBits, usage);
        if (object.Brush.Pattern.isNull())
            object.Brush.Style = BsSolid;
        p.PutObject(index, object);
        break;
    }
    case 95: {
        const quint32 index = r.U32();
        r.Skip(16); // an optional pattern bitmap for the pen: drawn in the pen's colour
        const quint32 style = r.U32();
        const quint32 width = r.U32();
        const quint32 brushStyle = r.U32();
        const QColor color = ReadColor(r);
        if (!r.Ok())
            break;
        TGdiObject object = ReadPenObject(style, double(width), color);
        const bool geometric = (style & 0x00010000u) != 0;
        if (!geometric)
            object.Pen.Width = 0;
        if (brushStyle == BsNull)
            object.Pen.Style = PsNull;
        p.PutObject(index, object);
        break;
    }
    default:
        break; // comments (EMF+ among them), palettes, colour management and the rest
    }
}

} // namespace

void PlayEmf(const QByteArray& data, const TMetafileInfo& info, TGdiPlayer& player) {
    TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    r.Seek(info.RecordsStart);
    while (r.Has(8)) {
        const qsizetype at = r.Pos();
        const quint32 type = r.U32();
        const qint64 size = r.U32();
        if (size < 8 || size - 8 > r.Remaining() || type == 14 || player.OutOfTime())
            break;
        PlayRecord(type, r.Sub(at, size), player);
        r.Seek(at + size);
    }
}

} // namespace Metafile
