// Reading, sizing and drawing of WMF and EMF metafiles.

#include "Graphics.h"
#include "MetafileWriter.h"
#include "metafile/GdiPlayer.h"
#include "metafile/MetafileFormat.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace MetafileWriter;

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "test_metafile";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv); // lives for the process
    (void)app;
}

std::unique_ptr<TMetafile> Load(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    auto metafile = std::make_unique<TMetafile>();
    metafile->LoadFromStream(buffer);
    return metafile;
}

bool Near(QRgb a, QColor b, int tolerance = 24) {
    return std::abs(qRed(a) - b.red()) <= tolerance &&
           std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QString Describe(QRgb c) {
    return QColor(c).name();
}

int CountNonWhite(const QImage& image, QRect area) {
    int n = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (!Near(image.pixel(x, y), Qt::white, 8))
                ++n;
    return n;
}

// 0.01 mm rectangle of a frame of px pixels square at 96 dpi.
QRect EmfFrame(int px) {
    const int units = int(std::lround(px * 2540.0 / 96));
    return QRect(0, 0, units, units);
}

// Test names from a case's own words.
std::string NameOf(const char* text) {
    std::string name;
    for (const char* c = text; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

template <typename T> struct TCaseName {
    std::string operator()(const ::testing::TestParamInfo<T>& info) const {
        return NameOf(info.param.Name());
    }
};

class MetafileTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
};

// ---- sample files written by another program ---------------------------------

struct TSampleCase {
    const char* File;
    bool Enhanced;
    int Width, Height;
    const char* Name() const { return File; }
};
void PrintTo(const TSampleCase& c, std::ostream* os) {
    *os << c.File;
}

class SampleFileTest : public ::testing::TestWithParam<TSampleCase> {
protected:
    void SetUp() override { EnsureApp(); }
};

TEST_P(SampleFileTest, LoadsSizesDrawsAndKeepsBytes) {
    const TSampleCase c = GetParam();
    const QByteArray root = qgetenv("MYCOOK_TESTDATA");
    if (root.isEmpty() || !QDir(QString::fromLocal8Bit(root)).exists())
        GTEST_SKIP() << "MYCOOK_TESTDATA not available";
    QFile file(QString::fromLocal8Bit(root) + "/pictures/" + c.File);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();

    auto m = Load(original);
    EXPECT_EQ(m->Enhanced(), c.Enhanced);
    EXPECT_EQ(m->Width(), c.Width);
    EXPECT_EQ(m->Height(), c.Height);

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    m->SaveToStream(out);
    EXPECT_EQ(out.data(), original);

    const QImage image = m->ToImage();
    ASSERT_EQ(image.size(), QSize(c.Width, c.Height));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    // A cream table, a white plate rim, red sauce, a green leaf and the dark label.
    struct {
        QPoint At;
        QColor Colour;
    } const probes[] = {
        {{5, 5}, QColor(0xf4, 0xea, 0xd5)},     {{60, 145}, Qt::white},
        {{186, 170}, QColor(0xc8, 0x45, 0x2c)}, {{136, 32}, QColor(0x3a, 0x8f, 0x3a)},
        {{156, 136}, QColor(0x7a, 0x3b, 0x1a)},
    };
    for (const auto& p : probes)
        EXPECT_TRUE(Near(image.pixel(p.At), p.Colour))
            << c.File << " at " << p.At.x() << "," << p.At.y() << " is "
            << Describe(image.pixel(p.At)).toStdString();
    int dark = 0;
    for (int y = 240; y < 272; ++y)
        for (int x = 260; x < 330; ++x)
            dark += qGray(image.pixel(x, y)) < 80;
    EXPECT_GT(dark, 40) << "the label text is missing";

    // Drawing scaled keeps the layout: the sauce stays at the centre.
    QImage big(c.Width * 2, c.Height * 2, QImage::Format_RGB32);
    big.fill(Qt::white);
    QPainter painter(&big);
    m->Draw(painter, QRectF(0, 0, big.width(), big.height()));
    painter.end();
    EXPECT_TRUE(Near(big.pixel(372, 340), QColor(0xc8, 0x45, 0x2c)));
    image.save(QDir::tempPath() + "/test_metafile_" + c.File + ".png");
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleFileTest,
                         ::testing::Values(TSampleCase{"plate.wmf", false, 373, 273},
                                           TSampleCase{"plate.emf", true, 373, 273}),
                         TCaseName<TSampleCase>());

// ---- mapping: where a filled rectangle lands ---------------------------------

struct TMappingCase {
    const char* Label;
    std::function<QByteArray()> Build;
    QSize Size;
    QRect Expected; // pixels the red rectangle should cover
    const char* Name() const { return Label; }
};
void PrintTo(const TMappingCase& c, std::ostream* os) {
    *os << c.Label;
}

class MappingTest : public ::testing::TestWithParam<TMappingCase> {
protected:
    void SetUp() override { EnsureApp(); }
};

TEST_P(MappingTest, FilledRectangleLandsInPlace) {
    const TMappingCase& c = GetParam();
    auto m = Load(c.Build());
    ASSERT_EQ(QSize(m->Width(), m->Height()), c.Size);
    const QImage image = m->ToImage();
    const QRect inner = c.Expected.adjusted(2, 2, -2, -2);
    for (QPoint p : {inner.topLeft(), inner.bottomRight(), inner.center(), inner.topRight(),
                     inner.bottomLeft()})
        EXPECT_TRUE(Near(image.pixel(p), Qt::red))
            << c.Label << ": inside at " << p.x() << "," << p.y() << " is "
            << Describe(image.pixel(p)).toStdString();
    const QRect outer = c.Expected.adjusted(-3, -3, 3, 3);
    for (QPoint p : {outer.topLeft(), outer.bottomRight(), outer.topRight(), outer.bottomLeft()})
        if (image.rect().contains(p)) {
            EXPECT_TRUE(Near(image.pixel(p), Qt::white))
                << c.Label << ": outside at " << p.x() << "," << p.y() << " is "
                << Describe(image.pixel(p)).toStdString();
        }
}

TWmf RedFill() {
    return std::move(TWmf().Pen(5, 0, Qt::black).Select(0).Brush(0, Qt::red).Select(1));
}

TEmf RedFillEmf() {
    return std::move(TEmf().Brush(1, 0, Qt::red).Select(1).Select(0x80000008));
}

const TMappingCase MappingCases[] = {
    {"placeable 96 dpi",
     [] { return RedFill().Rectangle(10, 10, 50, 30).Bytes(true, QRect(0, 0, 100, 80), 96); },
     {100, 80},
     {10, 10, 40, 20}},
    {"placeable in twips, offset frame",
     [] {
         return RedFill()
             .WindowOrg(1440, 0)
             .WindowExt(1440, 1440)
             .Rectangle(1440 + 720, 360, 1440 + 1440, 720)
             .Bytes(true, QRect(1440, 0, 1440, 1440), 1440);
     },
     {96, 96},
     {48, 24, 48, 24}},
    {"placeable window larger than the frame",
     [] {
         return RedFill()
             .WindowExt(200, 200)
             .Rectangle(100, 100, 200, 200)
             .Bytes(true, QRect(0, 0, 100, 100), 96);
     },
     {100, 100},
     {50, 50, 50, 50}},
    {"plain wmf sized by its window",
     [] {
         return RedFill()
             .MapMode(8)
             .WindowOrg(100, 100)
             .WindowExt(200, 100)
             .Rectangle(150, 120, 250, 180)
             .Bytes();
     },
     {200, 100},
     {50, 20, 100, 60}},
    {"plain wmf with the y axis up",
     [] {
         return RedFill()
             .MapMode(8)
             .WindowOrg(0, 100)
             .WindowExt(100, -100)
             .Rectangle(10, 10, 30, 40)
             .Bytes();
     },
     {100, 100},
     {10, 60, 20, 30}},
    {"plain wmf without a window, sized by its drawing",
     [] { return RedFill().Rectangle(20, 30, 80, 60).Bytes(); },
     {60, 30},
     {0, 0, 60, 30}},
    {"isotropic keeps the aspect",
     [] {
         return RedFill()
             .MapMode(7)
             .WindowExt(200, 100)
             .Rectangle(0, 0, 100, 100)
             .Bytes(true, QRect(0, 0, 100, 100), 96);
     },
     {100, 100},
     {0, 0, 50, 50}},
    {"emf in hundredths of a millimetre",
     [] {
         return RedFillEmf()
             .MapMode(8)
             .WindowExt(2540, 2540)
             .ViewportExt(96, 96)
             .Rectangle(2540 / 4, 2540 / 2, 2540 * 3 / 4, 2540)
             .Bytes(EmfFrame(96));
     },
     {96, 96},
     {24, 48, 48, 48}},
    {"emf world transform",
     [] {
         return RedFillEmf()
             .WorldTransform(2, 0, 0, 2, 10, 20)
             .Rectangle(5, 5, 25, 15)
             .Bytes(EmfFrame(100));
     },
     {100, 100},
     {20, 30, 40, 20}},
    {"emf modify world transform multiplies on the left",
     [] {
         return RedFillEmf()
             .WorldTransform(1, 0, 0, 1, 50, 0)
             .ModifyWorldTransform(2, 2, 0, 0, 2)
             .Rectangle(0, 0, 10, 10)
             .Bytes(EmfFrame(100));
     },
     {100, 100},
     {50, 0, 20, 20}},
    {"emf low metric is y up",
     [] {
         return RedFillEmf()
             .MapMode(2)
             .ViewportOrg(0, 96)
             .Rectangle(0, 127, 127, 0) // 12.7 mm = 48 px, from the bottom up
             .Bytes(EmfFrame(96));
     },
     {96, 96},
     {0, 48, 48, 48}},
};

INSTANTIATE_TEST_SUITE_P(Cases, MappingTest, ::testing::ValuesIn(MappingCases),
                         TCaseName<TMappingCase>());

// ---- primitives ----------------------------------------------------------------

TEST_F(MetafileTest, PenLineEllipseAndText) {
    const QByteArray bytes = TWmf()
                                 .Pen(0, 6, Qt::blue)
                                 .Select(0)
                                 .MoveTo(10, 20)
                                 .LineTo(190, 20)
                                 .Pen(5, 0, Qt::black)
                                 .Select(1)
                                 .Brush(0, Qt::green)
                                 .Select(2)
                                 .Ellipse(20, 40, 100, 120)
                                 .Font(-30, "Arial")
                                 .Select(3)
                                 .TextColor(Qt::black)
                                 .BkMode(1)
                                 .TextOut(120, 60, "Hi")
                                 .Bytes(true, QRect(0, 0, 200, 150), 96);
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(100, 20), Qt::blue));
    EXPECT_TRUE(Near(image.pixel(100, 16), Qt::white)) << "the line is 6 wide, not more";
    EXPECT_TRUE(Near(image.pixel(60, 80), Qt::green));
    EXPECT_TRUE(Near(image.pixel(24, 44), Qt::white)) << "the ellipse's corner stays empty";
    EXPECT_TRUE(Near(image.pixel(60, 42), Qt::green));
    // Text hangs below its reference point (top alignment) and nowhere else.
    EXPECT_GT(CountNonWhite(image, QRect(120, 60, 60, 35)), 40);
    EXPECT_EQ(CountNonWhite(image, QRect(120, 100, 80, 50)), 0);
    EXPECT_EQ(CountNonWhite(image, QRect(120, 28, 80, 28)), 0);
}

