// The unpacked container and its directory, the store, the description parser
// and the skinpack tool.
#include "../common/RunTool.h"
#include "SkinRead.h"
#include "SkinTestUtil.h"
#include "WinConvert.h"
#include "WinSkinIni.h"
#include "WinSkinStore.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::vector<TSkinEntry> SampleEntries = {
    {QStringLiteral("Top.bmp"), QByteArray("TOPBYTES")},
    {QStringLiteral("empty.bmp"), QByteArray()},
    {QStringLiteral("SKIN.INI"), QByteArray("[A]\r\nb=1\r\n")},
    {QStringLiteral("mixed.BMP"), QByteArray("xyz")},
};

void PutInt(QByteArray& a, qint64 offset, qint32 v) {
    for (int i = 0; i < 4; ++i) {
        a[offset + i] = static_cast<char>((static_cast<quint32>(v) >> (8 * i)) & 0xFF);
    }
}

class ReaderVersion : public ::testing::TestWithParam<int> {};

TEST_P(ReaderVersion, KnownVersionsReadTheDirectoryAndEntries) {
    TMessageCatcher messages;
    TSkinReader reader;
    ASSERT_TRUE(reader.Loadfromstream(TSkinReader::MakeContainer(SampleEntries, GetParam())));
    EXPECT_EQ(reader.Dir, QStringList({"top.bmp", "empty.bmp", "skin.ini", "mixed.bmp"}));
    QByteArray bytes;
    reader.readfile(QStringLiteral("TOP.BMP"), bytes);
    EXPECT_EQ(bytes, QByteArray("TOPBYTES"));
    reader.readfile(QStringLiteral("mixed.bmp"), bytes);
    EXPECT_EQ(bytes, QByteArray("xyz"));
    EXPECT_TRUE(messages.Messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, ReaderVersion,
                         ::testing::Values(20000, 30000, 40000, 50000, 60000, 70000));

TEST(SkinReader, InformationBlockLengthsFollowTheVersionTable) {
    const std::pair<int, int> table[] = {{20000, 16}, {30000, 272}, {40000, 96},
                                         {50000, 64}, {60000, 133}, {70000, 85}};
    for (auto [version, base] : table) {
        EXPECT_EQ(TSkinReader::VersionBase(version), base);
        // The directory must be read exactly at the base: shift it and the names change.
        QByteArray image = TSkinReader::MakeImage({{QStringLiteral("a.bmp"), "1"}}, version);
        EXPECT_EQ(image.mid(base, 5), QByteArray("a.bmp")) << version;
    }
}

class ReaderBadVersion : public ::testing::TestWithParam<int> {};

TEST_P(ReaderBadVersion, OtherVersionsShowTheMessageOnceAndReadNothing) {
    TMessageCatcher messages;
    TSkinReader reader;
    EXPECT_FALSE(reader.Loadfromstream(TSkinReader::MakeContainer(SampleEntries, GetParam())));
    EXPECT_EQ(
        messages.Messages,
        QStringList({QStringLiteral("This is Older Skin File\rPlease update to new version !")}));
    EXPECT_TRUE(reader.Dir.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Outside, ReaderBadVersion, ::testing::Values(10000, 80000, 0, -1, 20001));

TEST(SkinReader, UpperCaseIniFoundByLowerCaseText) {
    TSkinReader reader;
    ASSERT_TRUE(reader.Loadfromstream(TSkinReader::MakeContainer(SampleEntries)));
    QByteArray bytes;
    QString name;
    reader.readIni(QStringLiteral(".ini"), bytes, name);
    EXPECT_EQ(name, QStringLiteral("skin.ini"));
    EXPECT_EQ(bytes, QByteArray("[A]\r\nb=1\r\n"));
    // The part is taken as given: the directory is lower case.
    reader.readIni(QStringLiteral(".INI"), bytes, name);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(SkinReader, MissingEntryLeavesTheStreamEmpty) {
    TSkinReader reader;
    ASSERT_TRUE(reader.Loadfromstream(TSkinReader::MakeContainer(SampleEntries)));
    QByteArray bytes("old");
    reader.readfile(QStringLiteral("none.bmp"), bytes);
    EXPECT_TRUE(bytes.isEmpty());
    reader.readfile(QStringLiteral("empty.bmp"), bytes);
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(SkinReader, DirectoryLinesSplitAtCrLfAndCrAndLf) {
    QByteArray image = TSkinReader::MakeImage({}, 20000);
    const QByteArray dir("a.bmp\rb.bmp\nc.bmp\r\nd.ini\r\n");
    PutInt(image, 4, dir.size());
    image.append(dir);
    for (int i = 0; i < 4; ++i) {
        image.append(QByteArray("\x01\x00\x00\x00", 4));
    }
    image.append("ABCD");
    TSkinReader reader;
    ASSERT_TRUE(reader.Loadfromstream(TLZH::PackContainer(image)));
    EXPECT_EQ(reader.Dir, QStringList({"a.bmp", "b.bmp", "c.bmp", "d.ini"}));
    QByteArray bytes;
    reader.readfile(QStringLiteral("c.bmp"), bytes);
    EXPECT_EQ(bytes, QByteArray("C"));
}

// Containers outside the format are refused without a message.
TEST(SkinReader, BrokenContainersAreRefused) {
    const QByteArray good = TSkinReader::MakeImage(SampleEntries, 20000);
    struct TCase {
        const char* Name;
        QByteArray Image;
    };
    std::vector<TCase> cases;
    cases.push_back({"shorter than the header", good.left(12)});
    {
        QByteArray a = good;
        PutInt(a, 4, 1 << 20); // directory longer than the data
        cases.push_back({"directory past the end", a});
    }
    {
        QByteArray a = good;
        PutInt(a, 4, -1);
        cases.push_back({"negative directory length", a});
    }
    {
        QByteArray a = good;
        const int sizesAt = good.indexOf("mixed.BMP") + 9; // the directory ends with it
        PutInt(a, sizesAt, 1 << 24);                       // first entry larger than everything
        cases.push_back({"sizes past the data", a});
        QByteArray b = good;
        PutInt(b, sizesAt, -8);
        cases.push_back({"negative size", b});
    }
    {
        std::vector<TSkinEntry> many;
        for (int i = 0; i < 1002; ++i) {
            many.push_back({QStringLiteral("e%1.bmp").arg(i), QByteArray()});
        }
        cases.push_back({"1,002 names", TSkinReader::MakeImage(many, 20000)});
    }
    {
        QByteArray a = good;
        a.truncate(a.size() - 1); // the last entry lacks a byte
        cases.push_back({"entries cut short", a});
    }
    TMessageCatcher messages;
    for (const TCase& c : cases) {
        TSkinReader reader;
        EXPECT_FALSE(reader.Loadfromstream(TLZH::PackContainer(c.Image))) << c.Name;
        EXPECT_TRUE(reader.Dir.isEmpty()) << c.Name;
    }
    // Garbage that is not even a stream.
    TSkinReader reader;
    EXPECT_FALSE(reader.Loadfromstream(QByteArray("\xff\xff\x00\x00garbage", 11)));
    EXPECT_FALSE(reader.Loadfromstream(QByteArray()));
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST(SkinReader, ExactlyOneThousandAndOneNamesAreAccepted) {
    std::vector<TSkinEntry> many;
    for (int i = 0; i < 1001; ++i) {
        many.push_back({QStringLiteral("e%1.bmp").arg(i), QByteArray(1, char(i))});
    }
    TSkinReader reader;
    ASSERT_TRUE(reader.Loadfromstream(TSkinReader::MakeContainer(many)));
    QByteArray bytes;
    reader.readfile(QStringLiteral("e1000.bmp"), bytes);
    EXPECT_EQ(bytes, QByteArray(1, char(1000 & 0xFF)));
}

TEST(SkinReader, LoadsFromAFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.skn"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(TSkinReader::MakeContainer(SampleEntries));
    f.close();
    TSkinReader reader;
    EXPECT_TRUE(reader.loadfromfile(path));
    EXPECT_EQ(reader.Dir.size(), 4);
    EXPECT_FALSE(reader.loadfromfile(dir.filePath(QStringLiteral("missing.skn"))));
}

TEST(SkinStore, ItemsAreNamedByIdAndNamesStayUnique) {
    TSkinStore store;
    TSkinCollectionItem& a = store.Add();
    TSkinCollectionItem& b = store.Add();
    EXPECT_EQ(a.Name(), QStringLiteral("SkinItem0"));
    EXPECT_EQ(b.Name(), QStringLiteral("SkinItem1"));
    EXPECT_EQ(a.SkinData(), QStringLiteral("Load Skin"));
    b.DataStream = QByteArray(10, 'x');
    EXPECT_EQ(b.DataSize(), 10);
    a.SetName(QStringLiteral("SkinItem0")); // its own name again
    try {
        b.SetName(QStringLiteral("SkinItem0"));
        FAIL() << "renamed onto a used name";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The name SkinItem0 is already used."));
    }
    EXPECT_EQ(b.Name(), QStringLiteral("SkinItem1"));
    b.SetName(QStringLiteral("Night"));
    EXPECT_EQ(store.IndexOfName(QStringLiteral("Night")), 1);
    store.Delete(7); // out of range: nothing
    EXPECT_EQ(store.Count(), 2);
}

// --- the description

TQuickIni Ini(const char* text) {
    TQuickIni ini;
    ini.LoadFromBytes(QByteArray(text));
    return ini;
}

TEST(QuickIni, LinesAreSplitTrimmedAndFiltered) {
    const TQuickIni ini =
        Ini("  [One]  \r\n; comment\r  a = 1 \n\n\r\n[Two]\rb=2\n;x=1\nc\0[Three]\nz=9");
    EXPECT_EQ(ini.Lines(), QStringList({"[One]", "a = 1", "[Two]", "b=2", "c"}));
    QStringList sections;
    ini.ReadSections(&sections);
    EXPECT_EQ(sections, QStringList({"One", "Two"}));
}

TEST(QuickIni, LookUpIgnoresCaseAndStopsAtTheNextSection) {
    const TQuickIni ini = Ini("[Main]\nKey = first \nkey=second\nempty=\n[ main ]\nother=1\n"
                              "[Next]\nlate=3\n[MAIN]\nlate=4\n");
    EXPECT_EQ(ini.ReadString(QStringLiteral("main"), QStringLiteral("KEY"), QStringLiteral("d")),
              QStringLiteral("first"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Main"), QStringLiteral("empty"), QStringLiteral("d")),
              QStringLiteral("d"));
    // Only the first [Main] header is searched; [ main ] is another name.
    EXPECT_EQ(ini.ReadString(QStringLiteral("Main"), QStringLiteral("late"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(ini.ReadString(QStringLiteral(" main "), QStringLiteral("other"), QString()),
              QStringLiteral("1"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("None"), QStringLiteral("x"), QStringLiteral("d")),
              QStringLiteral("d"));
}

struct TIntCase {
    const char* Text;
    int Expected;
};

class QuickIniInteger : public ::testing::TestWithParam<TIntCase> {};

TEST_P(QuickIniInteger, ReadsTheDescriptionsIntegerForms) {
    const TIntCase& c = GetParam();
    TQuickIni ini;
    ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QString::fromLatin1(c.Text));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), -77), c.Expected) << c.Text;
}

INSTANTIATE_TEST_SUITE_P(Forms, QuickIniInteger,
                         ::testing::Values(TIntCase{"0x1F", 31}, TIntCase{"0X1F", 31},
                                           TIntCase{"$1F", 31}, TIntCase{"$1f", 31},
                                           TIntCase{"31", 31}, TIntCase{"-12", -12},
                                           TIntCase{"+7", 7}, TIntCase{"abc", -77},
                                           TIntCase{"", -77}, TIntCase{"12abc", -77},
                                           TIntCase{"0x", -77}, TIntCase{"$", -77},
                                           TIntCase{"1 2", -77}, TIntCase{"2147483647", 2147483647},
                                           TIntCase{"2147483648", -77}, TIntCase{"$FFFFFFFF", -1},
                                           TIntCase{"$100000000", -77}, TIntCase{"0x1G", -77}));

TEST(QuickIni, BoolIsIntegerNotZero) {
    const TQuickIni ini = Ini("[S]\na=0\nb=2\nc=yes\n");
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("S"), QStringLiteral("a"), true));
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("S"), QStringLiteral("b"), false));
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("S"), QStringLiteral("c"), true));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("S"), QStringLiteral("c"), false));
}

