#include "WinSubClassCombo.h"

#include "SkinPaint.h"
#include "WinSkinData.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

bool TArrowButton::Track(const QWidget& control, const QEvent& event) {
    const bool oldHover = hover;
    const bool oldDown = down;
    auto inside = [&](const QPointF& pos) {
        return own ? rect.contains(pos.toPoint()) : control.rect().contains(pos.toPoint());
    };
    switch (event.type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        hover = inside(static_cast<const QHoverEvent&>(event).position());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        hover = false;
        down = false;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        down = static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton &&
               inside(static_cast<const QMouseEvent&>(event).position());
        break;
    case QEvent::MouseButtonRelease:
        down = false;
        break;
    default:
        break;
    }
    return hover != oldHover || down != oldDown;
}

int TArrowButton::State(bool enabled, bool popupOpen) const {
    if (!enabled) {
        return 3;
    }
    if (popupOpen || (down && hover)) {
        return 2;
    }
    return hover ? 1 : 0;
}

void TArrowButton::Paint(QPainter& painter, const TSkinData& skin, int state) const {
    const TDataSkinObject* arrow = skin.comboxarrow.get();
    if (!arrow || arrow->Map.isNull() || rect.isEmpty()) {
        return;
    }
    DrawSkinElement(painter, rect, *arrow, state);
}

TSkinComBox::TSkinComBox(QWidget& control_, TSkinFormHost* form, TSkinData& skin)
    : TSkinStyledControl(control_, form, skin), FArrow(false) {}

bool TSkinComBox::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    const bool handled = TSkinStyledControl::BeforeProc(widget, event, result);
    // A separate drop-down button (kind 1): only the arrow zone reacts.
    FArrow.own = kind == 1;
    if (skinned && &widget == hwnd.data() && FArrow.Track(widget, event)) {
        widget.update();
    }
    return handled;
}

bool TSkinComBox::PopupOpen() const {
    auto* combo = qobject_cast<QComboBox*>(hwnd.data());
    return combo && combo->view() && combo->view()->isVisible();
}

void TSkinComBox::PaintControl(QPainter& painter) {
    try {
        QWidget* w = hwnd.data();
        if (!w || !fsd || !HasArrow() || !Style()) {
            return;
        }
        FArrow.rect = QStyle::visualRect(w->layoutDirection(), w->rect(),
                                         TSkinElementStyle::ComboArrowRect(w->rect()));
        FArrow.Paint(painter, *fsd, FArrow.State(w->isEnabled(), PopupOpen()));
    } catch (...) {
    }
}

void TSkinComBox::CollectTargets(std::vector<QWidget*>& targets) const {
    auto* combo = qobject_cast<QComboBox*>(hwnd.data());
    if (!combo) {
        return;
    }
    targets.push_back(combo);
    if (QAbstractItemView* view = combo->view()) {
        targets.push_back(view);
        targets.push_back(view->verticalScrollBar());
        targets.push_back(view->horizontalScrollBar());
    }
}

void TSkinDateTime::CollectTargets(std::vector<QWidget*>& targets) const {
    if (auto* edit = qobject_cast<QDateTimeEdit*>(hwnd.data())) {
        targets.push_back(edit);
    }
}

bool TSkinDateTime::HasArrow() const {
    auto* edit = qobject_cast<QDateTimeEdit*>(hwnd.data());
    return edit && edit->calendarPopup();
}

bool TSkinDateTime::PopupOpen() const {
    auto* edit = qobject_cast<QDateTimeEdit*>(hwnd.data());
    // Asking for the calendar would create it; its open pop-up is the edit's child.
    const QWidget* popup = QApplication::activePopupWidget();
    return edit && edit->calendarPopup() && popup && popup->parentWidget() == edit;
}
