#pragma once
// LZHUF packing (LZSS with adaptive Huffman coding) of skin containers.
// A container is a 4-byte little-endian unpacked size followed by the bit stream.

#include "SysUtils.h"

#include <QByteArray>
#include <QIODevice>
#include <functional>

MYCOOK_DECLARE_EXCEPTION(ElzhException, Exception)

class TLZH {
public:
    // Fills up to `requested` bytes and returns how many it gave; 0 means the input is over.
    using TGetBytesProc = std::function<qint64(char* data, qint64 requested)>;
    using TPutBytesProc = std::function<void(const char* data, qint64 count)>;

    static constexpr int N = 4096;
    static constexpr int F = 60;
    static constexpr int Threshold = 2;
    static constexpr int NChar = 256 - Threshold + F; // 314
    static constexpr int T = NChar * 2 - 1;           // 627
    static constexpr int R = T - 1;                   // 626
    static constexpr unsigned MaxFreq = 0x8000;
    // Hostile containers may not make us produce more than this.
    static constexpr qint64 MaxUnpackedSize = 64 * 1024 * 1024;

    // Packs everything `get` gives; the caller writes the size word first.
    void LZHPack(qint64& bytesWritten, const TPutBytesProc& put, const TGetBytesProc& get);
    // Produces exactly textSize bytes; raises ElzhException when the input ends too early.
    void LZHUnpack(qint64 textSize, const TPutBytesProc& put, const TGetBytesProc& get);

    // Adapters over StreamIn / StreamOut for the procedures above.
    QIODevice* StreamIn = nullptr;
    QIODevice* StreamOut = nullptr;
    qint64 GetBlockStream(char* data, qint64 requested);
    void PutBlockStream(const char* data, qint64 count);

    // Whole-buffer helpers: a container (size word + stream) from bytes and back.
    static QByteArray PackContainer(const QByteArray& data);
    static QByteArray UnpackContainer(const QByteArray& container, qint64 limit = MaxUnpackedSize);
    // The bare bit stream of `data` (no size word).
    static QByteArray PackStream(const QByteArray& data);
    // Unpacks exactly `size` bytes from a bare bit stream held in memory.
    static QByteArray UnpackStream(const char* data, qint64 length, qint64 size);

    // Most bytes a stream of `length` bytes can honestly produce.
    static qint64 MaxOutputFor(qint64 length);
};
