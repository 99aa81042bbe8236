#include "Graphics.h"
#include "PictureUtils.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

namespace {

EInvalidGraphic InvalidBitmap() {
    return EInvalidGraphic(QStringLiteral("Bitmap image is not valid"));
}

quint16 U16(const QByteArray& d, qsizetype at) {
    return qFromLittleEndian<quint16>(d.constData() + at);
}
quint32 U32(const QByteArray& d, qsizetype at) {
    return qFromLittleEndian<quint32>(d.constData() + at);
}

// Qt's reader fills whatever a short file leaves out with garbage instead of
// failing, so the header must promise no more than the data holds.
bool HeaderFits(const QByteArray& data) {
    constexpr qint64 FileHeader = 14;
    const qint64 size = data.size();
    if (size < FileHeader + 12 || data[0] != 'B' || data[1] != 'M')
        return false;
    const qint64 offBits = U32(data, 10);
    const qint64 infoSize = U32(data, 14);
    if (infoSize < 12 || FileHeader + infoSize > size)
        return false;
    qint64 width, height;
    int bitCount;
    quint32 compression = 0, sizeImage = 0;
    if (infoSize == 12) {
        width = U16(data, 18);
        height = U16(data, 20);
        bitCount = U16(data, 24);
    } else {
        if (infoSize < 40)
            return false;
        width = static_cast<qint32>(U32(data, 18));
        height = static_cast<qint32>(U32(data, 22));
        bitCount = U16(data, 28);
        compression = U32(data, 30);
        sizeImage = U32(data, 34);
    }
    if (height < 0)
        height = -height; // top-down rows
    if (width <= 0 || height <= 0 || width * height > MaxPicturePixels)
        return false;
    if (offBits < FileHeader + infoSize || offBits >= size)
        return false;
    switch (compression) {
    case 0: // uncompressed
    case 3: // bit fields
    {
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
            bitCount != 32)
            return false;
        const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
        return offBits + rowBytes * height <= size;
    }
    case 1: // RLE8
    case 2: // RLE4
        if (bitCount != (compression == 1 ? 8 : 4))
            return false;
        return sizeImage == 0 || offBits + sizeImage <= size;
    default:
        return false;
    }
}

void AllowLargestPicture() {
    // Qt's default allocation limit is below a 100-megapixel 32-bit picture.
    static const bool once = [] {
        if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < 512)
            QImageReader::setAllocationLimit(512);
        return true;
    }();
    (void)once;
}

} // namespace

void TBitmap::LoadFromStream(QIODevice& source) {
    const QByteArray data = PictureUtils::ReadAllBounded(source);
    if (!HeaderFits(data))
        throw InvalidBitmap();
    AllowLargestPicture();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPicturePixels)
        throw InvalidBitmap();
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw InvalidBitmap();
    SetImage(std::move(image));
}

void TBitmap::SaveToStream(QIODevice& dest) const {
    if (FImage.isNull())
        return;
    QImageWriter writer(&dest, "bmp");
    if (!writer.write(FImage))
        throw EWriteError(QStringLiteral("写入出错"));
}

void TBitmap::Draw(QPainter& painter, const QRectF& rect) const {
    PictureUtils::DrawScaled(painter, rect, FImage);
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
    return std::make_unique<TBitmap>(*this);
}

void TBitmap::SetImage(QImage image) {
    FImage = std::move(image);
    FSourceJpeg.clear(); // the pixels no longer come from those bytes
}

void TBitmap::Assign(const TGraphic& source) {
    if (&source == this)
        return;
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        *this = *bitmap;
        return;
    }
    SetImage(source.ToImage());
    if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source))
        FSourceJpeg = jpeg->Data();
}
