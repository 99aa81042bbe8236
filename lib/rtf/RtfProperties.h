#pragma once
// Text-format properties shared by the picture embedder and the RTF writer.

#include <QTextFormat>

// On an image format: the JPEG bytes the picture was decoded from (QByteArray),
// so export can keep them unchanged instead of re-encoding the pixels.
constexpr int RichExJpegProperty = QTextFormat::UserProperty + 1;
