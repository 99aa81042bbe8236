#include "WinSubClass.h"

#include "SkinFormHost.h"
#include "SkinMessages.h"
#include "SkinPaint.h"

#include <QPaintEvent>
#include <QPainter>

TSkinControl::TSkinControl(QWidget& control_, TSkinFormHost* form, TSkinData& skin)
    : QObject(&control_), fsd(&skin), hwnd(&control_), control(&control_), skinform(form) {}

TSkinControl::~TSkinControl() {
    if (!FUnsubclassed) {
        skinstate = 6; // going with its control: nothing is restored on it
    }
    FPaintHook.reset();
    FHook.reset();
    if (skinform) {
        skinform->Controllist.removeAll(QPointer<TSkinControl>(this));
    }
}

void TSkinControl::Subclass() {
    if (!hwnd || FHook) {
        return;
    }
    FHook = std::make_unique<TSkinHook>(*hwnd, *this);
    QWidget* paintWidget = PaintWidget();
    if (paintWidget && paintWidget != hwnd.data()) {
        FPaintHook = std::make_unique<TSkinHook>(*paintWidget, *this);
    }
}

void TSkinControl::Init() {
    if (!hwnd || Inited) {
        return;
    }
    Subclass();
    if (skinform && !skinform->Controllist.contains(this)) {
        skinform->Controllist.append(this);
    }
    if (newColor) {
        oldcolor = hwnd->palette();
        oldAutoFill = hwnd->autoFillBackground();
        FHadOwnPalette = hwnd->testAttribute(Qt::WA_SetPalette);
        QPalette palette = oldcolor;
        palette.setColor(QPalette::Window, ColorToQColor(fsd->Colors[3]));
        palette.setColor(QPalette::Button, ColorToQColor(fsd->Colors[3]));
        hwnd->setPalette(palette);
    }
    enabled = hwnd->isEnabled();
    focused = hwnd->hasFocus();
    skinned = true;
    Inited = true;
    skinstate = 1;
    hwnd->update();
}

void TSkinControl::SetControlProperty(const char* name, const QVariant& value) {
    if (!hwnd) {
        return;
    }
    FSavedProperties.append({QByteArray(name), hwnd->property(name)});
    hwnd->setProperty(name, value);
}

void TSkinControl::Inithwnd() {
    control = nullptr;
    Init();
}

void TSkinControl::Unsubclass() {
    skinned = false;
    FUnsubclassed = true;
    if (!hwnd || skinstate == 6) {
        return;
    }
    if (newColor && Inited) {
        // Back to exactly what the control had: its own palette, or the inherited one.
        hwnd->setPalette(FHadOwnPalette ? oldcolor : QPalette());
        if (!FHadOwnPalette) {
            hwnd->setAttribute(Qt::WA_SetPalette, false);
        }
        hwnd->setAutoFillBackground(oldAutoFill);
    }
    for (auto it = FSavedProperties.crbegin(); it != FSavedProperties.crend(); ++it) {
        hwnd->setProperty(it->name.constData(), it->value);
    }
    FSavedProperties.clear();
    hwnd->update();
    if (QWidget* paintWidget = PaintWidget()) {
        paintWidget->update();
    }
}

bool TSkinControl::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    switch (static_cast<int>(event.type())) {
    case SkinMsg::Query:
        static_cast<TSkinMessage&>(event).Result = 1;
        result = true;
        return true;
    case SkinMsg::OnOff:
        skinned = static_cast<TSkinMessage&>(event).WParam > 0;
        // Off as well as on: the control's own look must come back at once.
        widget.update();
        if (QWidget* paintWidget = PaintWidget(); paintWidget && paintWidget != &widget) {
            paintWidget->update();
        }
        result = true;
        return true;
    default:
        break;
    }
    if (!skinned) {
        return false;
    }
    switch (event.type()) {
    case QEvent::Paint:
        if (&widget != PaintWidget()) {
            break;
        }
        if (DrawsWholeControl()) {
            PaintGuarded(widget, [this](QPainter& painter) { DrawControl(painter); });
            result = true;
            return true;
        }
        if (DrawsBackground()) {
            PaintGuarded(widget, [this](QPainter& painter) { DrawBackground(painter); });
        }
        break;
    case QEvent::Enter:
        hover = true;
        widget.update();
        break;
    case QEvent::Leave:
        hover = false;
        pressed = false;
        widget.update();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        pressed = true;
        widget.update();
        break;
    case QEvent::MouseButtonRelease:
        pressed = false;
        widget.update();
        break;
    default:
        break;
    }
    return false;
}

bool TSkinControl::WantsAfter(QEvent::Type type) const {
    switch (type) {
    case QEvent::Paint:
        return !DrawsWholeControl();
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::EnabledChange:
        return true;
    default:
        return false;
    }
}

void TSkinControl::AfterProc(QWidget& widget, QEvent& event) {
    switch (event.type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        focused = widget.hasFocus();
        widget.update();
        break;
    case QEvent::EnabledChange:
        enabled = widget.isEnabled();
        widget.update();
        break;
    case QEvent::Paint:
        // Both hooks see paints; the skin goes on the widget that carries it.
        if (skinned && &widget == PaintWidget()) {
            PaintGuarded(widget, [this](QPainter& painter) { PaintControl(painter); });
        }
        break;
    default:
        break;
    }
}

void TSkinControl::PaintControl(QPainter&) {}

void TSkinControl::DrawControl(QPainter&) {}

void TSkinControl::SkinChange() {
    if (hwnd) {
        hwnd->update();
    }
    if (QWidget* paintWidget = PaintWidget()) {
        paintWidget->update();
    }
}

int TSkinControl::GetState() const {
    if (!enabled) {
        return stDisabled;
    }
    if (pressed && hover) {
        return stDown;
    }
    if (hover) {
        return stOver;
    }
    if (focused) {
        return stFocused;
    }
    return stNormal;
}

int ControlTag(const QObject& control) {
    return control.property("Tag").toInt();
}

void SetControlTag(QObject& control, int tag) {
    control.setProperty("Tag", tag);
}
