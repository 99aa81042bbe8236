#pragma once
// The skin component's data side: published properties, the skin it holds and
// the build of that skin from a packed container.

#include "SkinRead.h"
#include "WinSkinElements.h"
#include "WinSkinIni.h"
#include "WinSkinStore.h"

#include <QBrush>
#include <QByteArray>
#include <QFont>
#include <QIODevice>
#include <QImage>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <vector>

enum TSkinControlType {
    xcMainMenu,
    xcPopupMenu,
    xcMenuItem,
    xcToolbar,
    xcControlbar,
    xcCombo,
    xcCheckBox,
    xcRadioButton,
    xcProgress,
    xcScrollbar,
    xcEdit,
    xcButton,
    xcBitBtn,
    xcSpeedButton,
    xcSpin,
    xcPanel,
    xcGroupBox,
    xcStatusBar,
    xcTab,
    xcTrackBar,
    xcSystemMenu,
    xcFastReport
};

enum TSkinOption {
    xoMDIScrollbar,
    xoMenuMerge,
    xoTransparent,
    xoPreview,
    xoParentBackGround,
    xoNoFocusRect,
    xoToolbarBK,
    xoToolbarButton,
    xoMDIChildBorder,
    xoMenuBG,
    xoCaptionButtonHint,
    xoFormScrollbar
};

enum TSkinFormType { sfMainform, sfOnlyThisForm, sfDialog, sfDLL };

enum TWinContainer {
    xccForm,
    xccFrame,
    xccToolbar,
    xccCoolbar,
    xccControlbar,
    xccPanel,
    xccScrollBox,
    xccGroupBox,
    xccTabSheet,
    xccPageScroller
};

// A small set of enumeration members, bit n for member n.
template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E m : members) {
            Include(m);
        }
    }
    static constexpr TSet FromBits(quint32 bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr bool Contains(E m) const { return (FBits >> static_cast<int>(m)) & 1u; }
    constexpr void Include(E m) { FBits |= 1u << static_cast<int>(m); }
    constexpr void Exclude(E m) { FBits &= ~(1u << static_cast<int>(m)); }
    constexpr quint32 Bits() const { return FBits; }
    constexpr bool operator==(const TSet&) const = default;

private:
    quint32 FBits = 0;
};

using TSkinControls = TSet<TSkinControlType>;
using TSkinOptions = TSet<TSkinOption>;
using TWinContainers = TSet<TWinContainer>;

enum TBorderSide { bsLeft, bsRight, bsTop, bsBottom };

class TSkinData {
public:
    static constexpr int ColorCount = 20;
    static constexpr TSkinControls DefaultSkinControls =
        TSkinControls::FromBits(((1u << 22) - 1) & ~(1u << xcMenuItem) & ~(1u << xcFastReport));
    static constexpr TSkinOptions DefaultOptions{xoPreview, xoToolbarBK, xoCaptionButtonHint};

    TSkinData();
    ~TSkinData();
    TSkinData(const TSkinData&) = delete;
    TSkinData& operator=(const TSkinData&) = delete;

    // --- published properties
    bool Active() const { return FActive; }
    void SetActive(bool value);
    int DisableTag = 99;
    TSkinControls SkinControls = DefaultSkinControls;
    TSkinOptions Options = DefaultOptions;
    QStringList Skin3rd;
    QString SkinFile() const { return FSkinFile; }
    void SetSkinFile(const QString& path);
    QString SkinStore() const;
    void SetSkinStore(const QString&) {}
    TSkinFormType SkinFormtype = sfMainform;
    QString Version() const;
    void SetVersion(const QString&) {}
    bool MenuUpdate = true;
    bool MenuMerge = false;
    std::function<void(TSkinData* sender)> OnSkinChanged;

    // --- "SkinStream": 32-bit little-endian count, then the container.
    // Builds the skin at once (unless designing); false when nothing could be built.
    bool ReadSkinStream(const QByteArray& value);
    bool ReadSkinStream(QIODevice& stream);
    QByteArray WriteSkinStream() const;