TEST_F(MetafileTest, EmfUnicodeTextIsDrawn) {
    const QByteArray bytes =
        TEmf()
            .Rec(82, {1, -24, 0, 0, 0, 400, 0, 0}, QByteArray("A\0r\0i\0a\0l\0\0\0", 12))
            .Select(1)
            .Rec(18, {1})
            .TextOutW(10, 10, QStringLiteral("Soup 汤"))
            .Bytes(EmfFrame(120));
    const QImage image = Load(bytes)->ToImage();
    EXPECT_GT(CountNonWhite(image, QRect(10, 10, 100, 30)), 50);
    EXPECT_EQ(CountNonWhite(image, QRect(0, 50, 120, 70)), 0);
}

struct TFillRuleCase {
    int Mode;
    bool HoleFilled;
    const char* Name() const { return Mode == 1 ? "Alternate" : "Winding"; }
};
void PrintTo(const TFillRuleCase& c, std::ostream* os) {
    *os << c.Name();
}

class FillRuleTest : public ::testing::TestWithParam<TFillRuleCase> {
protected:
    void SetUp() override { EnsureApp(); }
};

// Two squares wound the same way: the inner one is a hole only under ALTERNATE.
TEST_P(FillRuleTest, NestedSquares) {
    const auto c = GetParam();
    QByteArray tail;
    for (int v : {2, 4, 4})
        Put16(tail, v);
    for (QPoint p : {QPoint(0, 0), QPoint(100, 0), QPoint(100, 100), QPoint(0, 100), QPoint(30, 30),
                     QPoint(70, 30), QPoint(70, 70), QPoint(30, 70)}) {
        Put16(tail, p.x());
        Put16(tail, p.y());
    }
    QByteArray params = tail.mid(2);
    const QByteArray bytes = RedFill()
                                 .PolyFillMode(c.Mode)
                                 .Rec(0x0538, {2}, params)
                                 .Bytes(true, QRect(0, 0, 100, 100), 96);
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(10, 50), Qt::red));
    EXPECT_EQ(Near(image.pixel(50, 50), Qt::red), c.HoleFilled);
}

