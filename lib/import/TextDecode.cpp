#include "TextDecode.h"

#include "ImportTypes.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <memory>

namespace {
struct TConverterClose {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
struct TDetectorClose {
    void operator()(UCharsetDetector* d) const { ucsdet_close(d); }
};

bool IsAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QByteArray BomEncoding(QByteArrayView b) {
    auto at = [&](qsizetype i) {
        return static_cast<unsigned char>(b[i]);
    };
    if (b.size() >= 4 && at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0)
        return "UTF-32LE";
    if (b.size() >= 4 && at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)
        return "UTF-32BE";
    if (b.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
        return "UTF-8";
    if (b.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE)
        return "UTF-16LE";
    if (b.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF)
        return "UTF-16BE";
    return {};
}

// The HTML prescan: a charset named in a meta element near the start.
QByteArray MetaCharset(QByteArrayView bytes) {
    const QByteArray head =
        bytes.first(std::min<qsizetype>(bytes.size(), 4096)).toByteArray().toLower();
    qsizetype at = 0;
    while ((at = head.indexOf("<meta", at)) >= 0) {
        const qsizetype end = head.indexOf('>', at);
        if (end < 0)
            break;
        const QByteArray tag = head.mid(at, end - at);
        const qsizetype cs = tag.indexOf("charset");
        if (cs >= 0) {
            qsizetype i = cs + 7;
            while (i < tag.size() && (tag[i] == ' ' || tag[i] == '='))
                ++i;
            while (i < tag.size() && (tag[i] == '"' || tag[i] == '\''))
                ++i;
            qsizetype j = i;
            while (j < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[j])) ||
                                      tag[j] == '-' || tag[j] == '_'))
                ++j;
            if (j > i)
                return tag.mid(i, j - i);
        }
        at = end;
    }
    return {};
}

// DOS code page 437 puts accented letters at 0x80-0xA5, where Windows-1252 has
// punctuation and five unassigned bytes; Windows-1252 puts them at 0xC0-0xFF,
// where code page 437 draws boxes.
QByteArray SingleByteEncoding(QByteArrayView bytes) {
    int dos = 0, windows = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
            return "ibm-437";
        if ((c >= 0x80 && c <= 0x9A) || (c >= 0xA0 && c <= 0xA5))
            ++dos;
        else if (c >= 0xC0 && c != 0xD7 && c != 0xF7)
            ++windows;
    }
    return dos > windows ? "ibm-437" : "windows-1252";
}

bool IsMultiByteCjk(const QByteArray& name) {
    static const char* const names[] = {"GB18030", "Big5",        "EUC-JP",      "Shift_JIS",
                                        "EUC-KR",  "ISO-2022-JP", "ISO-2022-CN", "ISO-2022-KR"};
    for (const char* n : names)
        if (name.compare(n, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
// Chinese text in GB18030 or Big5 has nearly all its lead bytes at 0xA1 and
// above and most trail bytes above 0x80; accented Latin letters of the DOS code
// pages lie below, and those of Windows-1252 are followed by plain letters or
// blanks, where the detector would otherwise see two-byte characters.
bool LeadsLookCjk(QByteArrayView bytes) {
    qint64 leads = 0, high = 0, highTrails = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        ++leads;
        if (c >= 0xA1)
            ++high;
        if (++i >= bytes.size())
            break;
        const auto t = static_cast<unsigned char>(bytes[i]);
        if (t >= 0x30 && t <= 0x39) {
            i += 2; // GB18030's four bytes
            ++highTrails;
        } else if (t < 0x40) {
            return false;
        } else if (t >= 0x80) {
            ++highTrails;
        }
    }
    return leads > 0 && high * 10 >= leads * 9 && highTrails * 2 >= leads;
}

// Japanese text is never without kana, and in Shift_JIS every lead byte has a
// trail byte of its own; accented Latin letters of Windows-1252 (0xE0-0xFF)
// also pass for lead bytes, but pair with what follows into kanji only.
bool LooksJapanese(QByteArrayView bytes, const QByteArray& encoding) {
    const bool euc = encoding.compare("EUC-JP", Qt::CaseInsensitive) == 0;
    qint64 pairs = 0, kana = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 || (!euc && c >= 0xA1 && c <= 0xDF))
            continue; // ASCII, or a half-width katakana of one byte
        const bool lead = euc ? (c >= 0xA1 && c <= 0xFE) || c == 0x8E
                              : (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
        if (!lead || i + 1 >= bytes.size())
            return false;
        const auto t = static_cast<unsigned char>(bytes[++i]);
        const bool trail =
            euc ? t >= 0xA1 && t <= 0xFE : (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC);
        if (!trail)
            return false;
        ++pairs;
        if (euc ? c == 0xA4 || c == 0xA5
                : (c == 0x82 && t >= 0x9F && t <= 0xF1) || (c == 0x83 && t >= 0x40 && t <= 0x96))
            ++kana;
    }
    return pairs > 0 && kana * 5 >= pairs;
}
} // namespace

bool IsValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        char32_t min;
        char32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

