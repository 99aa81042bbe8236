#pragma once
// Finds how a text file is encoded and decodes it: byte-order marks, UTF-8,
// then ICU's detector for GB18030/GBK, Big5 and the other multi-byte sets, and
// for single-byte text a choice between the DOS code page 437 of old recipe
// files and Windows-1252.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

enum class TTextKind { Plain, Html };

// An encoding name ICU knows ("UTF-8", "GB18030", "Big5", "ibm-437", ...).
QByteArray DetectEncoding(QByteArrayView bytes, TTextKind kind = TTextKind::Plain);
// Undecodable bytes become U+FFFD; a byte-order mark is dropped. Raises
// EImportError for an encoding ICU does not know.
QString DecodeBytes(QByteArrayView bytes, const QByteArray& encoding);
QString DecodeText(QByteArrayView bytes, TTextKind kind = TTextKind::Plain,
                   QByteArray* encoding = nullptr);
// Decodes bytes a piece at a time, so that a large file's first lines are read
// without decoding all of it first. A character split between pieces comes out
// whole; the text is the same as DecodeBytes gives.
class TTextPieces {
public:
    // Raises EImportError for an encoding ICU does not know.
    TTextPieces(QByteArrayView bytes, const QByteArray& encoding);
    ~TTextPieces();
    TTextPieces(const TTextPieces&) = delete;
    TTextPieces& operator=(const TTextPieces&) = delete;

    bool AtEnd() const { return FAt >= FBytes.size(); }
    // The text of the next `bytes` bytes at most (at least one).
    QString Next(qsizetype bytes);

private:
    struct TConverter;
    QByteArrayView FBytes;
    qsizetype FAt = 0;
    std::unique_ptr<TConverter> FConverter;
};

// The text as UTF-8, for parsers that want it so.
QByteArray ToUtf8(QByteArrayView bytes, TTextKind kind = TTextKind::Plain);
// Whether the bytes are well-formed UTF-8.
bool IsValidUtf8(QByteArrayView bytes);
