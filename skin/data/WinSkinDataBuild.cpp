// The component's skin: empty at creation, built from a packed container.
#include "WinSkinData.h"

#include "WinConvert.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>

namespace {

const QString Personality = QStringLiteral("Personality");
const QString BorderNames[4] = {QStringLiteral("Left"), QStringLiteral("Right"),
                                QStringLiteral("Top"), QStringLiteral("Bottom")};
// The skin's bitmaps are small; a larger picture is a broken entry.
constexpr int BitmapAllocationLimitMB = 64;
// The platform's vertical scroll-bar width, which the combo button zone follows.
constexpr int ScrollBarWidth = 16;

QImage ResourceImage(const QString& name) {
    QImage image(QStringLiteral(":/skin/%1.bmp").arg(name));
    return image.convertToFormat(QImage::Format_RGB32);
}

// Guard for the build: whatever happens, the temporary objects go.
template <typename TPtr> struct TResetOnExit {
    TPtr*& Ref;
    ~TResetOnExit() { Ref = nullptr; }
};

} // namespace

TSkinData::TSkinData() {
    Skin3rd = DefaultSkin3rd();
    ResetSkin();
    SysIcon = QImage();
    const QImage strip = ResourceImage(QStringLiteral("KESTRELMENU"));
    for (int x = 0; x + 16 <= strip.width(); x += 16) {
        QImage glyph = strip.copy(x, 0, 16, 16).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < glyph.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(glyph.scanLine(y));
            for (int i = 0; i < glyph.width(); ++i) {
                if ((line[i] & 0xFFFFFF) == 0xFFFFFF) {
                    line[i] = 0;
                }
            }
        }
        bmpmenu.push_back(std::move(glyph));
    }
    if (qGuiApp) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            cxMax = screen->availableGeometry().width();
            cyMax = screen->availableGeometry().height();
        }
    }
}

void TSkinData::ResetSkin() {
    Empty = true;
    SkinName.clear();
    for (int i = 0; i < 4; ++i) {
        border[i] = std::make_unique<TDataSkinBorder>(BorderNames[i]);
    }
    Title = std::make_unique<TDataSkinTitle>(QStringLiteral("Title"));
    Button = std::make_unique<TDataSkinButton>(QStringLiteral("Buttons"));
    SysBtn.clear();
    for (auto* p : {&tab, &HSpin, &VSpin, &combox}) {
        p->reset();
    }
    boxlabel.reset();
    for (auto* p :
         {&Comboxborder, &ExtraImages,   &comboxarrow, &Box,       &Toolbar,      &Toolbarbtn,
          &progress,     &progresschunk, &StatusBar,   &TabSheet,  &Header,       &Menubar,
          &MenuItem,     &MenuitemBG,    &SArrow,      &HBar,      &VBar,         &HSlider,
          &VSlider,      &TrackHorz,     &TrackVert,   &TrackBar,  &TrackBarVert, &TrackLeft,
          &Trackright,   &Tracktop,      &Trackbottom, &MinCaption}) {
        p->reset();
    }
    Colors.fill(clBtnFace);
    hasColors.fill(false);
    ColorPreset.clear();
    PresetColors.fill(clWhite);
}

void TSkinData::Readbmp(QImage& bitmap, const QString& name) {
    bitmap = QImage();
    if (name.isEmpty() || !reader) {
        return;
    }
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.mid(dot) != QStringLiteral(".bmp")) {
        return;
    }
    reader->readfile(name, ms);
    if (ms.isEmpty()) {
        return;
    }
    QBuffer buffer(&ms);
    buffer.open(QIODevice::ReadOnly);
    QImageReader imageReader(&buffer, "BMP");
    imageReader.setAllocationLimit(BitmapAllocationLimitMB);
    QImage image;
    if (!imageReader.read(&image) || image.isNull()) {
        throw EInvalidGraphic(QStringLiteral("Bitmap image is not valid"));
    }
    bitmap = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                           : QImage::Format_RGB32);
}

QString TSkinData::ReadStr(const QString& section, const QString& key) const {
    return ini->ReadString(section, key, QString());
}

