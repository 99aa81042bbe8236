#pragma once
// A picture found in an imported file made ready for the picture column: JPEG
// bytes are kept unchanged (after their header is checked); any other kind goes
// through the program's own conversion to JPEG. Bounded in bytes and pixels.

#include <QByteArray>
#include <QString>

// Raises EInvalidGraphic (or EJPEG) with the reason when the bytes are no
// picture the program can keep.
QByteArray PictureAsJpeg(const QByteArray& bytes);