TEST(QuickIni, UnassignedListFailsTheAssertion) {
    const TQuickIni ini = Ini("[S]\na=1\n");
    for (auto call : {std::function<void()>([&] { ini.ReadSection(QStringLiteral("S"), nullptr); }),
                      std::function<void()>([&] { ini.ReadSections(nullptr); })}) {
        try {
            call();
            FAIL() << "no assertion";
        } catch (const EAssertionFailed& e) {
            EXPECT_TRUE(e.Message().startsWith(
                QStringLiteral("The parameter Strings is unassigned! (WinSkinIni, line ")));
        }
    }
}

TEST(QuickIni, WritesDeletesAndErasesKeepSectionsInStep) {
    TQuickIni ini = Ini("[A]\nx=1\n[B]\ny=2\n");
    ini.WriteString(QStringLiteral("a"), QStringLiteral("X"), QStringLiteral("5"));
    ini.WriteInteger(QStringLiteral("A"), QStringLiteral("z"), 6);
    ini.WriteBool(QStringLiteral("C"), QStringLiteral("w"), true);
    EXPECT_EQ(ini.Lines(), QStringList({"[A]", "X=5", "z=6", "[B]", "y=2", "[C]", "w=1"}));
    QStringList keys;
    ini.ReadSection(QStringLiteral("A"), &keys);
    EXPECT_EQ(keys, QStringList({"X", "z"}));
    ini.ReadSectionValues(QStringLiteral("B"), &keys);
    EXPECT_EQ(keys, QStringList({"y=2"}));
    ini.DeleteKey(QStringLiteral("A"), QStringLiteral("x"));
    ini.EraseSection(QStringLiteral("B"));
    EXPECT_EQ(ini.Lines(), QStringList({"[A]", "z=6", "[C]", "w=1"}));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("C"), QStringLiteral("w"), 0), 1);
    ini.Clear();
    EXPECT_TRUE(ini.Lines().isEmpty());
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("C")));
}

