#include "WinConvert.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int N = TLZH::N;
constexpr int F = TLZH::F;
constexpr int Threshold = TLZH::Threshold;
constexpr int NChar = TLZH::NChar;
constexpr int T = TLZH::T;
constexpr int R = TLZH::R;
constexpr int Nil = N;
constexpr int BlockSize = 64 * 1024;
// Zero bits a faithful stream never needs; past this the input was cut short.
constexpr qint64 MaxPadBits = 16;

const QString NoMemoryText = QStringLiteral("LZH : Cannot get memory for dictionary tables");
const QString TruncatedText = QStringLiteral("LZH : Unexpected end of packed data");

// The fixed code of a position's upper 6 bits: canonical, lengths 3..8.
struct TPositionCode {
    std::array<quint8, 64> Code{};
    std::array<quint8, 64> Len{};
    std::array<quint8, 256> DecodeValue{};
    std::array<quint8, 256> DecodeLen{};

    TPositionCode() {
        unsigned code = 0;
        int prevLen = 3;
        for (int v = 0; v < 64; ++v) {
            int len = v == 0 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
            if (v > 0) {
                code = (code + 1) << (len - prevLen);
            }
            prevLen = len;
            Code[v] = static_cast<quint8>(code);
            Len[v] = static_cast<quint8>(len);
            unsigned base = code << (8 - len);
            for (unsigned k = 0; k < (1u << (8 - len)); ++k) {
                DecodeValue[base + k] = static_cast<quint8>(v);
                DecodeLen[base + k] = static_cast<quint8>(len);
            }
        }
    }
};

const TPositionCode& PositionCode() {
    static const TPositionCode table;
    return table;
}

// The adaptive Huffman tree shared by packer and unpacker.
struct THuffTree {
    unsigned Freq[T + 1];
    int Prnt[T + NChar];
    int Son[T];

    void Start() {
        for (int i = 0; i < NChar; ++i) {
            Freq[i] = 1;
            Son[i] = (i + T);
            Prnt[i + T] = (i);
        }
        for (int i = 0, j = NChar; j <= R; i += 2, ++j) {
            Freq[j] = (Freq[i] + Freq[i + 1]);
            Son[j] = (i);
            Prnt[i] = Prnt[i + 1] = (j);
        }
        Freq[T] = 0xFFFF;
        Prnt[R] = 0;
    }

    void Reconstruct() {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (Son[i] >= T) {
                Freq[j] = ((Freq[i] + 1) / 2);
                Son[j] = Son[i];
                ++j;
            }
        }
        for (int i = 0, j2 = NChar; j2 < T; i += 2, ++j2) {
            unsigned f = Freq[i] + Freq[i + 1];
            Freq[j2] = (f);
            int k = j2 - 1;
            while (f < Freq[k]) {
                --k;
            }
            ++k;
            const size_t moved = static_cast<size_t>(j2 - k);
            std::memmove(&Freq[k + 1], &Freq[k], moved * sizeof(Freq[0]));
            Freq[k] = (f);
            std::memmove(&Son[k + 1], &Son[k], moved * sizeof(Son[0]));
            Son[k] = (i);
        }
        for (int i = 0; i < T; ++i) {
            int k = Son[i];
            if (k >= T) {
                Prnt[k] = (i);
            } else {
                Prnt[k] = Prnt[k + 1] = (i);
            }
        }
    }

    void Update(int c) {
        if (Freq[R] == TLZH::MaxFreq) {
            Reconstruct();
        }
        c = Prnt[c + T];
        do {
            unsigned k = ++Freq[c];
            int l = c + 1;
            if (k > Freq[l]) {
                while (k > Freq[++l]) {
                }
                --l;
                Freq[c] = Freq[l];
                Freq[l] = (k);
                int i = Son[c];
                Prnt[i] = (l);
                if (i < T) {
                    Prnt[i + 1] = (l);
                }
                int j = Son[l];
                Son[l] = (i);
                Prnt[j] = (c);
                if (j < T) {
                    Prnt[j + 1] = (c);
                }
                Son[c] = (j);
                c = l;
            }
            c = Prnt[c];
        } while (c != 0);
    }
};

