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
    // Only events that need an after-step are handled here; the rest go on
    // through the normal chain, so filters installed before ours still see them.
    if (FDepth > 0 || !FTarget.WantsAfter(event->type())) {
        return false;
    }
    // The widget may destroy itself (and so this hook) while it handles the event.
    QPointer<TSkinHook> self(this);
    ++FDepth;
    // QObject::event is public; the widget's own handler runs as it would.
    static_cast<QObject&>(widget).event(event);
    if (!self || !FWidget) {
        return true;
    }
    --FDepth;
    FTarget.AfterProc(widget, *event);
    return true;
}
