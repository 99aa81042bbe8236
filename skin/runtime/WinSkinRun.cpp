// The run-time half of the skin component: its life cycle with the skin
// manager, the forwarding operations and the one caption-button hint, plugged
// into the data side as its TSkinRunTime.
#include "SkinRunTime.h"
#include "WinSkinData.h"
#include "WinSkinDlg.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <utility>

namespace {
constexpr int HintMaxWidth = 500;
constexpr int ComponentInterval = 250;

// Runs `operation` on the one manager, if there is one.
template <typename... TParams, typename... TArgs>
void OnManager(void (TSkinManage::*operation)(TParams...), TArgs&&... args) {
    if (TSkinManage* manager = SkinManager()) {
        (manager->*operation)(std::forward<TArgs>(args)...);
    }
}

// The manager runs action `code` for `data` once the component interval is over.
void RequestAction(TSkinData& data, int code) {
    if (TSkinManage* manager = SkinManager()) {
        manager->UpdateData = &data;
        manager->SetAction(code, ComponentInterval);
    }
}

QWidget* OwnerWindow(const TSkinData& data) {
    auto* owner = qobject_cast<QWidget*>(data.Owner);
    return owner ? owner->window() : nullptr;
}

// Stateless: every operation finds the one manager, if there is one.
class TManagerRunTime final : public TSkinRunTime {
public:
    void Loaded(TSkinData& data) override;
    void ActiveChanged(TSkinData& data) override;
    void SkinChanged(TSkinData& data) override;
    void Destroyed(TSkinData& data) override;
    void Install(TSkinData& data) override;
    void Uninstall(TSkinData& data) override;
    void ChangeForm(TSkinData& data, QWidget* form) override;
    void SkinForm(QWidget* handle) override;
    void AddNestForm(QWidget* form) override;
    void UpdateSkinControl(QWidget* form, QWidget* control) override;
    void DeleteGraphicControl(QWidget* control) override;
    void UpdateMenu(QWidget* form) override;
    void UpdateMainMenu(bool done) override;
    void InstallThread(quintptr id) override;
    void UnInstallThread(quintptr id) override;
    void EnableSkin(bool on) override;
    void ActivateHint(TSkinData& data, const QRect& rect, const QString& text) override;
    void HideHint(TSkinData& data) override;
    bool GetScrollBarInfo(QWidget* handle, int objectId, TScrollBarInfo& info) override;
};

void TManagerRunTime::Loaded(TSkinData& data) {
    // 1. Qt always offers scroll-bar information, so xcScrollbar stays.
    // 2.
    TSkinManage& manager = CreateSkinManager();
    manager.AddSkinData(&data);
    // 3.
    data.CaptionFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    // 4.
    if (data.SkinFormtype != sfMainform) {
        manager.active = true;
        ++manager.state;
        if (QWidget* owner = OwnerWindow(data); owner && data.Active()) {
            manager.AddForm(owner);
        }
        return;
    }
    // 5.
    manager.InstallHook();
    if (data.Active()) {
        if (data.Empty) {
            TurnOffQuietly(data);
        } else {
            manager.UpdateData = &data;
            manager.SetAction(1, ComponentInterval);
        }
    }
    // 6.
    if (data.SkinControls.Contains(xcMainMenu)) {
        data.SkinControls.Exclude(xcMenuItem);
    } else {
        data.SkinControls.Exclude(xcSystemMenu);
    }
    // 7.
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        const int size = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(QColor(0xFF, 0x00, 0xFF));
        QPainter painter(&image);
        icon.paint(&painter, image.rect());
        painter.end();
        data.SysIcon = image;
    }
}

void TManagerRunTime::ActiveChanged(TSkinData& data) {
    TSkinManage* manager = SkinManager();
    if (!manager) {
        return;
    }
    const bool on = data.Active();
    switch (data.SkinFormtype) {
    case sfMainform:
        if (on && data.Empty) {
            return;
        }
        manager->UpdateData = &data;
        manager->SetAction(on ? 1 : 2, ComponentInterval);
        if (on) {
            manager->state = 1;
        }
        break;
    case sfOnlyThisForm:
        manager->UpdateData = &data;
        if (on && data.Empty) {
            return;
        }
        manager->SetAction(on ? 1 : 2, ComponentInterval);
        break;
    default:
        break;
    }
}

void TManagerRunTime::SkinChanged(TSkinData& data) {
    TSkinManage* manager = SkinManager();
    if (!manager) {
        // After the skin units are finalised no manager comes back.
        if (SkinUnitsFinalized()) {
            return;
        }
        data.Loaded();
        manager = SkinManager();
        if (!manager) {
            return;
        }
    }
    manager->UpdateData = &data;
    manager->DeleteSysbtn();
    if (manager->state == 1) {
        manager->SetAction(3, ComponentInterval);
    }
}

