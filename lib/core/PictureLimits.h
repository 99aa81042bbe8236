#pragma once
// How large a picture any reader takes in.

#include <QtGlobal>

// Largest picture any reader accepts, in pixels.
inline constexpr qint64 MaxPicturePixels = 100'000'000;
// Largest picture file or stream any reader takes in, in bytes.
inline constexpr qint64 MaxPictureBytes = 256LL * 1024 * 1024;
