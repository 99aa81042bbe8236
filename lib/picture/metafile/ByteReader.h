#pragma once
// Little-endian reading over a byte range that never leaves the range: a read
// past the end yields zero and marks the reader failed, so a record parser can
// read all its fields and check Ok() once.

#include <QtGlobal>
#include <cstring>
#include <type_traits>

namespace Metafile {

class TByteReader {
public:
    TByteReader() = default;
    TByteReader(const uchar* data, qsizetype size) : FData(data), FSize(size < 0 ? 0 : size) {}

    qsizetype Size() const { return FSize; }
    qsizetype Pos() const { return FPos; }
    qsizetype Remaining() const { return FSize - FPos; }
    bool Ok() const { return !FFailed; }
    const uchar* Data() const { return FData; }
    const uchar* Current() const { return FData + FPos; }

    bool Has(qsizetype count) const { return count >= 0 && count <= FSize - FPos; }
    void Seek(qsizetype pos) {
        if (pos < 0 || pos > FSize) {
            FFailed = true;
            FPos = FSize;
        } else {
            FPos = pos;
        }
    }
    void Skip(qsizetype count) {
        if (!Has(count)) {
            FFailed = true;
            FPos = FSize;
        } else {
            FPos += count;
        }
    }

    quint8 U8() { return Read<quint8>(); }
    qint16 I16() { return Read<qint16>(); }
    quint16 U16() { return Read<quint16>(); }
    qint32 I32() { return Read<qint32>(); }
    quint32 U32() { return Read<quint32>(); }
    float F32() {
        const quint32 bits = U32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A reader over [offset, offset + count) of this range; failed when outside.
    TByteReader Sub(qint64 offset, qint64 count) const {
        if (offset < 0 || count < 0 || offset > FSize || count > FSize - offset) {
            TByteReader failed;
            failed.FFailed = true;
            return failed;
        }
        return TByteReader(FData + offset, qsizetype(count));
    }

private:
    template <typename T> T Read() {
        if (!Has(qsizetype(sizeof(T)))) {
            FFailed = true;
            FPos = FSize;
            return T(0);
        }
        // Assemble byte by byte: the data need not be aligned.
        using U = std::make_unsigned_t<T>;
        U value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value = U(value | (U(FData[FPos + qsizetype(i)]) << (8 * i)));
        FPos += qsizetype(sizeof(T));
        T result;
        std::memcpy(&result, &value, sizeof result);
        return result;
    }

    const uchar* FData = nullptr;
    qsizetype FSize = 0;
    qsizetype FPos = 0;
    bool FFailed = false;
};

} // namespace Metafile
