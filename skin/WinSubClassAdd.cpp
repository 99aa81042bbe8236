#include "WinSkinForm.h"
#include "WinSubClass.h"

// Not built yet: the classification of a window's controls.
void SkinFormControls(TWinSkinForm&) {}

void UnskinFormControls(TWinSkinForm& form, bool destroyed) {
    const auto controls = form.Controllist;
    for (const QPointer<TSkinControl>& c : controls) {
        if (c) {
            if (!destroyed) {
                c->Unsubclass();
            }
            delete c.data();
        }
    }
    form.Controllist.clear();
}

void RefreshFormControls(TWinSkinForm& form) {
    for (const QPointer<TSkinControl>& c : form.Controllist) {
        if (c) {
            c->SkinChange();
        }
    }
}
