#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace {
QPointer<QWidget>& MainWindowRef() {
    static QPointer<QWidget> window;
    return window;
}

// Re-centres a window while its outer size changes on the way to the screen
// (the window system's frame, or a skin's), and lets go once the window is
// active and its outer size has settled, so it never fights the user's own moves.
class TCentreUntilFramed : public QObject {
public:
    explicit TCentreUntilFramed(QWidget& window)
        : QObject(&window), FWindow(window), FOuter(window.frameGeometry().size()) {
        // What activation sets off comes late: a skin's frame is posted, and a window
        // manager takes its own frame away after that.
        FSettle.setSingleShot(true);
        FSettle.setInterval(SettleMs);
        connect(&FSettle, &QTimer::timeout, this, [this] {
            if (!Follow() && ++FQuietTicks >= 2)
                deleteLater();
            else
                FSettle.start();
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            if (Follow())
                FQuietTicks = 0;
            break;
        case QEvent::WindowActivate:
            if (!FSettle.isActive())
                FSettle.start();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr int SettleMs = 150;
    // True when the outer size changed and the window was centred again.
    bool Follow() {
        if (FWindow.frameGeometry().size() == FOuter)
            return false;
        FOuter = FWindow.frameGeometry().size(); // the move below comes back as a Move
        CentreOn(FWindow, nullptr);
        return true;
    }

    QWidget& FWindow;
    QSize FOuter;
    QTimer FSettle;
    int FQuietTicks = 0;
};

// Asks for activation once the window is first shown.
class TActivateOnFirstShow : public QObject {
public:
    explicit TActivateOnFirstShow(QWidget& window) : QObject(&window), FWindow(window) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            // The platform defers the request until the window is on screen.
            QTimer::singleShot(0, &FWindow, [window = &FWindow] {
                if (window->isVisible() && !window->isActiveWindow())
                    window->activateWindow();
            });
            deleteLater();
        }
        return false;
    }

private:
    QWidget& FWindow;
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

void ActivateWhenFirstShown(QWidget& window) {
    window.installEventFilter(new TActivateOnFirstShow(window));
}

void SetMainWindow(QWidget* window) {
    MainWindowRef() = window;
}

QWidget* MainWindow() {
    return MainWindowRef().data();
}
