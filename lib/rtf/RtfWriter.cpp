#include "RtfWriter.h"

#include "FileErrorText.h"

#include "Gb2312.h"
#include "RtfProperties.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <QVariant>

#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

constexpr qsizetype HexBytesPerLine = 64;
constexpr qsizetype FlushThreshold = 64 * 1024;
// Pictures embedded from encoded resource bytes are decoded only up to this size.
constexpr qint64 MaxResourcePixels = 100'000'000;

constexpr std::array<char, 512> MakeHexPairs() {
    constexpr char digits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (int i = 0; i < 256; ++i) {
        pairs[2 * i] = digits[i >> 4];
        pairs[2 * i + 1] = digits[i & 15];
    }
    return pairs;
}
constexpr std::array<char, 512> HexPairs = MakeHexPairs();

// Collects output and, when bound to a device, hands it over in large pieces.
class TRtfOutput {
public:
    explicit TRtfOutput(QIODevice* device) : FDevice(device) {}

    void Put(std::string_view text) {
        FBuffer.append(text.data(), static_cast<qsizetype>(text.size()));
        if (FDevice && FBuffer.size() >= FlushThreshold)
            Flush();
    }
    void Put(char ch) { Put(std::string_view(&ch, 1)); }
    void PutNumber(long long value) { Put(std::to_string(value)); }

    void PutHex(const QByteArray& bytes) {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
        qsizetype left = bytes.size();
        // Streaming keeps memory flat for large pictures; in memory, one pass.
        const qsizetype chunk = FDevice ? 512 * HexBytesPerLine : left;
        if (!FDevice) // room for the rest of the document too: no second copy
            FBuffer.reserve(FBuffer.size() + RtfHexSize(left) + 4096);
        while (left > 0) {
            const qsizetype n = std::min(left, chunk);
            const qsizetype start = FBuffer.size();
            FBuffer.resize(start + RtfHexSize(n));
            WriteRtfHex(data, n, FBuffer.data() + start);
            data += n;
            left -= n;
            if (FDevice && FBuffer.size() >= FlushThreshold)
                Flush();
        }
    }

    void Flush() {
        if (!FDevice)
            return;
        const char* p = FBuffer.constData();
        qsizetype left = FBuffer.size();
        while (left > 0) {
            const qint64 written = FDevice->write(p, left);
            if (written <= 0)
                throw EWriteError(QStringLiteral("写入出错"));
            p += written;
            left -= written;
        }
        FBuffer.clear();
    }

    QByteArray Take() { return std::move(FBuffer); }

private:
    QIODevice* FDevice;
    QByteArray FBuffer;
};

int FontHalfPoints(const QFont& font) {
    double points = 12;
    if (font.pixelSize() > 0)
        points = font.pixelSize() * 72.0 / 96.0;
    else if (font.pointSizeF() > 0)
        points = font.pointSizeF();
    return std::max(2, static_cast<int>(std::lround(points * 2)));
}

class TRtfWriter {
public:
    TRtfWriter(const QTextDocument& document, TRtfOutput& out) : FDocument(document), FOut(out) {}

