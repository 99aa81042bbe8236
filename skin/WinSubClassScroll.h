#pragma once
// Control skins for the parts Qt draws inside a widget: scroll bars, combo
// boxes, track bars, up-down buttons, headers, list views, date-time editors.

#include "WinSubClass.h"

// A control with its own scroll bars (memo, list, rich edit): its bars are
// skinned. kind 1: the single-bar variant.
class TSkinScrollbar : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

// A stand-alone scroll bar.
class TSkinScControl : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

// A size grip.
class TSkinSizer : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

// A combo box; kind 1: with a separate drop-down button.
class TSkinComBox : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

class TSkinTrackBar : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

class TSkinUpDown : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

class TSkinHeader : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

class TSkinListView : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};

class TSkinDateTime : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
};
