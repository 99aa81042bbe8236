// The run-time half of the skin component: its life cycle with the skin
// manager, the forwarding operations and the one caption-button hint.
#include "SkinMessages.h"
#include "WinSkinData.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"
#include "WinSubClass.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QMetaProperty>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {
constexpr int HintMaxWidth = 500;
constexpr int ComponentInterval = 250;

void ApplyActiveChange(TSkinData& data);
void ApplySkinChangeToManager(TSkinData& data);

QWidget* OwnerWindow(const TSkinData& data) {
    auto* owner = qobject_cast<QWidget*>(data.Owner);
    return owner ? owner->window() : nullptr;
}
} // namespace

void TSkinData::Loaded() {
    if (Designing) {
        return;
    }
    FReading = false;
    ConnectSkinRunHooks();
    // 1. Qt always offers scroll-bar information, so xcScrollbar stays.
    // 2.
    TSkinManage& manager = CreateSkinManager();
    manager.AddSkinData(this);
    // 3.
    CaptionFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    // 4.
    if (SkinFormtype != sfMainform) {
        manager.active = true;
        ++manager.state;
        if (QWidget* owner = OwnerWindow(*this); owner && FActive) {
            manager.AddForm(owner);
        }
        return;
    }
    // 5.
    manager.InstallHook();
    if (FActive) {
        if (Empty) {
            FActive = false;
        } else {
            manager.UpdateData = this;
            manager.SetAction(1, ComponentInterval);
        }
    }
    // 6.
    if (SkinControls.Contains(xcMainMenu)) {
        SkinControls.Exclude(xcMenuItem);
    } else {
        SkinControls.Exclude(xcSystemMenu);
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
        SysIcon = image;
    }
}

namespace {
void ApplyActiveChange(TSkinData& data) {
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

void ApplySkinChangeToManager(TSkinData& data) {
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
} // namespace

void TSkinData::Install() {
    if (TSkinManage* manager = SkinManager()) {
        manager->UpdateData = this;
        manager->SetAction(1, ComponentInterval);
    }
}

void TSkinData::Uninstall() {
    if (TSkinManage* manager = SkinManager()) {
        manager->UpdateData = this;
        manager->SetAction(2, ComponentInterval);
    }
}

void TSkinData::ChangeForm(QWidget* form) {
    if (TSkinManage* manager = SkinManager(); manager && form) {
        manager->lpara = form->window();
        manager->UpdateData = this;
        manager->SetAction(7, ComponentInterval);
    }
}

void TSkinData::SkinForm(QWidget* handle) {
    TSkinManage* manager = SkinManager();
    if (!manager || !handle) {
        return;
    }
    manager->skinchildform = true;
    manager->AddForm(handle);
    manager->skinchildform = false;
}

void TSkinData::AddNestForm(QWidget* form) {
    if (TSkinManage* manager = SkinManager()) {
        manager->AddNestForm(form);
    }
}

void TSkinData::UpdateSkinControl(QWidget* form, QWidget* control) {
    if (TSkinManage* manager = SkinManager()) {
        manager->UpdateSkinControl(form, control);
    }
}

void TSkinData::DeleteGraphicControl(QWidget* control) {
    if (TSkinManage* manager = SkinManager()) {
        manager->DeleteGraphicControl(control);
    }
}

void TSkinData::UpdateMenu(QWidget* form) {
    if (TSkinManage* manager = SkinManager()) {
        manager->UpdateMenu(form);
    }
}

void TSkinData::UpdateMainMenu(bool done) {
    if (TSkinManage* manager = SkinManager()) {
        manager->UpdateMainMenu(done);
    }
}

void TSkinData::InstallThread(quintptr id) {
    if (TSkinManage* manager = SkinManager()) {
        manager->InstallThread(id);
    }
}

void TSkinData::UnInstallThread(quintptr id) {
    if (TSkinManage* manager = SkinManager()) {
        manager->UnInstallThread(id);
    }
}

void TSkinData::EnableSkin(bool on) {
    if (TSkinManage* manager = SkinManager()) {
        manager->EnableSkin(on);
    }
}

void TSkinData::ChangeProperty(QObject* object, const QString& name, const QString& value) {
    if (!object) {
        return;
    }
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    if (index < 0) {
        return;
    }
    const QMetaProperty property = meta->property(index);
    if (!property.isEnumType() || property.isFlagType() || !property.isWritable()) {
        return;
    }
    bool ok = false;
    const int number = property.enumerator().keyToValue(value.toLatin1().constData(), &ok);
    if (ok) {
        property.write(object, number);
    }
}

void TSkinData::ActivateHint(const QRect& rect, const QString& text) {
    if (!Options.Contains(xoCaptionButtonHint) || hashint) {
        return;
    }
    if (!fhintwindow) {
        auto label = std::make_unique<QLabel>(nullptr, Qt::ToolTip);
        label->setWordWrap(true);
        label->setMargin(2);
        label->setMaximumWidth(HintMaxWidth);
        label->setObjectName(QStringLiteral("SkinHint"));
        fhintwindow = std::move(label);
    }
    auto* hint = static_cast<QLabel*>(fhintwindow.get());
    hint->setText(text);
    hint->adjustSize();
    hint->move(rect.topLeft());
    hint->show();
    hashint = true;
    ++hintcount;
}

void TSkinData::HideHint() {
    if (fhintwindow) {
        static_cast<QWidget*>(fhintwindow.get())->hide();
    }
    hashint = false;
}

bool TSkinData::GetScrollBarInfo(QWidget* handle, int objectId, TScrollBarInfo& info) {
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

void TSkinData::DoDebug(const QString& text) {
    if (DebugList) {
        DebugList->append(text);
    }
}

void ConnectSkinRunHooks() {
    TSkinRunHooks& hooks = SkinRunHooks();
    hooks.ActiveChanged = ApplyActiveChange;
    hooks.ApplySkinChange = ApplySkinChangeToManager;
    hooks.Destroyed = [](TSkinData& data) {
        if (TSkinManage* manager = SkinManager()) {
            manager->RemoveSkinData(&data);
        }
    };
}