template <typename TObj> std::unique_ptr<TObj> AllocTables() {
    try {
        return std::make_unique<TObj>();
    } catch (const std::bad_alloc&) {
        throw ElzhException(NoMemoryText);
    }
}

// Reads input in blocks, either from memory or through a get procedure.
class TByteSource {
public:
    TByteSource(const char* data, qint64 length)
        : FPos(reinterpret_cast<const uchar*>(data)), FEnd(FPos + length) {}
    explicit TByteSource(const TLZH::TGetBytesProc& get) : FGet(&get) { FBlock.resize(BlockSize); }

    qint64 Available() const { return FEnd - FPos; }
    const uchar* Peek() const { return FPos; }
    void Skip(qint64 n) { FPos += n; }

    // Next byte, or -1 at the end of the input.
    int Next() {
        if (FPos != FEnd) [[likely]] {
            return *FPos++;
        }
        return NextSlow();
    }

private:
    int NextSlow() {
        if (!FGet || FDone) {
            return -1;
        }
        qint64 got = (*FGet)(FBlock.data(), BlockSize);
        if (got <= 0) {
            FDone = true;
            return -1;
        }
        got = std::min<qint64>(got, BlockSize);
        FPos = reinterpret_cast<const uchar*>(FBlock.data());
        FEnd = FPos + got;
        return *FPos++;
    }

    const uchar* FPos = nullptr;
    const uchar* FEnd = nullptr;
    const TLZH::TGetBytesProc* FGet = nullptr;
    std::vector<char> FBlock;
    bool FDone = false;
};

// Collects output in blocks and hands them to a put procedure.
class TByteSink {
public:
    explicit TByteSink(const TLZH::TPutBytesProc& put) : FPut(put) { FBlock.resize(BlockSize); }
    void Put(uchar b) {
        FBlock[FCount++] = static_cast<char>(b);
        if (FCount == BlockSize) [[unlikely]] {
            Flush();
        }
    }
    void Flush() {
        if (FCount > 0) {
            FPut(FBlock.data(), FCount);
            FTotal += FCount;
            FCount = 0;
        }
    }
    qint64 Total() const { return FTotal + FCount; }

private:
    const TLZH::TPutBytesProc& FPut;
    std::vector<char> FBlock;
    qint64 FCount = 0;
    qint64 FTotal = 0;
};

// Most significant bit first, through a 64-bit window. Bits past what is
// counted are the next bytes of the input at their final places, so refills
// may overlap them.
class TBitReader {
public:
    explicit TBitReader(TByteSource& source) : FSource(source) {}

    void Refill() {
        if (FSource.Available() >= 8) [[likely]] {
            const uchar* p = FSource.Peek();
            quint64 v;
            std::memcpy(&v, p, 8);
            v = qFromBigEndian(v);
            FBuf |= v >> FCount;
            const int bytes = (63 - FCount) >> 3;
            FSource.Skip(bytes);
            FCount += bytes * 8;
            return;
        }
        // Near the end: byte by byte, zeros past it.
        while (FCount <= 56) {
            int b = FSource.Next();
            if (b < 0) {
                b = 0;
                ++FPadBytes;
            }
            FBuf |= static_cast<quint64>(b) << (56 - FCount);
            FCount += 8;
        }
    }

    unsigned Bits(int n) {
        if (FCount < n) [[unlikely]] {
            Refill();
        }
        unsigned v = static_cast<unsigned>(FBuf >> (64 - n));
        FBuf <<= n;
        FCount -= n;
        return v;
    }

    // Bits taken beyond the end of the input.
    qint64 Overrun() const { return FPadBytes * 8 - FCount; }
    bool Padding() const { return FPadBytes != 0; }

    quint64 FBuf = 0;
    int FCount = 0;

private:
    TByteSource& FSource;
    qint64 FPadBytes = 0;
};

