#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {
QPointer<QWidget>& MainWindowRef() {
    static QPointer<QWidget> window;
    return window;
}
} // namespace

void CentreOn(QWidget& window, const QWidget* over) {
    QScreen* screen = over ? over->screen() : window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QRect outer = window.frameGeometry();
    const QRect target = over ? over->window()->frameGeometry() : area;
    QPoint topLeft(target.x() + (target.width() - outer.width()) / 2,
                   target.y() + (target.height() - outer.height()) / 2);
    if (area.isValid()) {
        // A box over a window near the edge still shows whole.
        topLeft.setX(std::clamp(topLeft.x(), area.left(),
                                std::max(area.left(), area.right() + 1 - outer.width())));
        topLeft.setY(std::clamp(topLeft.y(), area.top(),
                                std::max(area.top(), area.bottom() + 1 - outer.height())));
    }
    window.move(topLeft);
}

void SetMainWindow(QWidget* window) {
    MainWindowRef() = window;
}

QWidget* MainWindow() {
    return MainWindowRef().data();
}