TEST(QuickIni, SavesAndLoadsPlainAndPacked) {
    QTemporaryDir dir;
    TQuickIni ini = Ini("[Colours]\nButtonFace=1,2,3\n[\xe9t\xe9]\nk=\xff\n");
    const QString plain = dir.filePath(QStringLiteral("a.ini"));
    const QString packed = dir.filePath(QStringLiteral("a.zip"));
    ini.SaveToFile(plain);
    ini.SavetoZip(packed);
    TQuickIni a;
    a.LoadFromFile(plain);
    TQuickIni b;
    b.LoadFromZip(packed);
    EXPECT_EQ(a.Lines(), ini.Lines());
    EXPECT_EQ(b.Lines(), ini.Lines());
    QFile f(packed);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(TLZH::UnpackContainer(f.readAll()), ini.SaveToBytes());
    // Auto writes every change back.
    a.SetAuto(true);
    a.WriteString(QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("v"));
    TQuickIni c;
    c.LoadFromFile(plain);
    EXPECT_EQ(c.ReadString(QStringLiteral("new"), QStringLiteral("K"), QString()),
              QStringLiteral("v"));
    EXPECT_THROW(c.LoadFromFile(dir.filePath(QStringLiteral("none.ini"))), EFOpenError);
    EXPECT_THROW(c.LoadFromZip(plain), ElzhException); // a plain file is no container
}

