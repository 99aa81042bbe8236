#include "Graphics.h"
#include "JpegCodec.h"
#include "PictureUtils.h"

#include <QPainter>

#include <cstdlib>
#include <jerror.h>

namespace {

// The decoder's own working memory (progressive coefficient buffers and the
// like), apart from the picture itself.
constexpr long MaxJpegWorkMemory = 768L * 1024 * 1024;

unsigned char* AllocRows(void* context, int width, int height, size_t* stride) noexcept {
    auto* image = static_cast<QImage*>(context);
    *image = QImage(width, height, QImage::Format_RGB888);
    if (image->isNull())
        return nullptr;
    *stride = static_cast<size_t>(image->bytesPerLine());
    return image->bits();
}

EJPEG JpegError(int code) {
    return EJPEG(QString::asprintf("JPEG error #%d", code));
}

struct TFreeBuffer {
    MycookJpegBuffer Buffer{};
    ~TFreeBuffer() { std::free(Buffer.Data); }
};

} // namespace

void TJPEGImage::SetData(QByteArray bytes) {
    FData = std::move(bytes);
    FDecoded = QImage();
    // A broken header is not an error yet; it shows when the picture is decoded.
    FHeaderError = MycookJpegReadSize(reinterpret_cast<const unsigned char*>(FData.constData()),
                                      static_cast<size_t>(FData.size()), &FWidth, &FHeight);
    if (FHeaderError != 0) {
        FWidth = 0;
        FHeight = 0;
    }
}

void TJPEGImage::LoadFromFile(const QString& path) {
    TGraphic::LoadFromFile(path);
    if (FHeaderError != 0)
        throw JpegError(FHeaderError);
    // A picture that could never be decoded is refused now, not at its first view.
    if (qint64(FWidth) * FHeight > MaxPicturePixels)
        throw JpegError(JERR_IMAGE_TOO_BIG);
}

int TJPEGImage::Width() const {
    return FWidth;
}
int TJPEGImage::Height() const {
    return FHeight;
}

void TJPEGImage::LoadFromStream(QIODevice& source) {
    SetData(PictureUtils::ReadAllBounded(source));
}

void TJPEGImage::SaveToStream(QIODevice& dest) const {
    PictureUtils::WriteAll(dest, FData);
}

QImage TJPEGImage::ToImage() const {
    if (FDecoded.isNull() && !FData.isEmpty()) {
        QImage image;
        const int code = MycookJpegDecode(reinterpret_cast<const unsigned char*>(FData.constData()),
                                          static_cast<size_t>(FData.size()), MaxPicturePixels,
                                          MaxJpegWorkMemory, AllocRows, &image);
        if (code != 0)
            throw JpegError(code);
        FDecoded = std::move(image);
    }
    return FDecoded;
}

void TJPEGImage::Draw(QPainter& painter, const QRectF& rect) const {
    PictureUtils::DrawScaled(painter, rect, ToImage());
}

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
    return std::make_unique<TJPEGImage>(*this);
}

void TJPEGImage::Assign(const TGraphic& source) {
    if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
        if (jpeg != this)
            *this = *jpeg;
        return;
    }
    QImage image = source.ToImage();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw EConvertError(QStringLiteral("不能把空的 %1 转换为 JPEG 图像")
                                .arg(QLatin1String(source.ClassName())));

    // JPEG has no transparency: what shows through is white.
    if (image.hasAlphaChannel()) {
        QImage opaque(image.size(), QImage::Format_RGB888);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = std::move(opaque);
    }
    // Rows the library reads as they are; anything else is converted once.
    int layout;
    switch (image.format()) {
    case QImage::Format_RGB888:
        layout = MycookJpegRgb;
        break;
    case QImage::Format_RGB32:
        layout = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MycookJpegBgrx : -1;
        break;
    case QImage::Format_RGBX8888:
        layout = MycookJpegRgbx;
        break;
    default:
        layout = -1;
        break;
    }
    if (layout < 0) {
        image = image.convertToFormat(QImage::Format_RGB888);
        layout = MycookJpegRgb;
    }

    TFreeBuffer out;
    const int code = MycookJpegEncode(image.constBits(), static_cast<size_t>(image.bytesPerLine()),
                                      image.width(), image.height(), layout, 90, &out.Buffer);
    if (code != 0)
        throw JpegError(code);
    FData = QByteArray(reinterpret_cast<const char*>(out.Buffer.Data),
                       static_cast<qsizetype>(out.Buffer.Size));
    FWidth = image.width();
    FHeight = image.height();
    FDecoded = QImage();
}
