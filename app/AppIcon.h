#pragma once
#include <QIcon>
#include <QString>

// The program's own icon, every drawn size (from tools/icongen).
QIcon ApplicationIcon();

// Base name of the installed .desktop file; desktops match the window to it.
inline constexpr const char* DesktopFileName = "org.mycook.MyCook";
