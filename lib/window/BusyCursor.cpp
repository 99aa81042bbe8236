#include "BusyCursor.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

namespace {
bool Shown = false;
}

void ShowBusyUntilIdle() {
    if (Shown || !qApp)
        return;
    Shown = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, qApp, [] {
        Shown = false;
        QApplication::restoreOverrideCursor();
    });
}
