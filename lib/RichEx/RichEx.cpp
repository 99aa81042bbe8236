#include "RichEx.h"

#include "RtfProperties.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextImageFormat>
#include <QUrl>

#include <atomic>

namespace {

constexpr quint32 E_HANDLE = 0x80070006;

[[noreturn]] void Fail(const char* message, int line) {
    throw EAssertionFailed(
        AssertionText(QString::fromLatin1(message), QStringLiteral("RichEx"), line));
}

QUrl FreshResourceName() {
    // Process-wide, so a name never refers to a picture of an earlier view.
    static std::atomic<quint64> counter{0};
    return QUrl(QStringLiteral("richex://picture/%1").arg(++counter));
}

} // namespace

QImage CopyToScreenBitmap(const TBitmap& bitmap) {
    const QImage& source = bitmap.Image();
    if (source.isNull() || source.width() <= 0 || source.height() <= 0)
        return {};
    // A 32-bit screen surface; alpha kept premultiplied, as the painter wants it.
    // The result shares pixels with the source until either side changes.
    return source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_RGB32);
}

bool InsertBitmapIntoRichEdit(QWidget* richEdit, const TBitmap& bitmap) {
    // Only the rich-text box can hold objects; plain-text boxes are other classes.
    auto* edit = qobject_cast<QTextEdit*>(richEdit);
    if (!edit)
        Fail("RichEditOle is null!", 330);

    const QImage pixels = CopyToScreenBitmap(bitmap);
    if (pixels.isNull())
        throw EOleSysError(E_HANDLE);

    // The document plays the part of the object's storage.
    QTextDocument* document = edit->document();
    if (!document)
        Fail("LockBytes is null!", 337);
    const QUrl name = FreshResourceName();
    document->addResource(QTextDocument::ImageResource, name, pixels);
    if (document->resource(QTextDocument::ImageResource, name).isNull())
        Fail("Storage is null!", 340);

    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(pixels.width());
    format.setHeight(pixels.height());
    if (!bitmap.SourceJpeg().isEmpty())
        format.setProperty(RichExJpegProperty, bitmap.SourceJpeg());

    // A cursor edits the document directly, so a read-only box takes it too.
    QTextCursor cursor = edit->textCursor();
    cursor.insertImage(format);
    edit->setTextCursor(cursor);
    return true;
}
