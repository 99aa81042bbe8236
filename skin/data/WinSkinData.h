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
#include <QObject>
#include <QRect>
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

class QWidget;
class TSkinData;
class TSkinRunTime;

// What the platform tells about one scroll bar (window rectangle, arrow size,
// thumb extent along the bar, state bits: 1 hidden, 2 disabled).
struct TScrollBarInfo {
    QRect rcScrollBar;
    int dxyLineButton = 0;
    int xyThumbTop = 0;
    int xyThumbBottom = 0;
    int rgstate = 0;
};
// Object ids of GetScrollBarInfo: a window's own bars, or a scroll-bar control.
enum TScrollBarObject { ObjidHScroll = -6, ObjidVScroll = -5, ObjidClient = -4 };

// The skinned window that asks OnSkinControl. The data side does not know the
// run time's window class; a handler that names it as its parameter's type gets
// the window as that class (null were it another).
class TSkinFormSender {
public:
    explicit TSkinFormSender(QObject* form) : FForm(form) {}
    template <typename T> operator T*() const { return qobject_cast<T*>(FForm); }

private:
    QObject* FForm;
};

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
    // Asked for every window before it is skinned; replaces the built-in exemptions.
    std::function<void(QObject* sender, const QString& aName, bool& DoSkin)> OnFormSkin;
    // Lets the host give one control its skin object (any other object: unskinned).
    std::function<void(TSkinFormSender sender, TSkinData* skinData, QWidget* form, QWidget* control,
                       const QString& controlClass, QObject*& skinnedControl)>
        OnSkinControl;
    std::function<void(QObject* sender, QWidget* ahwnd, const QString& aName)> OnBeforeSkinForm;
    std::function<void(QObject* sender, QWidget* ahwnd, const QString& aName)> OnAfterSkinForm;

    // The owning window (set by the window that places the component).
    QObject* Owner = nullptr;
    // True from creation until Loaded: property setters only store.
    bool Reading() const { return FReading; }

    // --- run time: carried out by the run time plugged in (SkinRunTime.h), if any
    void Loaded();
    void Install();
    void Uninstall();
    void ChangeForm(QWidget* form);
    void SkinForm(QWidget* handle);
    void AddNestForm(QWidget* form);
    void UpdateSkinControl(QWidget* form, QWidget* control);
    void DeleteGraphicControl(QWidget* control);
    void UpdateMenu(QWidget* form);
    void UpdateMainMenu(bool done);
    void InstallThread(quintptr id);
    void UnInstallThread(quintptr id);
    void EnableSkin(bool on);
    static void ChangeProperty(QObject* object, const QString& name, const QString& value);
    void ActivateHint(const QRect& rect, const QString& text);
    void HideHint();
    bool IsHint() const { return hashint; }
    static bool GetScrollBarInfo(QWidget* handle, int objectId, TScrollBarInfo& info);
    void DoDebug(const QString& text);

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

    // Runs after a load replaces the skin, instead of the run time's re-skinning.
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
    std::unique_ptr<QObject> fhintwindow; // made on first use
    TWinContainers FContainers = TWinContainers::FromBits((1u << 10) - 1);

private:
    friend class TSkinRunTime;

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
    bool FReading = true;
    QString FSkinFile;
    // Alive only while a skin is built.
    TQuickIni* ini = nullptr;
    TSkinReader* reader = nullptr;
    QByteArray ms;
    QStringList sectionlist;
};
