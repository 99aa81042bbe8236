#include "Graphics.h"

#include "FileErrorText.h"
#include "metafile/MetafileFormat.h"

#include <QPainter>
#include <algorithm>

struct TMetafile::Impl {
    QByteArray Data; // the bytes as read, written back unchanged
    Metafile::TMetafileInfo Info;
};

TMetafile::TMetafile() : FImpl(std::make_unique<Impl>()) {}

TMetafile::~TMetafile() = default;

int TMetafile::Width() const {
    return FImpl->Info.Width;
}

int TMetafile::Height() const {
    return FImpl->Info.Height;
}

bool TMetafile::Enhanced() const {
    return FImpl->Info.Enhanced;
}

void TMetafile::LoadFromStream(QIODevice& source) {
    // Refuse an oversized stream before reading it, and never reserve the
    // limit up front: reading grows with the data actually there.
    const QString invalid = QStringLiteral("图元文件无效");
    QByteArray data;
    if (!source.isSequential()) {
        const qint64 available = source.size() - source.pos();
        if (available > Metafile::MaxMetafileBytes)
            throw EInvalidGraphic(invalid);
        data = source.read(std::max<qint64>(available, 0));
    }
    constexpr qint64 Chunk = 64 * 1024;
    for (;;) {
        const QByteArray more = source.read(Chunk);
        if (more.isEmpty())
            break;
        data += more;
        if (data.size() > Metafile::MaxMetafileBytes)
            throw EInvalidGraphic(invalid);
    }
    Metafile::TMetafileInfo info = Metafile::Inspect(data);
    FImpl->Data = std::move(data);
    FImpl->Info = info;
}

void TMetafile::SaveToStream(QIODevice& dest) const {
    const QByteArray& data = FImpl->Data;
    qint64 written = 0;
    while (written < data.size()) {
        errno = 0;
        const qint64 n = dest.write(data.constData() + written, data.size() - written);
        if (n <= 0)
            throw EWriteError(FileDeviceErrorText(dest.inherits("QFileDevice")
                                                      ? static_cast<QFileDevice&>(dest).error()
                                                      : QFileDevice::WriteError,
                                                  errno));
        written += n;
    }
}

void TMetafile::Draw(QPainter& painter, const QRectF& rect) const {
    if (FImpl->Data.isEmpty() || !painter.isActive())
        return;
    Metafile::Render(FImpl->Data, FImpl->Info, &painter, rect);
}

QImage TMetafile::ToImage() const {
    if (Width() <= 0 || Height() <= 0)
        return {};
    QImage image(Width(), Height(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter, QRectF(0, 0, Width(), Height()));
    painter.end();
    return image;
}

std::unique_ptr<TGraphic> TMetafile::Clone() const {
    auto copy = std::make_unique<TMetafile>();
    *copy->FImpl = *FImpl;
    return copy;
}
