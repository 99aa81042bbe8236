#include "WindowPlacement.h"

#include <QEvent>
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

// Re-centres a window while its outer size changes on the way to the screen
// (the window system's frame, or a skin's), and lets go once the window is
// active and settled, so it never fights the user's own moves.
class TCentreUntilFramed : public QObject {
public:
    explicit TCentreUntilFramed(QWidget& window)
        : QObject(&window), FWindow(window), FOuter(window.frameGeometry().size()) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            if (FWindow.frameGeometry().size() != FOuter) {
                FOuter = FWindow.frameGeometry().size(); // the move below comes back as a Move
                CentreOn(FWindow, nullptr);
            }
            break;
        case QEvent::WindowActivate:
            // What activation sets off (a skin's frame) is posted: still follow it.
            deleteLater();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& FWindow;
    QSize FOuter;
};
} // namespace

void CentreOn(QWidget& window, const QWidget* over) {
    QScreen* screen = over ? over->screen() : window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    QRect outer = window.frameGeometry();
    const QRect target = over ? over->window()->frameGeometry() : area;
    // Not framed yet: it will get the frame its owner has. A window already made
    // on the window system is then placed by its inside, one not made by its frame.
    QPoint inset;
    if (over && outer.size() == window.size()) {
        const QRect inner = over->window()->geometry();
        outer.adjust(0, 0, target.width() - inner.width(), target.height() - inner.height());
        if (window.testAttribute(Qt::WA_WState_Created))
            inset = inner.topLeft() - target.topLeft();
    }
    QPoint topLeft(target.x() + (target.width() - outer.width()) / 2,
                   target.y() + (target.height() - outer.height()) / 2);
    if (area.isValid()) {
        // A box over a window near the edge still shows whole.
        topLeft.setX(std::clamp(topLeft.x(), area.left(),
                                std::max(area.left(), area.right() + 1 - outer.width())));
        topLeft.setY(std::clamp(topLeft.y(), area.top(),
                                std::max(area.top(), area.bottom() + 1 - outer.height())));
    }
    topLeft += inset;
    window.move(topLeft);
}

void CentreOnScreen(QWidget& window) {
    CentreOn(window, nullptr);
    window.installEventFilter(new TCentreUntilFramed(window));
}

void SetMainWindow(QWidget* window) {
    MainWindowRef() = window;
}

QWidget* MainWindow() {
    return MainWindowRef().data();
}
