#pragma once
// Skinned menus: a window's menu bar drawn from the skin, and pop-up menus
// (context menus, the system menu) drawn from the menu elements.

#include "SkinHook.h"
#include "WinSkinData.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <memory>

class QMenu;
class QMenuBar;
class QStyle;
class TSkinFormHost;
class TSkinManageBase;
class TSkinMenuStyle;
class QPainter;

class TWinSkinMenu : public QObject, public TSkinHookTarget {
    Q_OBJECT
public:
    // `form`: the window the bar belongs to; `manager`: the one that skinned it.
    TWinSkinMenu(TSkinFormHost& form, TSkinManageBase* manager, QMenuBar& bar);
    ~TWinSkinMenu() override;
    void Unsubclass();

    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void AfterProc(QWidget& widget, QEvent& event) override;
    bool WantsAfter(QEvent::Type type) const override;

    QPointer<QMenuBar> Bar;
    TSkinFormHost& Form;
    QPointer<TSkinManageBase> Manager;

    // Draws the bar: background from Menubar, the highlighted item from MenuItem.
    void PaintBar(QPainter& painter);

private:
    void WatchMenus();
    std::unique_ptr<TSkinHook> FHook;
    QList<QMetaObject::Connection> FConnections;
    bool FDone = false;
};

class TWinSkinPopMenu : public QObject, public TSkinHookTarget {
    Q_OBJECT
public:
    TWinSkinPopMenu(QMenu& menu, TSkinData& skin, TSkinManageBase& manager);
    ~TWinSkinPopMenu() override;
    // Gives the menu back its own look and behaviour.
    // The menu is being destroyed: release without touching it.
    void MenuDestroyed();
    void Unsubclass();

    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void AfterProc(QWidget& widget, QEvent& event) override;
    bool WantsAfter(QEvent::Type type) const override;

    // --- fields in the order of the design
    bool done = false;
    QPointer<QMenu> hwnd;
    TSkinData* fsd = nullptr;
    int SelIndex = -1;
    bool ownerdraw = false;
    QPointer<TSkinManageBase> Manager;
    // True while the skin paints (the manager is active and the menu not released).
    bool Painting() const;

private:
    std::unique_ptr<TSkinHook> FHook;
    std::unique_ptr<TSkinMenuStyle> FStyle;
    QPointer<QStyle> FOldStyle;
    bool FHadOwnStyle = false;
    // Whether the menu's items were laid out with the skin's frame width.
    bool FLaidOutSkinned = true;
};