INSTANTIATE_TEST_SUITE_P(Modes, FillRuleTest,
                         ::testing::Values(TFillRuleCase{1, false}, TFillRuleCase{2, true}),
                         TCaseName<TFillRuleCase>());

TEST_F(MetafileTest, SaveDcRestoresPenBrushAndClip) {
    const QByteArray bytes = TWmf()
                                 .Pen(5, 0, Qt::black) // 0
                                 .Brush(0, Qt::red)    // 1
                                 .Brush(0, Qt::blue)   // 2
                                 .Pen(0, 8, Qt::green) // 3
                                 .Select(0)
                                 .Select(1)
                                 .SaveDc()
                                 .Select(2)
                                 .Select(3)
                                 .IntersectClip(0, 0, 10, 10)
                                 .RestoreDc(-1)
                                 .Rectangle(20, 20, 80, 80)
                                 .Bytes(true, QRect(0, 0, 100, 100), 96);
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(50, 50), Qt::red)) << Describe(image.pixel(50, 50)).toStdString();
    EXPECT_TRUE(Near(image.pixel(21, 50), Qt::red)) << "no green pen after the restore";
    EXPECT_TRUE(Near(image.pixel(17, 50), Qt::white));
}

TEST_F(MetafileTest, RestoreBeyondTheStackIsIgnored) {
    const QByteArray bytes = RedFill()
                                 .RestoreDc(-5)
                                 .RestoreDc(3)
                                 .SaveDc()
                                 .RestoreDc(0)
                                 .Rectangle(0, 0, 50, 50)
                                 .Bytes(true, QRect(0, 0, 50, 50), 96);
    EXPECT_TRUE(Near(Load(bytes)->ToImage().pixel(25, 25), Qt::red));
}