// --- skinpack, the command-line packer

#ifdef SKINPACK_PATH
using TRun = TToolRun;

TRun Skinpack(const QStringList& args) {
    return RunTool(QStringLiteral(SKINPACK_PATH), args, 60000);
}

TEST(Skinpack, PackListIniUnpackRoundTrip) {
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("src"));
    QDir().mkpath(src);
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(src + QStringLiteral("/Top.bmp"), QByteArray(1000, 'a'));
    write(src + QStringLiteral("/skin.ini"), QByteArray("[Personality]\r\nTop=Top.bmp\r\n"));
    write(src + QStringLiteral("/notes.txt"), QByteArray("not packed"));
    const QString out = dir.filePath(QStringLiteral("s.skn"));
    EXPECT_EQ(Skinpack({"pack", src, out}).Code, 0);
    const TRun list = Skinpack({"list", out});
    EXPECT_EQ(list.Code, 0);
    EXPECT_EQ(list.Out, QByteArray("skin.ini\t28\ntop.bmp\t1000\n"));
    EXPECT_EQ(Skinpack({"ini", out}).Out, QByteArray("[Personality]\r\nTop=Top.bmp\r\n"));
    const QString back = dir.filePath(QStringLiteral("back"));
    EXPECT_EQ(Skinpack({"unpack", out, back}).Code, 0);
    QFile top(back + QStringLiteral("/top.bmp"));
    ASSERT_TRUE(top.open(QIODevice::ReadOnly));
    EXPECT_EQ(top.readAll(), QByteArray(1000, 'a'));
}

