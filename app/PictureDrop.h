#pragma once
// A picture dropped onto the entry page taken as the designed buttons take one:
// a dropped bitmap is offered to the paste as if it were on the clipboard.

#include "Clipboard.h"
#include "SysUtils.h"

#include "ErrorDisplay.h"

#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QUrl>

class TDroppedBitmap final : public TClipboard {
public:
    explicit TDroppedBitmap(QImage image) : FImage(std::move(image)) {}
    bool HasBitmap() const override { return true; }
    bool HasFormat(const QString&) const override { return false; }
    QImage Bitmap() const override {
        if (FImage.isNull())
            throw EClipboardException(QStringLiteral("无法读取拖入的位图"));
        return FImage;
    }
    QByteArray Data(const QString&) const override { return {}; }

private:
    QImage FImage;
};

class TClipboardSwap {
public:
    explicit TClipboardSwap(TClipboard& replacement) { SetClipboard(&replacement); }
    ~TClipboardSwap() { SetClipboard(nullptr); }
    TClipboardSwap(const TClipboardSwap&) = delete;
    TClipboardSwap& operator=(const TClipboardSwap&) = delete;
};

// The one local file of a drop, empty when the drop carries none or several.
inline QString DroppedFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

// A drag over or a drop onto a picture target: only what `accepts` takes is let in,
// and the drop runs guarded. False for events that are no drag or drop.
template <typename TAccepts, typename TDrop>
bool HandlePictureDrop(QEvent* event, TAccepts accepts, TDrop dropped) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (accepts(*drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!accepts(*drop->mimeData())) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        RunGuarded([&] { dropped(*drop->mimeData()); });
        return true;
    }
    default:
        return false;
    }
}
