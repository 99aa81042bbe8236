#include "WinSkinDlg.h"

#include "SkinMessages.h"
#include "WinSkinForm.h"
#include "WinSkinMenu.h"
#include "WinSubClass.h"

#include <QApplication>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <algorithm>

namespace {
std::unique_ptr<TSkinManage> GManager;
// Set at shut-down: from then on the hook only passes events on.
bool GHooksDisabled = false;

constexpr int CreationInterval = 100;
constexpr int SubordinateInterval = 300;
constexpr int FixedNoSkinTag = 99;
const QString DialogClass = QStringLiteral("#32770");
const QString MenuClass = QStringLiteral("#32768");

bool IsMDIChild(const QWidget& window) {
    return qobject_cast<const QMdiSubWindow*>(&window) != nullptr;
}

// A window the skin treats as a top-level form of the program.
bool IsScreenForm(const QWidget& widget) {
    if (!widget.isWindow() || qobject_cast<const QMenu*>(&widget)) {
        return false;
    }
    const Qt::WindowType type = widget.windowType();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet;
}
} // namespace

QString SkinWindowClass(const QWidget& window) {
    if (qobject_cast<const QMenu*>(&window)) {
        return MenuClass;
    }
    if (qobject_cast<const QMessageBox*>(&window) || qobject_cast<const QFileDialog*>(&window)) {
        return DialogClass;
    }
    const QVariant own = window.property("skinWindowClass");
    if (own.isValid()) {
        return own.toString();
    }
    return QString::fromLatin1(window.metaObject()->className());
}

int SkinTag(const QObject& object) {
    return object.property("Tag").toInt();
}

TSkinManage::TSkinManage(quintptr amode) : mode(amode) {
    Timer.setInterval(CreationInterval);
    Timer.setSingleShot(false);
    connect(&Timer, &QTimer::timeout, this, &TSkinManage::RunAction);
}

TSkinManage::~TSkinManage() {
    state = 4;
    active = false;
    Timer.stop();
    Threadlist.clear();
    if (mmgr) {
        mmgr->sublist.removeAll(this);
        mmgr = nullptr;
    } else {
        // Windows are about to go: release without restoring their looks.
        const auto forms = Flist;
        Flist.clear();
        for (const QPointer<TWinSkinForm>& form : forms) {
            if (form) {
                ReleaseForm(form.data(), true);
            }
        }
        const auto menus = Mlist;
        Mlist.clear();
        for (const QPointer<TWinSkinPopMenu>& pop : menus) {
            if (pop) {
                pop->Unsubclass();
                delete pop.data();
            }
        }
        Dlist.clear();
        for (TSkinManage* sub : std::as_const(sublist)) {
            sub->state = 4;
            sub->active = false;
            sub->mmgr = nullptr;
            sub->Flist.clear();
            sub->Mlist.clear();
            sub->Dlist.clear();
            if (sub->FHookInstalled && qApp) {
                qApp->removeEventFilter(sub);
                sub->FHookInstalled = false;
            }
        }
        sublist.clear();
    }
    if (FHookInstalled && qApp) {
        qApp->removeEventFilter(this);
    }
    FHookInstalled = false;
}

void TSkinManage::InstallHook() {
    if (FHookInstalled || !qApp) {
        return;
    }
    qApp->installEventFilter(this);
    FHookInstalled = true;
}

void TSkinManage::InstallThread(quintptr threadId) {
    const bool known = std::any_of(Threadlist.begin(), Threadlist.end(),
                                   [&](const TSkinThread& t) { return t.ThreadID == threadId; });
    if (!known) {
        Threadlist.push_back({threadId, threadId});
    }
}

void TSkinManage::UnInstallThread(quintptr threadId) {
    std::erase_if(Threadlist, [&](const TSkinThread& t) { return t.ThreadID == threadId; });
}