TEST_F(MetafileTest, IntersectClipLimitsDrawing) {
    const QByteArray bytes = RedFill()
                                 .IntersectClip(0, 0, 50, 100)
                                 .Rectangle(0, 0, 100, 100)
                                 .Bytes(true, QRect(0, 0, 100, 100), 96);
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(25, 50), Qt::red));
    EXPECT_TRUE(Near(image.pixel(75, 50), Qt::white));
}

TEST_F(MetafileTest, EmfPathIsFilled) {
    // BeginPath, MoveTo, LineTo x2, CloseFigure, EndPath, FillPath: a triangle.
    const QByteArray bytes = RedFillEmf()
                                 .Rec(59, {})
                                 .Rec(27, {0, 0})
                                 .Rec(54, {100, 0})
                                 .Rec(54, {0, 100})
                                 .Rec(61, {})
                                 .Rec(60, {})
                                 .Rec(62, {0, 0, 0, 0})
                                 .Bytes(EmfFrame(100));
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(20, 20), Qt::red));
    EXPECT_TRUE(Near(image.pixel(80, 80), Qt::white));
}

TEST_F(MetafileTest, EmfStockObjectsAndHatchedBrush) {
    const QByteArray bytes = TEmf()
                                 .Select(0x80000004) // black brush
                                 .Select(0x80000008) // null pen
                                 .Rectangle(0, 0, 50, 100)
                                 .Brush(1, 2, Qt::blue, 4) // blue cross hatch
                                 .Select(1)
                                 .Rec(18, {1}) // transparent background
                                 .Rectangle(50, 0, 100, 100)
                                 .Bytes(EmfFrame(100));
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(25, 50), Qt::black));
    const int blue = CountNonWhite(image, QRect(55, 5, 40, 90));
    EXPECT_GT(blue, 200);
    EXPECT_LT(blue, 40 * 90 / 2) << "a hatch, not a solid fill";
}

// Text bytes follow the font's character set; a missing codec would turn Chinese into noise.
TEST(MetafileText, AnsiTextFollowsTheCharset) {
    struct {
        QByteArray Bytes;
        int Charset;
        QString Expected;
    } const cases[] = {
        {"Dish", 0, QStringLiteral("Dish")},
        {"caf\xe9", 0, QStringLiteral("café")},
        {"\xc4\xe3\xba\xc3", 134, QStringLiteral("你好")},
        {"\xc4\xe3\xba\xc3", 1, QStringLiteral("你好")},
        {"\xa4\xa4", 136, QStringLiteral("中")},
        {"\xcf\xf0", 204, QStringLiteral("Пр")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Metafile::TGdiPlayer::DecodeAnsi(c.Bytes, c.Charset), c.Expected)
            << c.Bytes.toHex().constData() << " in charset " << c.Charset;
}

// ---- bitmaps ---------------------------------------------------------------------

// A 2 x 2 bitmap: bottom row red, green; top row blue, white, in each bit depth.
struct TDibCase {
    const char* Label;
    int Bpp;
    QList<QRgb> Palette;
    QByteArray Bits;
    int Height = 2;
    quint32 Compression = 0;
    const char* Name() const { return Label; }
};
void PrintTo(const TDibCase& c, std::ostream* os) {
    *os << c.Label;
}

QByteArray Row(std::initializer_list<int> bytes) {
    QByteArray row;
    for (int b : bytes)
        row.append(char(b));
    while (row.size() % 4)
        row.append(char(0));
    return row;
}

const QList<QRgb> FourColours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                 qRgb(255, 255, 255)};

