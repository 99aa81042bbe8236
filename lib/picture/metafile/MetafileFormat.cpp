#include "MetafileFormat.h"

#include "GdiPlayer.h"
#include "PictureLimits.h"
#include "SysUtils.h"

#include <cmath>

namespace Metafile {

namespace {

constexpr quint32 PlaceableKey = 0x9AC6CDD7;
constexpr quint32 EmfSignature = 0x464D4520; // " EMF"
constexpr int WmfHeaderSize = 18;
constexpr int EmfMinHeaderSize = 88;

[[noreturn]] void Invalid() {
    throw EInvalidGraphic(QStringLiteral("图元文件无效"));
}

// Pixels at 96 dpi of a length in units of which unitsPerInch make an inch.
int PixelsAt96(double length, double unitsPerInch) {
    const double pixels = std::round(std::abs(length) * 96.0 / unitsPerInch);
    if (!std::isfinite(pixels) || pixels > double(MaxPicturePixels))
        Invalid();
    return std::max(1, int(pixels));
}

void CheckArea(const TMetafileInfo& info) {
    if (qint64(info.Width) * qint64(info.Height) > MaxPicturePixels)
        Invalid();
}

struct TWmfScan {
    bool HasWindowOrg = false, HasWindowExt = false;
    QPointF WindowOrg;
    QSizeF WindowExt;
};

// Walks the WMF records from offset, checking that each lies within the data.
TWmfScan ScanWmfRecords(const QByteArray& data, qsizetype offset) {
    TWmfScan scan;
    TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    r.Seek(offset);
    while (r.Remaining() > 0) {
        if (!r.Has(6))
            Invalid();
        const qint64 words = r.U32();
        const quint16 function = r.U16();
        if (words < 3 || words * 2 - 6 > r.Remaining())
            Invalid();
        if (function == 0)
            break;
        TByteReader params = r.Sub(r.Pos(), words * 2 - 6);
        if (function == 0x020B && !scan.HasWindowOrg && params.Size() >= 4) {
            const qint16 y = params.I16(), x = params.I16();
            scan.WindowOrg = QPointF(x, y);
            scan.HasWindowOrg = true;
        } else if (function == 0x020C && !scan.HasWindowExt && params.Size() >= 4) {
            const qint16 y = params.I16(), x = params.I16();
            if (x != 0 && y != 0) {
                scan.WindowExt = QSizeF(x, y);
                scan.HasWindowExt = true;
            }
        }
        r.Skip(words * 2 - 6);
    }
    return scan;
}

TMetafileInfo InspectWmf(const QByteArray& data) {
    TMetafileInfo info;
    TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    const bool placeable = r.U32() == PlaceableKey;
    QRectF bbox;
    double inch = 96;
    if (placeable) {
        r.U16(); // handle
        const qint16 left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
        inch = r.U16();
        r.Skip(6); // reserved, checksum: writers disagree on the checksum, so it is not checked
        if (!r.Ok() || inch == 0 || left == right || top == bottom)
            Invalid();
        bbox = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
    } else {
        r.Seek(0);
    }
    const qsizetype headerAt = r.Pos();
    const quint16 type = r.U16();
    const quint16 headerWords = r.U16();
    const quint16 version = r.U16();
    r.Skip(WmfHeaderSize - 6);
    if (!r.Ok() || (type != 1 && type != 2) || headerWords != 9 ||
        (version != 0x0100 && version != 0x0300))
        Invalid();
    info.RecordsStart = headerAt + WmfHeaderSize;
    const TWmfScan scan = ScanWmfRecords(data, info.RecordsStart);

    if (placeable) {
        info.LogicalFrame = bbox;
        info.DeviceDpi = QSizeF(inch, inch);
        info.Width = PixelsAt96(bbox.width(), inch);
        info.Height = PixelsAt96(bbox.height(), inch);
    } else if (scan.HasWindowExt) {
        // No header to say otherwise: the window, one unit a pixel at 96 dpi.
        info.LogicalFrame = QRectF(scan.WindowOrg, scan.WindowExt).normalized();
        info.Width = PixelsAt96(scan.WindowExt.width(), 96);
        info.Height = PixelsAt96(scan.WindowExt.height(), 96);
    } else {
        // Neither header nor window: what the records draw, in MM_TEXT units.
        info.WindowFromFrame = false;
        info.LogicalFrame = QRectF(0, 0, 1, 1);
        info.DeviceFrame = info.LogicalFrame;
        TGdiPlayer probe(nullptr, QTransform(), QRectF(0, 0, 1, 1), info.DeviceDpi);
        PlayWmf(data, info, probe);
        const QRectF drawn = probe.Bounds();
        if (drawn.isNull() || drawn.width() <= 0 || drawn.height() <= 0)
            Invalid();
        info.LogicalFrame = drawn;
        info.Width = PixelsAt96(drawn.width(), 96);
        info.Height = PixelsAt96(drawn.height(), 96);
    }
    info.DeviceFrame = QRectF(QPointF(0, 0), info.LogicalFrame.size());
    CheckArea(info);
    return info;
}

TMetafileInfo InspectEmf(const QByteArray& data) {
    TMetafileInfo info;
    info.Enhanced = true;
    TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    r.U32(); // type
    const qint64 headerSize = r.U32();
    const qint32 bl = r.I32(), bt = r.I32(), br = r.I32(), bb = r.I32();
    const qint32 fl = r.I32(), ft = r.I32(), fr = r.I32(), fb = r.I32();
    r.U32();    // signature, checked by the caller
    r.Skip(16); // version, bytes, records, handles
    r.Skip(12); // description, palette
    const qint32 devX = r.I32(), devY = r.I32();
    const qint32 mmX = r.I32(), mmY = r.I32();
    double umX = 0, umY = 0;
    if (headerSize >= 108 && r.Has(20)) {
        r.Skip(12); // pixel format, OpenGL
        umX = r.I32();
        umY = r.I32();
    }
    if (!r.Ok() || headerSize < EmfMinHeaderSize || headerSize > data.size())
        Invalid();

    // Device pixels per 0.01 mm of the reference device.
    double ppx = 96.0 / 2540, ppy = 96.0 / 2540;
    if (devX > 0 && devY > 0 && umX > 0 && umY > 0) {
        ppx = devX / (umX / 10.0), ppy = devY / (umY / 10.0);
    } else if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
        ppx = devX / (mmX * 100.0), ppy = devY / (mmY * 100.0);
    }
    info.DeviceDpi = QSizeF(ppx * 2540, ppy * 2540);

