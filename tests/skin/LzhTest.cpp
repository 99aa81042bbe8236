// The LZHUF coder against vectors worked out from the scheme itself, against a
// second (classic-style) implementation, and against broken input.
#include "ClassicLzhuf.h"
#include "WinConvert.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

QByteArray WithSize(qint32 size, const QByteArray& stream) {
    QByteArray c(4, '\0');
    for (int i = 0; i < 4; ++i) {
        c[i] = static_cast<char>((static_cast<quint32>(size) >> (8 * i)) & 0xFF);
    }
    return c + stream;
}

std::vector<uint8_t> Bytes(const QByteArray& a) {
    return std::vector<uint8_t>(a.begin(), a.end());
}

QByteArray FromBytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// Data that packs like a skin: runs, repeats at many distances, and some noise.
QByteArray SkinLikeData(int size, quint32 seed) {
    QRandomGenerator rng(seed);
    QByteArray data;
    data.reserve(size);
    while (data.size() < size) {
        switch (rng.bounded(4)) {
        case 0:
            data.append(QByteArray(rng.bounded(1, 200), static_cast<char>(rng.bounded(256))));
            break;
        case 1:
            if (data.size() > 10) {
                const int dist = rng.bounded(1, std::min<int>(data.size(), 5000));
                const int len = rng.bounded(1, 80);
                for (int i = 0; i < len; ++i) {
                    data.append(data[data.size() - dist]);
                }
            }
            break;
        default:
            for (int i = rng.bounded(1, 40); i > 0; --i) {
                data.append(static_cast<char>(rng.bounded(256)));
            }
        }
    }
    data.truncate(size);
    return data;
}

// Streams worked out symbol by symbol from the initial tree and the fixed position code.
struct TVector {
    const char* Name;
    const char* Plain; // nullptr: the PlainHex bytes
    const char* PlainHex;
    const char* Stream;
    bool EncoderMakesIt; // our packer must produce exactly this stream
};

const TVector Vectors[] = {
    // One literal: 'A' is a 9-bit leaf of the initial tree, 111001101.
    {"literal", "A", nullptr, "e680", true},
    // Three literals, the code of 'A' changing as the tree adapts.
    {"literals", "AAA", nullptr, "e6e2e1", true},
    // Three literals, then a match of 6 at position 2 (code 000, then 000010).
    {"one match", "abcabcabc", nullptr, "f6fbbdf1e020", true},
    // A literal, then a match of 59 at position 0.
    {"long run", "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", nullptr,
     "06c40000", true},
    // The tree's path meets the far "abcB" only; the nearer "abcA" hangs to its left.
    {"tree order beats nearest", "abcBabcAabcX", nullptr, "f6fbbdfce8c01f37040fe4", true},
    // Here the path meets both, and the nearer of the equal matches wins.
    {"nearest on the path", "abcAabcBabcX", nullptr, "f6fbbdfcd8c01f3b0407e4", true},
    // A match copying over itself: 'x' and five more from one byte back.
    {"overlapping copy", "xxxxxx", nullptr, "048e0000", false},
    // A match into the pre-filled spaces, position 60 (source 3975).
    {"prefilled spaces", nullptr, "20202041", "8c1e7340", false},
    // Position 4095 points at the write position itself: the ring holds zeros there.
    {"zeros after the spaces", nullptr, "000000", "8cfffc", false},
};

class LzhVector : public ::testing::TestWithParam<TVector> {};
class LzhPackVector : public ::testing::TestWithParam<TVector> {};

TEST_P(LzhVector, UnpacksToThePlainText) {
    const TVector& v = GetParam();
    const QByteArray plain = v.Plain ? QByteArray(v.Plain) : Hex(v.PlainHex);
    const QByteArray stream = Hex(v.Stream);
    EXPECT_EQ(TLZH::UnpackStream(stream.constData(), stream.size(), plain.size()), plain);
    EXPECT_EQ(FromBytes(classic::TLzhuf().Decode(Bytes(stream), plain.size())), plain);
}

TEST_P(LzhPackVector, PackerMakesTheSameStream) {
    const TVector& v = GetParam();
    const QByteArray plain = v.Plain ? QByteArray(v.Plain) : Hex(v.PlainHex);
    EXPECT_EQ(TLZH::PackStream(plain).toHex(), QByteArray(v.Stream));
}

std::string VectorName(const ::testing::TestParamInfo<TVector>& info) {
    QString n = QString::fromLatin1(info.param.Name);
    n.replace(u' ', u'_');
    return n.toStdString();
}

std::vector<TVector> PackerVectors() {
    std::vector<TVector> list;
    for (const TVector& v : Vectors) {
        if (v.EncoderMakesIt) {
            list.push_back(v);
        }
    }
    return list;
}

INSTANTIATE_TEST_SUITE_P(Worked, LzhVector, ::testing::ValuesIn(Vectors), VectorName);
INSTANTIATE_TEST_SUITE_P(Worked, LzhPackVector, ::testing::ValuesIn(PackerVectors()), VectorName);

TEST(Lzh, ContainerStartsWithLittleEndianSize) {
    const QByteArray c = TLZH::PackContainer(QByteArray(0x012345, 'q'));
    ASSERT_GE(c.size(), 4);
    EXPECT_EQ(c.left(4), Hex("45230100"));
    EXPECT_EQ(TLZH::UnpackContainer(c), QByteArray(0x012345, 'q'));
}

