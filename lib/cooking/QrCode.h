#pragma once
// The shopping list as QR codes a phone's camera reads (libqrencode): UTF-8 in
// byte mode, split at line ends into codes small enough to read off a screen.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

struct TQrCode {
    int Width = 0;                   // modules a side, without the quiet zone
    std::vector<unsigned char> Dark; // Width × Width, row by row: 1 dark
    bool At(int x, int y) const { return Dark[size_t(y) * size_t(Width) + size_t(x)] != 0; }
};

// Bytes a code carries at most: a version of about 20 at level M, still read
// from a phone held before the screen.
inline constexpr int QrPieceBytes = 600;

// Raises Exception (Chinese text) when the bytes do not fit one code.
TQrCode EncodeQr(const QByteArray& bytes);
// The text in pieces of at most `maxBytes` UTF-8 bytes each, cut after a line
// end where one is in reach, else between characters; with more than one, each
// begins with its place: "(1/3)\n". One piece: the text itself.
QStringList QrPieces(const QString& text, int maxBytes = QrPieceBytes);
// The pieces read back (by a phone, or a test) joined into the text.
QString JoinQrPieces(const QStringList& pieces);
