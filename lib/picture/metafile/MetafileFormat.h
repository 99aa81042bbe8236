#pragma once
// Recognising, checking and playing the two metafile formats.

#include "ByteReader.h"

#include <QByteArray>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace Metafile {

class TGdiPlayer;

// Metafile files larger than this are refused before they are read.
inline constexpr qint64 MaxMetafileBytes = 64LL * 1024 * 1024;

struct TMetafileInfo {
    bool Enhanced = false;
    int Width = 0; // the frame in pixels at 96 dpi
    int Height = 0;
    QRectF DeviceFrame;       // device units mapped onto the drawing rectangle
    QSizeF DeviceDpi{96, 96}; // device units per inch, for the fixed mapping modes
    qsizetype RecordsStart = 0;
    // WMF: the logical rectangle the frame shows; the window starts on it.
    QRectF LogicalFrame;
    bool WindowFromFrame = true; // else MM_TEXT with the window origin at the frame
};

// Checks the header and every record's framing and works out the size.
// Throws EInvalidGraphic("图元文件无效").
TMetafileInfo Inspect(const QByteArray& data);

// Plays the records onto a player that was set up for info.
void PlayWmf(const QByteArray& data, const TMetafileInfo& info, TGdiPlayer& player);
void PlayEmf(const QByteArray& data, const TMetafileInfo& info, TGdiPlayer& player);

// Draws the metafile scaled into rect (painter may be null to gather bounds).
void Render(const QByteArray& data, const TMetafileInfo& info, QPainter* painter,
            const QRectF& rect);

} // namespace Metafile
