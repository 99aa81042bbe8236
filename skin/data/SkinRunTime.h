#pragma once
// What the skin component's data side asks of the skin's run time (the manager,
// skinned windows, the hint window). The run time lives in a library above the
// data and plugs one object in at start-up; the data side knows it only through
// this interface, so no run-time type is named here and nothing links upwards.

#include <QtGlobal>

class QRect;
class QString;
class QWidget;
class TSkinData;
struct TScrollBarInfo;

class TSkinRunTime {
public:
    // The component's life with the manager: its Loaded (after the data side's
    // own step), a change of Active, a new skin, and its end.
    virtual void Loaded(TSkinData& data) = 0;
    virtual void ActiveChanged(TSkinData& data) = 0;
    virtual void SkinChanged(TSkinData& data) = 0;
    virtual void Destroyed(TSkinData& data) = 0;

    // The component's operations that act on the manager's windows.
    virtual void Install(TSkinData& data) = 0;
    virtual void Uninstall(TSkinData& data) = 0;
    virtual void ChangeForm(TSkinData& data, QWidget* form) = 0;
    virtual void SkinForm(QWidget* handle) = 0;
    virtual void AddNestForm(QWidget* form) = 0;
    virtual void UpdateSkinControl(QWidget* form, QWidget* control) = 0;
    virtual void DeleteGraphicControl(QWidget* control) = 0;
    virtual void UpdateMenu(QWidget* form) = 0;
    virtual void UpdateMainMenu(bool done) = 0;
    virtual void InstallThread(quintptr id) = 0;
    virtual void UnInstallThread(quintptr id) = 0;
    virtual void EnableSkin(bool on) = 0;

    // Widgets the data side cannot make or read: the caption-button hint, scroll bars.
    virtual void ActivateHint(TSkinData& data, const QRect& rect, const QString& text) = 0;
    virtual void HideHint(TSkinData& data) = 0;
    virtual bool GetScrollBarInfo(QWidget* handle, int objectId, TScrollBarInfo& info) = 0;

protected:
    // Never deleted through this interface: the plugged object lives as long as the program.
    ~TSkinRunTime() = default;
    // Loaded turns a component without a skin off without asking the run time again.
    static void TurnOffQuietly(TSkinData& data);
};

// The run time plugs itself in once; null while no run time is linked (the data
// alone, as the data's own tests use it).
void PlugSkinRunTime(TSkinRunTime* runTime);
TSkinRunTime* SkinRunTime();