const TDibCase DibCases[] = {
    {"24-bit", 24, {}, Row({0, 0, 255, 0, 255, 0}) + Row({255, 0, 0, 255, 255, 255})},
    {"32-bit", 32, {}, Row({0, 0, 255, 0, 0, 255, 0, 0}) + Row({255, 0, 0, 0, 255, 255, 255, 0})},
    {"8-bit", 8, FourColours, Row({0, 1}) + Row({2, 3})},
    {"4-bit", 4, FourColours, Row({0x01}) + Row({0x23})},
    {"top-down 24-bit", 24, {}, Row({255, 0, 0, 255, 255, 255}) + Row({0, 0, 255, 0, 255, 0}), -2},
    {"16-bit", 16, {}, Row({0x00, 0x7C, 0xE0, 0x03}) + Row({0x1F, 0x00, 0xFF, 0x7F})},
    {"8-bit run-length", 8, FourColours, Row({1, 0, 1, 1, 0, 0, 1, 2, 1, 3, 0, 0, 0, 1}), 2, 1},
    {"4-bit run-length", 4, FourColours, Row({2, 0x01, 0, 0, 2, 0x23, 0, 0, 0, 1}), 2, 2},
};

class DibBlitTest : public ::testing::TestWithParam<TDibCase> {
protected:
    void SetUp() override { EnsureApp(); }
    static void ExpectQuadrants(const QImage& image, const char* name) {
        EXPECT_TRUE(Near(image.pixel(10, 10), Qt::blue)) << name;
        EXPECT_TRUE(Near(image.pixel(30, 10), Qt::white)) << name;
        EXPECT_TRUE(Near(image.pixel(10, 30), Qt::red)) << name;
        EXPECT_TRUE(Near(image.pixel(30, 30), Qt::green)) << name;
    }
};

TEST_P(DibBlitTest, WmfStretchDib) {
    const TDibCase& c = GetParam();
    const QByteArray dib = Dib(2, c.Height, c.Bpp, c.Palette, c.Bits, c.Compression);
    const QByteArray bytes =
        TWmf().StretchDib(0, 0, 40, 40, 0, 0, 2, 2, dib).Bytes(true, QRect(0, 0, 40, 40), 96);
    ExpectQuadrants(Load(bytes)->ToImage(), c.Label);
}

TEST_P(DibBlitTest, EmfStretchDibits) {
    const TDibCase& c = GetParam();
    const QByteArray dib = Dib(2, c.Height, c.Bpp, c.Palette, c.Bits, c.Compression);
    const QByteArray bytes =
        TEmf()
            .StretchDibits(0, 0, 40, 40, 0, 0, 2, 2, dib, 40 + 4 * int(c.Palette.size()))
            .Bytes(EmfFrame(40));
    ExpectQuadrants(Load(bytes)->ToImage(), c.Label);
}

INSTANTIATE_TEST_SUITE_P(Depths, DibBlitTest, ::testing::ValuesIn(DibCases), TCaseName<TDibCase>());

// A run-length bitmap cannot claim more pixels than its runs could fill.
TEST_F(MetafileTest, RunLengthClaimBeyondItsDataIsNotDrawn) {
    const QByteArray dib = Dib(5000, 5000, 8, FourColours, Row({255, 0, 0, 1}), 1);
    const QByteArray bytes =
        TWmf().StretchDib(0, 0, 40, 40, 0, 0, 5000, 5000, dib).Bytes(true, QRect(0, 0, 40, 40), 96);
    EXPECT_EQ(CountNonWhite(Load(bytes)->ToImage(), QRect(0, 0, 40, 40)), 0);
}

