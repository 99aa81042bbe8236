#pragma once
// Skins of containers and framed controls: group box, panels, edit border,
// status bar, tabs and pages, progress bar, the MDI client.

#include "WinSubClass.h"

class QGroupBox;

#include <memory>
#include <vector>

// A group box: the edge from Box (enabled, disabled), the title on boxlabel.
class TSkinGroupBox : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void DrawControl(QPainter& painter) override;
    // Where the edge, the label's plate and its text go; the plate is kept
    // inside the box by moving plate and text together.
    static void Layout(const QGroupBox& box, const TSkinData& skin, QRect& edge, QRect& plate,
                       QRect& text);

protected:
    bool DrawsWholeControl() const override;
};

// A panel filled with the scheme's button face under its own frame and
// children. kind 1: a tool bar (background from Toolbar unless xoToolbarBK);
// kind 2: a cool bar, whose bands take the button face through its palette.
class TSkinBox : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void Init() override;

protected:
    bool DrawsBackground() const override;
    void DrawBackground(QPainter& painter) override;
};

// The same fill for a container of a foreign window.
class TSkinBoxH : public TSkinBox {
    Q_OBJECT
public:
    using TSkinBox::TSkinBox;
};

// An edit's border: a one-pixel line in the button shadow with two white
// lines inside it, over the edit's own frame.
class TSkinEdit : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void PaintControl(QPainter& painter) override;
};

// A status bar: the bar from StatusBar's first frame, each panel (a label
// child) from its second with the panel's text; the labels' own painting is
// swallowed while skinned.
class TSkinStatusBar : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    ~TSkinStatusBar() override;
    void Init() override;
    void Unsubclass() override;
    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void DrawControl(QPainter& painter) override;

protected:
    bool DrawsWholeControl() const override;

private:
    std::vector<std::unique_ptr<TSkinHook>> FPanelHooks;
};

// Tabs from the tab element (normal, mouse-over, selected, disabled, focused)
// on a tab bar; the pane from TabSheet on a tab widget or a page control. A
// tab widget's own tab bar gets a second TSkinTab.
class TSkinTab : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    ~TSkinTab() override;
    void Init() override;
    void Unsubclass() override;
    void DrawControl(QPainter& painter) override;

protected:
    bool DrawsWholeControl() const override;
    virtual const TDataSkinObject* TabFace() const;

private:
    QPointer<TSkinControl> FBarSkin;
};

class TSkinTab31 : public TSkinTab {
    Q_OBJECT
public:
    using TSkinTab::TSkinTab;
};

class TSkinAdvPage : public TSkinTab {
    Q_OBJECT
public:
    using TSkinTab::TSkinTab;
};

// A page control whose tabs are buttons: the tabs' faces from Button.
class TSkinTabBtn : public TSkinTab {
    Q_OBJECT
public:
    using TSkinTab::TSkinTab;

protected:
    const TDataSkinObject* TabFace() const override;
};

// One page: the pane picture under its controls.
class TSkinTabSheet : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;

protected:
    bool DrawsBackground() const override;
    void DrawBackground(QPainter& painter) override;
};

// A progress bar: the trough from progress, the done part from progresschunk.
class TSkinProgress : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void DrawControl(QPainter& painter) override;

protected:
    bool DrawsWholeControl() const override;
};

// An MDI area whose own scroll bars are removed while skinned (xoMDIScrollbar clear).
class TSkinMDIClient : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void Init() override;
    void Unsubclass() override;

private:
    Qt::ScrollBarPolicy FHorz = Qt::ScrollBarAsNeeded;
    Qt::ScrollBarPolicy FVert = Qt::ScrollBarAsNeeded;
    bool FSaved = false;
};