    void Run() {
        FOut.Put("{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052\n"
                 "{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5{\\*\\falt SimSun};}}\n"
                 "\\viewkind4\\uc1\\pard\\plain\\f0\\fs");
        FOut.PutNumber(FontHalfPoints(FDocument.defaultFont()));
        FOut.Put(' ');
        if (!FDocument.isEmpty()) {
            for (QTextBlock block = FDocument.begin(); block.isValid(); block = block.next()) {
                WriteBlock(block);
                FOut.Put("\\par\n");
            }
        }
        FOut.Put("}\n");
        FOut.Flush();
    }

private:
    void WriteBlock(const QTextBlock& block) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            const QString text = fragment.text();
            if (format.isImageFormat()) {
                for (QChar ch : text)
                    if (ch == QChar::ObjectReplacementCharacter)
                        WritePicture(format.toImageFormat());
            } else {
                WriteText(text);
            }
        }
    }

    void SetUnicodeSkip(int count) {
        if (FSkip == count)
            return;
        FOut.Put(count == 2 ? "\\uc2" : "\\uc1");
        FSkip = count;
    }

    void PutUnicode(char16_t unit) {
        FOut.Put("\\u");
        FOut.PutNumber(static_cast<std::int16_t>(unit));
    }

    void WriteText(const QString& text) {
        const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t ch = p[i];
            if (ch >= 0x20 && ch < 0x7F) {
                if (ch == '\\' || ch == '{' || ch == '}')
                    FOut.Put('\\');
                FOut.Put(static_cast<char>(ch));
                continue;
            }
            switch (ch) {
            case u'\t':
                FOut.Put("\\tab ");
                continue;
            case u'\n':
            case u'\r':
            case u'\v':
            case 0x2028:
                FOut.Put("\\line ");
                continue;
            case 0x2029:
                FOut.Put("\\par\n");
                continue;
            case 0x00A0:
                FOut.Put("\\~");
                continue;
            case 0xFFFC: // an object this writer cannot express
                continue;
            default:
                break;
            }
            if (ch < 0x80)
                continue; // other control characters have no place in RTF text
            if (QChar::isHighSurrogate(ch) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
                SetUnicodeSkip(1);
                PutUnicode(ch);
                FOut.Put('?');
                PutUnicode(p[++i]);
                FOut.Put('?');
                continue;
            }
            const char16_t unit = QChar::isSurrogate(ch) ? char16_t(0xFFFD) : ch;
            const std::uint16_t gb = Gb2312Code(unit);
            if (gb != 0) {
                SetUnicodeSkip(2);
                PutUnicode(unit);
                char fallback[8] = {
                    '\\', '\'', HexPairs[2 * (gb >> 8)],   HexPairs[2 * (gb >> 8) + 1],
                    '\\', '\'', HexPairs[2 * (gb & 0xFF)], HexPairs[2 * (gb & 0xFF) + 1]};
                FOut.Put(std::string_view(fallback, sizeof fallback));
            } else {
                SetUnicodeSkip(1);
                PutUnicode(unit);
                FOut.Put('?');
            }
        }
    }

    QImage ResourceImage(const QTextImageFormat& format) const {
        const QVariant resource =
            FDocument.resource(QTextDocument::ImageResource, QUrl(format.name()));
        if (resource.typeId() == QMetaType::QImage)
            return resource.value<QImage>();
        if (resource.typeId() == QMetaType::QByteArray) {
            QByteArray bytes = resource.toByteArray();
            QBuffer buffer(&bytes);
            QImageReader reader(&buffer);
            const QSize size = reader.size();
            if (!size.isValid() || qint64(size.width()) * size.height() > MaxResourcePixels)
                return {};
            return reader.read();
        }
        if (resource.canConvert<QImage>())
            return resource.value<QImage>();
        return {};
    }

    static QSize JpegSize(const QByteArray& jpeg) {
        if (jpeg.size() < 4 || uchar(jpeg[0]) != 0xFF || uchar(jpeg[1]) != 0xD8)
            return {};
        QByteArray copy = jpeg; // shared, not copied
        QBuffer buffer(&copy);
        QImageReader reader(&buffer, "jpeg");
        return reader.size();
    }

    void WritePicture(const QTextImageFormat& format) {
        QByteArray data;
        QSize pixels;
        const char* blip = "\\pngblip";
        const QVariant jpegProperty = format.property(RichExJpegProperty);
        if (jpegProperty.typeId() == QMetaType::QByteArray) {
            data = jpegProperty.toByteArray();
            pixels = JpegSize(data);
            blip = "\\jpegblip";
        }
        if (!pixels.isValid() || pixels.isEmpty()) {
            // Not a usable JPEG: the resource's pixels go out as PNG.
            const QImage image = ResourceImage(format);
            if (image.isNull())
                return;
            data.clear();
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            if (!image.save(&buffer, "PNG"))
                return;
            pixels = image.size();
            blip = "\\pngblip";
        }
        QSizeF shown(format.width(), format.height());
        if (shown.width() <= 0 && shown.height() <= 0)
            shown = pixels;
        else if (shown.width() <= 0)
            shown.setWidth(shown.height() * pixels.width() / pixels.height());
        else if (shown.height() <= 0)
            shown.setHeight(shown.width() * pixels.height() / pixels.width());

        FOut.Put("{\\pict\\picw");
        FOut.PutNumber(pixels.width());
        FOut.Put("\\pich");
        FOut.PutNumber(pixels.height());
        FOut.Put("\\picwgoal"); // twips at 96 dpi
        FOut.PutNumber(std::llround(shown.width() * 15));
        FOut.Put("\\pichgoal");
        FOut.PutNumber(std::llround(shown.height() * 15));
        FOut.Put(blip);
        FOut.PutHex(data);
        FOut.Put("}");
    }

    const QTextDocument& FDocument;
    TRtfOutput& FOut;
    int FSkip = 1;
};

