#include "Clipboard.h"

#include "SysUtils.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
class TSystemClipboard final : public TClipboard {
public:
    bool HasBitmap() const override { return Mime().hasImage(); }
    bool HasFormat(const QString& mimeType) const override { return Mime().hasFormat(mimeType); }
    QImage Bitmap() const override {
        const QImage image = qvariant_cast<QImage>(Mime().imageData());
        if (image.isNull())
            throw EClipboardException(QStringLiteral("无法读取剪贴板上的位图"));
        return image;
    }
    QByteArray Data(const QString& mimeType) const override { return Mime().data(mimeType); }

private:
    static const QMimeData& Mime() {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
        if (!data)
            throw EClipboardException(QStringLiteral("无法打开剪贴板"));
        return *data;
    }
};

TClipboard*& Replacement() {
    static TClipboard* replacement = nullptr;
    return replacement;
}
} // namespace

TClipboard& Clipboard() {
    static TSystemClipboard system;
    return Replacement() ? *Replacement() : system;
}

void SetClipboard(TClipboard* replacement) {
    Replacement() = replacement;
}
