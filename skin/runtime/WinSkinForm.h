#pragma once
// One skinned top-level window: takes the window over, draws its frame,
// caption, caption buttons and menu bar from the skin, hands its controls to
// the control skins, and gives everything back when it is undone.

#include "SkinFormHost.h"
#include "SkinHook.h"
#include "WinSkinData.h"

#include <QCursor>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QSet>
#include <QTimer>
#include <memory>
#include <vector>

class TSkinManageBase;
class TWinSkinMenu;
class TFinishFirst;
class QMenu;
class QPainter;

enum TFormBorder { fbNone, fbSingle, fbSizeable, fbDialog };
enum TFormStyleKind { fsNormal, fsMDIChild, fsMDIForm };

// Caption button actions as the skin numbers them.
enum TCaptionAction { caClose = 0, caMaximize = 1, caMinimize = 2, caHelp = 3, caRestore = 4 };

// Where a point of a skinned window lies.
enum class TFrameHit {
    Client,
    Caption,
    Icon,
    Button,
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight
};

// The skin's border widths: the frame heights of Top and Bottom (frames stacked),
// the frame widths of Left and Right (frames side by side). Zero everywhere when
// the skin cannot give a window a usable frame (no Top border, or no close
// button): such a window keeps the platform's frame.
QMargins SkinBorderWidths(const TSkinData& skin);

// Hit test of point p (window coordinates) in a window of `size` with border widths bw.
TFrameHit FrameHitTest(const QSize& size, const QMargins& bw, const QPoint& p, bool sizeable);

// One caption button laid out for the window's current width and state.
struct TCaptionButton {
    const TDataSkinSysButton* Data = nullptr;
    QRect Rect;
    int Action = caClose;
    bool Enabled = true;
};

// The caption buttons of a window of `width`, for its state; buttons of the MDI
// controls and those the window's flags do not offer are left out.
std::vector<TCaptionButton> LayoutCaptionButtons(const TSkinData& skin, int width, bool maximized,
                                                 bool canMinimize, bool canMaximize, bool sizeable);

// The window region a skinned window of `size` gets: everything except the
// border pixels its masks cut away (mask white) or, without a mask, the
// transparency colour of a border whose `trans` is set. Empty region: no cut.
QRegion SkinWindowRegion(const TSkinData& skin, const QSize& size);

// The hint a caption button of `action` shows (empty for none).
QString CaptionButtonHint(int action);

// The colours a skinned window paints its text and controls in: every role from
// the skin's scheme, whatever the desktop's palette holds.
QPalette SkinPalette(const TSkinData& data);

class TWinSkinForm : public TSkinFormHost, public TSkinHookTarget {
    Q_OBJECT
public:
    // Skinstate values.
    static constexpr int ssNone = 0;
    static constexpr int ssSkinned = 1;
    static constexpr int ssDestroying = 4;
    static constexpr int ssResizing = 5;
    static constexpr int ssDiscard = 6;

    // Lives as a child of `window`, so it goes with the window (deleted without
    // UnSubclass, it counts the window as being destroyed).
    TWinSkinForm(QWidget& window, TSkinManageBase& manager);
    ~TWinSkinForm() override;

    // Our own windows (FForm set) and foreign ones (message boxes, file dialogs).
    void InitTform();
    void InitDlg();
    // Puts the skin's palette on the window, remembering the window's own once.
    void ApplySkinColors();
    // The 0x3503 finish, also run directly by tests.
    void Finish();
    // Undoes everything; `destroyed`: the window is going, restore nothing on it.
    void UnSubclass(bool destroyed);

    // Action 3: drop the caption buttons, read the elements again, redraw.
    void DeleteSysbtn();
    void SkinChanged();
    // MDI maximise handling.
    void SetRegionEnabled(bool on);
    void EnableCaptionButtons(bool on);
    bool IsMDIChild() const { return FormStyle == fsMDIChild; }

