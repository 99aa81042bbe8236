#pragma once
// One skinned top-level window: takes the window over, draws its frame,
// caption, caption buttons and menu bar from the skin, hands its controls to
// the control skins, and gives everything back when it is undone.

#include "SkinHook.h"
#include "WinSkinData.h"

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <memory>

class TSkinControl;
class TSkinManage;
class TWinSkinMenu;
class QMenu;

enum TFormBorder { fbNone, fbSingle, fbSizeable, fbDialog };
enum TFormStyleKind { fsNormal, fsMDIChild, fsMDIForm };

class TWinSkinForm : public QObject, public TSkinHookTarget {
    Q_OBJECT
public:
    // Skinstate values.
    static constexpr int ssNone = 0;
    static constexpr int ssSkinned = 1;
    static constexpr int ssDestroying = 4;
    static constexpr int ssResizing = 5;
    static constexpr int ssDiscard = 6;

    // Lives as a child of `window`, so it goes with the window.
    TWinSkinForm(QWidget& window, TSkinManage& manager);
    ~TWinSkinForm() override;

    // Our own windows (FForm set) and foreign ones (message boxes, file dialogs).
    void InitTform();
    void InitDlg();
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

    // --- fields in the order of the design
    QPointer<QWidget> Hwnd;
    QPointer<QWidget> FForm; // our own window; null for a foreign one
    TSkinData* fsd = nullptr;
    QString formclass;
    QString classname;
    quintptr mode = 0;
    int Skinstate = ssNone;
    TSkinManage* Manager = nullptr;
    QTimer timer; // 250 ms
    bool sMainMenu = false;
    std::unique_ptr<TWinSkinMenu> menu;
    QPointer<QMenu> sysmenu;
    // The control skins of this window; entries go null when a control dies.
    QList<QPointer<TSkinControl>> Controllist;
    TFormStyleKind FormStyle = fsNormal;
    TFormBorder FormBorder = fbSingle;
    bool FormIconsSystemMenu = true, FormIconsMinimize = true, FormIconsMaximize = true,
         FormIconsHelp = false;
    Qt::WindowStates Windowstate;
    Qt::WindowFlags dwstyle; // the window's flags before skinning
    QMargins bw;
    QRect oldsize; // outer geometry before skinning
    bool ischildform = false;
    bool ismessagebox = false;
    bool bidileft = false;

    // --- the window's events before and after its own handling
    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void AfterProc(QWidget& widget, QEvent& event) override;
    bool WantsAfter(QEvent::Type type) const override;

private:
    std::unique_ptr<TSkinHook> FHook;
};
