#pragma once
// The element records a skin is built into, and the colour and integer rules
// of the skin description.

#include <QColor>
#include <QImage>
#include <QString>

class TQuickIni;

// Colours as the description and the painters use them: 0x00BBGGRR for RGB,
// 0xFF0000nn for the system colour nn, resolved through the palette when painting.
using TColor = qint32;

constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}
constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0xFF000000u | static_cast<quint32>(index));
}
constexpr bool IsSystemColor(TColor c) {
    return (static_cast<quint32>(c) & 0xFF000000u) == 0xFF000000u;
}

// System colours by their numbers on the original platform.
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor clWhite = RGBColor(255, 255, 255);
// A title text colour the description did not give.
constexpr TColor clNotGiven = 0x1FFFFFFF;

// Resolves system colours through the application palette.
QColor ColorToQColor(TColor color);
TColor QColorToColor(const QColor& color);

// "10,20,30", "10 20" ...: digit runs are red, green, blue; others separate.
TColor ReadColorString(const QString& text);

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TRect&) const = default;
};

class TDataSkinObject {
public:
    explicit TDataSkinObject(QString idName) : IDName(std::move(idName)) {}
    virtual ~TDataSkinObject() = default;
    TDataSkinObject(const TDataSkinObject&) = default;
    TDataSkinObject& operator=(const TDataSkinObject&) = default;

    TRect r;
    QImage Map;
    int trans = 0;
    int Tile = 0;
    QString IDName;
    int frame = 0;
    int style = 0;
    int Normalcolor = -1;
    int Overcolor = -1;
    int Downcolor = -1;
    TColor Normalcolor2 = clBtnText;
    TColor Overcolor2 = clBtnText;
    TColor Downcolor2 = clBtnText;
};

class TDataSkinBorder : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    QImage MaskMap;
};

class TDataSkinTitle : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    int Aligment = 0;
    int BackGround = 0;
    int FontHeight = 14;
    int backleft = 0;
    int backright = 0;
    TColor activetext = clNotGiven;
    TColor inactivetext = clNotGiven;
};

class TDataSkinButton : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    QImage CheckMap;
    QImage RadioMap;
    int radioframe = 0;
    int checkframe = 0;
    bool newnormal = false;
    bool newover = false;
    bool newdown = false;
};

class TDataSkinSysButton : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    int Action = 0;
    int Align = 0;
    int XCoord = 0;
    int YCoord = 0;
    int CombineOp = -1;
    int Visibility = 0;
    int Visibility1 = 0;
};

class TDataSkinBoxLabel : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    int LeftShift = 0;
    int RightShift = 0;
    int Alignment = 0;
};