    void LoadFromFile(const QString& path);
    void LoadFromStream(QIODevice& stream);
    void LoadFromCollection(const TSkinStore& store, int index);

    bool GetPrecolor(TColor& color, int n) const;
    TColor GetCaptionColor() const;
    // Fills bitmap from the container entry name (".bmp" names only).
    void Readbmp(QImage& bitmap, const QString& name);
    static QString GetFileName(const QString& s);

    // Every element the build reads, by field name; null when the skin lacks it.
    std::vector<std::pair<QString, const TDataSkinObject*>> Elements() const;
    // Names of elements missing from the built skin (empty when all are there).
    QStringList MissingElements() const;

    // Runs after a load replaces the skin; the skin manager hooks in here.
    std::function<void(TSkinData* sender)> OnApplySkinChange;
    bool Designing = false;
    // The program's 118-line class map made at creation.
    static QStringList DefaultSkin3rd();

    // --- skin state
    TColor fMenuSideBar = clBtnFace;
    QByteArray data; // the container exactly as stored
    bool Empty = true;
    std::array<TColor, ColorCount> Colors{};
    std::array<bool, ColorCount> hasColors{};
    std::vector<TColor> ColorPreset;
    QImage SysIcon;
    std::unique_ptr<TDataSkinTitle> Title;
    std::vector<std::unique_ptr<TDataSkinSysButton>> SysBtn;
    std::unique_ptr<TDataSkinButton> Button;
    std::unique_ptr<TDataSkinBorder> tab, HSpin, VSpin, combox;
    std::unique_ptr<TDataSkinObject> Comboxborder, ExtraImages, comboxarrow, Box, Toolbar,
        Toolbarbtn, progress, progresschunk;
    std::unique_ptr<TDataSkinBoxLabel> boxlabel;
    std::unique_ptr<TDataSkinObject> StatusBar, TabSheet, Header, Menubar, MenuItem, MenuitemBG,
        SArrow, HBar, VBar, HSlider, VSlider, TrackHorz, TrackVert, TrackBar, TrackBarVert,
        TrackLeft, Trackright, Tracktop, Trackbottom, MinCaption;
    std::array<std::unique_ptr<TDataSkinBorder>, 4> border;
    std::array<TColor, 10> PresetColors{};
    QBrush BGBrush;
    bool MenuMsg = true;
    std::vector<QImage> bmpmenu; // 16 x 16 glyphs, white transparent
    QString SkinName;
    QStringList* DebugList = nullptr;
    int cxMax = 0;
    int cyMax = 0;
    QFont CaptionFont;
    quintptr formhwnd = 0;
    int hintcount = 0;
    bool hashint = false;
    TWinContainers FContainers = TWinContainers::FromBits((1u << 10) - 1);

private:
    // Unpacks `data` and builds every element; the skin stays empty on failure.
    bool BuildSkin();
    void ResetSkin();
    void ApplySkinChange();

    void ReadBorders();
    void ReadColors();
    void ReadSysButtons();
    void ReadButton();
    void ReadTitle();
    void ReadElements();
    void FixFrames();
    void MakeDerivedImages();

    std::unique_ptr<TDataSkinObject> ReadGeneral(const QString& section);
    std::unique_ptr<TDataSkinBorder> ReadMasked(const QString& section, const QString& maskKey);
    std::unique_ptr<TDataSkinObject> ReadBitmapElement(const QString& section);
    std::unique_ptr<TDataSkinBoxLabel> ReadBoxLabel(const QString& section);
    template <typename TObj> bool ReadGeneralInto(TObj& obj, bool withFrame);
    std::unique_ptr<TDataSkinObject> ReadTrack(const QString& section, const QString& resource);
    TColor ReadColorKey(const QString& section, const QString& key, TColor def) const;
    int ReadInt(const QString& section, const QString& key, int def) const;
    QString ReadStr(const QString& section, const QString& key) const;

    bool FActive = false;
    QString FSkinFile;
    // Alive only while a skin is built.
    TQuickIni* ini = nullptr;
    TSkinReader* reader = nullptr;
    QByteArray ms;
    QStringList sectionlist;
};
