// A TIFF picture file's bytes, read as the picture box would read them.
#include "Graphics.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    buffer.open(QIODevice::ReadOnly);
    TWICImage tiff;
    try {
        tiff.LoadFromStream(buffer);
        if (tiff.Empty() || qint64(tiff.Width()) * tiff.Height() > MaxPicturePixels)
            __builtin_trap();
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
