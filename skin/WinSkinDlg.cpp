#include "WinSkinDlg.h"

#include "WinSkinForm.h"
#include "WinSkinMenu.h"

// Not built yet: the manager, its hook and actions.
namespace {
std::unique_ptr<TSkinManage> GManager;
}

TSkinManage::TSkinManage(quintptr amode) : mode(amode) {}
TSkinManage::~TSkinManage() = default;
void TSkinManage::InstallHook() {}
void TSkinManage::InstallThread(quintptr) {}
void TSkinManage::UnInstallThread(quintptr) {}
void TSkinManage::AddSkinData(TSkinData* data) {
    Dlist.append(data);
}
void TSkinManage::RemoveSkinData(TSkinData* data) {
    Dlist.removeAll(data);
}
bool TSkinManage::AddForm(QWidget*) {
    return false;
}
bool TSkinManage::DeleteForm(QWidget*) {
    return false;
}
void TSkinManage::SetAction(int, int) {}
void TSkinManage::DeleteSysbtn() {}
void TSkinManage::AssignData(TSkinManage*) {}
TWinSkinPopMenu* TSkinManage::FindPopupMenu(QMenu*) const {
    return nullptr;
}
void TSkinManage::SetMDIMax(bool) {}
void TSkinManage::SetMDIMax2(bool) {}
TWinSkinForm* TSkinManage::FindForm(const QWidget*) const {
    return nullptr;
}
TSkinData* TSkinManage::ChooseSkinData(const QWidget*, const QString&) const {
    return MainData;
}

TSkinManage* SkinManager() {
    return GManager.get();
}
void InitializeSkinUnits() {}
void FinalizeSkinUnits() {
    GManager.reset();
}