struct TDecoderTables {
    THuffTree Tree;
    // The last N bytes produced stay in front of each new block; before the first
    // byte the window is the pre-filled ring: 60 zeros, then 4,036 spaces.
    uchar Window[N + BlockSize];
};

void Decode(qint64 textSize, TByteSource& source, const TLZH::TPutBytesProc& put) {
    if (textSize <= 0) {
        return;
    }
    auto tables = AllocTables<TDecoderTables>();
    THuffTree& tree = tables->Tree;
    uchar* const window = tables->Window;
    uchar* const windowEnd = window + N + BlockSize;
    tree.Start();
    std::memset(window, 0, F);
    std::memset(window + F, ' ', N - F);
    const TPositionCode& pc = PositionCode();
    TBitReader bits(source);
    uchar* out = window + N;
    qint64 remaining = textSize;
    auto flush = [&] {
        put(reinterpret_cast<const char*>(window + N), out - (window + N));
        std::memmove(window, out - N, N);
        out = window + N;
    };
    while (remaining > 0) {
        if (out + F > windowEnd) [[unlikely]] {
            flush();
        }
        if (bits.FCount < 32) [[unlikely]] {
            bits.Refill();
        }
        int c = tree.Son[R];
        while (c < T) {
            if (bits.FCount == 0) [[unlikely]] {
                bits.Refill();
            }
            c = tree.Son[c + static_cast<int>(bits.FBuf >> 63)];
            bits.FBuf <<= 1;
            --bits.FCount;
        }
        c -= T;
        tree.Update(c);
        if (c < 256) {
            *out++ = static_cast<uchar>(c);
            --remaining;
        } else {
            unsigned i = bits.Bits(8);
            const unsigned upper = pc.DecodeValue[i];
            const int extra = pc.DecodeLen[i] - 2;
            i = (i << extra) | bits.Bits(extra);
            const qint64 distance = ((upper << 6) | (i & 0x3F)) + 1;
            const qint64 len = std::min<qint64>(c - 255 + Threshold, remaining);
            const uchar* src = out - distance;
            if (distance >= len) {
                std::memcpy(out, src, static_cast<size_t>(len));
            } else {
                for (qint64 k = 0; k < len; ++k) {
                    out[k] = src[k];
                }
            }
            out += len;
            remaining -= len;
        }
        if (bits.Padding() && bits.Overrun() > MaxPadBits) [[unlikely]] {
            throw ElzhException(TruncatedText);
        }
    }
    flush();
}

class TBitWriter {
public:
    explicit TBitWriter(TByteSink& sink) : FSink(sink) {}
    void Put(quint64 value, int n) {
        FBuf = (FBuf << n) | value;
        FCount += n;
        while (FCount >= 8) {
            FCount -= 8;
            FSink.Put(static_cast<uchar>(FBuf >> FCount));
        }
    }
    void Finish() {
        if (FCount > 0) {
            FSink.Put(static_cast<uchar>(FBuf << (8 - FCount)));
            FCount = 0;
        }
    }

private:
    TByteSink& FSink;
    quint64 FBuf = 0;
    int FCount = 0;
};

struct TEncoderTables {
    THuffTree Tree;
    // Room past the ring for comparing eight bytes at a time.
    uchar Text[N + F - 1 + 8];
    int LSon[N + 1];
    int RSon[N + 257];
    int Dad[N + 1];
};

class TEncoder {
public:
    TEncoder(TEncoderTables& t, TBitWriter& out)
        : FText(t.Text), FLSon(t.LSon), FRSon(t.RSon), FDad(t.Dad), FTree(t.Tree), FOut(out) {}

