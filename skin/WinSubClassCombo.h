#pragma once
// The arrow zone of a combo face as a small button of its own: its state
// (normal, over, pressed, disabled) picks the frame of the skin's combo arrow.

#include <QRect>

class QPainter;
class QWidget;
class QEvent;
class TSkinData;

class TArrowButton {
public:
    // `own`: the zone reacts to the mouse over it alone (a separate
    // drop-down button); otherwise it follows the whole control.
    explicit TArrowButton(bool own_ = false) : own(own_) {}

    // Follows hover and press events of the control; true when the state changed.
    bool Track(const QWidget& control, const QEvent& event);
    // 0 normal, 1 over, 2 pressed (also while the pop-up is open), 3 disabled.
    int State(bool enabled, bool popupOpen) const;
    void Paint(QPainter& painter, const TSkinData& skin, int state) const;

    QRect rect;
    bool hover = false;
    bool down = false;
    bool own;
};
