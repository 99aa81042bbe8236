#pragma once
// Skins that draw whole buttons: push buttons, bit buttons, menu buttons,
// speed (tool) buttons, check boxes and radio buttons.

#include "WinSubClass.h"

class QAbstractButton;

// A push button's face from Button's state frames (normal, mouse-over,
// pressed, disabled, focused/default), its icon and text on top.
class TSkinButton : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    int GetState() const override;
    void DrawControl(QPainter& painter) override;

protected:
    bool DrawsWholeControl() const override;
    // The element the face comes from (tool bar buttons use their own).
    virtual const TDataSkinObject* Face() const;
    // False where the face is left off (a raised tool button at rest).
    virtual bool DrawsFace(int state) const;
    QAbstractButton* Button() const;
    void DrawContent(QPainter& painter, const QRect& area, int state);
};

// A button with a glyph; kind 1 draws the "PngImage" property as its glyph.
class TSkinBitButton : public TSkinButton {
    Q_OBJECT
public:
    using TSkinButton::TSkinButton;
};

// A button that may carry a menu: a drop-down mark on the right.
class TSkinMenuButton : public TSkinButton {
    Q_OBJECT
public:
    using TSkinButton::TSkinButton;
    void DrawControl(QPainter& painter) override;
};

// A tool button; kind 1 draws "PngImage". Inside a tool bar the face comes
// from ToolBars, and xoToolbarButton leaves it to the button itself.
class TSkinSpeedButton : public TSkinButton {
    Q_OBJECT
public:
    using TSkinButton::TSkinButton;

protected:
    bool DrawsWholeControl() const override;
    const TDataSkinObject* Face() const override;
    bool DrawsFace(int state) const override;

private:
    bool InToolBar() const;
};

// A media player's buttons: drawn as a push button.
class TSkinMP : public TSkinButton {
    Q_OBJECT
public:
    using TSkinButton::TSkinButton;
};

// A check box's glyph from Button's check strip: the first half of the frames
// unchecked (normal, mouse-over, pressed, disabled), the second half checked.
class TSkinCheckBox : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    void DrawControl(QPainter& painter) override;

protected:
    bool DrawsWholeControl() const override;
    virtual bool Radio() const { return false; }
};

class TSkinRadioButton : public TSkinCheckBox {
    Q_OBJECT
public:
    using TSkinCheckBox::TSkinCheckBox;

protected:
    bool Radio() const override { return true; }
};

// A button drawn entirely from a glyph strip: kind 1 and 3 check boxes,
// kind 2 radio buttons.
class TSkinObjImage : public TSkinCheckBox {
    Q_OBJECT
public:
    using TSkinCheckBox::TSkinCheckBox;

protected:
    bool Radio() const override { return kind == 2; }
};