void TSkinManage::AddSkinData(TSkinData* data) {
    if (!data || Lists().Dlist.contains(data)) {
        return;
    }
    Lists().Dlist.append(data);
    if (!MainData && data->SkinFormtype == sfMainform) {
        MainData = data;
    }
}

void TSkinManage::RemoveSkinData(TSkinData* data) {
    TSkinManage& lists = Lists();
    lists.Dlist.removeAll(data);
    // Nothing may keep using a component that is gone: its windows and menus
    // are given back first.
    const auto forms = lists.Flist;
    for (const QPointer<TWinSkinForm>& form : forms) {
        if (form && form->fsd == data) {
            lists.Flist.removeAll(form);
            ReleaseForm(form.data(), false);
        }
    }
    const auto menus = lists.Mlist;
    for (const QPointer<TWinSkinPopMenu>& pop : menus) {
        if (pop && pop->fsd == data) {
            ReleasePopup(pop);
        }
    }
    for (TSkinManage* m : {this, &lists}) {
        if (m->MainData == data) {
            m->MainData = nullptr;
        }
        if (m->UpdateData == data) {
            m->UpdateData = nullptr;
        }
    }
    for (TSkinManage* sub : std::as_const(lists.sublist)) {
        if (sub->MainData == data) {
            sub->MainData = nullptr;
        }
        if (sub->UpdateData == data) {
            sub->UpdateData = nullptr;
        }
    }
}

void TSkinManage::Purge() {
    if (state == 4) {
        return;
    }
    QList<QPointer<TWinSkinForm>>& flist = Lists().Flist;
    flist.removeAll(QPointer<TWinSkinForm>());
    const auto forms = flist;
    for (const QPointer<TWinSkinForm>& form : forms) {
        if (form && form->Skinstate == TWinSkinForm::ssDiscard && form->mode == mode) {
            flist.removeAll(form);
            delete form.data();
        }
    }
}

TWinSkinForm* TSkinManage::FindForm(const QWidget* window) const {
    if (!window) {
        return nullptr;
    }
    for (const QPointer<TWinSkinForm>& form : Lists().Flist) {
        if (form && form->Hwnd == window) {
            return form.data();
        }
    }
    return nullptr;
}

TSkinData* TSkinManage::ChooseSkinData(const QWidget* window, const QString& className) const {
    const QList<TSkinData*>& dlist = Lists().Dlist;
    for (TSkinData* d : dlist) {
        if (d->SkinFormtype == sfOnlyThisForm && window) {
            auto* owner = qobject_cast<QWidget*>(d->Owner);
            if (owner && owner->window() == window) {
                return d;
            }
        }
    }
    const QString lower = className.toLower();
    if (lower == QStringLiteral("tmessageform") || lower == DialogClass) {
        for (auto it = dlist.rbegin(); it != dlist.rend(); ++it) {
            if ((*it)->SkinFormtype == sfDialog) {
                return *it;
            }
        }
    }
    for (auto it = dlist.rbegin(); it != dlist.rend(); ++it) {
        if ((*it)->SkinFormtype == sfMainform) {
            return *it;
        }
    }
    return dlist.isEmpty() ? nullptr : dlist.first();
}

bool TSkinManage::ExemptByClass(const QWidget& window, const QString& className) const {
    if (className.contains(QStringLiteral("TcxPopupEditPopupWindow")) ||
        className.contains(QStringLiteral("TTERenderWindow")) ||
        className == QStringLiteral("TApplication")) {
        return true;
    }
    if (!MainData) {
        return false;
    }
    const QString lower = className.toLower();
    if (!MainData->Options.Contains(xoPreview) && lower.contains(QStringLiteral("preview"))) {
        return true;
    }
    if (lower == QStringLiteral("tpopupdbtreeview")) {
        return true;
    }
    if (MainData->OnFormSkin) {
        MainData->formhwnd = reinterpret_cast<quintptr>(&window);
        bool doSkin = true;
        MainData->OnFormSkin(const_cast<QWidget*>(&window), className, doSkin);
        return !doSkin;
    }
    if (className == QStringLiteral("SysMonthCal32")) {
        return true;
    }
    return className.startsWith(QStringLiteral("Tfr")) &&
           MainData->SkinControls.Contains(xcFastReport);
}