TEST(Lzh, EmptyInputPacksToNothing) {
    EXPECT_TRUE(TLZH::PackStream(QByteArray()).isEmpty());
    EXPECT_EQ(TLZH::PackContainer(QByteArray()), Hex("00000000"));
    EXPECT_TRUE(TLZH::UnpackContainer(Hex("00000000")).isEmpty());
}

TEST(Lzh, UnpackStopsExactlyAtTheStoredSize) {
    // "abcabcabc" holds a 6-byte match; stopping inside it must not overrun.
    const QByteArray stream = Hex("f6fbbdf1e020");
    for (int size = 1; size <= 9; ++size) {
        EXPECT_EQ(TLZH::UnpackStream(stream.constData(), stream.size(), size),
                  QByteArray("abcabcabc").left(size));
    }
    // Bits left over after the stored size are ignored.
    const QByteArray extra = stream + Hex("ffffffffffff");
    EXPECT_EQ(TLZH::UnpackContainer(WithSize(9, extra)), QByteArray("abcabcabc"));
}

TEST(Lzh, RoundTripsOfAssortedData) {
    QRandomGenerator rng(42);
    QByteArray random(100000, Qt::Uninitialized);
    for (char& c : random) {
        c = static_cast<char>(rng.bounded(256));
    }
    const QByteArray cases[] = {
        QByteArray("x"),
        QByteArray(5000, ' '), // all spaces: matches the pre-filled ring from the start
        QByteArray(70000, '\0'),
        random,
        SkinLikeData(300000, 7),
    };
    for (const QByteArray& data : cases) {
        EXPECT_EQ(TLZH::UnpackContainer(TLZH::PackContainer(data)), data) << "size " << data.size();
    }
}

// Beyond 0x8000 symbols the tree is rebuilt: both coders must agree through it.
TEST(Lzh, AgreesWithTheClassicCoderThroughTreeRebuilds) {
    QRandomGenerator rng(3);
    QByteArray literals(60000, Qt::Uninitialized); // mostly literals: ~60000 symbols
    for (char& c : literals) {
        c = static_cast<char>(rng.bounded(64) + (rng.bounded(8) == 0 ? 128 : 0));
    }
    for (const QByteArray& data : {literals, SkinLikeData(400000, 11)}) {
        const QByteArray ours = TLZH::PackStream(data);
        const QByteArray theirs = FromBytes(classic::TLzhuf().Encode(Bytes(data)));
        EXPECT_EQ(ours, theirs);
        EXPECT_EQ(FromBytes(classic::TLzhuf().Decode(Bytes(ours), data.size())), data);
        EXPECT_EQ(TLZH::UnpackStream(theirs.constData(), theirs.size(), data.size()), data);
    }
}

TEST(Lzh, StreamAdaptersPackAndUnpackThroughDevices) {
    const QByteArray data = SkinLikeData(200000, 5); // several 64 KiB blocks
    QBuffer in;
    in.setData(data);
    in.open(QIODevice::ReadOnly);
    QBuffer packed;
    packed.open(QIODevice::WriteOnly);
    TLZH lzh;
    lzh.StreamIn = &in;
    lzh.StreamOut = &packed;
    qint64 written = 0;
    lzh.LZHPack(
        written, [&lzh](const char* d, qint64 n) { lzh.PutBlockStream(d, n); },
        [&lzh](char* d, qint64 n) { return lzh.GetBlockStream(d, n); });
    EXPECT_EQ(written, packed.data().size());
    EXPECT_EQ(packed.data(), TLZH::PackStream(data));

    QBuffer source;
    source.setData(packed.data());
    source.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    lzh.StreamIn = &source;
    lzh.StreamOut = &out;
    lzh.LZHUnpack(
        data.size(), [&lzh](const char* d, qint64 n) { lzh.PutBlockStream(d, n); },
        [&lzh](char* d, qint64 n) { return lzh.GetBlockStream(d, n); });
    EXPECT_EQ(out.data(), data);
}

TEST(Lzh, BrokenContainersFailCleanly) {
    const QByteArray good = TLZH::PackContainer(SkinLikeData(50000, 9));
    // Cut short: the decoder would run on zero bits.
    EXPECT_THROW(TLZH::UnpackContainer(good.left(good.size() / 2)), ElzhException);
    // A size header far beyond what the bits can produce.
    EXPECT_THROW(TLZH::UnpackContainer(WithSize(50000, Hex("e680"))), ElzhException);
    EXPECT_THROW(TLZH::UnpackContainer(WithSize(0x7FFFFFFF, good.mid(4))), ElzhException);
    // Fewer than four bytes: no size at all.
    EXPECT_THROW(TLZH::UnpackContainer(Hex("0100")), ElzhException);
    // A negative size means nothing to unpack.
    EXPECT_TRUE(TLZH::UnpackContainer(WithSize(-5, Hex("e680"))).isEmpty());
    try {
        TLZH::UnpackContainer(good.left(100));
        FAIL() << "no exception";
    } catch (const ElzhException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("LZH : ")));
    }
}

TEST(Lzh, GarbageNeverOverrunsItsBound) {
    QRandomGenerator rng(17);
    for (int round = 0; round < 200; ++round) {
        QByteArray garbage(rng.bounded(1, 400), Qt::Uninitialized);
        for (char& c : garbage) {
            c = static_cast<char>(rng.bounded(256));
        }
        const qint64 size = rng.bounded(1, 20000);
        try {
            const QByteArray out = TLZH::UnpackStream(garbage.constData(), garbage.size(), size);
            EXPECT_EQ(out.size(), size);
            EXPECT_LE(size, TLZH::MaxOutputFor(garbage.size()));
        } catch (const ElzhException&) {
        }
    }
}

} // namespace
