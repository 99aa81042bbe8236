#pragma once
// The control skins: one skin object per skinned control, attached through
// the control's event filter and painting the control from the skin.

#include "SkinHook.h"
#include "WinSkinData.h"

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QRect>
#include <QVariant>
#include <memory>

class QPainter;
class TSkinFormHost;

class TSkinControl : public QObject, public TSkinHookTarget {
    Q_OBJECT
public:
    // State values GetState reports, in the order of Button's state frames.
    enum { stNormal = 0, stOver = 1, stDown = 2, stDisabled = 3, stFocused = 4 };

    // Owned by `control`: it goes with the control. `form` may be null for a
    // control skinned outside a window's finish (tests, UpdateSkinControl).
    TSkinControl(QWidget& control, TSkinFormHost* form, TSkinData& skin);
    ~TSkinControl() override;

    // A control of our own windows; joins the form's Controllist.
    virtual void Init();
    // A control of a foreign window (message boxes, file dialogs).
    virtual void Inithwnd();
    // Stops painting; restores what Init changed unless the control is dying.
    virtual void Unsubclass();
    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void AfterProc(QWidget& widget, QEvent& event) override;
    bool WantsAfter(QEvent::Type type) const override;
    // Paints the skin over what the control drew itself.
    virtual void PaintControl(QPainter& painter);
    // Paints the whole control (for skins that replace the control's painting).
    virtual void DrawControl(QPainter& painter);
    // A new skin was applied: read elements again and repaint.
    virtual void SkinChange();
    virtual int GetState() const;
    // Sets a property of the control, keeping its old value for the undo.
    void SetControlProperty(const char* name, const QVariant& value);

    // --- fields in the order of the design
    int state = stNormal;
    bool done = false;
    bool isdraw = false;
    bool enabled = true;
    bool focused = false;
    QString caption;
    bool skinned = false;
    TSkinData* fsd = nullptr;
    QPointer<QWidget> hwnd;
    QPointer<QWidget> control; // null for a foreign window's control
    QRect boundsrect;
    bool newColor = false; // replace the control's colour by the scheme's button face
    QPalette oldcolor;
    bool oldAutoFill = false;
    bool Inited = false;
    int skinstate = 0; // 1 skinned, 6 window being destroyed
    QPointer<TSkinFormHost> skinform;
    int kind = 0;
    bool sizing = false;
    bool parentbk = false;
    bool hover = false;
    bool pressed = false;

protected:
    // True for skins that swallow the control's own paint and call DrawControl.
    virtual bool DrawsWholeControl() const { return false; }
    // True for skins that paint a background under the control's own paint.
    virtual bool DrawsBackground() const { return false; }
    virtual void DrawBackground(QPainter&) {}
    // The widget whose paint events carry the skin (a scroll area's viewport...).
    virtual QWidget* PaintWidget() const { return hwnd.data(); }
    void Subclass();

private:
    struct TSavedProperty {
        QByteArray name;
        QVariant value;
    };
    QList<TSavedProperty> FSavedProperties;
    std::unique_ptr<TSkinHook> FHook;
    std::unique_ptr<TSkinHook> FPaintHook;
    bool FUnsubclassed = false;
    bool FHadOwnPalette = false;
};

// A control's Tag: the dynamic property "Tag" (int), 0 when not set.
int ControlTag(const QObject& control);
void SetControlTag(QObject& control, int tag);

// The hand-over from a skinned window's finish: classify every control of the
// window and give each its skin object.
void SkinFormControls(TSkinFormHost& form);
// Undo of every control skin of the window (`destroyed`: the window is going).
void UnskinFormControls(TSkinFormHost& form, bool destroyed);
// A new skin: every control skin of the window reads it and repaints.
void RefreshFormControls(TSkinFormHost& form);
