#pragma once
// The one skin manager: watches every top-level window and pop-up menu of the
// program through an application-wide event filter (the window hook), decides
// whether and with which skin component each is skinned, and runs the skin's
// numbered actions from one coalescing timer.

#include "SkinManageBase.h"
#include "WinSkinData.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

class QMenu;
class QMdiSubWindow;
class TWinSkinForm;
class TWinSkinPopMenu;

struct TSkinThread {
    quintptr hook = 0;
    quintptr ThreadID = 0;
};

class TSkinManage : public TSkinManageBase {
    Q_OBJECT
public:
    // amode 0: the main manager, owning the lists; otherwise a subordinate one.
    explicit TSkinManage(quintptr amode = 0);
    ~TSkinManage() override;

    void InstallHook();
    void InstallThread(quintptr threadId);
    void UnInstallThread(quintptr threadId);
    void AddSkinData(TSkinData* data);
    void RemoveSkinData(TSkinData* data);
    bool AddForm(QWidget* window);
    bool DeleteForm(QWidget* window);
    void SetAction(int code, int interval);
    void DeleteSysbtn();
    void AssignData(TSkinManage* main);
    TWinSkinPopMenu* FindPopupMenu(QMenu* menu) const;
    void SetMDIMax(bool on);
    void SetMDIMax2(bool on);
    // The menu kind the next hooked pop-up counts as (0 pop-up, 1 menu bar, 2 system menu).
    void SetPopMenu(int kind) { menutype = kind; }
    int GetMDIChildNum() const;

    // Forwarding operations of the skin component.
    void AddNestForm(QWidget* form);
    void UpdateSkinControl(QWidget* form, QWidget* control);
    void DeleteGraphicControl(QWidget* control);
    void UpdateMenu(QWidget* form);
    void UpdateMainMenu(bool done);
    void EnableSkin(bool on);

    // Drops entries of dead windows and, for this manager, those marked 6.
    void Purge();
    // The lists this manager works on: its own, or its main manager's.
    TSkinManage& Lists() { return mmgr ? *mmgr : *this; }
    const TSkinManage& Lists() const { return mmgr ? *mmgr : *this; }
    // The skinned window of `window`, or null.
    TWinSkinForm* FindForm(const QWidget* window) const;
    // The component that AddForm step 7 would choose for this window and class.
    TSkinData* ChooseSkinData(const QWidget* window, const QString& className) const override;

    // --- fields in the order of the design (active, menutype and menuactive:
    // TSkinManageBase)
    QTimer Timer;
    QList<QPointer<TWinSkinForm>> Flist;
    QList<QPointer<TWinSkinPopMenu>> Mlist;
    QList<TSkinData*> Dlist;
    std::vector<TSkinThread> Threadlist;
    QList<TSkinManage*> sublist;
    bool skinchildform = false;
    int state = 0; // 0 created, 1 running, 4 shutting down
    bool MDIMax = false;
    bool WMSetDraw = false;
    QPointer<QWidget> clienthwnd;
    QPointer<QWidget> MDIForm;
    int action = 0;
    TSkinData* UpdateData = nullptr;
    bool SBinstall = false;
    TSkinData* MainData = nullptr;
    quintptr mode = 0;
    QPointer<QWidget> lpara;
    TSkinManage* mmgr = nullptr;

protected:
    // The window hook: every event of the application passes here first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunAction();
    void SkinOn(TSkinData& data);
    void SkinOff(TSkinData& data);
    void SkinChangedAction(TSkinData& data);
    void DropDiscarded();
    void ReskinWindow(QWidget* window);
    void ReleaseForm(TWinSkinForm* form, bool destroyed);
    bool ExemptByClass(const QWidget& window, const QString& className) const;
    void HookPopup(QMenu& menu);
    void ReleasePopup(const QPointer<TWinSkinPopMenu>& pop);
    void MDIChildStateChanged();
    void SetMDIMaxOf(bool on);
    bool FHookInstalled = false;
};

// The global manager reference; null before the skin component is loaded and
// after the skin units are finalised.
TSkinManage* SkinManager();
// The global manager, made when there is none yet.
TSkinManage& CreateSkinManager();
// True after FinalizeSkinUnits until the next InitializeSkinUnits: the hook passes all on.
bool SkinUnitsFinalized();

// The window class the skin decides by: "#32770" for the program's system
// dialogs (message boxes, file dialogs, the picture preview), "#32768" for a
// pop-up menu, otherwise the window's own class name (so "TForm_main").
QString SkinWindowClass(const QWidget& window);
// A widget's Tag (the "Tag" property; 0 when it has none).
int SkinTag(const QObject& object);

// The skin units' initialisation (before the main window is created) and
// finalisation (after the message loop, before the main window is destroyed).
void InitializeSkinUnits();
void FinalizeSkinUnits();