    // The skin's border widths for this window (zero when unusable).
    QMargins BorderWidths() const { return bw; }
    // True while the skin draws the frame (the platform's frame is off).
    bool DrawsFrame() const { return FFrameOn; }
    // The caption buttons as currently laid out, and which is hot or pressed.
    const std::vector<TCaptionButton>& CaptionButtons() const { return FButtons; }
    QRect CaptionIconRect() const;
    // Where the caption text must end in a window `width` wide, and the outer width
    // that shows the whole caption with its buttons.
    int CaptionTextRight(int width) const;
    int CaptionWidthNeeded() const;
    // Paints the whole frame (borders, caption, buttons) for the window's state.
    void PaintFrame(QPainter& painter);
    // Opens the system menu under the caption icon.
    void ShowSystemMenu();
    // Runs a caption button's action (close, minimise, maximise, restore).
    void RunCaptionAction(int action);

    // --- fields in the order of the design (Hwnd, FForm, fsd, Controllist and
    // Walked are the control skins' view, TSkinFormHost)
    QString formclass;
    QString classname;
    quintptr mode = 0;
    int Skinstate = ssNone;
    QPointer<TSkinManageBase> Manager;
    QTimer timer; // 250 ms
    bool sMainMenu = false;
    std::unique_ptr<TWinSkinMenu> menu;
    QPointer<QMenu> sysmenu;
    TFormStyleKind FormStyle = fsNormal;
    TFormBorder FormBorder = fbSingle;
    bool FormIconsSystemMenu = true, FormIconsMinimize = true, FormIconsMaximize = true,
         FormIconsHelp = false;
    Qt::WindowStates Windowstate;
    Qt::WindowFlags dwstyle; // the window's flags before skinning
    QMargins bw;
    QRect oldsize; // outer geometry before skinning
    QRegion WinRgn;
    bool ischildform = false;
    bool ismessagebox = false;
    bool bidileft = false;

    // --- the window's events before and after its own handling
    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void AfterProc(QWidget& widget, QEvent& event) override;
    bool WantsAfter(QEvent::Type type) const override;

    // Which caption button the mouse is over / holds down (-1: none).
    int HotButton() const { return FHot; }
    int PressedButton() const { return FPressed; }

private:
    void ReadWindowKind();
    void Subclass();
    void ApplyFrame();
    void RestoreFrame();
    void UpdateRegion(bool force);
    void Relayout();
    void UpdateFrame();
    void MakeCaptionIcon();
    void BuildSystemMenu();
    bool MousePress(QWidget& widget, QMouseEvent& event);
    bool MouseMove(QWidget& widget, QMouseEvent& event);
    bool MouseRelease(QWidget& widget, QMouseEvent& event);
    void Tick();
    int ButtonAt(const QPoint& p) const;
    bool Sizeable() const;
    void SetHot(int index);
    // The resize cursor over a sizeable window's borders; the window's own elsewhere.
    void UpdateCursor(QWidget& widget, const QPoint& p);
    void RestoreCursor();

    std::unique_ptr<TSkinHook> FHook;
    std::unique_ptr<TFinishFirst> FFinishFirst;
    std::vector<TCaptionButton> FButtons;
    QPixmap FIcon;
    bool FFrameOn = false;
    bool FUndone = false;
    static constexpr int CaptionGap = 4;
    bool FButtonsEnabled = true;
    bool FRegionEnabled = true;
    QSize FRegionSize;
    TDataSkinObject FTextBack{QStringLiteral("TextBack")};
    int FHot = -1;
    int FPressed = -1;

    // What the frame changes on the window, restored exactly.
    struct TSaved {
        QRect Geometry;
        QSize OuterSize;  // given back on undo
        QPoint SkinnedAt; // outer corner once skinned: undo keeps moves made since
        QSize MinSize, MaxSize;
        QMargins Contents;
        bool MouseTracking = false;
        bool HadMask = false;
        QRegion Mask;
        std::vector<std::pair<QPointer<QWidget>, QPoint>> ChildPos;
        bool Visible = false;
        bool Moved = false, Resized = false;
        bool OwnPalette = false;
        QPalette Palette;
        bool OwnCursor = false;
        QCursor Cursor;
    } FSaved;
    bool FColorSet = false;
    bool FCursorSet = false;

    // A drag or resize the platform refused: the skin follows the mouse itself.
    enum class TDrag { None, Move, Resize };
    TDrag FDrag = TDrag::None;
    TFrameHit FDragEdge = TFrameHit::Client;
    QPoint FDragStart;
    QRect FDragGeometry;
};