bool TSkinManage::AddForm(QWidget* window) {
    // 1.
    if (!active || !window) {
        return false;
    }
    Purge();
    // 2.
    if (IsSkinnedObject(window) || FindForm(window)) {
        return false;
    }
    // 3. Every window is a widget of ours; the system dialogs count as foreign.
    const QString className = SkinWindowClass(*window);
    const bool mdiChild = IsMDIChild(*window);
    QWidget* form = className == DialogClass ? nullptr : window;
    // 4.
    if (!skinchildform && !window->isWindow() && !mdiChild) {
        return false;
    }
    // 5. holds for every widget of this process.
    // 6.
    if ((window->width() == 0 || window->height() == 0) && !mdiChild) {
        return false;
    }
    if (SkinTag(*window) == FixedNoSkinTag || ExemptByClass(*window, className)) {
        return false;
    }
    // 7.
    TSkinData* data = ChooseSkinData(window, className);
    // 8.
    if (!data || data->Empty) {
        return false;
    }
    auto* skinForm = new TWinSkinForm(*window, *this); // a child of the window
    skinForm->fsd = data;
    skinForm->mode = mode;
    skinForm->formclass = className;
    skinForm->classname = className;
    skinForm->FForm = form;
    if (form) {
        skinForm->InitTform();
    } else {
        skinForm->InitDlg();
    }
    Lists().Flist.append(skinForm);
    QCoreApplication::postEvent(window, new TSkinMessage(SkinMsg::Finish, 0, 1000));
    return true;
}

void TSkinManage::ReleaseForm(TWinSkinForm* form, bool destroyed) {
    form->UnSubclass(destroyed);
    if (!destroyed && form->Hwnd) {
        form->Hwnd->update();
    }
    delete form;
}

bool TSkinManage::DeleteForm(QWidget* window) {
    if (state == 4) {
        return false;
    }
    TWinSkinForm* form = FindForm(window);
    if (!form) {
        return false;
    }
    Lists().Flist.removeAll(QPointer<TWinSkinForm>(form));
    ReleaseForm(form, false);
    return true;
}

void TSkinManage::SetAction(int code, int interval) {
    if (state == 4) {
        return;
    }
    action = code;
    Timer.setInterval(interval);
    if (state == 0) {
        if (code == 1) {
            active = true;
        } else if (code == 2) {
            active = false;
        }
        return;
    }
    if (mode == 0) {
        for (TSkinManage* sub : std::as_const(sublist)) {
            if (code == 1) {
                sub->active = true;
                if (!sub->UpdateData) {
                    sub->UpdateData = UpdateData;
                }
                sub->SetAction(1, SubordinateInterval);
            } else if (code == 2) {
                sub->active = false;
            }
        }
    }
    // A new request replaces a pending one and starts the wait again.
    Timer.start();
}

void TSkinManage::RunAction() {
    Timer.stop();
    TSkinData* data = UpdateData;
    if (!data) {
        return;
    }
    switch (action) {
    case 1:
        SkinOn(*data);
        break;
    case 2:
        SkinOff(*data);
        break;
    case 3:
        SkinChangedAction(*data);
        break;
    case 6:
        DropDiscarded();
        break;
    case 7:
        ReskinWindow(lpara.data());
        break;
    default:
        break;
    }
    // The component may have gone while its windows changed.
    if (UpdateData == data && Lists().Dlist.contains(data) && action != 7 && data->OnSkinChanged) {
        data->OnSkinChanged(data);
    }
    UpdateData = nullptr;
}

