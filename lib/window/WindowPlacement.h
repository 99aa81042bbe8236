#pragma once
// Where the program's windows appear: the main window centred on its screen,
// every box centred over the window that owns it.

class QWidget;

// Moves a top-level window so that it is centred over `over`, or on the
// available area of its screen when `over` is null; kept on that area. A box
// that sizes itself as it shows calls this from its show handler.
void CentreOn(QWidget& window, const QWidget* over);

// Centres a window that is not yet shown on its screen, and again whenever its
// outer size changes (the window system's frame, a skin's) until it is active and
// that size has settled.
void CentreOnScreen(QWidget& window);

// A main window is active once shown, with or without a window manager: asks for
// activation after its first show.
void ActivateWhenFirstShown(QWidget& window);

// The application's main window, owner of its message boxes (null when none).
void SetMainWindow(QWidget* window);
QWidget* MainWindow();