int TSkinData::ReadInt(const QString& section, const QString& key, int def) const {
    return ini->ReadInteger(section, key, def);
}

TColor TSkinData::ReadColorKey(const QString& section, const QString& key, TColor def) const {
    const QString text = ReadStr(section, key);
    return text.isEmpty() ? def : ReadColorString(text);
}

bool TSkinData::BuildSkin() {
    ResetSkin();
    TSkinReader skinReader;
    TQuickIni description;
    reader = &skinReader;
    TResetOnExit<TSkinReader> readerGuard{reader};
    ms.clear();
    if (!skinReader.Loadfromstream(data)) {
        return false;
    }
    QByteArray iniBytes;
    QString iniName;
    skinReader.readIni(QStringLiteral(".ini"), iniBytes, iniName);
    description.LoadFromBytes(iniBytes);
    ini = &description;
    TResetOnExit<TQuickIni> iniGuard{ini};
    try {
        description.ReadSections(&sectionlist);
        SkinName = description.ReadString(QStringLiteral("TitlebarSkin"),
                                          QStringLiteral("SkinName"), QString());
        ReadBorders();
        ReadColors();
        ReadSysButtons();
        ReadButton();
        ReadTitle();
        ReadElements();
        FixFrames();
        MakeDerivedImages();
    } catch (...) {
        ms.clear();
        sectionlist.clear();
        ResetSkin();
        throw;
    }
    ms.clear();
    Colors[17] = GetCaptionColor();
    BGBrush = QBrush(ColorToQColor(Colors[3]));
    sectionlist.clear();
    Empty = false;
    return true;
}

void TSkinData::ReadBorders() {
    for (int i = 0; i < 4; ++i) {
        const QString& b = BorderNames[i];
        TDataSkinBorder& e = *border[i];
        Readbmp(e.Map, ReadStr(Personality, b));
        const int first = ReadInt(Personality, b + QStringLiteral("TopHeight"), 0);
        const int second = ReadInt(Personality, b + QStringLiteral("BotHeight"), 0);
        if (i == bsLeft || i == bsRight) {
            e.r.Top = first;
            e.r.Bottom = second;
        } else {
            e.r.Left = first;
            e.r.Right = second;
        }
        e.frame = ReadInt(Personality, b + QStringLiteral("Frame"), 1);
        e.Tile = std::min(1, ReadInt(Personality, b + QStringLiteral("Stretch"), 1));
        e.trans = ReadInt(Personality, b + QStringLiteral("Trans"), 1);
    }
}

void TSkinData::ReadColors() {
    struct TColorKey {
        int Index;
        const char* Key;
        TColor Default;
    };
    static const TColorKey keys[] = {
        {0, "WindowText", clWindowText},
        {1, "TitleTextActive", clCaptionText},
        {2, "TitleTextNoActive", clInactiveCaptionText},
        {3, "ButtonFace", clBtnFace},
        {4, "ButtonText", clBtnText},
        {5, "ButtonHilight", clBtnHighlight},
        {6, "Buttonlight", clBtnHighlight},
        {7, "ButtonShadow", clBtnShadow},
        {8, "ButtonDkShadow", cl3DDkShadow},
        {11, "HilightText", clHighlightText},
        {12, "Hilight", clHighlight},
        {13, "Menubar", 0}, // defaults to the button face just read
        {14, "MenuBarText", clMenuText},
        {15, "MenuText", clMenuText},
        {16, "Menu", clMenu},
        {18, "Scrollbar", clScrollBar},
    };
    const QString colours = QStringLiteral("Colours");
    for (const TColorKey& k : keys) {
        const QString text = ReadStr(colours, QString::fromLatin1(k.Key));
        const TColor def = k.Index == 13 ? Colors[3] : k.Default;
        Colors[k.Index] = text.isEmpty() ? def : ReadColorString(text);
        hasColors[k.Index] = !text.isEmpty();
    }
    for (const QString& section : sectionlist) {
        const QString upper = section.toUpper();
        if (upper.startsWith(QStringLiteral("COLOUR")) && upper != QStringLiteral("COLOURS")) {
            ColorPreset.push_back(ReadColorKey(section, QStringLiteral("color"), clWindowText));
        }
    }
    for (int i = 0; i < 10; ++i) {
        PresetColors[i] =
            ReadColorKey(QStringLiteral("Customcolors"), QStringLiteral("Color%1").arg(i), clWhite);
    }
}

