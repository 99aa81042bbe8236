#pragma once
// The style that draws the parts Qt paints inside widgets (scroll bars, combo
// faces, track bars, spin buttons, header sections) from the skin's elements.
// It is set only on the widgets a skin object chooses; anything it does not
// know, or a skin lacking the element, goes to the widget's former style.

#include "WinSubClass.h"

#include <QPointer>
#include <QProxyStyle>
#include <memory>
#include <vector>

class TSkinData;
class TDataSkinObject;

class TSkinElementStyle : public QProxyStyle {
    Q_OBJECT
public:
    // `base` becomes ours. `horzSpin`: spin buttons side by side from HSpin.
    TSkinElementStyle(TSkinData& skin, QStyle* base, bool horzSpin);

    // One style per skin, base style and spin layout, shared by the skin
    // objects using it; it goes (deferred, so a dying widget still holding it
    // is safe) when the last of them lets it go.
    static std::shared_ptr<TSkinElementStyle> Shared(TSkinData& skin, const QStyle& current,
                                                     bool horzSpin);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;

    // Where the combo face's arrow zone lies in a control of that size.
    static QRect ComboArrowRect(const QRect& rect);
    // Thumb element of a track bar by orientation and tick position.
    const TDataSkinObject* TrackThumb(Qt::Orientation orientation, int tickPosition) const;

private:
    bool DrawScrollBar(const QStyleOptionComplex* option, QPainter* painter) const;
    bool DrawSlider(const QStyleOptionComplex* option, QPainter* painter,
                    const QWidget* widget) const;
    bool DrawSpinBox(const QStyleOptionComplex* option, QPainter* painter,
                     const QWidget* widget) const;
    bool DrawComboBox(const QStyleOptionComplex* option, QPainter* painter) const;
    QRect ScrollBarRect(const QStyleOptionComplex* option, SubControl sub) const;
    QRect SliderRect(const QStyleOptionComplex* option, SubControl sub) const;
    QRect SpinRect(const QStyleOptionComplex* option, SubControl sub) const;

    TSkinData& FSkin;
    bool FHorzSpin;
};

// Puts a style on one widget and later gives back exactly what it had: the
// previous style (or none of its own) and the hover attribute polishing changes.
class TStyleSwap {
public:
    void Apply(QWidget& widget, QStyle& style);
    // Nothing happens when the widget is gone or someone else restyled it.
    void Restore();
    QWidget* Widget() const { return FWidget.data(); }

private:
    QPointer<QWidget> FWidget;
    QPointer<QStyle> FOld;
    QPointer<QStyle> FOurs;
    bool FHadOwnStyle = false;
    bool FHadHover = false;
};

// A skin object that draws through TSkinElementStyle: on skinning it puts the
// style on the widgets it names, on undo (or 0x3506 off) it takes it back.
// Destroyed with its control, it touches nothing.
class TSkinStyledControl : public TSkinControl {
    Q_OBJECT
public:
    using TSkinControl::TSkinControl;
    ~TSkinStyledControl() override;

    void Init() override;
    void Unsubclass() override;
    bool BeforeProc(QWidget& widget, QEvent& event, bool& result) override;
    bool WantsAfter(QEvent::Type type) const override;
    void SkinChange() override;

    // The widgets currently carrying the skin's style.
    std::vector<QWidget*> StyledWidgets() const;

protected:
    // The widgets that get the style (the control, its scroll bars, its view...).
    virtual void CollectTargets(std::vector<QWidget*>& targets) const = 0;
    virtual bool HorzSpin() const { return false; }
    // True when PaintControl draws over the control after its own paint.
    virtual bool PaintsOver() const { return false; }
    TSkinElementStyle* Style() const { return FStyle.get(); }
    void StyleOn();
    void StyleOff();

private:
    void Relayout() const;

    std::shared_ptr<TSkinElementStyle> FStyle;
    std::vector<std::unique_ptr<TStyleSwap>> FSwaps;
};