    void Run(TByteSource& source) {
        FTree.Start();
        for (int i = N + 1; i <= N + 256; ++i) {
            FRSon[i] = Nil;
        }
        for (int i = 0; i < N; ++i) {
            FDad[i] = Nil;
        }
        int s = 0;
        int r = N - F;
        std::memset(FText, ' ', r);
        std::memset(FText + r, 0, N + F - 1 + 8 - r);
        int len = 0;
        int c = 0;
        for (; len < F && (c = source.Next()) >= 0; ++len) {
            FText[r + len] = static_cast<uchar>(c);
        }
        if (len == 0) {
            return;
        }
        for (int i = 1; i <= F; ++i) {
            InsertNode(r - i);
        }
        InsertNode(r);
        do {
            if (FMatchLength > len) {
                FMatchLength = len;
            }
            if (FMatchLength <= Threshold) {
                FMatchLength = 1;
                EncodeChar(FText[r]);
            } else {
                EncodeChar(255 - Threshold + FMatchLength);
                EncodePosition(FMatchPosition);
            }
            const int lastMatchLength = FMatchLength;
            int i = 0;
            for (; i < lastMatchLength && (c = source.Next()) >= 0; ++i) {
                DeleteNode(s);
                FText[s] = static_cast<uchar>(c);
                if (s < F - 1) {
                    FText[s + N] = static_cast<uchar>(c);
                }
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                InsertNode(r);
            }
            while (i++ < lastMatchLength) {
                DeleteNode(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len) {
                    InsertNode(r);
                }
            }
        } while (len > 0);
    }

private:
    void InsertNode(int r) {
        const uchar* key = &FText[r];
        int p = N + 1 + key[0];
        int cmp = 1;
        FRSon[r] = FLSon[r] = Nil;
        FMatchLength = 0;
        for (;;) {
            int* const son = cmp >= 0 ? FRSon : FLSon;
            if (son[p] == Nil) {
                son[p] = r;
                FDad[r] = p;
                return;
            }
            p = son[p];
            const int i = CommonLength(key, &FText[p], cmp);
            if (i > Threshold) {
                const int distance = ((r - p) & (N - 1)) - 1;
                if (i > FMatchLength) {
                    FMatchPosition = distance;
                    if ((FMatchLength = i) >= F) {
                        break;
                    }
                } else if (i == FMatchLength && distance < FMatchPosition) {
                    FMatchPosition = distance;
                }
            }
        }
        // A full-length match: r takes p's place in the tree.
        FDad[r] = FDad[p];
        FLSon[r] = FLSon[p];
        FRSon[r] = FRSon[p];
        FDad[FLSon[p]] = r;
        FDad[FRSon[p]] = r;
        if (FRSon[FDad[p]] == p) {
            FRSon[FDad[p]] = r;
        } else {
            FLSon[FDad[p]] = r;
        }
        FDad[p] = Nil;
    }

    // Length of the common run of key and other from byte 1 (at most F), and the
    // sign of their first difference, compared eight bytes at a time.
    static int CommonLength(const uchar* key, const uchar* other, int& cmp) {
        for (int i = 1; i < F; i += 8) {
            quint64 a;
            quint64 b;
            std::memcpy(&a, key + i, 8);
            std::memcpy(&b, other + i, 8);
            const quint64 diff = qFromLittleEndian(a ^ b);
            if (diff != 0) {
                const int at = i + (std::countr_zero(diff) >> 3);
                if (at >= F) {
                    break;
                }
                cmp = key[at] - other[at];
                return at;
            }
        }
        cmp = 0;
        return F;
    }

    void DeleteNode(int p) {
        if (FDad[p] == Nil) {
            return;
        }
        int q;
        if (FRSon[p] == Nil) {
            q = FLSon[p];
        } else if (FLSon[p] == Nil) {
            q = FRSon[p];
        } else {
            q = FLSon[p];
            if (FRSon[q] != Nil) {
                do {
                    q = FRSon[q];
                } while (FRSon[q] != Nil);
                FRSon[FDad[q]] = FLSon[q];
                FDad[FLSon[q]] = FDad[q];
                FLSon[q] = FLSon[p];
                FDad[FLSon[p]] = q;
            }
            FRSon[q] = FRSon[p];
            FDad[FRSon[p]] = q;
        }
        FDad[q] = FDad[p];
        if (FRSon[FDad[p]] == p) {
            FRSon[FDad[p]] = q;
        } else {
            FLSon[FDad[p]] = q;
        }
        FDad[p] = Nil;
    }

