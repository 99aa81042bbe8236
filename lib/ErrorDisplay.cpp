#include "ErrorDisplay.h"

#include "MsgShell.h"

#include <QCoreApplication>

void ShowDefaultError(const QString& text) {
    try {
        ShowMessage(
            {QCoreApplication::applicationName(), text, QMessageBox::Critical, QMessageBox::Ok});
    } catch (...) {
        // Reporting must never throw back into the event loop.
    }
}