TEST_F(MetafileTest, DibSourceRectangleAndMirroring) {
    const QByteArray dib = Dib(2, 2, 24, {}, DibCases[0].Bits);
    // The right column only (green over white), drawn mirrored left to right.
    const QByteArray bytes =
        TWmf().StretchDib(40, 0, -40, 40, 1, 0, 1, 2, dib).Bytes(true, QRect(0, 0, 40, 40), 96);
    const QImage image = Load(bytes)->ToImage();
    EXPECT_TRUE(Near(image.pixel(10, 10), Qt::white));
    EXPECT_TRUE(Near(image.pixel(30, 30), Qt::green));
    EXPECT_TRUE(Near(image.pixel(10, 30), Qt::green));
}

// ---- the graphic's own behaviour --------------------------------------------------

TEST_F(MetafileTest, CloneAndSaveKeepTheBytes) {
    const QByteArray bytes = RedFill().Rectangle(0, 0, 30, 20).Bytes(true, QRect(0, 0, 30, 20), 96);
    auto m = Load(bytes);
    auto copy = m->Clone();
    ASSERT_EQ(copy->Width(), 30);
    ASSERT_EQ(copy->Height(), 20);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    copy->SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);
    EXPECT_EQ(copy->ToImage(), m->ToImage());
}

TEST_F(MetafileTest, FailedLoadKeepsThePreviousPicture) {
    auto m = Load(RedFill().Rectangle(0, 0, 30, 20).Bytes(true, QRect(0, 0, 30, 20), 96));
    QByteArray junk("not a metafile at all, just words");
    QBuffer buffer(&junk);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_THROW(m->LoadFromStream(buffer), EInvalidGraphic);
    EXPECT_EQ(m->Width(), 30);
    EXPECT_FALSE(m->Enhanced());
}

// A device of endless zeros: one that tells its huge size must be refused unread,
// a sequential one soon after the limit, without a buffer of the limit reserved up front.
class THugeDevice : public QIODevice {
public:
    explicit THugeDevice(bool sequential) : FSequential(sequential) {}
    qint64 BytesRead = 0;
    qint64 LargestRead = 0;
    qint64 size() const override { return FSequential ? 0 : qint64(1) << 40; }
    bool isSequential() const override { return FSequential; }

protected:
    qint64 readData(char* data, qint64 max) override {
        std::memset(data, 0, size_t(max));
        BytesRead += max;
        LargestRead = std::max(LargestRead, max);
        return max;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    bool FSequential;
};

TEST_F(MetafileTest, OversizedStreamIsRefused) {
    for (bool sequential : {false, true}) {
        THugeDevice device(sequential);
        device.open(QIODevice::ReadOnly);
        TMetafile m;
        try {
            m.LoadFromStream(device);
            ADD_FAILURE() << "accepted, sequential " << sequential;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("图元文件无效"));
        }
        if (sequential) {
            EXPECT_LT(device.BytesRead, 80 * 1024 * 1024);
            EXPECT_LE(device.LargestRead, 1024 * 1024) << "the limit was reserved up front";
        } else
            EXPECT_EQ(device.BytesRead, 0);
    }
}

// A pipe-like source is read to its end.
TEST_F(MetafileTest, SequentialSourceLoads) {
    const QByteArray bytes = RedFill().Rectangle(0, 0, 30, 20).Bytes(true, QRect(0, 0, 30, 20), 96);
    struct TPipe : QIODevice {
        QByteArray Data;
        bool isSequential() const override { return true; }
        qint64 readData(char* data, qint64 max) override {
            const qint64 n = std::min<qint64>({max, Data.size(), 7});
            std::memcpy(data, Data.constData(), size_t(n));
            Data.remove(0, n);
            return n;
        }
        qint64 writeData(const char*, qint64) override { return -1; }
    } pipe;
    pipe.Data = bytes;
    pipe.open(QIODevice::ReadOnly);
    TMetafile m;
    m.LoadFromStream(pipe);
    EXPECT_EQ(m.Width(), 30);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    m.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);
}

TEST_F(MetafileTest, EmptyMetafileDrawsNothing) {
    TMetafile m;
    EXPECT_EQ(m.Width(), 0);
    EXPECT_TRUE(m.Empty());
    EXPECT_TRUE(m.ToImage().isNull());
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    m.SaveToStream(out);
    EXPECT_TRUE(out.data().isEmpty());
}

// ---- broken input ------------------------------------------------------------------
// Damage to the file's structure (headers, record framing, frame size) is refused at
// load time; damage inside a record's parameters is skipped when drawing.

struct TBrokenCase {
    const char* File;
    bool Loads;
    const char* Name() const { return File; }
};
void PrintTo(const TBrokenCase& c, std::ostream* os) {
    *os << c.File;
}