QByteArray DetectEncoding(QByteArrayView bytes, TTextKind kind) {
    if (QByteArray bom = BomEncoding(bytes); !bom.isEmpty())
        return bom;
    if (kind == TTextKind::Html) {
        QByteArray meta = MetaCharset(bytes);
        // A page saved as UTF-8 often keeps the meta element of its old encoding.
        if (!meta.isEmpty() && !(IsValidUtf8(bytes) && !IsAscii(bytes))) {
            UErrorCode status = U_ZERO_ERROR;
            if (ucnv_getCanonicalName(meta.constData(), "WINDOWS", &status) ||
                ucnv_getCanonicalName(meta.constData(), "IANA", &status)) {
                // Pages labelled with the old Chinese sets use their superset.
                if (meta == "gb2312" || meta == "gbk" || meta == "x-gbk")
                    return "GB18030";
                return meta;
            }
        }
    }
    if (IsAscii(bytes) || IsValidUtf8(bytes))
        return "UTF-8";

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, TDetectorClose> detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return SingleByteEncoding(bytes);
    // The detector reads a sample; a few hundred kilobytes decide as well as the whole.
    const int sample = int(std::min<qsizetype>(bytes.size(), 256 * 1024));
    ucsdet_setText(detector.get(), bytes.data(), sample, &status);
    ucsdet_enableInputFilter(detector.get(), kind == TTextKind::Html);
    int32_t found = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &found, &status);
    if (U_FAILURE(status) || found <= 0)
        return SingleByteEncoding(bytes);
    for (int32_t i = 0; i < found; ++i) {
        UErrorCode s = U_ZERO_ERROR;
        const QByteArray name = ucsdet_getName(matches[i], &s);
        const int confidence = ucsdet_getConfidence(matches[i], &s);
        if (U_FAILURE(s) || confidence < 10)
            break;
        const bool japanese = name == "Shift_JIS" || name == "EUC-JP";
        if (IsMultiByteCjk(name) &&
            (japanese ? LooksJapanese(bytes.first(sample), name) : LeadsLookCjk(bytes)))
            return name;
        // Without a byte-order mark, UTF-16 shows itself by its zero bytes; the
        // detector alone mistakes short Latin text for it.
        if ((name.startsWith("UTF-16") || name.startsWith("UTF-32")) &&
            bytes.count('\0') * 5 > bytes.size())
            return name;
    }
    return SingleByteEncoding(bytes);
}

// ICU's converters give the same text whatever the pieces, even around bytes
// that are not text in the set.
struct TTextPieces::TConverter {
    std::unique_ptr<UConverter, TConverterClose> Icu;
    QByteArray Name;
    bool First = true;
};

TTextPieces::TTextPieces(QByteArrayView bytes, const QByteArray& encoding)
    : FBytes(bytes), FConverter(std::make_unique<TConverter>()) {
    FConverter->Name = encoding;
    UErrorCode status = U_ZERO_ERROR;
    FConverter->Icu.reset(ucnv_open(encoding.constData(), &status));
    if (U_FAILURE(status))
        throw EImportError(
            QStringLiteral("不认识的文字编码：%1").arg(QString::fromLatin1(encoding)));
}

TTextPieces::~TTextPieces() = default;

QString TTextPieces::Next(qsizetype bytes) {
    const QByteArrayView piece =
        FBytes.sliced(FAt, std::min(std::max<qsizetype>(bytes, 1), FBytes.size() - FAt));
    FAt += piece.size();
    QString text;
    // Each byte gives at most two UTF-16 units in the sets we meet; a
    // character held back from the piece before adds a few more, and an
    // odd set that gives more gets a larger buffer.
    const char* source = piece.data();
    const char* const sourceEnd = source + piece.size();
    qsizetype written = 0;
    for (qsizetype room = piece.size() * 2 + 8;; room *= 2) {
        text.resize(room);
        UChar* const start = reinterpret_cast<UChar*>(text.data());
        UChar* target = start + written;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_toUnicode(FConverter->Icu.get(), &target, start + room, &source, sourceEnd, nullptr,
                       AtEnd(), &status);
        written = target - start;
        if (status == U_BUFFER_OVERFLOW_ERROR)
            continue;
        if (U_FAILURE(status))
            throw EImportError(
                QStringLiteral("文字无法按 %1 解码").arg(QString::fromLatin1(FConverter->Name)));
        break;
    }
    text.truncate(written);
    if (FConverter->First && !text.isEmpty()) {
        FConverter->First = false;
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
    }
    return text;
}

QString DecodeBytes(QByteArrayView bytes, const QByteArray& encoding) {
    TTextPieces pieces(bytes, encoding);
    return pieces.AtEnd() ? QString() : pieces.Next(bytes.size());
}

QString DecodeText(QByteArrayView bytes, TTextKind kind, QByteArray* encoding) {
    if (bytes.size() > MaxImportFileBytes)
        throw EImportError(QStringLiteral("文件太大"));
    const QByteArray name = DetectEncoding(bytes, kind);
    if (encoding)
        *encoding = name;
    return DecodeBytes(bytes, name);
}

QByteArray ToUtf8(QByteArrayView bytes, TTextKind kind) {
    const QByteArray name = DetectEncoding(bytes, kind);
    if (name == "UTF-8") {
        if (bytes.size() >= 3 && bytes.startsWith("\xEF\xBB\xBF"))
            return bytes.sliced(3).toByteArray();
        return bytes.toByteArray();
    }
    return DecodeBytes(bytes, name).toUtf8();
}
