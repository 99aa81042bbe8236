// Feeds arbitrary bytes to the metafile reader and draws what it accepts.
#include "Graphics.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <cstdint>

namespace {
// Drawing larger pictures only costs time; their records are exercised the same.
constexpr int MaxSide = 256;

void EnsureApp() {
    static int argc = 1;
    static char name[] = "fuzz_metafile";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureApp();
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TMetafile metafile;
    try {
        metafile.LoadFromStream(buffer);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    if (qint64(metafile.Width()) * metafile.Height() <= qint64(MaxSide) * MaxSide) {
        (void)metafile.ToImage();
    } else {
        QImage image(std::min(metafile.Width(), MaxSide), std::min(metafile.Height(), MaxSide),
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        metafile.Draw(painter, QRectF(image.rect()));
    }
    return 0;
}