    void EncodeChar(int c) {
        quint64 code = 0;
        int len = 0;
        int k = FTree.Prnt[c + T];
        do {
            code |= static_cast<quint64>(k & 1) << len;
            ++len;
            k = FTree.Prnt[k];
        } while (k != R);
        FOut.Put(code, len);
        FTree.Update(c);
    }

    void EncodePosition(int c) {
        const TPositionCode& pc = PositionCode();
        const int upper = c >> 6;
        FOut.Put(pc.Code[upper], pc.Len[upper]);
        FOut.Put(static_cast<quint64>(c & 0x3F), 6);
    }

    uchar* FText;
    int* FLSon;
    int* FRSon;
    int* FDad;
    THuffTree& FTree;
    TBitWriter& FOut;
    int FMatchPosition = 0;
    int FMatchLength = 0;
};

void Encode(TByteSource& source, TByteSink& sink) {
    auto tables = AllocTables<TEncoderTables>();
    TBitWriter out(sink);
    TEncoder encoder(*tables, out);
    encoder.Run(source);
    out.Finish();
    sink.Flush();
}

void PutSize(QByteArray& target, quint32 size) {
    for (int i = 0; i < 4; ++i) {
        target.append(static_cast<char>((size >> (8 * i)) & 0xFF));
    }
}

} // namespace

qint64 TLZH::MaxOutputFor(qint64 length) {
    // Every symbol costs at least one bit and a match at least ten more, for at most F bytes;
    // the decoder may read a few zero bits past the end.
    return (length * 8 + MaxPadBits) * F / (1 + 9) + F;
}

void TLZH::LZHPack(qint64& bytesWritten, const TPutBytesProc& put, const TGetBytesProc& get) {
    TByteSource source(get);
    TByteSink sink(put);
    Encode(source, sink);
    bytesWritten = sink.Total();
}

void TLZH::LZHUnpack(qint64 textSize, const TPutBytesProc& put, const TGetBytesProc& get) {
    TByteSource source(get);
    Decode(textSize, source, put);
}

qint64 TLZH::GetBlockStream(char* data, qint64 requested) {
    if (!StreamIn) {
        return 0;
    }
    qint64 got = StreamIn->read(data, requested);
    return got < 0 ? 0 : got;
}

void TLZH::PutBlockStream(const char* data, qint64 count) {
    if (!StreamOut || StreamOut->write(data, count) != count) {
        throw EWriteError(QStringLiteral("LZH : Cannot write packed data"));
    }
}

QByteArray TLZH::PackStream(const QByteArray& data) {
    QByteArray result;
    result.reserve(data.size() / 4 + 64);
    TByteSource source(data.constData(), data.size());
    TPutBytesProc put = [&result](const char* d, qint64 n) {
        result.append(d, n);
    };
    TByteSink sink(put);
    Encode(source, sink);
    return result;
}

QByteArray TLZH::PackContainer(const QByteArray& data) {
    QByteArray result;
    PutSize(result, static_cast<quint32>(data.size()));
    result.append(PackStream(data));
    return result;
}

QByteArray TLZH::UnpackStream(const char* data, qint64 length, qint64 size) {
    QByteArray result;
    if (size <= 0) {
        return result;
    }
    if (size > MaxUnpackedSize || size > MaxOutputFor(length)) {
        throw ElzhException(TruncatedText);
    }
    result.reserve(size);
    TByteSource source(data, length);
    TPutBytesProc put = [&result](const char* d, qint64 n) {
        result.append(d, n);
    };
    Decode(size, source, put);
    return result;
}

QByteArray TLZH::UnpackContainer(const QByteArray& container, qint64 limit) {
    if (container.size() < 4) {
        throw ElzhException(TruncatedText);
    }
    const auto* p = reinterpret_cast<const uchar*>(container.constData());
    const quint32 raw =
        quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    const qint64 size = static_cast<qint32>(raw);
    if (size > limit) {
        throw ElzhException(TruncatedText);
    }
    return UnpackStream(container.constData() + 4, container.size() - 4, size);
}
