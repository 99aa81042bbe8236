#include "Dib.h"

#include "PngChunks.h"

#include <QBuffer>
#include <QImageReader>
#include <array>
#include <vector>

namespace Metafile {

namespace {

enum : quint32 { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiJpeg = 4, BiPng = 5 };

struct THeader {
    qint64 HeaderSize = 0;
    qint64 Width = 0;
    qint64 Height = 0;
    int BitCount = 0;
    quint32 Compression = BiRgb;
    quint32 ColorsUsed = 0;
    bool Core = false;
    std::array<quint32, 4> Masks{};
    qint64 TableEnd = 0; // offset just after the colour table
    QList<QRgb> Palette;
};

// Reads the header and colour table; false when they are malformed.
bool ReadHeader(TByteReader info, THeader& h) {
    h.HeaderSize = info.U32();
    if (!info.Ok())
        return false;
    if (h.HeaderSize == 12) {
        h.Core = true;
        h.Width = info.U16();
        h.Height = info.U16();
        info.U16();
        h.BitCount = info.U16();
    } else if (h.HeaderSize >= 40 && h.HeaderSize <= 1024) {
        h.Width = info.I32();
        h.Height = info.I32();
        info.U16();
        h.BitCount = info.U16();
        h.Compression = info.U32();
        info.Skip(12); // image size and resolution
        h.ColorsUsed = info.U32();
        info.U32();
        if (h.HeaderSize >= 52)
            for (int i = 0; i < (h.HeaderSize >= 56 ? 4 : 3); ++i)
                h.Masks[size_t(i)] = info.U32();
        info.Seek(h.HeaderSize);
        if (h.Compression == BiBitfields && h.HeaderSize == 40)
            for (int i = 0; i < 3; ++i)
                h.Masks[size_t(i)] = info.U32();
    } else {
        return false;
    }
    if (!info.Ok())
        return false;

    qint64 colors = 0;
    if (h.BitCount == 0) {
        colors = 0; // embedded JPEG or PNG
    } else if (h.BitCount <= 8) {
        colors = qint64(1) << h.BitCount;
        if (h.ColorsUsed != 0 && h.ColorsUsed < colors)
            colors = h.ColorsUsed;
    } else if (h.ColorsUsed != 0) {
        // A table beside true-colour pixels is only an optimisation hint; skip it.
        const qint64 entry = 4;
        if (qint64(h.ColorsUsed) > info.Remaining() / entry)
            return false;
        info.Skip(qint64(h.ColorsUsed) * entry);
    }
    const int entrySize = h.Core ? 3 : 4;
    if (colors > info.Remaining() / entrySize)
        colors = info.Remaining() / entrySize; // short tables are common; missing entries black
    h.Palette.resize(h.BitCount >= 1 && h.BitCount <= 8 ? (1 << h.BitCount) : 0, qRgb(0, 0, 0));
    for (qint64 i = 0; i < colors; ++i) {
        const quint8 b = info.U8(), g = info.U8(), r = info.U8();
        if (!h.Core)
            info.U8();
        h.Palette[i] = qRgb(r, g, b);
    }
    h.TableEnd = info.Pos();
    return info.Ok();
}

int MaskShift(quint32 mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int MaskBits(quint32 mask) {
    mask >>= MaskShift(mask);
    int bits = 0;
    while (mask & 1u) {
        mask >>= 1;
        ++bits;
    }
    return bits;
}

// Scales a field of a bit mask to 0..255.
struct TChannel {
    quint32 Mask = 0;
    int Shift = 0;
    int Bits = 0;
    explicit TChannel(quint32 mask) : Mask(mask), Shift(MaskShift(mask)), Bits(MaskBits(mask)) {}
    int Value(quint32 pixel, int fallback) const {
        if (Bits == 0)
            return fallback;
        const quint32 v = (pixel & Mask) >> Shift;
        const quint32 max = Bits >= 32 ? 0xFFFFFFFFu : ((1u << Bits) - 1);
        return int((quint64(v) * 255 + max / 2) / max);
    }
};

QImage DecodeRle(const THeader& h, TByteReader bits) {
    const int w = int(h.Width), hgt = int(h.Height);
    std::vector<quint8> index(size_t(w) * size_t(hgt), 0);
    const bool four = h.Compression == BiRle4;
    int x = 0, y = 0; // y counts from the bottom row
    auto put = [&](int value) {
        if (x < w && y < hgt)
            index[size_t(hgt - 1 - y) * size_t(w) + size_t(x)] = quint8(value);
        ++x;
    };
    while (bits.Remaining() >= 2 && y < hgt) {
        const int count = bits.U8();
        const int value = bits.U8();
        if (count > 0) {
            for (int i = 0; i < count && x < w; ++i)
                put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += bits.U8();
            y += bits.U8();
        } else {
            const int n = value;
            const int bytes = four ? (n + 1) / 2 : n;
            if (!bits.Has(bytes))
                break;
            for (int i = 0; i < n; ++i) {
                const quint8 byte = bits.Current()[four ? i / 2 : i];
                put(four ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
            }
            bits.Skip(bytes + (bytes & 1));
        }
    }
    QImage image(w, hgt, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int row = 0; row < hgt; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < w; ++col) {
            const int i = index[size_t(row) * size_t(w) + size_t(col)];
            line[col] = i < h.Palette.size() ? h.Palette[i] : qRgb(0, 0, 0);
        }
    }
    return image;
}

QImage DecodeEmbedded(const THeader& h, TByteReader bits) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bits.Data()), bits.Size());
    // Qt's readers complain aloud about junk; look at the signature first.
    const bool jpeg = h.Compression == BiJpeg;
    if (jpeg ? !bytes.startsWith(QByteArray("\xFF\xD8", 2)) : !PngChunksFit(bytes))
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, jpeg ? "jpeg" : "png");
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxDibPixels)
        return {};
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage DecodeDib(TByteReader info, TByteReader bits, bool keepAlpha, TDibInfo* header) {
    THeader h;
    if (!ReadHeader(info, h))
        return {};
    const bool topDown = h.Height < 0;
    if (topDown)
        h.Height = -h.Height;
    if (h.Width <= 0 || h.Height <= 0 || h.Width * h.Height > MaxDibPixels)
        return {};
    if (header) {
        header->Width = int(h.Width);
        header->Height = int(h.Height);
        header->TopDown = topDown;
    }

    if (h.Compression == BiJpeg || h.Compression == BiPng)
        return DecodeEmbedded(h, bits);
    if (h.Compression == BiRle8 || h.Compression == BiRle4) {
        // A run codes at most 255 pixels in two bytes; a larger claim is not an image.
        if (topDown || h.BitCount != (h.Compression == BiRle8 ? 8 : 4) ||
            h.Width * h.Height > bits.Size() * 256)
            return {};
        return DecodeRle(h, bits);
    }

    const int bpp = h.BitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};
    if (h.Compression == BiBitfields) {
        if (bpp != 16 && bpp != 32)
            return {};
    } else if (h.Compression != BiRgb) {
        return {};
    } else if (bpp == 16) {
        h.Masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else if (bpp == 32) {
        h.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, keepAlpha ? 0xFF000000u : 0u};
    }

    const qint64 stride = ((h.Width * bpp + 31) / 32) * 4;
    if (stride * h.Height > bits.Size())
        return {};

    const int w = int(h.Width), hgt = int(h.Height);
    const bool alpha = keepAlpha && bpp == 32 && h.Masks[3] != 0;
    QImage image(w, hgt, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const TChannel red(h.Masks[0]), green(h.Masks[1]), blue(h.Masks[2]), alphaCh(h.Masks[3]);
    const uchar* base = bits.Data();
    for (int row = 0; row < hgt; ++row) {
        const uchar* src = base + stride * (topDown ? row : hgt - 1 - row);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < w; ++col) {
            QRgb pixel;
            switch (bpp) {
            case 1:
                pixel = h.Palette[(src[col >> 3] >> (7 - (col & 7))) & 1];
                break;
            case 4:
                pixel = h.Palette[(src[col >> 1] >> ((col & 1) ? 0 : 4)) & 0x0F];
                break;
            case 8:
                pixel = h.Palette[src[col]];
                break;
            case 24:
                pixel = qRgb(src[col * 3 + 2], src[col * 3 + 1], src[col * 3]);
                break;
            default: {
                const quint32 v = bpp == 16
                                      ? quint32(src[col * 2] | (src[col * 2 + 1] << 8))
                                      : quint32(src[col * 4]) | (quint32(src[col * 4 + 1]) << 8) |
                                            (quint32(src[col * 4 + 2]) << 16) |
                                            (quint32(src[col * 4 + 3]) << 24);
                int a = alpha ? alphaCh.Value(v, 255) : 255;
                int r = red.Value(v, 0), g = green.Value(v, 0), b = blue.Value(v, 0);
                if (alpha) { // premultiplied already; keep it consistent
                    r = qMin(r, a);
                    g = qMin(g, a);
                    b = qMin(b, a);
                }
                pixel = qRgba(r, g, b, a);
                break;
            }
            }
            line[col] = pixel;
        }
    }
    return image;
}

QImage DecodePackedDib(TByteReader packed, TDibInfo* header) {
    TByteReader probe = packed;
    THeader h;
    if (!ReadHeader(probe, h))
        return {};
    return DecodeDib(packed.Sub(0, h.TableEnd), packed.Sub(h.TableEnd, packed.Size() - h.TableEnd),
                     false, header);
}

} // namespace Metafile