void TManagerRunTime::Destroyed(TSkinData& data) {
    OnManager(&TSkinManage::RemoveSkinData, &data);
}

void TManagerRunTime::Install(TSkinData& data) {
    RequestAction(data, 1);
}

void TManagerRunTime::Uninstall(TSkinData& data) {
    RequestAction(data, 2);
}

void TManagerRunTime::ChangeForm(TSkinData& data, QWidget* form) {
    if (TSkinManage* manager = SkinManager(); manager && form) {
        manager->lpara = form->window();
        RequestAction(data, 7);
    }
}

void TManagerRunTime::SkinForm(QWidget* handle) {
    TSkinManage* manager = SkinManager();
    if (!manager || !handle) {
        return;
    }
    manager->skinchildform = true;
    manager->AddForm(handle);
    manager->skinchildform = false;
}

void TManagerRunTime::AddNestForm(QWidget* form) {
    OnManager(&TSkinManage::AddNestForm, form);
}

void TManagerRunTime::UpdateSkinControl(QWidget* form, QWidget* control) {
    OnManager(&TSkinManage::UpdateSkinControl, form, control);
}

void TManagerRunTime::DeleteGraphicControl(QWidget* control) {
    OnManager(&TSkinManage::DeleteGraphicControl, control);
}

void TManagerRunTime::UpdateMenu(QWidget* form) {
    OnManager(&TSkinManage::UpdateMenu, form);
}

void TManagerRunTime::UpdateMainMenu(bool done) {
    OnManager(&TSkinManage::UpdateMainMenu, done);
}

void TManagerRunTime::InstallThread(quintptr id) {
    OnManager(&TSkinManage::InstallThread, id);
}

void TManagerRunTime::UnInstallThread(quintptr id) {
    OnManager(&TSkinManage::UnInstallThread, id);
}

void TManagerRunTime::EnableSkin(bool on) {
    OnManager(&TSkinManage::EnableSkin, on);
}

void TManagerRunTime::ActivateHint(TSkinData& data, const QRect& rect, const QString& text) {
    if (!data.Options.Contains(xoCaptionButtonHint) || data.hashint) {
        return;
    }
    if (!data.fhintwindow) {
        auto label = std::make_unique<QLabel>(nullptr, Qt::ToolTip);
        label->setWordWrap(true);
        label->setMargin(2);
        label->setMaximumWidth(HintMaxWidth);
        label->setObjectName(QStringLiteral("SkinHint"));
        data.fhintwindow = std::move(label);
    }
    auto* hint = static_cast<QLabel*>(data.fhintwindow.get());
    hint->setText(text);
    hint->adjustSize();
    hint->move(rect.topLeft());
    hint->show();
    data.hashint = true;
    ++data.hintcount;
}

void TManagerRunTime::HideHint(TSkinData& data) {
    if (data.fhintwindow) {
        static_cast<QWidget*>(data.fhintwindow.get())->hide();
    }
    data.hashint = false;
}

bool TManagerRunTime::GetScrollBarInfo(QWidget* handle, int objectId, TScrollBarInfo& info) {
    QScrollBar* bar = nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(handle)) {
        if (objectId == ObjidHScroll) {
            bar = area->horizontalScrollBar();
        } else if (objectId == ObjidVScroll) {
            bar = area->verticalScrollBar();
        }
    }
    if (objectId == ObjidClient) {
        bar = qobject_cast<QScrollBar*>(handle);
    }
    if (!bar) {
        return false;
    }
    info = TScrollBarInfo();
    info.rcScrollBar = QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    const QStyle* style = bar->style();
    const QRect thumb =
        style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
    const QRect arrow =
        style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, bar);
    const bool horizontal = bar->orientation() == Qt::Horizontal;
    info.dxyLineButton = horizontal ? arrow.width() : arrow.height();
    info.xyThumbTop = horizontal ? thumb.left() : thumb.top();
    info.xyThumbBottom = horizontal ? thumb.right() + 1 : thumb.bottom() + 1;
    info.rgstate = (bar->isVisible() ? 0 : 1) | (bar->isEnabled() ? 0 : 2);
    return true;
}

// Trivially destructible, so it outlives every component, static ones included.
constinit TManagerRunTime GRunTime;

} // namespace

// Nothing calls into this unit by name, so the library's users tell the linker
// to keep this symbol (skin/runtime/CMakeLists.txt); its initialisation plugs
// the run time in before main() runs.
extern "C" {
extern const bool MycookSkinRunTimePlugged;
const bool MycookSkinRunTimePlugged = (PlugSkinRunTime(&GRunTime), true);
}
