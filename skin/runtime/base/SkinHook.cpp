#include "SkinHook.h"

TSkinHook::TSkinHook(QWidget& widget, TSkinHookTarget& target) : FWidget(&widget), FTarget(target) {
    widget.installEventFilter(this);
}

TSkinHook::~TSkinHook() {
    if (FWidget) {
        FWidget->removeEventFilter(this);
    }
}

bool TSkinHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FWidget.data()) {
        return false;
    }
    QWidget& widget = *FWidget;
    bool result = true;
    if (FTarget.BeforeProc(widget, *event, result)) {
        return result;
    }
    if (!FTarget.WantsAfter(event->type()) || (event->type() == QEvent::Paint && FPainting)) {
        return false;
    }
    if (event->type() != QEvent::Paint) {
        // Its after-step reads only what the event has already set (focus, size, state)
        // and asks for paints: run it now and let the event go on through the normal
        // chain, so filters installed before ours see it as they would unskinned.
        QPointer<TSkinHook> self(this);
        FTarget.AfterProc(widget, *event);
        return !self || !FWidget;
    }
    // A paint: the widget paints first, the skin over it, in the same paint.
    QPointer<TSkinHook> self(this);
    FPainting = true;
    // QObject::event is public; the widget's own handler runs as it would.
    static_cast<QObject&>(widget).event(event);
    if (!self) {
        return true; // the widget destroyed itself, and this hook with it
    }
    FPainting = false;
    if (FWidget) {
        FTarget.AfterProc(widget, *event);
    }
    return true;
}