void TSkinManage::SkinOn(TSkinData& data) {
    if (data.SkinFormtype == sfOnlyThisForm) {
        auto* owner = qobject_cast<QWidget*>(data.Owner);
        if (owner && owner->isVisible() && owner->isWindow()) {
            AddForm(owner);
        }
        return;
    }
    active = true;
    WMSetDraw = false;
    Purge();
    skinchildform = true;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QWidget* w = *it;
        if (w->isVisible() && IsScreenForm(*w)) {
            AddForm(w);
        }
    }
    skinchildform = false;
    if (mode == 0) {
        for (TSkinManage* sub : std::as_const(sublist)) {
            if (!sub->UpdateData) {
                sub->UpdateData = &data;
            }
            sub->SetAction(1, SubordinateInterval);
        }
    }
}

void TSkinManage::SkinOff(TSkinData& data) {
    QList<QPointer<TWinSkinForm>>& flist = Lists().Flist;
    if (data.SkinFormtype == sfOnlyThisForm) {
        auto* owner = qobject_cast<QWidget*>(data.Owner);
        if (TWinSkinForm* form = FindForm(owner ? owner->window() : nullptr)) {
            flist.removeAll(QPointer<TWinSkinForm>(form));
            ReleaseForm(form, false);
        }
        return;
    }
    active = false;
    Purge();
    const auto forms = flist;
    flist.clear();
    for (const QPointer<TWinSkinForm>& form : forms) {
        if (form) {
            ReleaseForm(form.data(), false);
        }
    }
    for (TSkinManage* sub : std::as_const(sublist)) {
        sub->active = false;
    }
}

void TSkinManage::SkinChangedAction(TSkinData& data) {
    Purge();
    QList<TWinSkinForm*> changed;
    for (const QPointer<TWinSkinForm>& form : std::as_const(Lists().Flist)) {
        if (!form || form->fsd != &data) {
            continue;
        }
        if (data.SkinFormtype == sfOnlyThisForm) {
            auto* owner = qobject_cast<QWidget*>(data.Owner);
            if (!owner || form->Hwnd != owner->window()) {
                continue;
            }
        }
        changed.append(form.data());
    }
    for (TWinSkinForm* form : changed) {
        form->DeleteSysbtn();
        form->SkinChanged();
        RefreshFormControls(*form);
    }
    for (TWinSkinForm* form : changed) {
        if (form->Hwnd) {
            form->Hwnd->update();
        }
    }
}

void TSkinManage::DropDiscarded() {
    QList<QPointer<TWinSkinForm>>& flist = Lists().Flist;
    const auto forms = flist;
    for (const QPointer<TWinSkinForm>& form : forms) {
        if (form && form->Skinstate == TWinSkinForm::ssDiscard) {
            flist.removeAll(form);
            delete form.data();
        }
    }
    flist.removeAll(QPointer<TWinSkinForm>());
}

void TSkinManage::ReskinWindow(QWidget* window) {
    if (!window) {
        return;
    }
    if (TWinSkinForm* form = FindForm(window)) {
        form->UnSubclass(false);
        form->Skinstate = TWinSkinForm::ssDiscard;
        Purge();
    }
    AddForm(window);
}

void TSkinManage::DeleteSysbtn() {
    for (const QPointer<TWinSkinForm>& form : std::as_const(Lists().Flist)) {
        if (form && UpdateData && form->fsd == UpdateData) {
            form->DeleteSysbtn();
        }
    }
}

void TSkinManage::AssignData(TSkinManage* main) {
    if (mmgr) {
        mmgr->sublist.removeAll(this);
        mmgr = nullptr;
    }
    if (!main || main == this || main->mmgr) {
        return;
    }
    mmgr = main;
    main->sublist.append(this);
    if (!MainData) {
        MainData = main->MainData;
    }
}

TWinSkinPopMenu* TSkinManage::FindPopupMenu(QMenu* menu) const {
    for (const QPointer<TWinSkinPopMenu>& pop : Lists().Mlist) {
        if (pop && pop->hwnd == menu) {
            return pop.data();
        }
    }
    return nullptr;
}

