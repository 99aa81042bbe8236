#pragma once
// Device-independent bitmaps as metafile records carry them.

#include "ByteReader.h"

#include <QImage>

namespace Metafile {

// Largest bitmap one record may unpack, in pixels (a 1-bit bitmap grows 32-fold).
inline constexpr qint64 MaxDibPixels = 25'000'000;

struct TDibInfo {
    int Width = 0;
    int Height = 0; // always positive
    bool TopDown = false;
};

// Decodes a BITMAPINFO (header and colour table) with its pixel bits.
// Returns a null image when the bitmap is malformed, too large or of an
// unsupported kind. With keepAlpha, 32-bit pixels keep their (premultiplied)
// alpha; otherwise the image is opaque RGB32.
QImage DecodeDib(TByteReader info, TByteReader bits, bool keepAlpha = false,
                 TDibInfo* header = nullptr);

// A packed DIB: the bits follow the header and colour table directly.
QImage DecodePackedDib(TByteReader packed, TDibInfo* header = nullptr);

} // namespace Metafile
