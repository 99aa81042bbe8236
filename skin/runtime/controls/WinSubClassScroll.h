#pragma once
// Control skins for the parts Qt draws inside a widget: scroll bars, track
// bars, up-down buttons, headers, list views (combo boxes and date-time editors
// in WinSubClassCombo.h). Each puts TSkinElementStyle on the widgets named
// below and undoes it exactly.

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