TEST(Skinpack, LzhSubcommandsRoundTripAnyFile) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in"));
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray data;
    for (int i = 0; i < 20000; ++i) {
        data.append(static_cast<char>((i * i) >> 3));
    }
    f.write(data);
    f.close();
    const QString packed = dir.filePath(QStringLiteral("p"));
    const QString back = dir.filePath(QStringLiteral("b"));
    EXPECT_EQ(Skinpack({"lzh-pack", in, packed}).Code, 0);
    EXPECT_EQ(Skinpack({"lzh-unpack", packed, back}).Code, 0);
    QFile b(back);
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), data);
}

TEST(Skinpack, FailuresExitOneWithOneLine) {
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.skn"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(TSkinReader::MakeContainer({{QStringLiteral("a.ini"), "x"}}, 80000));
    f.close();
    const QString unsafe = dir.filePath(QStringLiteral("unsafe.skn"));
    QFile u(unsafe);
    ASSERT_TRUE(u.open(QIODevice::WriteOnly));
    u.write(TSkinReader::MakeContainer({{QStringLiteral("../evil.bmp"), "x"}}));
    u.close();
    const QStringList cases[] = {
        {},
        {"frobnicate"},
        {"list"},
        {"list", dir.filePath(QStringLiteral("missing"))},
        {"list", bad},
        {"pack", dir.filePath(QStringLiteral("nofolder")), dir.filePath(QStringLiteral("o"))},
        {"pack", dir.path(), dir.filePath(QStringLiteral("o"))}, // no ini inside
        {"unpack", unsafe, dir.filePath(QStringLiteral("out"))},
        {"lzh-unpack", bad + QStringLiteral("x"), dir.filePath(QStringLiteral("o"))},
    };
    for (const QStringList& args : cases) {
        const TRun r = Skinpack(args);
        EXPECT_EQ(r.Code, 1) << args.join(u' ').toStdString();
        EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
    }
    EXPECT_TRUE(Skinpack({"list", bad}).Err.contains("This is Older Skin File"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("evil.bmp"))));
}
#endif

} // namespace
