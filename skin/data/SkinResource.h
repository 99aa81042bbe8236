#pragma once
// The default skin built into the program.

#include <QByteArray>

// The "SkinStream" value of the main window: 32-bit little-endian count, then
// the packed container of our default skin.
QByteArray DefaultSkinStream();
// The packed container alone (what skinpack pack made at build time).
QByteArray DefaultSkinContainer();
