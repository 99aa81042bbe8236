#include "RecipePrint.h"

#include "FileErrorText.h"

#include "SysUtils.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextImageFormat>
#include <memory>
#include <vector>

namespace {
TPrintDialogHook& Hook() {
    static TPrintDialogHook hook;
    return hook;
}

// The document is laid out at this resolution, as on screen, then scaled to the device.
constexpr int LayoutDpi = 96;
constexpr double PageMargin = LayoutDpi / 2.0; // half an inch

struct TImageAt {
    int Position;
    int Length;
    QTextImageFormat Format;
};

std::vector<TImageAt> Images(const QTextDocument& document) {
    std::vector<TImageAt> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                images.push_back({fragment.position(), fragment.length(),
                                  fragment.charFormat().toImageFormat()});
        }
    }
    return images;
}
} // namespace

void PrintRecipeDocument(const QTextDocument& document, QPagedPaintDevice& device,
                         TPdfCharFixes* fixes) {
    std::unique_ptr<QTextDocument> copy(document.clone());
    // A fixed reference device makes the layout the same on every machine.
    QImage reference(1, 1, QImage::Format_RGB32);
    reference.setDotsPerMeterX(qRound(LayoutDpi / 0.0254));
    reference.setDotsPerMeterY(qRound(LayoutDpi / 0.0254));
    copy->documentLayout()->setPaintDevice(&reference);
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setMargin(PageMargin);
    copy->rootFrame()->setFrameFormat(frame);
    const QSizeF page(device.width() * double(LayoutDpi) / device.logicalDpiX(),
                      device.height() * double(LayoutDpi) / device.logicalDpiY());
    const double usable = page.width() - 2 * PageMargin;

    for (const TImageAt& at : Images(document)) {
        const QString name = at.Format.name();
        const QVariant pixels = document.resource(QTextDocument::ImageResource, QUrl(name));
        copy->addResource(QTextDocument::ImageResource, QUrl(name), pixels);
        const double width = at.Format.width();
        if (width > usable && usable > 0) {
            QTextImageFormat scaled = at.Format;
            scaled.setWidth(usable);
            scaled.setHeight(at.Format.height() * usable / width);
            QTextCursor cursor(copy.get());
            cursor.setPosition(at.Position);
            cursor.setPosition(at.Position + at.Length, QTextCursor::KeepAnchor);
            cursor.setCharFormat(scaled);
        }
    }
    copy->setPageSize(page);
    copy->print(&device);
    if (fixes)
        *fixes = PdfCharFixes(*copy);
}

void SaveRecipePdf(const QTextDocument& document, const QString& fileName) {
    auto fail = [&](const QString& reason) {
        return EWriteError(
            QStringLiteral("无法建立文件“%1”：%2")
                .arg(QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()), reason));
    };
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw fail(FileDeviceErrorText(file.error(), errno));
    QByteArray pdf;
    TPdfCharFixes fixes;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("百味小筑"));
        writer.setTitle(document.begin().text());
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        PrintRecipeDocument(document, writer, &fixes);
    }
    pdf = MendPdfText(pdf, fixes);
    errno = 0;
    if (file.write(pdf) != pdf.size() || file.error() != QFileDevice::NoError)
        throw fail(FileDeviceErrorText(file.error(), errno));
    if (!FlushToDisk(file))
        throw fail(FileDeviceErrorText(file.error(), errno));
    errno = 0;
    if (!file.commit())
        throw fail(FileDeviceErrorText(file.error(), errno));
}

void MendPrintedPdf(const QPrinter& printer, const TPdfCharFixes& fixes) {
    if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty())
        return;
    QFile printed(printer.outputFileName());
    if (!printed.open(QIODevice::ReadOnly))
        return; // the PDF stays as written, readable if not searchable
    const QByteArray pdf = printed.readAll();
    printed.close();
    const QByteArray mended = MendPdfText(pdf, fixes);
    if (mended == pdf)
        return;
    QSaveFile file(printer.outputFileName());
    if (file.open(QIODevice::WriteOnly) && file.write(mended) == mended.size())
        file.commit();
}

void SetPrintDialogHook(TPrintDialogHook hook) {
    Hook() = std::move(hook);
}

bool ExecutePrintDialog(QPrinter& printer, QWidget* owner) {
    if (Hook())
        return Hook()(printer);
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}