void TSkinManage::HookPopup(QMenu& menu) {
    if (!active || IsSkinnedObject(&menu) || FindPopupMenu(&menu)) {
        return;
    }
    TSkinData* data = ChooseSkinData(&menu, MenuClass);
    if (!data || data->Empty) {
        return;
    }
    int kind = menutype;
    if (kind == 0 && qobject_cast<QMenuBar*>(menu.parentWidget())) {
        kind = 1;
    }
    const TSkinControls& controls = data->SkinControls;
    const bool enabled = kind == 0 ? controls.Contains(xcPopupMenu)
                         : kind == 1
                             ? controls.Contains(xcMainMenu) || controls.Contains(xcMenuItem)
                             : controls.Contains(xcSystemMenu);
    if (!enabled) {
        return;
    }
    auto* pop = new TWinSkinPopMenu(menu, *data, *this);
    pop->ownerdraw = menuactive;
    QPointer<TWinSkinPopMenu> guard(pop);
    Lists().Mlist.append(guard);
    // The menu is gone when this runs; only our object is touched.
    connect(&menu, &QObject::destroyed, this, [this, guard] {
        if (guard) {
            guard->MenuDestroyed();
        }
        ReleasePopup(guard);
    });
}

void TSkinManage::ReleasePopup(const QPointer<TWinSkinPopMenu>& pop) {
    QList<QPointer<TWinSkinPopMenu>>& mlist = Lists().Mlist;
    if (pop) {
        mlist.removeAll(pop);
        pop->Unsubclass();
        delete pop.data();
    }
    mlist.removeAll(QPointer<TWinSkinPopMenu>());
    if (mlist.isEmpty()) {
        menuactive = false;
        menutype = 0;
    }
}

int TSkinManage::GetMDIChildNum() const {
    int n = 0;
    for (const QPointer<TWinSkinForm>& form : Lists().Flist) {
        if (form && form->Hwnd && IsMDIChild(*form->Hwnd)) {
            ++n;
        }
    }
    return n;
}

void TSkinManage::SetMDIMaxOf(bool on) {
    MDIMax = on;
    for (const QPointer<TWinSkinForm>& form : std::as_const(Lists().Flist)) {
        if (!form || !form->Hwnd || !IsMDIChild(*form->Hwnd)) {
            continue;
        }
        if (form->Hwnd->isMaximized()) {
            form->SetRegionEnabled(false);
            form->EnableCaptionButtons(true);
        } else if (form->Hwnd->isMinimized()) {
            form->EnableCaptionButtons(true);
        } else {
            form->SetRegionEnabled(true);
            form->EnableCaptionButtons(false);
        }
    }
}

void TSkinManage::SetMDIMax(bool on) {
    if (MDIMax == on) {
        return;
    }
    if (MainData && MainData->Options.Contains(xoMDIChildBorder)) {
        MDIMax = on;
        return;
    }
    SetMDIMaxOf(on);
}

void TSkinManage::SetMDIMax2(bool on) {
    if (MDIMax == on) {
        return;
    }
    SetMDIMaxOf(on);
}

void TSkinManage::MDIChildStateChanged() {
    bool anyMax = false;
    for (const QPointer<TWinSkinForm>& form : std::as_const(Lists().Flist)) {
        if (form && form->Hwnd && IsMDIChild(*form->Hwnd) && form->Hwnd->isMaximized()) {
            anyMax = true;
        }
    }
    SetMDIMax(anyMax);
}

void TSkinManage::AddNestForm(QWidget* form) {
    if (!form || !form->parentWidget()) {
        return;
    }
    if (TWinSkinForm* host = FindForm(form->parentWidget()->window())) {
        SkinFormControls(*host);
    }
}