void TSkinData::ReadSysButtons() {
    static const QStringList excluded = {QStringLiteral("BUTTON"), QStringLiteral("BUTTONS"),
                                         QStringLiteral("BUTTON.RADIO"),
                                         QStringLiteral("BUTTON.CHECKBOX")};
    int savedX = 0;
    int savedY = 0;
    for (const QString& section : sectionlist) {
        const QString upper = section.toUpper();
        if (!upper.startsWith(QStringLiteral("BUTTON")) || excluded.contains(upper)) {
            continue;
        }
        const int action = ReadInt(section, QStringLiteral("Action"), -1);
        if (action == -1 && ReadInt(section, QStringLiteral("Visibility"), -1) != 0) {
            continue;
        }
        auto b = std::make_unique<TDataSkinSysButton>(section);
        b->Action = action;
        b->Align = ReadInt(section, QStringLiteral("Align"), 0);
        b->XCoord = ReadInt(section, QStringLiteral("Xcoord"), 0);
        b->YCoord = ReadInt(section, QStringLiteral("Ycoord"), 0);
        b->Visibility = ReadInt(section, QStringLiteral("Visibility"), 0);
        b->Visibility1 = ReadInt(section, QStringLiteral("Visibility1"), action == -1 ? -1 : 0);
        b->CombineOp = ReadInt(section, QStringLiteral("CombineOp"), -1);
        b->frame = ReadInt(section, QStringLiteral("frame"), 0);
        Readbmp(b->Map, ReadStr(section, QStringLiteral("ButtonImage")));
        if (action == 1 && b->Visibility == 2) {
            savedX = b->XCoord;
            savedY = b->YCoord;
        } else if (action == 4) {
            b->XCoord = savedX;
            b->YCoord = savedY;
        }
        if (b->frame == 0) {
            b->frame = 6;
            if (action >= 0 && !b->Map.isNull() && b->Map.height() > 0 &&
                static_cast<double>(b->Map.width()) / b->Map.height() <= 3.8) {
                b->frame = 3;
            }
        }
        if (action == 3 || action == 11) {
            b->Map = QImage();
        }
        SysBtn.push_back(std::move(b));
    }
    QImage mdi;
    Readbmp(mdi, ReadStr(QStringLiteral("MDICONTROLS"), QStringLiteral("Image")));
    const int w = mdi.width() / 12;
    for (int k = 0; k < 3; ++k) {
        auto b = std::make_unique<TDataSkinSysButton>(QStringLiteral("MDICONTROLS"));
        b->Action = 7 + k;
        b->Align = b->Visibility = b->Visibility1 = 100;
        b->frame = 4;
        if (!mdi.isNull() && w > 0) {
            b->Map = mdi.copy(4 * k * w, 0, 4 * w, mdi.height());
            b->XCoord = (w + 4) * (3 - k);
        }
        SysBtn.push_back(std::move(b));
    }
}

