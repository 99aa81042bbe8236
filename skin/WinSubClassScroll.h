#pragma once
// Control skins for the parts Qt draws inside a widget: scroll bars, combo
// boxes, track bars, up-down buttons, headers, list views, date-time editors.
// Each puts TSkinElementStyle on the widgets named below and undoes it exactly.

#include "WinSubClassCombo.h"
#include "WinSubClassScrollStyle.h"

// A QAbstractScrollArea (memo, list, rich edit, a dialog's list): its scroll
// bars are skinned. kind 1: the single-bar variant (the vertical bar only).
class TSkinScrollbar : public TSkinStyledControl {
    Q_OBJECT
public:
    using TSkinStyledControl::TSkinStyledControl;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
};

// A stand-alone QScrollBar.
class TSkinScControl : public TSkinStyledControl {
    Q_OBJECT
public:
    using TSkinStyledControl::TSkinStyledControl;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
};

// A QSizeGrip, drawn from the skin's size-grip picture.
class TSkinSizer : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void DrawControl(QPainter& painter) override;

protected:
    bool DrawsWholeControl() const override { return true; }
};

// A QComboBox: face from the combo strip, the arrow zone a TArrowButton, and
// its pop-up list's frame and scroll bars. kind 1: the arrow zone is a
// separate drop-down button with its own hover.
class TSkinComBox : public TSkinStyledControl {
    Q_OBJECT
public:
    TSkinComBox(QWidget& control, TWinSkinForm* form, TSkinData& skin);
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

// A QSlider.
class TSkinTrackBar : public TSkinStyledControl {
    Q_OBJECT
public:
    using TSkinStyledControl::TSkinStyledControl;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
};

// A QAbstractSpinBox's buttons. kind 1: side by side from HSpin.
class TSkinUpDown : public TSkinStyledControl {
    Q_OBJECT
public:
    using TSkinStyledControl::TSkinStyledControl;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
    bool HorzSpin() const override { return kind == 1; }
};

// A QHeaderView's sections.
class TSkinHeader : public TSkinStyledControl {
    Q_OBJECT
public:
    using TSkinStyledControl::TSkinStyledControl;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
};

// A QListView / QTreeView / QTableView: its scroll bars and its header(s).
class TSkinListView : public TSkinStyledControl {
    Q_OBJECT
public:
    using TSkinStyledControl::TSkinStyledControl;

protected:
    void CollectTargets(std::vector<QWidget*>& targets) const override;
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