void TSkinManage::UpdateSkinControl(QWidget* form, QWidget* control) {
    QWidget* window = form ? form->window() : control ? control->window() : nullptr;
    if (TWinSkinForm* host = FindForm(window)) {
        SkinFormControls(*host);
    }
}

void TSkinManage::DeleteGraphicControl(QWidget* control) {
    if (!control) {
        return;
    }
    TWinSkinForm* host = FindForm(control->window());
    if (!host) {
        return;
    }
    const auto controls = host->Controllist;
    for (const QPointer<TSkinControl>& c : controls) {
        if (c && c->hwnd == control) {
            host->Controllist.removeAll(c);
            c->Unsubclass();
            delete c.data();
        }
    }
}

void TSkinManage::UpdateMenu(QWidget* form) {
    // Pop-up menus are taken when they are about to show, so a form's new
    // menus need nothing here; only hooked menus of a dead form are dropped.
    Q_UNUSED(form);
    ReleasePopup(QPointer<TWinSkinPopMenu>());
}

void TSkinManage::UpdateMainMenu(bool done) {
    if (!done) {
        return;
    }
    for (const QPointer<TWinSkinForm>& form : std::as_const(Lists().Flist)) {
        if (form && form->menu && form->Hwnd) {
            form->Hwnd->update();
        }
    }
}

void TSkinManage::EnableSkin(bool on) {
    for (const QPointer<TWinSkinForm>& form : std::as_const(Lists().Flist)) {
        if (!form) {
            continue;
        }
        for (const QPointer<TSkinControl>& c : std::as_const(form->Controllist)) {
            if (c) {
                TSkinMessage message(SkinMsg::OnOff, on ? 1 : 0);
                QCoreApplication::sendEvent(c.data(), &message);
            }
        }
    }
}

bool TSkinManage::eventFilter(QObject* watched, QEvent* event) {
    if (GHooksDisabled || state == 4) {
        return false;
    }
    const QEvent::Type type = event->type();
    if (type != QEvent::Polish && type != QEvent::Show && type != QEvent::WindowActivate &&
        type != QEvent::WindowStateChange) {
        return false;
    }
    if (!watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    // Skin failures never reach the event loop.
    try {
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            // Only a menu about to show is a pop-up; a menu is polished
            // with its parent long before, when its kind is not known yet.
            if (type == QEvent::Show && !mmgr) {
                HookPopup(*menu);
            }
            return false;
        }
        switch (type) {
        case QEvent::Polish:
            if (IsMDIChild(*widget)) {
                TSkinData* main = MainData;
                const bool menuUpdate = main ? main->MenuUpdate : false;
                if (main) {
                    main->MenuUpdate = false;
                }
                AddForm(widget);
                if (main && MainData == main) {
                    main->MenuUpdate = menuUpdate;
                }
            }
            break;
        case QEvent::WindowActivate:
            if (widget->isWindow()) {
                if (state == 0) {
                    state = 1;
                }
                AddForm(widget);
            }
            break;
        case QEvent::WindowStateChange:
            if (IsMDIChild(*widget)) {
                MDIChildStateChanged();
            }
            break;
        default:
            break;
        }
    } catch (...) {
    }
    return false;
}

TSkinManage* SkinManager() {
    return GManager.get();
}

void ReleaseManagerWithApplication() {
    GManager.reset();
}

TSkinManage& CreateSkinManager() {
    if (!GManager) {
        GManager = std::make_unique<TSkinManage>(0);
        // Whoever forgets FinalizeSkinUnits: the manager never outlives the application.
        static const bool registered = [] {
            qAddPostRoutine(ReleaseManagerWithApplication);
            return true;
        }();
        Q_UNUSED(registered);
    }
    return *GManager;
}

bool SkinUnitsFinalized() {
    return GHooksDisabled;
}

void InitializeSkinUnits() {
    GHooksDisabled = false;
}

void FinalizeSkinUnits() {
    GManager.reset();
    GHooksDisabled = true;
}