void TSkinData::ReadButton() {
    const QString s = QStringLiteral("Buttons");
    TDataSkinButton& b = *Button;
    b.r = {ReadInt(s, QStringLiteral("LeftWidth"), 0), ReadInt(s, QStringLiteral("TopHeight"), 0),
           ReadInt(s, QStringLiteral("RightWidth"), 0),
           ReadInt(s, QStringLiteral("BottomHeight"), 0)};
    b.trans = ReadInt(s, QStringLiteral("Trans"), 0);
    Readbmp(b.Map, ReadStr(s, QStringLiteral("Bitmap")));
    b.Tile = ReadInt(s, QStringLiteral("Tile"), 0);
    if (b.Tile > 1) {
        b.Tile = 0;
    }
    Readbmp(b.CheckMap, ReadStr(s, QStringLiteral("CheckButton")));
    Readbmp(b.RadioMap, ReadStr(s, QStringLiteral("RadioButton")));
    b.Normalcolor = ReadInt(s, QStringLiteral("NormalColour"), -1);
    b.Overcolor = ReadInt(s, QStringLiteral("MouseOverColour"), -1);
    b.Downcolor = ReadInt(s, QStringLiteral("PressedColour"), -1);
    b.radioframe = ReadInt(s, QStringLiteral("RadioButtonFrame"), 0);
    b.checkframe = ReadInt(s, QStringLiteral("CheckButtonFrame"), 0);
    b.newnormal = ini->ValueExists(s, QStringLiteral("NormalColour2"));
    b.newover = ini->ValueExists(s, QStringLiteral("MouseOverColour2"));
    b.newdown = ini->ValueExists(s, QStringLiteral("PressedColour2"));
    b.Normalcolor2 = ReadColorKey(s, QStringLiteral("NormalColour2"), Colors[4]);
    b.Overcolor2 = ReadColorKey(s, QStringLiteral("MouseOverColour2"), Colors[4]);
    b.Downcolor2 = ReadColorKey(s, QStringLiteral("PressedColour2"), Colors[4]);
}

void TSkinData::ReadTitle() {
    TDataSkinTitle& t = *Title;
    Readbmp(t.Map, ReadStr(Personality, QStringLiteral("TextBack")));
    t.r = {ReadInt(Personality, QStringLiteral("TextShift"), 0),
           ReadInt(Personality, QStringLiteral("TextShiftVert"), 0),
           ReadInt(Personality, QStringLiteral("TextRightClip"), 0), 0};
    t.Aligment = ReadInt(Personality, QStringLiteral("TextAlignment"), 0);
    t.BackGround = ReadInt(Personality, QStringLiteral("Textbackground"), 0);
    t.backleft = ReadInt(Personality, QStringLiteral("TXTBackleft"), 0);
    t.backright = ReadInt(Personality, QStringLiteral("TXTBackRight"), 0);
    t.FontHeight = ReadInt(QStringLiteral("Fonts"), QStringLiteral("FontHeight"), 14);
    auto rgbKey = [this](const QString& key) {
        const int r = ReadInt(Personality, key + u'R', -1);
        const int g = ReadInt(Personality, key + u'G', -1);
        const int b = ReadInt(Personality, key + u'B', -1);
        return r >= 0 && g >= 0 && b >= 0
                   ? RGBColor(std::min(r, 255), std::min(g, 255), std::min(b, 255))
                   : clNotGiven;
    };
    t.activetext = rgbKey(QStringLiteral("ActiveText"));
    t.inactivetext = rgbKey(QStringLiteral("InActiveText"));
}

template <typename TObj> bool TSkinData::ReadGeneralInto(TObj& e, bool withFrame) {
    const QString& s = e.IDName;
    const QString image = ReadStr(s, QStringLiteral("Image"));
    if (image.isEmpty()) {
        return false;
    }
    Readbmp(e.Map, image);
    e.style = ReadInt(s, QStringLiteral("Style"), 0);
    e.r = {ReadInt(s, QStringLiteral("LeftWidth"), 0), ReadInt(s, QStringLiteral("TopHeight"), 0),
           ReadInt(s, QStringLiteral("RightWidth"), 0),
           ReadInt(s, QStringLiteral("BottomHeight"), 0)};
    if (withFrame) {
        e.frame = ReadInt(s, QStringLiteral("Frame"), 0);
    }
    e.trans = ReadInt(s, QStringLiteral("Trans"), 0);
    e.Tile = ReadInt(s, QStringLiteral("Tile"), 0);
    if (e.Tile > 1) {
        e.Tile = 0;
    }
    e.Normalcolor = ReadInt(s, QStringLiteral("NormalColour"), -1);
    e.Overcolor = ReadInt(s, QStringLiteral("MouseOverColour"), -1);
    e.Downcolor = ReadInt(s, QStringLiteral("PressedColour"), -1);
    e.Normalcolor2 = ReadColorKey(s, QStringLiteral("NormalColour2"), Colors[4]);
    e.Overcolor2 = ReadColorKey(s, QStringLiteral("MouseOverColour2"), Colors[4]);
    e.Downcolor2 = ReadColorKey(s, QStringLiteral("PressedColour2"), Colors[4]);
    return true;
}