class BrokenFixtureTest : public ::testing::TestWithParam<TBrokenCase> {
protected:
    void SetUp() override { EnsureApp(); }
};

TEST_P(BrokenFixtureTest, RefusedOrDrawnSafely) {
    const TBrokenCase c = GetParam();
    const QByteArray source = qgetenv("MYCOOK_SOURCE_DIR");
    if (source.isEmpty())
        GTEST_SKIP() << "MYCOOK_SOURCE_DIR not set";
    QFile file(QString::fromLocal8Bit(source) + "/tests/metafile/fixtures/" + c.File);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.File;
    TMetafile m;
    if (!c.Loads) {
        try {
            m.LoadFromStream(file);
            FAIL() << c.File << " was accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("图元文件无效")) << c.File;
        }
        return;
    }
    ASSERT_NO_THROW(m.LoadFromStream(file)) << c.File;
    const QImage image = m.ToImage();
    EXPECT_EQ(image.size(), QSize(m.Width(), m.Height())) << c.File;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, BrokenFixtureTest,
    ::testing::Values(
        TBrokenCase{"empty.wmf", false}, TBrokenCase{"truncated_placeable.wmf", false},
        TBrokenCase{"truncated_header.emf", false}, TBrokenCase{"bad_version.wmf", false},
        TBrokenCase{"record_size_zero.wmf", false}, TBrokenCase{"record_size_zero.emf", false},
        TBrokenCase{"record_beyond_end.wmf", false}, TBrokenCase{"record_beyond_end.emf", false},
        TBrokenCase{"partial_record.wmf", false}, TBrokenCase{"huge_frame.wmf", false},
        TBrokenCase{"huge_frame.emf", false}, TBrokenCase{"zero_inch.wmf", false},
        TBrokenCase{"inverted_frame.emf", false},
        TBrokenCase{"emf_header_size_beyond_end.emf", false},
        TBrokenCase{"object_index_out_of_range.wmf", true},
        TBrokenCase{"object_index_out_of_range.emf", true}, TBrokenCase{"huge_dib_claim.wmf", true},
        TBrokenCase{"huge_dib_claim.emf", true}, TBrokenCase{"point_count_beyond_record.wmf", true},
        TBrokenCase{"polypolygon_counts_overflow.emf", true},
        TBrokenCase{"text_offsets_outside.emf", true}, TBrokenCase{"deep_savedc.wmf", true}),
    TCaseName<TBrokenCase>());

} // namespace

