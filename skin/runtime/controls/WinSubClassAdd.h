#pragma once
// Which skin object a control gets: the classification of our own windows'
// controls (AddComp) and of foreign windows' controls (AddControlh).

#include "WinSkinData.h"

#include <QString>
#include <functional>

class QObject;
class QWidget;
class TSkinFormHost;

// The kind `Skin3rd` gives a class name: the lower-cased text after the "="
// of the first line that begins with the class name and "=" (case ignored),
// at most 50 characters; empty when no line matches.
QString Skin3rdKind(const QStringList& lines, const QString& className);

// The class a foreign window's control goes by: "button", "combobox", "edit",
// "scrollbar", "systabcontrol32", "toolbarwindow32", "systreeview32", "static",
// "#32770" for containers; our own classes by their lower-cased names.
QString SkinControlWindowClass(const QWidget& control);
// The style bits AddControlh reads: button styles (push 0, default push 1,
// check box 3, three-state 5, radio 9, group box 7, bitmap 0x80) and the
// tab-stop bit 0x10000 (WS_TABSTOP), which a size grip lacks.
quint32 SkinControlStyle(const QWidget& control);
constexpr quint32 SkinStyleTabStop = 0x10000;

// One control of our own window through the five steps (step 3 asks the
// component's OnSkinControl); true when it got a skin object.
bool AddComp(TSkinFormHost& form, QWidget& control);
// One control of a foreign window.
bool AddControlh(TSkinFormHost& form, QWidget& control);