std::unique_ptr<TDataSkinObject> TSkinData::ReadGeneral(const QString& section) {
    auto e = std::make_unique<TDataSkinObject>(section);
    return ReadGeneralInto(*e, true) ? std::move(e) : nullptr;
}

std::unique_ptr<TDataSkinBorder> TSkinData::ReadMasked(const QString& section,
                                                       const QString& maskKey) {
    auto e = std::make_unique<TDataSkinBorder>(section);
    if (!ReadGeneralInto(*e, false)) {
        return nullptr;
    }
    Readbmp(e->MaskMap, ReadStr(section, maskKey));
    return e;
}

std::unique_ptr<TDataSkinObject> TSkinData::ReadBitmapElement(const QString& s) {
    const QString bitmap = ReadStr(s, QStringLiteral("Bitmap"));
    if (bitmap.isEmpty()) {
        return nullptr;
    }
    auto e = std::make_unique<TDataSkinObject>(s);
    Readbmp(e->Map, bitmap);
    e->style = ReadInt(s, QStringLiteral("Style"), 0);
    e->r = {ReadInt(s, QStringLiteral("LeftWidth"), 0), ReadInt(s, QStringLiteral("TopHeight"), 0),
            ReadInt(s, QStringLiteral("RightWidth"), 0),
            ReadInt(s, QStringLiteral("BottomHeight"), 0)};
    e->trans = ReadInt(s, QStringLiteral("Trans"), 0);
    e->Tile = std::min(1, ReadInt(s, QStringLiteral("Tile"), 0));
    return e;
}

std::unique_ptr<TDataSkinBoxLabel> TSkinData::ReadBoxLabel(const QString& section) {
    auto e = std::make_unique<TDataSkinBoxLabel>(section);
    if (!ReadGeneralInto(*e, true)) {
        return nullptr;
    }
    e->Alignment = ReadInt(section, QStringLiteral("BackgroundAlignment"), 0);
    e->LeftShift = ReadInt(section, QStringLiteral("BackgroundLeftShift"), 0);
    e->RightShift = ReadInt(section, QStringLiteral("BackgroundRightShift"), 0);
    return e;
}

std::unique_ptr<TDataSkinObject> TSkinData::ReadTrack(const QString& section,
                                                      const QString& resource) {
    if (auto e = ReadGeneral(section)) {
        return e;
    }
    auto e = std::make_unique<TDataSkinObject>(section);
    e->Map = ResourceImage(resource);
    e->r = {3, 3, 3, 3};
    e->Tile = 0;
    e->frame = 1;
    return e;
}

