// Building a skin from its container: element readers, defaults and clamps,
// the colour scheme, title-bar buttons, and our default skin in full.
#include "SkinResource.h"
#include "SkinTestUtil.h"
#include "WinConvert.h"
#include "WinSkinData.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "test_skin_data";
    static char* argv[] = {name, nullptr};
    if (!qGuiApp) {
        static QGuiApplication app(argc, argv);
    }
}

QByteArray Bmp(int w, int h, QRgb color = qRgb(10, 20, 30)) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QByteArray StreamValue(const QByteArray& container) {
    QByteArray value(4, '\0');
    const auto n = static_cast<quint32>(container.size());
    for (int i = 0; i < 4; ++i) {
        value[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    }
    return value + container;
}

// A skin of the given description; every bitmap it names is a 16 x 8 image
// unless listed in `bitmaps`.
struct TSkinBuilder {
    QString Ini;
    std::vector<TSkinEntry> Bitmaps;

    TSkinBuilder& Add(const char* name, const QByteArray& bytes) {
        Bitmaps.push_back({QString::fromLatin1(name), bytes});
        return *this;
    }
    QByteArray Container(int version = 70000) const {
        std::vector<TSkinEntry> entries = Bitmaps;
        entries.push_back({QStringLiteral("skin.ini"), Ini.toLatin1()});
        return TSkinReader::MakeContainer(entries, version);
    }
};

std::unique_ptr<TSkinData> Build(const TSkinBuilder& skin) {
    EnsureApp();
    auto data = std::make_unique<TSkinData>();
    EXPECT_TRUE(data->ReadSkinStream(StreamValue(skin.Container())));
    EXPECT_FALSE(data->Empty);
    return data;
}

TEST(SkinDataCreation, PropertiesTakeTheirCreationValues) {
    EnsureApp();
    TSkinData data;
    EXPECT_FALSE(data.Active());
    EXPECT_EQ(data.DisableTag, 99);
    EXPECT_EQ(data.SkinControls.Bits(), 0x1FFFFBu); // all 22 but xcMenuItem and xcFastReport
    EXPECT_FALSE(data.SkinControls.Contains(xcMenuItem));
    EXPECT_TRUE(data.SkinControls.Contains(xcSystemMenu));
    EXPECT_EQ(data.Options, (TSkinOptions{xoPreview, xoToolbarBK, xoCaptionButtonHint}));
    EXPECT_EQ(data.SkinFormtype, sfMainform);
    EXPECT_TRUE(data.MenuUpdate);
    EXPECT_FALSE(data.MenuMerge);
    EXPECT_TRUE(data.MenuMsg);
    EXPECT_TRUE(data.Empty);
    EXPECT_EQ(data.SkinStore(), QStringLiteral("(none)"));
    EXPECT_EQ(data.FContainers.Bits(), 0x3FFu);
    // The class map: 118 lines, three class names twice, the png speed button among them.
    ASSERT_EQ(data.Skin3rd.size(), 118);
    EXPECT_EQ(data.Skin3rd.first(), QStringLiteral("TCategoryButtons=scrollbar"));
    EXPECT_EQ(data.Skin3rd.last(), QStringLiteral("TLMDDBCHECKBOX=checkbox"));
    EXPECT_TRUE(data.Skin3rd.contains(QStringLiteral("TPngSpeedbutton=pngspeedbutton")));
    EXPECT_EQ(data.Skin3rd.removeDuplicates(), 3);
    // Four 16 x 16 menu glyphs cut from the resource strip, white made transparent.
    ASSERT_EQ(data.bmpmenu.size(), 4u);
    for (const QImage& glyph : data.bmpmenu) {
        EXPECT_EQ(glyph.size(), QSize(16, 16));
        EXPECT_EQ(qAlpha(glyph.pixel(0, 0)), 0);
    }
    // Borders, Title and Button exist before any skin is read.
    EXPECT_TRUE(data.Title && data.Button && data.border[bsTop] && data.border[bsLeft]);
    EXPECT_EQ(data.Button->IDName, QStringLiteral("Buttons"));
    EXPECT_EQ(data.border[bsBottom]->IDName, QStringLiteral("Bottom"));
}

TEST(SkinDataCreation, SettingActiveToItsValueDoesNothing) {
    EnsureApp();
    TSkinData data;
    data.SetActive(false);
    EXPECT_FALSE(data.Active());
    data.SetActive(true);
    data.SetActive(true);
    EXPECT_TRUE(data.Active());
}

TEST(SkinStreamValue, CountZeroOrBelowReadsNothingMore) {
    EnsureApp();
    const QByteArray container = TSkinBuilder{"[Personality]\n", {}}.Container();
    for (qint32 count : {0, -1, -45006}) {
        TSkinData data;
        QByteArray value = StreamValue(container);
        for (int i = 0; i < 4; ++i) {
            value[i] = static_cast<char>((static_cast<quint32>(count) >> (8 * i)) & 0xFF);
        }
        QBuffer stream(&value);
        stream.open(QIODevice::ReadOnly);
        EXPECT_FALSE(data.ReadSkinStream(stream));
        EXPECT_EQ(stream.pos(), 4) << "read past the count " << count;
        EXPECT_TRUE(data.Empty);
        EXPECT_TRUE(data.data.isEmpty());
    }
}

TEST(SkinStreamValue, ShortValueOrUnknownVersionLeavesTheSkinEmpty) {
    EnsureApp();
    const TSkinBuilder skin{"[Personality]\nTop=t.bmp\n", {{"t.bmp", Bmp(30, 30)}}};
    TSkinData data;
    EXPECT_FALSE(data.ReadSkinStream(StreamValue(skin.Container()).chopped(1)));
    EXPECT_TRUE(data.Empty);
    for (int version : {10000, 80000}) {
        TMessageCatcher messages;
        TSkinData other;
        EXPECT_FALSE(other.ReadSkinStream(StreamValue(skin.Container(version))));
        EXPECT_TRUE(other.Empty);
        EXPECT_EQ(messages.Messages.size(), 1);
        EXPECT_TRUE(other.border[bsTop]->Map.isNull());
    }
}

TEST(SkinStreamValue, WritingGivesBackTheValueRead) {
    EnsureApp();
    const QByteArray value = StreamValue(TSkinBuilder{"[A]\n", {}}.Container());
    TSkinData data;
    data.ReadSkinStream(value);
    EXPECT_EQ(data.WriteSkinStream(), value);
}

TEST(Readbmp, NamesNeedALowerCaseBmpExtension) {
    TSkinBuilder skin{"[Personality]\nTop=ToP.bmp\nBottom=bottom.BMP\nLeft=left.bmp\n"
                      "Right=Missing.bmp\nTextBack=back\n",
                      {}};
    skin.Add("top.bmp", Bmp(30, 20)).Add("bottom.bmp", Bmp(30, 4)).Add("Left.BMP", Bmp(4, 30));
    skin.Add("back", Bmp(5, 5));
    auto data = Build(skin);
    EXPECT_EQ(data->border[bsTop]->Map.size(), QSize(30, 20)); // mixed-case name found
    EXPECT_TRUE(data->border[bsBottom]->Map.isNull());         // ".BMP" written upper case
    EXPECT_EQ(data->border[bsLeft]->Map.size(), QSize(4, 30)); // entry stored in capitals
    EXPECT_TRUE(data->border[bsRight]->Map.isNull());          // no such entry
    EXPECT_TRUE(data->Title->Map.isNull());                    // no extension at all
}

TEST(Readbmp, BrokenBitmapFailsTheBuildAndLeavesTheSkinEmpty) {
    EnsureApp();
    TSkinBuilder skin{"[Personality]\nTop=top.bmp\n", {}};
    skin.Add("top.bmp", QByteArray("BMgarbage that is no bitmap"));
    TSkinData data;
    EXPECT_FALSE(data.ReadSkinStream(StreamValue(skin.Container())));
    EXPECT_TRUE(data.Empty);
    QBuffer stream;
    stream.setData(skin.Container());
    stream.open(QIODevice::ReadOnly);
    EXPECT_THROW(data.LoadFromStream(stream), EInvalidGraphic);
    EXPECT_TRUE(data.Empty);
}

TEST(ElementReaders, TileAboveOneBecomesZeroOrOne) {
    TSkinBuilder skin{"[Personality]\nmenuBar=m.bmp\nTileMenu=2\nTop=t.bmp\nTopStretch=2\n"
                      "[Progress]\nBitmap=p.bmp\nTile=2\n"
                      "[StatusBarEdges]\nImage=s.bmp\nTile=2\n"
                      "[Headerbar]\nImage=h.bmp\nTile=1\n"
                      "[Buttons]\nBitmap=b.bmp\nTile=2\n",
                      {}};
    for (const char* n : {"m.bmp", "t.bmp", "p.bmp", "s.bmp", "h.bmp", "b.bmp"}) {
        skin.Add(n, Bmp(20, 10));
    }
    auto data = Build(skin);
    EXPECT_EQ(data->StatusBar->Tile, 0); // general element
    EXPECT_EQ(data->Header->Tile, 1);
    EXPECT_EQ(data->progress->Tile, 1); // bitmap element
    EXPECT_EQ(data->Menubar->Tile, 1);
    EXPECT_EQ(data->border[bsTop]->Tile, 1);
    EXPECT_EQ(data->Button->Tile, 0);
}

TEST(ElementReaders, KeysDefaultsAndHexIntegers) {
    TSkinBuilder skin{
        "[Headerbar]\nImage=h.bmp\nLeftWidth=0x1F\nRightWidth=0X1F\nTopHeight=$1F\n"
        "BottomHeight=junk\nStyle=3\nTrans=1\nNormalColour=$FF\n"
        "MouseOverColour2=10 20\nPressedColour2=1;2;3\n"
        "[Tab.Pane]\nImage=h.bmp\nLeftWidth=9\nRightWidth=2\nTopHeight=-3\nBottomHeight=40\n"
        "[GroupBox]\nImage=h.bmp\nBackgroundAlignment=2\nBackgroundLeftShift=5\n"
        "[Tabs]\nImage=h.bmp\nBorder=mask.bmp\nFrame=9\n"
        "[Progress]\nBitmap=h.bmp\nStyle=1\n"
        "[ComboButton]\nImage=h.bmp\n****=mask.bmp\n"
        "[Colours]\nButtonText=7,8,9\n",
        {}};
    skin.Add("h.bmp", Bmp(50, 10)).Add("mask.bmp", Bmp(50, 10, qRgb(0, 0, 0)));
    auto data = Build(skin);
    const TDataSkinObject& h = *data->Header;
    EXPECT_EQ(h.r, (TRect{31, 31, 31, 0}));
    EXPECT_EQ(h.style, 3);
    EXPECT_EQ(h.trans, 1);
    EXPECT_EQ(h.Normalcolor, 255);
    EXPECT_EQ(h.Overcolor, -1);
    EXPECT_EQ(h.Downcolor, -1);
    EXPECT_EQ(h.Normalcolor2, RGBColor(7, 8, 9)); // the scheme's button text
    EXPECT_EQ(h.Overcolor2, RGBColor(10, 20, 0));
    EXPECT_EQ(h.Downcolor2, RGBColor(1, 2, 3));
    EXPECT_EQ(h.frame, 5); // Header: 5 when the description gave none
    EXPECT_EQ(h.IDName, QStringLiteral("Headerbar"));
    EXPECT_EQ(data->TabSheet->r, (TRect{4, -3, 2, 4})); // margins at most 4
    EXPECT_EQ(data->boxlabel->Alignment, 2);
    EXPECT_EQ(data->boxlabel->LeftShift, 5);
    EXPECT_EQ(data->boxlabel->RightShift, 0);
    EXPECT_EQ(data->tab->frame, 5); // fixed, whatever Frame said
    EXPECT_FALSE(data->tab->MaskMap.isNull());
    EXPECT_EQ(data->progress->frame, 1); // style non-zero
    // "****" is never read as a key, so the combo mask is the picture's copy.
    EXPECT_EQ(data->combox->MaskMap.format(), QImage::Format_RGB888);
    EXPECT_EQ(data->combox->MaskMap.pixel(0, 0), data->combox->Map.pixel(0, 0));
    // Sections that are absent stay nil.
    EXPECT_EQ(data->StatusBar, nullptr);
    EXPECT_EQ(data->MenuItem, nullptr);
}

TEST(ElementReaders, TrackFallsBackToTheProgramBitmaps) {
    auto data = Build(TSkinBuilder{"[Personality]\n", {}});
    ASSERT_TRUE(data->TrackBar && data->TrackBarVert);
    EXPECT_EQ(data->TrackBar->Map.size(), QSize(16, 4));
    EXPECT_EQ(data->TrackBarVert->Map.size(), QSize(4, 16));
    EXPECT_EQ(data->TrackBar->r, (TRect{3, 3, 3, 3}));
    EXPECT_EQ(data->TrackBar->frame, 1);
    EXPECT_EQ(data->TrackBar->Tile, 0);
}

TEST(ElementReaders, FixedAndDerivedFrameCounts) {
    TSkinBuilder skin{"[Buttons]\nCheckButton=small.bmp\nRadioButton=big.bmp\n"
                      "[HorzScrollThumb]\nImage=x.bmp\nFrameCount=7\n"
                      "[VertScrollThumb]\nImage=x.bmp\n"
                      "[Scrollbar]\nImage=x.bmp\nFrame=2\n",
                      {}};
    skin.Add("small.bmp", Bmp(104, 13)).Add("big.bmp", Bmp(32, 16)).Add("x.bmp", Bmp(10, 10));
    auto data = Build(skin);
    EXPECT_EQ(data->Button->checkframe, 8); // 104 / 13, height below 16
    EXPECT_EQ(data->Button->radioframe, 4); // 32 / 16 = 2, at least 4
    EXPECT_EQ(data->Button->frame, 5);
    EXPECT_EQ(data->Title->frame, 2);
    EXPECT_EQ(data->HSlider->frame, 7);
    EXPECT_EQ(data->VSlider->frame, 3);
    EXPECT_EQ(data->SArrow->frame, 23);
}

TEST(ColourScheme, KeysDefaultsPresetsAndCustomColours) {
    TSkinBuilder skin{"[Colours]\nButtonFace=200,100,50\nHilight=1 2 3\n"
                      "[Colour2]\ncolor=9,9,9\n[colours]\nWindowText=0,0,0\n"
                      "[COLOUR.b]\nother=1\n[Customcolors]\nColor0=10,20,30\nColor9=junk\n",
                      {}};
    auto data = Build(skin);
    EXPECT_EQ(data->Colors[3], RGBColor(200, 100, 50));
    EXPECT_TRUE(data->hasColors[3]);
    EXPECT_EQ(data->Colors[13], RGBColor(200, 100, 50)); // Menubar follows the face
    EXPECT_FALSE(data->hasColors[13]);
    EXPECT_EQ(data->Colors[12], RGBColor(1, 2, 3));
    EXPECT_EQ(data->Colors[0], clWindowText); // absent: the system colour itself
    EXPECT_EQ(data->Colors[6], clBtnHighlight);
    // Presets: every COLOUR* section but COLOURS, in order.
    ASSERT_EQ(data->ColorPreset.size(), 2u);
    EXPECT_EQ(data->ColorPreset[0], RGBColor(9, 9, 9));
    EXPECT_EQ(data->ColorPreset[1], clWindowText);
    TColor c = 0;
    EXPECT_TRUE(data->GetPrecolor(c, 1));
    EXPECT_EQ(c, clWindowText);
    EXPECT_FALSE(data->GetPrecolor(c, 2));
    EXPECT_FALSE(data->GetPrecolor(c, -1));
    EXPECT_EQ(data->PresetColors[0], RGBColor(10, 20, 30));
    EXPECT_EQ(data->PresetColors[5], clWhite);
    EXPECT_EQ(data->PresetColors[9], RGBColor(0, 0, 0)); // stray text: no numbers
    // Without a Top bitmap the caption colour is the face.
    EXPECT_EQ(data->Colors[17], data->Colors[3]);
    EXPECT_EQ(data->BGBrush.color(), QColor(200, 100, 50));
}

struct TColourCase {
    const char* Text;
    TColor Expected;
};

class ColourString : public ::testing::TestWithParam<TColourCase> {};

TEST_P(ColourString, DigitRunsAreRedGreenBlue) {
    EXPECT_EQ(ReadColorString(QString::fromLatin1(GetParam().Text)), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Forms, ColourString,
                         ::testing::Values(TColourCase{"10,20,30", RGBColor(10, 20, 30)},
                                           TColourCase{" 10 ; 20 ;30 ", RGBColor(10, 20, 30)},
                                           TColourCase{"r10g20b30", RGBColor(10, 20, 30)},
                                           TColourCase{"10 20", RGBColor(10, 20, 0)},
                                           TColourCase{"10", RGBColor(10, 0, 0)},
                                           TColourCase{"", 0}, TColourCase{"none", 0},
                                           TColourCase{"1,2,3,4", RGBColor(1, 2, 3)},
                                           TColourCase{"300,0,99999999999", RGBColor(255, 0, 255)},
                                           TColourCase{"-5,6,7", RGBColor(5, 6, 7)}));

TEST(CaptionColour, PixelAtAThirdOfTheTopBordersFirstFrame) {
    QImage top(30, 40, QImage::Format_RGB32); // two frames of 20 rows
    top.fill(qRgb(1, 1, 1));
    top.setPixel(10, 6, qRgb(90, 80, 70)); // (30 / 3, (40 / 2) / 3)
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    top.save(&buffer, "BMP");
    TSkinBuilder skin{"[Personality]\nTop=top.bmp\nTopFrame=2\n", {}};
    skin.Add("top.bmp", bytes);
    auto data = Build(skin);
    EXPECT_EQ(data->GetCaptionColor(), RGBColor(90, 80, 70));
    EXPECT_EQ(data->Colors[17], RGBColor(90, 80, 70));
    // A frame count of 0 must not divide by zero.
    data->border[bsTop]->frame = 0;
    EXPECT_EQ(data->GetCaptionColor(), RGBColor(1, 1, 1));
}

TEST(TitleBarButtons, SelectionPositionsFramesAndMdiButtons) {
    TSkinBuilder skin{
        "[Button]\nAction=0\n[Buttons]\n[BUTTON.RADIO]\nAction=0\n[Button.Checkbox]\nAction=0\n"
        "[ButtonEarly]\nAction=4\nXcoord=99\n"
        "[ButtonHidden]\nAction=-1\nVisibility=1\n"
        "[ButtonNoAction]\nXcoord=1\n"
        "[ButtonShown]\nAction=-1\nVisibility=0\nButtonImage=sq.bmp\n"
        "[ButtonMax]\nAction=1\nVisibility=2\nXcoord=48\nYcoord=6\nButtonImage=sq.bmp\n"
        "[ButtonMaxToo]\nAction=1\nVisibility=1\nXcoord=77\nYcoord=77\nButtonImage=wide.bmp\n"
        "[ButtonRestore]\nAction=4\nXcoord=5\nYcoord=5\nButtonImage=sq.bmp\nframe=2\n"
        "[ButtonSys]\nAction=3\nButtonImage=sq.bmp\n"
        "[MDIControls]\nImage=mdi.bmp\n",
        {}};
    skin.Add("sq.bmp", Bmp(57, 15)).Add("wide.bmp", Bmp(58, 15)).Add("mdi.bmp", Bmp(120, 10));
    auto data = Build(skin);
    QStringList names;
    for (const auto& b : data->SysBtn) {
        names.append(b->IDName);
    }
    EXPECT_EQ(names, QStringList({"ButtonEarly", "ButtonShown", "ButtonMax", "ButtonMaxToo",
                                  "ButtonRestore", "ButtonSys", "MDICONTROLS", "MDICONTROLS",
                                  "MDICONTROLS"}));
    const auto& b = data->SysBtn;
    EXPECT_EQ(b[0]->XCoord, 0); // Action 4 before any Action 1 / Visibility 2
    EXPECT_EQ(b[1]->Visibility1, -1);
    EXPECT_EQ(b[1]->frame, 6); // negative Action: always 6
    EXPECT_EQ(b[1]->CombineOp, -1);
    EXPECT_EQ(b[2]->frame, 3); // 57 / 15 = 3.8
    EXPECT_EQ(b[2]->Visibility1, 0);
    EXPECT_EQ(b[3]->frame, 6);   // 58 / 15 is above 3.8
    EXPECT_EQ(b[4]->XCoord, 48); // from ButtonMax, not ButtonMaxToo
    EXPECT_EQ(b[4]->YCoord, 6);
    EXPECT_EQ(b[4]->frame, 2);
    EXPECT_TRUE(b[5]->Map.isNull()); // Action 3 loses its bitmap
    EXPECT_EQ(b[5]->frame, 3);
    for (int k = 0; k < 3; ++k) {
        const auto& m = b[6 + k];
        EXPECT_EQ(m->Action, 7 + k);
        EXPECT_EQ(m->Align, 100);
        EXPECT_EQ(m->Visibility, 100);
        EXPECT_EQ(m->Visibility1, 100);
        EXPECT_EQ(m->frame, 4);
        EXPECT_EQ(m->Map.size(), QSize(40, 10)); // four of twelve 10-pixel columns
        EXPECT_EQ(m->XCoord, 14 * (3 - k));
    }
}

TEST(TitleText, OffsetsFontAndColoursGivenOnlyWhenComplete) {
    auto data = Build(TSkinBuilder{"[Personality]\nTextShift=3\nTextShiftVert=4\nTextRightClip=5\n"
                                   "TextAlignment=1\nActiveTextR=1\nActiveTextG=2\nActiveTextB=3\n"
                                   "InActiveTextR=1\nInActiveTextG=2\n[Fonts]\nFontHeight=$10\n",
                                   {}});
    EXPECT_EQ(data->Title->r, (TRect{3, 4, 5, 0}));
    EXPECT_EQ(data->Title->Aligment, 1);
    EXPECT_EQ(data->Title->FontHeight, 16);
    EXPECT_EQ(data->Title->activetext, RGBColor(1, 2, 3));
    EXPECT_EQ(data->Title->inactivetext, clNotGiven);
    auto plain = Build(TSkinBuilder{"[Personality]\n", {}});
    EXPECT_EQ(plain->Title->FontHeight, 14);
}

TEST(SkinLoading, StreamFileAndCollection) {
    EnsureApp();
    TSkinBuilder skin{"[TitlebarSkin]\nSkinName=Test\n", {}};
    const QByteArray container = skin.Container();
    TSkinData data;
    int applied = 0;
    data.OnApplySkinChange = [&applied](TSkinData*) {
        ++applied;
    };

    TSkinStore store;
    store.Add().DataStream = container;
    data.LoadFromCollection(store, 1); // beyond the items: nothing
    data.LoadFromCollection(store, -1);
    EXPECT_TRUE(data.Empty);
    EXPECT_EQ(applied, 0);
    data.LoadFromCollection(store, 0);
    EXPECT_FALSE(data.Empty);
    EXPECT_EQ(data.SkinName, QStringLiteral("Test"));
    EXPECT_EQ(applied, 1);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.skn"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(container);
    f.close();
    data.SetSkinFile(dir.filePath(QStringLiteral("missing.skn")));
    EXPECT_TRUE(data.Empty);
    data.SetSkinFile(path);
    EXPECT_FALSE(data.Empty);
    EXPECT_EQ(applied, 2);

    data.SkinFormtype = sfDialog; // builds, but only the main form applies
    QBuffer stream;
    stream.setData(container);
    stream.open(QIODevice::ReadOnly);
    data.LoadFromStream(stream);
    EXPECT_FALSE(data.Empty);
    EXPECT_EQ(applied, 2);
}

TEST(SkinHelpers, GetFileNameIsTheTextBeforeTheFirstDot) {
    EXPECT_EQ(TSkinData::GetFileName(QStringLiteral("top.bmp")), QStringLiteral("top"));
    EXPECT_EQ(TSkinData::GetFileName(QStringLiteral("a.b.bmp")), QStringLiteral("a"));
    EXPECT_EQ(TSkinData::GetFileName(QStringLiteral("noext")), QString());
    EXPECT_EQ(TSkinData::GetFileName(QStringLiteral(".ini")), QString());
}

// --- our default skin, as the main window reads it

TEST(DefaultSkin, BuildsWithEveryElementPresent) {
    EnsureApp();
    const QByteArray value = DefaultSkinStream();
    ASSERT_GT(value.size(), 1000);
    TMessageCatcher messages;
    TSkinData SkinData1;
    ASSERT_TRUE(SkinData1.ReadSkinStream(value));
    EXPECT_FALSE(SkinData1.Empty);
    EXPECT_EQ(SkinData1.MissingElements(), QStringList());
    EXPECT_TRUE(messages.Messages.isEmpty());
    EXPECT_EQ(SkinData1.SkinName, QStringLiteral("Warm Kitchen"));
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 18}) {
        EXPECT_TRUE(SkinData1.hasColors[i]) << i;
    }
    EXPECT_EQ(SkinData1.ColorPreset.size(), 4u);
    // The caption colour comes from the walnut caption strip, not the cream face.
    EXPECT_NE(SkinData1.Colors[17], SkinData1.Colors[3]);
    EXPECT_LT(qGray(ColorToQColor(SkinData1.Colors[17]).rgb()), 160);
    // Close, maximise, restore, minimise, then the three MDI buttons.
    ASSERT_EQ(SkinData1.SysBtn.size(), 7u);
    EXPECT_EQ(SkinData1.SysBtn[2]->Action, 4);
    EXPECT_EQ(SkinData1.SysBtn[2]->XCoord, SkinData1.SysBtn[1]->XCoord);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(SkinData1.SysBtn[i]->frame, 3);
    }
    // Strips match their fixed frame counts.
    for (const auto& [name, e] : SkinData1.Elements()) {
        ASSERT_NE(e, nullptr) << name.toStdString();
        if (e->frame > 0 && name != QStringLiteral("Title") && !name.startsWith(u'b')) {
            EXPECT_EQ(e->Map.width() % e->frame, 0) << name.toStdString();
        }
    }
    EXPECT_EQ(SkinData1.combox->Map.size(), QSize(200, 21)); // four 50 x 21 cells
    EXPECT_EQ(SkinData1.Toolbar->Map.size(), QSize(10, 40));
    EXPECT_EQ(SkinData1.Button->checkframe, 8);
}

TEST(DefaultSkin, ContainerListsOurBitmapsAndOneDescription) {
    TSkinReader reader;
    ASSERT_TRUE(reader.Loadfromstream(DefaultSkinContainer()));
    EXPECT_EQ(reader.Dir.filter(QStringLiteral(".ini")).size(), 1);
    EXPECT_GE(reader.Dir.size(), 40);
    EXPECT_TRUE(reader.Dir.contains(QStringLiteral("top.bmp")));
}

} // namespace
