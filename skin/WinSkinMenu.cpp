#include "WinSkinMenu.h"

#include "WinSkinForm.h"

#include <QMenu>
#include <QMenuBar>

// Not built yet: menu painting.
TWinSkinMenu::TWinSkinMenu(TWinSkinForm& form, QMenuBar& bar) : Bar(&bar), Form(form) {}
TWinSkinMenu::~TWinSkinMenu() = default;
void TWinSkinMenu::Unsubclass() {}
bool TWinSkinMenu::BeforeProc(QWidget&, QEvent&, bool&) {
    return false;
}
void TWinSkinMenu::AfterProc(QWidget&, QEvent&) {}
bool TWinSkinMenu::WantsAfter(QEvent::Type) const {
    return false;
}

TWinSkinPopMenu::TWinSkinPopMenu(QMenu& menu, TSkinData& skin, TSkinManage& manager)
    : hwnd(&menu), fsd(&skin), Manager(&manager) {}
TWinSkinPopMenu::~TWinSkinPopMenu() = default;
void TWinSkinPopMenu::Unsubclass() {}
bool TWinSkinPopMenu::BeforeProc(QWidget&, QEvent&, bool&) {
    return false;
}
void TWinSkinPopMenu::AfterProc(QWidget&, QEvent&) {}
bool TWinSkinPopMenu::WantsAfter(QEvent::Type) const {
    return false;
}