void TSkinData::ReadElements() {
    progress = ReadBitmapElement(QStringLiteral("Progress"));
    progresschunk = ReadGeneral(QStringLiteral("Progress.Chunk"));
    const QString menuBar = ReadStr(Personality, QStringLiteral("menuBar"));
    if (!menuBar.isEmpty()) {
        Menubar = std::make_unique<TDataSkinObject>(QStringLiteral("menuBar"));
        Readbmp(Menubar->Map, menuBar);
        Menubar->Tile = std::min(1, ReadInt(Personality, QStringLiteral("TileMenu"), 1));
        Menubar->r.Left = ReadInt(Personality, QStringLiteral("TileLeftMenu"), 1);
        Menubar->r.Right = ReadInt(Personality, QStringLiteral("TileRightMenu"), 1);
    }
    Box = ReadGeneral(QStringLiteral("GroupBoxEdge"));
    boxlabel = ReadBoxLabel(QStringLiteral("GroupBox"));
    tab = ReadMasked(QStringLiteral("Tabs"), QStringLiteral("Border"));
    StatusBar = ReadGeneral(QStringLiteral("StatusBarEdges"));
    TabSheet = ReadGeneral(QStringLiteral("Tab.Pane"));
    if (TabSheet) {
        TRect& m = TabSheet->r;
        m = {std::min(m.Left, 4), std::min(m.Top, 4), std::min(m.Right, 4), std::min(m.Bottom, 4)};
    }
    Toolbarbtn = ReadGeneral(QStringLiteral("ToolBars"));
    combox = ReadMasked(QStringLiteral("ComboButton"), QStringLiteral("****"));
    Comboxborder = ReadGeneral(QStringLiteral("SunkEdge"));
    ExtraImages = ReadGeneral(QStringLiteral("ExtraImages"));
    Header = ReadGeneral(QStringLiteral("Headerbar"));
    MenuItem = ReadGeneral(QStringLiteral("MenuItem"));
    MenuitemBG = ReadGeneral(QStringLiteral("MenuBackground"));
    SArrow = ReadGeneral(QStringLiteral("Scrollbar"));
    HBar = ReadGeneral(QStringLiteral("HorzScroll"));
    VBar = ReadGeneral(QStringLiteral("VertScroll"));
    HSlider = ReadGeneral(QStringLiteral("HorzScrollThumb"));
    VSlider = ReadGeneral(QStringLiteral("VertScrollThumb"));
    TrackHorz = ReadGeneral(QStringLiteral("Trackbar.ThumbHorz"));
    TrackVert = ReadGeneral(QStringLiteral("Trackbar.ThumbVert"));
    TrackLeft = ReadGeneral(QStringLiteral("Trackbar.ThumbLeft"));
    Trackright = ReadGeneral(QStringLiteral("Trackbar.ThumbRight"));
    Tracktop = ReadGeneral(QStringLiteral("Trackbar.ThumbUp"));
    Trackbottom = ReadGeneral(QStringLiteral("Trackbar.ThumbDown"));
    HSpin = ReadMasked(QStringLiteral("UpDown.Horz"), QStringLiteral("GlyphImage"));
    VSpin = ReadMasked(QStringLiteral("UpDown.Vert"), QStringLiteral("GlyphImage"));
    TrackBar = ReadTrack(QStringLiteral("Track"), QStringLiteral("TRACK"));
    TrackBarVert = ReadTrack(QStringLiteral("TRACKVERT"), QStringLiteral("TRACKVERT"));
}

void TSkinData::FixFrames() {
    auto set = [](auto& e, int frame) {
        if (e) {
            e->frame = frame;
        }
    };
    Button->frame = 5;
    auto glyphFrames = [](const QImage& map) {
        const int w = map.width();
        return std::max(4, map.height() < 16 ? w / 13 : w / 16);
    };
    if (Button->radioframe <= 0) {
        Button->radioframe = glyphFrames(Button->RadioMap);
    }
    if (Button->checkframe <= 0) {
        Button->checkframe = glyphFrames(Button->CheckMap);
    }
    Title->frame = 2;
    set(progress, progress && progress->style != 0 ? 1 : 2);
    set(Menubar, 2);
    set(Box, 2);
    set(Toolbar, 1);
    set(Toolbarbtn, 5);
    set(tab, 5);
    set(TabSheet, 1);
    set(StatusBar, 3);
    set(boxlabel, 1);
    set(combox, 4);
    set(Comboxborder, 4);
    set(ExtraImages, 5);
    if (Header && Header->frame == 0) {
        Header->frame = 5;
    }
    set(MenuItem, 5);
    set(MenuitemBG, 1);
    set(SArrow, 23);
    set(HBar, 4);
    set(VBar, 4);
    set(HSpin, 8);
    set(VSpin, 8);
    for (auto* e : {&TrackHorz, &TrackVert, &TrackLeft, &Trackright, &Tracktop, &Trackbottom}) {
        set(*e, 5);
    }
    // Zero or negative counts would divide the strip by nothing when painting.
    set(HSlider,
        std::max(1, ReadInt(QStringLiteral("HorzScrollThumb"), QStringLiteral("FrameCount"), 3)));
    set(VSlider,
        std::max(1, ReadInt(QStringLiteral("VertScrollThumb"), QStringLiteral("FrameCount"), 3)));
}