QString ShownName(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

qsizetype RtfHexSize(qsizetype byteCount) {
    return 2 * byteCount + (byteCount + HexBytesPerLine - 1) / HexBytesPerLine;
}

char* WriteRtfHex(const unsigned char* data, qsizetype size, char* dest) {
    const unsigned char* end = data + size;
    while (data < end) {
        *dest++ = '\n';
        const unsigned char* lineEnd = data + std::min<qsizetype>(HexBytesPerLine, end - data);
        for (; data < lineEnd; ++data, dest += 2)
            std::memcpy(dest, &HexPairs[2 * *data], 2);
    }
    return dest;
}

QByteArray DocumentToRtf(const QTextDocument& document) {
    TRtfOutput out(nullptr);
    TRtfWriter(document, out).Run();
    return out.Take();
}

void WriteRtf(const QTextDocument& document, QIODevice& device) {
    if (!device.isOpen() || !device.isWritable())
        throw EWriteError(QStringLiteral("写入出错"));
    TRtfOutput out(&device);
    TRtfWriter(document, out).Run();
}

void SaveRtfFileAtomically(const QTextDocument& document, const QString& path) {
    SaveRtfFileAtomically(
        document, path, [](const QTextDocument& doc, QIODevice& device) { WriteRtf(doc, device); });
}

void SaveRtfFileAtomically(const QTextDocument& document, const QString& path,
                           const TRtfStreamWriter& writer) {
    auto fail = [&](const QString& reason) {
        return EWriteError(QStringLiteral("无法建立文件“%1”：%2").arg(ShownName(path), reason));
    };
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const QString reason = FileDeviceErrorText(file.error(), errno);
        // A folder that takes no new file may still hold a file we may write:
        // replace its content in place, the whole text made before it is touched.
        QFile target(path);
        if (!target.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            throw fail(reason);
        errno = 0;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        try {
            writer(document, buffer);
        } catch (const EWriteError& error) {
            throw fail(error.Message());
        }
        const QByteArray& bytes = buffer.data();
        if (target.write(bytes) != bytes.size() || !target.resize(bytes.size()) || !target.flush())
            throw fail(FileDeviceErrorText(target.error(), errno));
        target.close();
        if (target.error() != QFileDevice::NoError)
            throw fail(FileDeviceErrorText(target.error(), errno));
        return;
    }
    try {
        writer(document, file);
    } catch (const EWriteError& error) {
        // The temporary file is discarded when `file` goes; the target stays as it was.
        throw fail(file.error() != QFileDevice::NoError ? FileDeviceErrorText(file.error(), errno)
                                                        : error.Message());
    }
    if (!FlushToDisk(file))
        throw fail(FileDeviceErrorText(file.error(), errno));
    errno = 0;
    if (!file.commit())
        throw fail(FileDeviceErrorText(file.error(), errno));
}
