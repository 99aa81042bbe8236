#pragma once
// What the WMF and EMF players share beside the device context: the fields both
// formats lay out alike, and the records that carry one field and make one call.
// The formats number those records and lay the field out their own way (WMF: 16
// bits, y before x, bottom first; EMF: 32 bits in reading order), so each player
// reads the field; the call it makes is played here.

#include "ByteReader.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <span>

class QImage;

namespace Metafile {

class TGdiPlayer;
struct TGdiPen;

// Grouped by the field the record carries, in this order (PlayCall relies on it).
enum class TCall {
    // One number, set even when the record is cut short (as zero).
    BkMode,
    MapMode,
    Rop2,
    PolyFillMode,
    StretchMode,
    TextAlign,
    // One colour.
    TextColor,
    BkColor,
    // One point.
    SetWindowOrg,
    SetWindowExt,
    SetViewportOrg,
    SetViewportExt,
    OffsetWindowOrg,
    OffsetViewportOrg,
    MoveTo,
    LineTo,
    OffsetClip,
    // One rectangle.
    ExcludeClipRect,
    IntersectClipRect,
    Ellipse,
    Rectangle,
};

struct TRecordCall {
    quint32 Record; // the format's record number
    TCall Call;
};
// The call a record makes, looked up in a format's table; null for any other record.
const TRecordCall* FindCall(std::span<const TRecordCall> table, quint32 record);

// How a format lays out a number, a point and a rectangle.
struct TFieldReaders {
    quint32 (*Number)(TByteReader& r);
    QPointF (*Point)(TByteReader& r);
    QRectF (*Rect)(TByteReader& r);
};
// Reads the call's field and plays the call; a colour, point or rectangle only
// when the record holds it whole.
void PlayCall(TCall call, TByteReader& r, const TFieldReaders& read, TGdiPlayer& p);

// A COLORREF: red, green, blue and a byte of flags.
QColor ReadColor(TByteReader& r);
// Source rectangle in the top-down image of a DIB whose origin is its lower-left corner.
QRectF BottomUpSource(const QImage& image, double x, double y, double w, double h);
// The end cap and join of a pen style's bits.
void SetPenEnds(TGdiPen& pen, quint32 style);

} // namespace Metafile
