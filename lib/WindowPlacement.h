#pragma once
// Where the program's windows appear: the main window centred on its screen,
// every box centred over the window that owns it.

class QWidget;

// Moves a top-level window so that it is centred over `over`, or on the
// available area of its screen when `over` is null; kept on that area. A box
// that sizes itself as it shows calls this from its show handler.
void CentreOn(QWidget& window, const QWidget* over);

// Centres a window that is not yet shown on its screen, and again once the
// window system has put its frame around it (until the window is first active).
void CentreOnScreen(QWidget& window);

// The application's main window, owner of its message boxes (null when none).
void SetMainWindow(QWidget* window);
QWidget* MainWindow();