    // The frame is inclusive, in 0.01 mm; without one, the inclusive bounds in device pixels.
    const double fw = double(fr) - fl + 1, fh = double(fb) - ft + 1;
    if (fr >= fl && fb >= ft) {
        info.Width = PixelsAt96(fw, 2540);
        info.Height = PixelsAt96(fh, 2540);
        info.DeviceFrame = QRectF(fl * ppx, ft * ppy, fw * ppx, fh * ppy);
    } else if (br >= bl && bb >= bt) {
        const double bw = double(br) - bl + 1, bh = double(bb) - bt + 1;
        info.Width = PixelsAt96(bw, info.DeviceDpi.width());
        info.Height = PixelsAt96(bh, info.DeviceDpi.height());
        info.DeviceFrame = QRectF(bl, bt, bw, bh);
    } else {
        Invalid();
    }
    CheckArea(info);

    // Every record must lie within the data; an EOF record ends them.
    r.Seek(headerSize);
    info.RecordsStart = headerSize;
    while (r.Remaining() > 0) {
        if (!r.Has(8))
            Invalid();
        const quint32 type = r.U32();
        const qint64 size = r.U32();
        if (size < 8 || size - 8 > r.Remaining())
            Invalid();
        if (type == 14)
            break;
        r.Skip(size - 8);
    }
    return info;
}

} // namespace

TMetafileInfo Inspect(const QByteArray& data) {
    if (data.size() > MaxMetafileBytes)
        Invalid();
    TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    const quint32 first = r.U32();
    r.Seek(40);
    const quint32 signature = r.U32();
    if (r.Ok() && first == 1 && signature == EmfSignature)
        return InspectEmf(data);
    return InspectWmf(data);
}

void Render(const QByteArray& data, const TMetafileInfo& info, QPainter* painter,
            const QRectF& rect) {
    const QRectF& frame = info.DeviceFrame;
    if (frame.width() <= 0 || frame.height() <= 0 || rect.isEmpty())
        return;
    const QTransform deviceToTarget =
        QTransform::fromTranslate(-frame.x(), -frame.y()) *
        QTransform::fromScale(rect.width() / frame.width(), rect.height() / frame.height()) *
        QTransform::fromTranslate(rect.x(), rect.y());
    TGdiPlayer player(painter, deviceToTarget, rect, info.DeviceDpi);
    if (info.Enhanced)
        PlayEmf(data, info, player);
    else
        PlayWmf(data, info, player);
}

} // namespace Metafile
