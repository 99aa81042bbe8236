#pragma once
// The clipboard as the picture functions see it; a test can put its own in place.

#include <QByteArray>
#include <QImage>
#include <QString>

// MIME types standing for the platform's clipboard picture formats.
inline const QString MimeWmf = QStringLiteral("image/x-wmf");
inline const QString MimeEmf = QStringLiteral("image/x-emf");
// Our private picture format, registered under this fixed name.
inline const QString MimePrivatePicture = QStringLiteral("application/x-mycook-picture");

class TClipboard {
public:
    virtual ~TClipboard() = default;
    // Each call opens and closes the clipboard; failures raise EClipboardException.
    virtual bool HasBitmap() const = 0;
    virtual bool HasFormat(const QString& mimeType) const = 0;
    virtual QImage Bitmap() const = 0;
    virtual QByteArray Data(const QString& mimeType) const = 0;
};

// The system clipboard unless a test replaced it.
TClipboard& Clipboard();
// Pass nullptr to go back to the system clipboard. The caller keeps ownership.
void SetClipboard(TClipboard* replacement);
