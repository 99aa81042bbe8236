#pragma once
// The stand-in for replacing a window procedure: an event filter that lets a
// skin object see a widget's events before the widget (and swallow them) and
// paint over the widget's own paint.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

class TSkinHookTarget {
public:
    virtual ~TSkinHookTarget() = default;
    // Runs before the widget's own handling. Return true to swallow the event;
    // `result` is then what the filter reports (true: handled).
    virtual bool BeforeProc(QWidget& widget, QEvent& event, bool& result) = 0;
    // Only for types WantsAfter accepts. A paint: after the widget's own paint, in the
    // same paint (other filters of the widget do not see it). Any other type: right
    // away, and the event goes on to the other filters and the widget unchanged, so
    // the step may only read what the event has set and schedule paints.
    virtual void AfterProc(QWidget& widget, QEvent& event) {}
    virtual bool WantsAfter(QEvent::Type type) const { return false; }
};

// A target must not delete its hook from inside BeforeProc or AfterProc (use
// deleteLater). Installed on one widget for the life of the hook; removing it (destruction)
// undoes the interception exactly. Never touches a widget after its destruction.
class TSkinHook : public QObject {
public:
    TSkinHook(QWidget& widget, TSkinHookTarget& target);
    ~TSkinHook() override;
    TSkinHook(const TSkinHook&) = delete;
    TSkinHook& operator=(const TSkinHook&) = delete;

    QWidget* Widget() const { return FWidget.data(); }
    // The widget is being destroyed: let go of it without touching it.
    void Forget() { FWidget.clear(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FWidget;
    TSkinHookTarget& FTarget;
    bool FPainting = false; // inside the widget's own paint
};
