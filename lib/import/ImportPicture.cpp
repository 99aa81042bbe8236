#include "ImportPicture.h"

#include "Graphics.h"
#include "ImportTypes.h"
#include "PngChunks.h"

#include <QBuffer>
#include <QImageReader>

namespace {
bool StartsWith(const QByteArray& bytes, std::initializer_list<unsigned char> magic) {
    if (bytes.size() < qsizetype(magic.size()))
        return false;
    qsizetype i = 0;
    for (const unsigned char m : magic)
        if (static_cast<unsigned char>(bytes[i++]) != m)
            return false;
    return true;
}

// Kinds the program's own graphic classes read, by their first bytes.
std::unique_ptr<TGraphic> OwnGraphicFor(const QByteArray& bytes) {
    if (StartsWith(bytes, {'B', 'M'}))
        return GraphicForExtension(QStringLiteral("bmp"));
    if (StartsWith(bytes, {'I', 'I', 42, 0}) || StartsWith(bytes, {'M', 'M', 0, 42}))
        return GraphicForExtension(QStringLiteral("tif"));
    if (StartsWith(bytes, {0, 0, 1, 0}))
        return GraphicForExtension(QStringLiteral("ico"));
    if (StartsWith(bytes, {0xD7, 0xCD, 0xC6, 0x9A}) || StartsWith(bytes, {1, 0, 9, 0}))
        return GraphicForExtension(QStringLiteral("wmf"));
    if (bytes.size() >= 44 && StartsWith(bytes, {1, 0, 0, 0}) && bytes.mid(40, 4) == " EMF")
        return GraphicForExtension(QStringLiteral("emf"));
    return nullptr;
}
} // namespace

QByteArray PictureAsJpeg(const QByteArray& bytes) {
    if (bytes.isEmpty())
        throw EInvalidGraphic(QStringLiteral("图片是空的"));
    if (bytes.size() > MaxImportPictureBytes)
        throw EInvalidGraphic(QStringLiteral("图片太大"));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        TJPEGImage jpeg;
        jpeg.LoadFromStream(buffer);
        if (jpeg.Width() <= 0 || jpeg.Height() <= 0)
            throw EJPEG(QStringLiteral("JPEG 图片的文件头坏了"));
        if (qint64(jpeg.Width()) * jpeg.Height() > MaxPicturePixels)
            throw EInvalidGraphic(QStringLiteral("图片超过一亿像素"));
        return bytes;
    }
    std::unique_ptr<TGraphic> graphic = OwnGraphicFor(bytes);
    if (graphic) {
        graphic->LoadFromStream(buffer);
    } else {
        // PNG, GIF, WebP and the like: Qt's readers, sized before decoding.
        if (IsPng(bytes) && !PngChunksFit(bytes))
            throw EInvalidGraphic(QStringLiteral("图片数据不完整"));
        QImageReader reader(&buffer);
        reader.setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)) + 1);
        const QSize size = reader.size();
        if (!size.isValid())
            throw EInvalidGraphic(QStringLiteral("不认识的图片格式"));
        const qint64 pixels = qint64(size.width()) * size.height();
        if (pixels > MaxPicturePixels)
            throw EInvalidGraphic(QStringLiteral("图片超过一亿像素"));
        // No compressed picture packs more than about a thousand pixels into a
        // byte; a few bytes claiming millions of pixels are a cut or forged file
        // that would only cost seconds to fill with nothing.
        if (pixels > (bytes.size() + 1024) * 1024)
            throw EInvalidGraphic(QStringLiteral("图片数据不完整"));
        const QImage image = reader.read();
        if (image.isNull())
            throw EInvalidGraphic(reader.error() == QImageReader::UnsupportedFormatError
                                      ? QStringLiteral("不认识的图片格式")
                                      : QStringLiteral("图片数据不完整或已损坏"));
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(image);
        graphic = std::move(bitmap);
    }
    if (graphic->Empty())
        throw EInvalidGraphic(QStringLiteral("图片是空的"));
    TJPEGImage jpeg;
    jpeg.Assign(*graphic);
    return jpeg.Data();
}
