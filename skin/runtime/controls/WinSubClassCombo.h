#pragma once
// Combo boxes and date-time editors, and the arrow zone of a combo face as a
// small button of its own: its state (normal, over, pressed, disabled) picks
// the frame of the skin's combo arrow.

#include "WinSubClassScrollStyle.h"

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

// A QComboBox: face from the combo strip, the arrow zone a TArrowButton, and
// its pop-up list's frame and scroll bars. kind 1: the arrow zone is a
// separate drop-down button with its own hover.
class TSkinComBox : public TSkinStyledControl {
    Q_OBJECT
public:
    TSkinComBox(QWidget& control, TSkinFormHost* form, TSkinData& skin);
    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    void PaintControl(QPainter& painter) override;
    const TArrowButton& Arrow() const { return FArrow; }

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
    bool PaintsOver() const override { return true; }
    virtual bool HasArrow() const { return true; }
    virtual bool PopupOpen() const;

    TArrowButton FArrow;
};

// A QDateTimeEdit: with a calendar pop-up a combo face and arrow, otherwise
// up-down buttons.
class TSkinDateTime : public TSkinComBox {
    Q_OBJECT
public:
    using TSkinComBox::TSkinComBox;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
    bool HasArrow() const override;
    bool PopupOpen() const override;
};
