#include "WinSkinForm.h"

#include "WinSkinDlg.h"
#include "WinSkinMenu.h"
#include "WinSubClass.h"

// Not built yet: the window's frame, caption and behaviour.
TWinSkinForm::TWinSkinForm(QWidget& window, TSkinManage& manager)
    : QObject(&window), Hwnd(&window), Manager(&manager) {}

TWinSkinForm::~TWinSkinForm() = default;

void TWinSkinForm::InitTform() {}
void TWinSkinForm::InitDlg() {}
void TWinSkinForm::UnSubclass(bool destroyed) {
    UnskinFormControls(*this, destroyed);
}
void TWinSkinForm::DeleteSysbtn() {}
void TWinSkinForm::SkinChanged() {}
void TWinSkinForm::SetRegionEnabled(bool) {}
void TWinSkinForm::EnableCaptionButtons(bool) {}
bool TWinSkinForm::BeforeProc(QWidget&, QEvent&, bool&) {
    return false;
}
void TWinSkinForm::AfterProc(QWidget&, QEvent&) {}
bool TWinSkinForm::WantsAfter(QEvent::Type) const {
    return false;
}
