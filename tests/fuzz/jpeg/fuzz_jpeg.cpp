// JPEG bytes as a recipe's picture column delivers them: taken over, then decoded.
#include "Graphics.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    buffer.open(QIODevice::ReadOnly);
    TJPEGImage jpeg;
    jpeg.LoadFromStream(buffer);
    try {
        const QImage image = jpeg.ToImage();
        // A decoded picture has the size its header promised.
        if (!image.isNull() && (image.width() != jpeg.Width() || image.height() != jpeg.Height()))
            __builtin_trap();
    } catch (const EJPEG&) {
    }
    return 0;
}