namespace {
// The device context after playing a file onto a player that only gathers bounds,
// or that paints (only then does it clip).
struct TPlayed {
    Metafile::TDcState Dc;
    QRectF Bounds;
};
TPlayed Play(const QByteArray& bytes, bool paint = false) {
    const Metafile::TMetafileInfo info = Metafile::Inspect(bytes);
    QImage target(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    Metafile::TGdiPlayer player(paint ? &painter : nullptr, QTransform(), QRectF(0, 0, 100, 100),
                                QSizeF(96, 96));
    (info.Enhanced ? Metafile::PlayEmf : Metafile::PlayWmf)(bytes, info, player);
    return {player.Dc(), player.Bounds()};
}

// Records of one number, colour, point or rectangle: each lands in its own place of
// the device context, in both formats (WMF: 16-bit words, y first; EMF: 32-bit).
TEST(OneFieldRecords, SetWhatTheirCallSets) {
    const qint64 red = ColorRef(Qt::red);
    const QPointF p(10, 20);
    const QSizeF s(10, 20);
    const QRect frame(0, 0, 100, 100);
    struct TCase {
        const char* Name;
        QByteArray Wmf;
        QByteArray Emf;
        std::function<bool(const TPlayed&)> Check;
    };
    const TCase cases[] = {
        {"BkMode", TWmf().Rec(0x0102, {1}).Bytes(true, frame), TEmf().Rec(18, {1}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.BkMode == 1;
         }},
        {"MapMode", TWmf().Rec(0x0103, {2}).Bytes(true, frame), TEmf().Rec(17, {2}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.MapMode == 2;
         }},
        {"Rop2", TWmf().Rec(0x0104, {5}).Bytes(true, frame), TEmf().Rec(20, {5}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.Rop2 == 5;
         }},
        {"PolyFillMode", TWmf().Rec(0x0106, {2}).Bytes(true, frame),
         TEmf().Rec(19, {2}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.PolyFillMode == 2;
         }},
        {"StretchMode", TWmf().Rec(0x0107, {3}).Bytes(true, frame),
         TEmf().Rec(21, {3}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.StretchMode == 3;
         }},
        {"TextAlign", TWmf().Rec(0x012E, {24}).Bytes(true, frame),
         TEmf().Rec(22, {24}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.TextAlign == 24;
         }},
        {"BkColor", TWmf().Rec(0x0201, {red & 0xFFFF, red >> 16}).Bytes(true, frame),
         TEmf().Rec(25, {red}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.BkColor == Qt::red && r.Dc.TextColor == Qt::black;
         }},
        {"TextColor", TWmf().Rec(0x0209, {red & 0xFFFF, red >> 16}).Bytes(true, frame),
         TEmf().Rec(24, {red}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.TextColor == Qt::red && r.Dc.BkColor == Qt::white;
         }},
        {"WindowOrg", TWmf().Rec(0x020B, {20, 10}).Bytes(true, frame),
         TEmf().Rec(10, {10, 20}).Bytes(frame),
         [p](const TPlayed& r) {
             return r.Dc.WindowOrg == p;
         }},
        {"WindowExt", TWmf().Rec(0x020C, {20, 10}).Bytes(true, frame),
         TEmf().Rec(9, {10, 20}).Bytes(frame),
         [s](const TPlayed& r) {
             return r.Dc.WindowExt == s;
         }},
        {"ViewportOrg", TWmf().Rec(0x020D, {20, 10}).Bytes(true, frame),
         TEmf().Rec(12, {10, 20}).Bytes(frame),
         [p](const TPlayed& r) {
             return r.Dc.ViewportOrg == p;
         }},
        {"ViewportExt", TWmf().Rec(0x020E, {20, 10}).Bytes(true, frame),
         TEmf().Rec(11, {10, 20}).Bytes(frame),
         [s](const TPlayed& r) {
             return r.Dc.ViewportExt == s;
         }},
        {"MoveTo", TWmf().Rec(0x0214, {20, 10}).Bytes(true, frame),
         TEmf().Rec(27, {10, 20}).Bytes(frame),
         [p](const TPlayed& r) {
             return r.Dc.CurrentPos == p && r.Bounds.isEmpty();
         }},
        {"LineTo", TWmf().Rec(0x0213, {20, 10}).Bytes(true, frame),
         TEmf().Rec(54, {10, 20}).Bytes(frame),
         [p](const TPlayed& r) {
             return r.Dc.CurrentPos == p && !r.Bounds.isEmpty();
         }},
        {"IntersectClipRect", TWmf().Rec(0x0416, {20, 20, 10, 10}).Bytes(true, frame),
         TEmf().Rec(30, {10, 10, 20, 20}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.HasClip && r.Dc.Clip.boundingRect().width() <= 12;
         }},
        {"ExcludeClipRect", TWmf().Rec(0x0415, {20, 20, 10, 10}).Bytes(true, frame),
         TEmf().Rec(29, {10, 10, 20, 20}).Bytes(frame),
         [](const TPlayed& r) {
             return r.Dc.HasClip && r.Dc.Clip.boundingRect().width() > 12;
         }},
        {"Rectangle", TWmf().Rec(0x041B, {20, 20, 10, 10}).Bytes(true, frame),
         TEmf().Rec(43, {10, 10, 20, 20}).Bytes(frame),
         [](const TPlayed& r) {
             return !r.Bounds.isEmpty() && !r.Dc.HasClip;
         }},
    };
    EnsureApp();
    for (const TCase& c : cases) {
        const bool clips = QByteArray(c.Name).contains("Clip");
        EXPECT_TRUE(c.Check(Play(c.Wmf, clips))) << c.Name << " (WMF)";
        EXPECT_TRUE(c.Check(Play(c.Emf, clips))) << c.Name << " (EMF)";
    }
    // The WMF offsets move from where the origins are.
    const TPlayed moved = Play(TWmf()
                                   .Rec(0x020B, {2, 1})
                                   .Rec(0x020F, {20, 10})
                                   .Rec(0x020D, {4, 3})
                                   .Rec(0x0211, {20, 10})
                                   .Bytes(true, frame));
    EXPECT_EQ(moved.Dc.WindowOrg, QPointF(11, 22));
    EXPECT_EQ(moved.Dc.ViewportOrg, QPointF(13, 24));
    // A colour cut short is not taken; a number cut short is read as zero.
    EXPECT_EQ(Play(TWmf().Rec(0x0209, {0x00FF}).Bytes(true, frame)).Dc.TextColor,
              QColor(Qt::black));
    EXPECT_EQ(Play(TWmf().Rec(0x0102, {}).Bytes(true, frame)).Dc.BkMode, 0);
}
} // namespace
