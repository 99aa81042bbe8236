#pragma once
// Writes a rich-text document (its paragraphs, default font and pictures) as
// an RTF 1.9 document that common word processors open.

#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;
class QTextDocument;

// The whole document in memory.
QByteArray DocumentToRtf(const QTextDocument& document);

// Streams the document into an open, writable device. Any short or failed
// write raises EWriteError("写入出错").
void WriteRtf(const QTextDocument& document, QIODevice& device);

// Writes the file through a temporary one beside it and puts it in place only
// when complete, so a failed export never damages a file of that name. Where
// the folder takes no temporary file but the file itself can be written, its
// content is replaced in place, the whole text made first.
// Raises EWriteError: 无法建立文件“<full name>”：<reason>
void SaveRtfFileAtomically(const QTextDocument& document, const QString& path);

// The writer run between creating the temporary file and committing it;
// lets tests inject a failure halfway.
using TRtfStreamWriter = std::function<void(const QTextDocument&, QIODevice&)>;
void SaveRtfFileAtomically(const QTextDocument& document, const QString& path,
                           const TRtfStreamWriter& writer);

// Picture data as RTF hex: a line break, then 128 digits per line.
qsizetype RtfHexSize(qsizetype byteCount);
// Writes RtfHexSize(size) characters at dest and returns the end.
char* WriteRtfHex(const unsigned char* data, qsizetype size, char* dest);
