#include "Graphics.h"
#include "PictureUtils.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <cstring>

namespace {

EInvalidGraphic InvalidIcon() {
    return EInvalidGraphic(QStringLiteral("Icon image is not valid"));
}

quint16 U16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 U32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}
quint32 U32BE(const char* p) {
    return qFromBigEndian<quint32>(p);
}

constexpr int MaxIconImages = 256;

// One image of the icon: a PNG stream or a DIB whose height counts the mask too.
bool ImageFits(const char* image, qint64 bytes) {
    static const char PngSignature[] = "\x89PNG\r\n\x1a\n";
    if (bytes >= 24 && memcmp(image, PngSignature, 8) == 0) {
        const qint64 width = U32BE(image + 16), height = U32BE(image + 20);
        return width > 0 && height > 0 && width * height <= MaxPicturePixels;
    }
    if (bytes < 40)
        return false;
    const qint64 headerSize = U32(image);
    const qint64 width = static_cast<qint32>(U32(image + 4));
    const qint64 height = static_cast<qint32>(U32(image + 8)) / 2;
    const int bitCount = U16(image + 14);
    if (headerSize < 40 || headerSize > bytes || width <= 0 || height <= 0 ||
        width * height > MaxPicturePixels)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;
    const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
    return headerSize + rowBytes * height <= bytes;
}

// Qt's reader trusts the directory; everything it points at must lie in the data.
bool DirectoryFits(const QByteArray& data) {
    const char* d = data.constData();
    const qint64 size = data.size();
    if (size < 6 || U16(d) != 0 || U16(d + 2) != 1)
        return false;
    const int count = U16(d + 4);
    if (count < 1 || count > MaxIconImages || 6 + 16 * qint64(count) > size)
        return false;
    for (int i = 0; i < count; ++i) {
        const char* entry = d + 6 + 16 * i;
        const qint64 bytes = U32(entry + 8), offset = U32(entry + 12);
        if (bytes <= 0 || offset < 6 + 16 * qint64(count) || offset + bytes > size)
            return false;
        if (!ImageFits(d + offset, bytes))
            return false;
    }
    return true;
}

} // namespace

void TIcon::LoadFromStream(QIODevice& source) {
    QByteArray data = PictureUtils::ReadAllBounded(source);
    if (!DirectoryFits(data))
        throw InvalidIcon();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const int count = reader.imageCount();
    if (count <= 0)
        throw InvalidIcon();
    QImage largest;
    for (int i = 0; i < count; ++i) {
        QImage image;
        if (!reader.jumpToImage(i) || !reader.read(&image) || image.isNull())
            throw InvalidIcon();
        if (qint64(image.width()) * image.height() > qint64(largest.width()) * largest.height())
            largest = std::move(image);
    }
    FData = std::move(data);
    FImage = std::move(largest);
}

std::unique_ptr<TGraphic> TIcon::Clone() const {
    return std::make_unique<TIcon>(*this);
}