namespace {

// Draws one frame of a strip into target, keeping the margins and stretching the middle.
void DrawFrame(QPainter& p, const QRect& target, const TDataSkinObject& e, int index) {
    const int frames = std::max(1, e.frame);
    const int fw = e.Map.width() / frames;
    const int fh = e.Map.height();
    if (fw <= 0 || fh <= 0) {
        return;
    }
    const int sx = std::clamp(index, 0, frames - 1) * fw;
    const int l = std::clamp(e.r.Left, 0, fw / 2);
    const int r = std::clamp(e.r.Right, 0, fw / 2);
    const int t = std::clamp(e.r.Top, 0, fh / 2);
    const int b = std::clamp(e.r.Bottom, 0, fh / 2);
    const int xs[4] = {0, l, fw - r, fw};
    const int ys[4] = {0, t, fh - b, fh};
    const int tw = target.width();
    const int th = target.height();
    const int xd[4] = {0, std::min(l, tw / 2), tw - std::min(r, tw / 2), tw};
    const int yd[4] = {0, std::min(t, th / 2), th - std::min(b, th / 2), th};
    for (int yi = 0; yi < 3; ++yi) {
        for (int xi = 0; xi < 3; ++xi) {
            const QRect src(sx + xs[xi], ys[yi], xs[xi + 1] - xs[xi], ys[yi + 1] - ys[yi]);
            const QRect dst(target.left() + xd[xi], target.top() + yd[yi], xd[xi + 1] - xd[xi],
                            yd[yi + 1] - yd[yi]);
            if (src.isValid() && dst.isValid()) {
                p.drawImage(dst, e.Map, src);
            }
        }
    }
}

} // namespace

void TSkinData::MakeDerivedImages() {
    if (combox) {
        comboxarrow = std::make_unique<TDataSkinObject>(*combox);
        comboxarrow->IDName = QStringLiteral("ComboxArrow");
    }
    if (combox && Comboxborder && !combox->Map.isNull() && !Comboxborder->Map.isNull()) {
        constexpr int CellW = 50;
        constexpr int CellH = 21;
        const int frames = std::max(1, combox->frame);
        const int buttonW = ScrollBarWidth + 2;
        QImage strip(CellW * frames, CellH, QImage::Format_RGB32);
        strip.fill(ColorToQColor(Colors[3]));
        QPainter p(&strip);
        for (int i = 0; i < frames; ++i) {
            const QRect cell(i * CellW, 0, CellW, CellH);
            DrawFrame(p, cell, *Comboxborder, i);
            DrawFrame(p, QRect(cell.right() - buttonW, 2, buttonW - 1, CellH - 4), *combox, i);
        }
        p.end();
        combox->Map = strip;
        combox->r = {2, 2, buttonW + 1, 2};
        Comboxborder->Map = strip;
        Comboxborder->frame = frames;
    }
    if (combox && !combox->Map.isNull()) {
        combox->MaskMap = combox->Map.convertToFormat(QImage::Format_RGB888);
    }
    Toolbar = std::make_unique<TDataSkinObject>(QStringLiteral("Toolbar"));
    QImage gradient(10, 40, QImage::Format_RGB32);
    const QColor from = ColorToQColor(GetCaptionColor());
    const QColor to = ColorToQColor(Colors[3]);
    for (int y = 0; y < 40; ++y) {
        const double t = y / 39.0;
        const QColor c(qRound(from.red() + (to.red() - from.red()) * t),
                       qRound(from.green() + (to.green() - from.green()) * t),
                       qRound(from.blue() + (to.blue() - from.blue()) * t));
        for (int x = 0; x < 10; ++x) {
            gradient.setPixel(x, y, c.rgb());
        }
    }
    Toolbar->Map = gradient;
    Toolbar->frame = 1;
}
