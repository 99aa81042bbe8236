#pragma once
// libpng believes a chunk's length: it allocates and clears that much before it
// finds the bytes missing, so a few hundred forged bytes cost a gigabyte and
// seconds. Streams whose chunks run past their end are refused before decoding.

#include <QByteArrayView>
#include <cstring>

inline bool IsPng(QByteArrayView bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1A\n", 8) == 0;
}

// Whether every chunk up to IEND (or the end) lies within the bytes.
inline bool PngChunksFit(QByteArrayView png) {
    if (!IsPng(png))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(png.data());
    qsizetype at = 8;
    while (png.size() - at >= 12) {
        const quint32 length = quint32(p[at]) << 24 | quint32(p[at + 1]) << 16 |
                               quint32(p[at + 2]) << 8 | quint32(p[at + 3]);
        if (length > quint32(png.size() - at - 12))
            return false;
        const bool end = std::memcmp(p + at + 4, "IEND", 4) == 0;
        at += 12 + qsizetype(length);
        if (end)
            return true;
    }
    return at == png.size();
}
