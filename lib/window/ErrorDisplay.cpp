#include "ErrorDisplay.h"

#include "MsgShell.h"

QString ApplicationTitle() {
    return QStringLiteral("百味小筑");
}

void ShowDefaultError(const QString& text) {
    try {
        ShowMessage({ApplicationTitle(), text, QMessageBox::Critical, QMessageBox::Ok});
    } catch (...) {
        // Reporting must never throw back into the event loop.
    }
}
