#pragma once
// A skinned window for the control-skin suites: the default skin, a manager
// and a TWinSkinForm built directly (the manager's hook is not needed here).

#include "SkinResource.h"
#include "WinSkinData.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"
#include "WinSubClass.h"

#include <QWidget>
#include <memory>

inline TSkinData& DefaultSkin() {
    static std::unique_ptr<TSkinData> skin = [] {
        auto s = std::make_unique<TSkinData>();
        s->ReadSkinStream(DefaultSkinStream());
        return s;
    }();
    return *skin;
}

// The skinned-window side of one test: `window` is ours (FForm set) unless
// `foreign`.
class TSkinnedWindow {
public:
    explicit TSkinnedWindow(TSkinData& skin = DefaultSkin(), bool foreign = false)
        : Window(std::make_unique<QWidget>()) {
        Window->resize(300, 200);
        Form = new TWinSkinForm(*Window, Manager); // owned by the window
        Form->fsd = &skin;
        if (!foreign) {
            Form->FForm = Window.get();
        }
    }
    ~TSkinnedWindow() {
        if (Form) {
            UnskinFormControls(*Form, false);
        }
        Window.reset();
    }
    // The skin object attached to `w`, or null.
    template <typename T = TSkinControl> T* SkinOf(const QWidget* w) const {
        for (const QPointer<TSkinControl>& c : Form->Controllist) {
            if (c && c->hwnd.data() == w) {
                return qobject_cast<T*>(c.data());
            }
        }
        return nullptr;
    }
    QString ClassOfSkin(const QWidget* w) const {
        const TSkinControl* c = SkinOf(w);
        return c ? QString::fromLatin1(c->metaObject()->className()) : QString();
    }

    TSkinManage Manager;
    std::unique_ptr<QWidget> Window;
    QPointer<TWinSkinForm> Form;
};
