#include "Graphics.h"

#include "FileErrorText.h"
#include "PictureUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PictureUtils {

QByteArray ReadAllBounded(QIODevice& source) {
    const auto tooLarge = [] {
        return EInvalidGraphic(QStringLiteral("图片文件太大"));
    };
    if (!source.isSequential()) {
        if (source.size() - source.pos() > MaxPictureBytes)
            throw tooLarge();
        return source.readAll();
    }
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = source.read(chunk, sizeof chunk);
        if (got <= 0)
            break;
        if (bytes.size() + got > MaxPictureBytes)
            throw tooLarge();
        bytes.append(chunk, got);
    }
    return bytes;
}

void WriteAll(QIODevice& dest, const QByteArray& bytes) {
    if (dest.write(bytes) != bytes.size())
        throw EWriteError(QStringLiteral("写入出错"));
}

void DrawScaled(QPainter& painter, const QRectF& rect, const QImage& image) {
    if (image.isNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(rect, image);
    painter.restore();
}

} // namespace PictureUtils

void TGraphic::LoadFromFile(const QString& path) {
    // Only a regular file is read: opening a pipe or a device could wait for ever.
    // The open itself never waits, whatever the path names.
    const QString fullName = QFileInfo(path).absoluteFilePath();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QFile file;
    if (fd < 0)
        throw EFOpenError(FOpenErrorText(fullName, SystemErrorText(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw EFOpenError(FOpenErrorText(fullName, QStringLiteral("不是普通文件")));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EFOpenError(FOpenErrorText(fullName, FileDeviceErrorText(file.error(), errno)));
    }
    if (file.size() > MaxPictureBytes)
        throw EInvalidGraphic(
            QStringLiteral("图片文件太大（上限 %1 MB）").arg(MaxPictureBytes >> 20));
    LoadFromStream(file);
}

void TDecodedGraphic::SaveToStream(QIODevice& dest) const {
    PictureUtils::WriteAll(dest, FData);
}

void TDecodedGraphic::Draw(QPainter& painter, const QRectF& rect) const {
    PictureUtils::DrawScaled(painter, rect, FImage);
}

namespace {

struct TKind {
    const char* Extension;
    const char* Description;
    std::unique_ptr<TGraphic> (*Make)();
};

template <class T> std::unique_ptr<TGraphic> Make() {
    return std::make_unique<T>();
}

// In the order the open-picture dialog lists them.
constexpr TKind Kinds[] = {
    {"jpg", "JPEG Image File", Make<TJPEGImage>},
    {"jpeg", "JPEG Image File", Make<TJPEGImage>},
    {"bmp", "Bitmaps", Make<TBitmap>},
    {"tif", "TIFF Images", Make<TWICImage>},
    {"tiff", "TIFF Images", Make<TWICImage>},
    {"ico", "Icons", Make<TIcon>},
    {"emf", "Enhanced Metafiles", Make<TMetafile>},
    {"wmf", "Metafiles", Make<TMetafile>},
};

} // namespace

namespace {
const TKind* KindForExtension(const QString& extension) {
    for (const TKind& kind : Kinds)
        if (extension.compare(QLatin1String(kind.Extension), Qt::CaseInsensitive) == 0)
            return &kind;
    return nullptr;
}
} // namespace

std::unique_ptr<TGraphic> GraphicForExtension(const QString& extension) {
    const TKind* kind = KindForExtension(extension);
    return kind ? kind->Make() : nullptr;
}

bool IsPictureFileName(const QString& path) {
    return KindForExtension(QFileInfo(path).suffix()) != nullptr;
}

QList<TPictureFileType> PictureFileTypes() {
    QList<TPictureFileType> types;
    QStringList all;
    for (const TKind& kind : Kinds) {
        const QString pattern = QStringLiteral("*.%1").arg(QLatin1String(kind.Extension));
        all << pattern;
        types.append(
            {QStringLiteral("%1 (%2)").arg(QLatin1String(kind.Description), pattern), {pattern}});
    }
    types.prepend({QStringLiteral("All (%1)").arg(all.join(QLatin1Char(';'))), all});
    return types;
}

void TPicture::LoadFromFile(const QString& path) {
    const QString extension = QFileInfo(path).suffix();
    std::unique_ptr<TGraphic> graphic = GraphicForExtension(extension);
    if (!graphic)
        throw EInvalidGraphic(
            QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    graphic->LoadFromFile(path);
    FGraphic = std::move(graphic);
}
