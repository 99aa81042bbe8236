#pragma once
// Helpers shared by the graphic kinds; not part of the library's interface.

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QRectF>

class QPainter;

namespace PictureUtils {

// All remaining bytes of the device, refusing more than MaxPictureBytes
// before reading them.
QByteArray ReadAllBounded(QIODevice& source);

// Writes everything or raises EWriteError.
void WriteAll(QIODevice& dest, const QByteArray& bytes);

// Scales smoothly; drawing a huge picture small must not look like noise.
void DrawScaled(QPainter& painter, const QRectF& rect, const QImage& image);

} // namespace PictureUtils
