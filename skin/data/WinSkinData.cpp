#include "WinSkinData.h"

#include "SkinRunTime.h"
#include "WinConvert.h"

#include <QBuffer>
#include <QFile>
#include <QMetaProperty>
#include <QtEndian>
#include <utility>

namespace {

struct TClassRow {
    const char* Kind;
    std::initializer_list<const char*> Classes;
};

// Runs `operation` on the plugged run time; nothing without one.
template <typename... TParams, typename... TArgs>
void AskRunTime(void (TSkinRunTime::*operation)(TParams...), TArgs&&... args) {
    if (TSkinRunTime* runTime = SkinRunTime()) {
        (runTime->*operation)(std::forward<TArgs>(args)...);
    }
}

} // namespace

QStringList TSkinData::DefaultSkin3rd() {
    static const TClassRow rows[] = {
        {"scrollbar",
         {"TCategoryButtons", "TVirtualStringTree", "TVirtualDrawTree", "TAdvPanelGroup",
          "THTMLViewer", "TDBCtrlGrid", "TImageEnMView", "TImageEnView", "TAdvMemo", "TDBAdvMemo"}},
        {"pngspeedbutton", {"TPngSpeedbutton"}},
        {"pngbitbtn", {"TPngBitBtn"}},
        {"panel",
         {"TTBXDockablePanel", "TControlBar", "TTBDock", "TTBToolbar", "TRzGroup", "TLMDCalculator",
          "TLMDGROUPBOX", "TLMDSIMPLEPANEL", "TLMDDBCalendar", "TLMDButtonPanel",
          "TLMDLMDCalculator", "TLMDHeaderPanel", "TLMDTechnicalLine", "TLMDLMDClock",
          "TLMDTrackbar"}},
        {"combobox", {"TComboboxex",          "TcxDBLookupComboBox",    "TcxDBComboBox",
                      "TcxDBDateEdit",        "TcxDBImageComboBox",     "TcxDBCalcEdit",
                      "TcxDBBlobEdit",        "TcxDBPopupEdit",         "TcxDBFontNameComboBox",
                      "TcxDBShellComboBox",   "TRxLookupEdit",          "TRxDBLookupCombo",
                      "TRzDateTimeEdit",      "TRzColorEdit",           "TRzDateTimePicker",
                      "TRzDBDateTimeEdit",    "TRzDbColorEdit",         "TRzDBDateTimePicker",
                      "TLMDListCombobox",     "TLMDCheckListCombobox",  "TLMDHeaderListCombobox",
                      "TLMDImageCombobox",    "TLMDColorCombobox",      "TLMDFontCombobox",
                      "TLMDFontSizeCombobox", "TLMDFontSizeCombobox",   "TLMDPrinterCombobox",
                      "TLMDDriveCombobox",    "TLMDCalculatorComboBox", "TLMDTrackBarComboBox",
                      "TLMDCalendarComboBox", "TLMDTreeComboBox",       "TDBLookupCombobox",
                      "TWWDBCombobox",        "TWWDBLookupCombo",       "TWWDBCombobox",
                      "TWWKeyCombo",          "TWWTempKeyCombo",        "TWWDBDateTimePicker"}},
        {"speedbutton", {"TRxSpeedButton", "TfrSpeedButton", "TfrTBButton"}},
        {"button", {"TRzButton"}},
        {"bitbtn", {"TRzBitbtn", "TLMDButton", "TcxButton"}},
        {"menubtn", {"TRzMenuButton"}},
        {"checkgroup", {"TRzCheckGroup", "TLMDCheckGroup", "TLMDDBCheckGroup"}},
        {"radiogroup",
         {"TRzRadioGroup", "TRzDBRadioGroup", "TLMDRADIOGROUP", "TLMDDBRADIOGROUP", "TWWRADIOGROUP",
          "TcxDBRadioGroup", "TcxRadioGroup"}},
        {"edit",
         {"TRzButtonEdit",     "TLMDCalculatorEdit", "TLMDEDIT",           "TLMDMASKEDIT",
          "TLMDBROWSEEDIT",    "TLMDEXTSPINEDIT",    "TLMDCALENDAREDIT",   "TLMDFILEOPENEDIT",
          "TLMDFILESAVEEDIT",  "TLMDCOLOREDIT",      "TLMDDBEDIT",         "TLMDDBMASKEDIT",
          "TLMDDBEXTSPINEDIT", "TLMDDBSPINEDIT",     "TLMDDBEDITDBLookup", "TLMDEDITDBLookup",
          "TWWDBEDIT",         "TOVCPICTUREFIELD",   "TOVCDBPICTUREFIELD", "TOVCSLIDEREDIT",
          "TOVCDBSLIDEREDIT",  "TOVCSIMPLEFIELD",    "TOVCDBSIMPLEFIELD",  "TO32DBFLEXEDIT",
          "TOVCNUMERICFIELD",  "TOVCDBNUMERICFIELD"}},
        {"radiobutton", {"TRzDBRadioButton", "TLMDRadiobutton"}},
        {"groupbox", {"TLMDGroupBox", "TcxGroupbox"}},
        {"checkbox", {"TDBCheckboxEh", "TDBCheckboxEh", "TLMDCHECKBOX", "TLMDDBCHECKBOX"}},
    };
    QStringList list;
    for (const TClassRow& row : rows) {
        for (const char* cls : row.Classes) {
            list.append(QString::fromLatin1(cls) + u'=' + QString::fromLatin1(row.Kind));
        }
    }
    return list;
}

TSkinData::~TSkinData() {
    if (TSkinRunTime* runTime = SkinRunTime()) {
        runTime->Destroyed(*this);
    }
}

void TSkinData::SetActive(bool value) {
    if (value == FActive) {
        return;
    }
    FActive = value;
    if (TSkinRunTime* runTime = SkinRunTime(); runTime && !Designing && !FReading) {
        runTime->ActiveChanged(*this);
    }
}

void TSkinData::SetSkinFile(const QString& path) {
    FSkinFile = path;
    LoadFromFile(path);
}

QString TSkinData::SkinStore() const {
    if (Designing && !Empty) {
        return QStringLiteral("(Good)");
    }
    return QStringLiteral("(none)");
}

QString TSkinData::Version() const {
    return QStringLiteral("mycook skin 1.0");
}

QString TSkinData::GetFileName(const QString& s) {
    const qsizetype dot = s.indexOf(u'.');
    return dot < 0 ? QString() : s.left(dot);
}

bool TSkinData::GetPrecolor(TColor& color, int n) const {
    if (n < 0 || n >= static_cast<int>(ColorPreset.size())) {
        return false;
    }
    color = ColorPreset[n];
    return true;
}

TColor TSkinData::GetCaptionColor() const {
    const TDataSkinBorder* top = border[bsTop].get();
    if (!top || top->Map.isNull() || top->Map.width() == 0 || top->Map.height() == 0) {
        return Colors[3];
    }
    // A frame count of 0 from a broken description must not divide by zero.
    const int frames = std::max(1, top->frame);
    const int x = top->Map.width() / 3;
    const int y = (top->Map.height() / frames) / 3;
    return QColorToColor(QColor(top->Map.pixel(x, y)));
}

bool TSkinData::ReadSkinStream(const QByteArray& value) {
    QBuffer buffer;
    buffer.setData(value);
    buffer.open(QIODevice::ReadOnly);
    return ReadSkinStream(buffer);
}

bool TSkinData::ReadSkinStream(QIODevice& stream) {
    uchar countBytes[4];
    if (stream.read(reinterpret_cast<char*>(countBytes), 4) != 4) {
        return false;
    }
    const qint32 count = qFromLittleEndian<qint32>(countBytes);
    if (count <= 0) {
        return false;
    }
    QByteArray container = stream.read(std::min<qint64>(count, TLZH::MaxUnpackedSize));
    if (container.size() != count) {
        return false; // the value is shorter than its count says
    }
    data = std::move(container);
    if (Designing) {
        return false;
    }
    try {
        return BuildSkin();
    } catch (const std::exception&) {
        // A stored skin that cannot be built leaves the window unskinned.
        ResetSkin();
        return false;
    }
}

QByteArray TSkinData::WriteSkinStream() const {
    QByteArray value(4, '\0');
    qToLittleEndian<qint32>(static_cast<qint32>(data.size()), value.data());
    value.append(data);
    return value;
}

void TSkinData::LoadFromFile(const QString& path) {
    Empty = true;
    if (Designing) {
        data.clear();
        return;
    }
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        return;
    }
    data = file.read(TLZH::MaxUnpackedSize);
    BuildSkin();
    ApplySkinChange();
}

void TSkinData::LoadFromStream(QIODevice& stream) {
    data = stream.read(TLZH::MaxUnpackedSize);
    BuildSkin();
    if (SkinFormtype == sfMainform) {
        ApplySkinChange();
    }
}

void TSkinData::LoadFromCollection(const TSkinStore& store, int index) {
    if (index < 0 || index >= store.Count()) {
        return;
    }
    data = store.Item(index).DataStream;
    BuildSkin();
    ApplySkinChange();
}

void TSkinData::ApplySkinChange() {
    if (Designing) {
        return;
    }
    if (OnApplySkinChange) {
        OnApplySkinChange(this);
    } else if (TSkinRunTime* runTime = SkinRunTime(); runTime && !FReading) {
        runTime->SkinChanged(*this);
    }
}

std::vector<std::pair<QString, const TDataSkinObject*>> TSkinData::Elements() const {
    std::vector<std::pair<QString, const TDataSkinObject*>> list = {
        {QStringLiteral("Title"), Title.get()},
        {QStringLiteral("Button"), Button.get()},
        {QStringLiteral("border[Left]"), border[bsLeft].get()},
        {QStringLiteral("border[Right]"), border[bsRight].get()},
        {QStringLiteral("border[Top]"), border[bsTop].get()},
        {QStringLiteral("border[Bottom]"), border[bsBottom].get()},
        {QStringLiteral("tab"), tab.get()},
        {QStringLiteral("HSpin"), HSpin.get()},
        {QStringLiteral("VSpin"), VSpin.get()},
        {QStringLiteral("Comboxborder"), Comboxborder.get()},
        {QStringLiteral("ExtraImages"), ExtraImages.get()},
        {QStringLiteral("combox"), combox.get()},
        {QStringLiteral("comboxarrow"), comboxarrow.get()},
        {QStringLiteral("Box"), Box.get()},
        {QStringLiteral("Toolbar"), Toolbar.get()},
        {QStringLiteral("Toolbarbtn"), Toolbarbtn.get()},
        {QStringLiteral("progress"), progress.get()},
        {QStringLiteral("progresschunk"), progresschunk.get()},
        {QStringLiteral("boxlabel"), boxlabel.get()},
        {QStringLiteral("StatusBar"), StatusBar.get()},
        {QStringLiteral("TabSheet"), TabSheet.get()},
        {QStringLiteral("Header"), Header.get()},
        {QStringLiteral("Menubar"), Menubar.get()},
        {QStringLiteral("MenuItem"), MenuItem.get()},
        {QStringLiteral("MenuitemBG"), MenuitemBG.get()},
        {QStringLiteral("SArrow"), SArrow.get()},
        {QStringLiteral("HBar"), HBar.get()},
        {QStringLiteral("VBar"), VBar.get()},
        {QStringLiteral("HSlider"), HSlider.get()},
        {QStringLiteral("VSlider"), VSlider.get()},
        {QStringLiteral("TrackHorz"), TrackHorz.get()},
        {QStringLiteral("TrackVert"), TrackVert.get()},
        {QStringLiteral("TrackBar"), TrackBar.get()},
        {QStringLiteral("TrackBarVert"), TrackBarVert.get()},
        {QStringLiteral("TrackLeft"), TrackLeft.get()},
        {QStringLiteral("Trackright"), Trackright.get()},
        {QStringLiteral("Tracktop"), Tracktop.get()},
        {QStringLiteral("Trackbottom"), Trackbottom.get()},
    };
    return list;
}

QStringList TSkinData::MissingElements() const {
    QStringList missing;
    for (const auto& [name, element] : Elements()) {
        if (!element || element->Map.isNull()) {
            missing.append(name);
        }
    }
    if (Button && (Button->CheckMap.isNull() || Button->RadioMap.isNull())) {
        missing.append(QStringLiteral("Button glyphs"));
    }
    int captionButtons = 0;
    for (const auto& b : SysBtn) {
        captionButtons += b->Action >= 0 && b->Action < 7 && !b->Map.isNull() ? 1 : 0;
    }
    if (captionButtons < 3) {
        missing.append(QStringLiteral("SysBtn"));
    }
    return missing;
}

// --- run time: whatever needs the manager or widgets goes to the plugged run time.

void TSkinRunTime::TurnOffQuietly(TSkinData& data) {
    data.FActive = false;
}

void TSkinData::Loaded() {
    if (Designing) {
        return;
    }
    FReading = false;
    AskRunTime(&TSkinRunTime::Loaded, *this);
}

void TSkinData::Install() {
    AskRunTime(&TSkinRunTime::Install, *this);
}

void TSkinData::Uninstall() {
    AskRunTime(&TSkinRunTime::Uninstall, *this);
}

void TSkinData::ChangeForm(QWidget* form) {
    AskRunTime(&TSkinRunTime::ChangeForm, *this, form);
}

void TSkinData::SkinForm(QWidget* handle) {
    AskRunTime(&TSkinRunTime::SkinForm, handle);
}

void TSkinData::AddNestForm(QWidget* form) {
    AskRunTime(&TSkinRunTime::AddNestForm, form);
}

void TSkinData::UpdateSkinControl(QWidget* form, QWidget* control) {
    AskRunTime(&TSkinRunTime::UpdateSkinControl, form, control);
}

void TSkinData::DeleteGraphicControl(QWidget* control) {
    AskRunTime(&TSkinRunTime::DeleteGraphicControl, control);
}

void TSkinData::UpdateMenu(QWidget* form) {
    AskRunTime(&TSkinRunTime::UpdateMenu, form);
}

void TSkinData::UpdateMainMenu(bool done) {
    AskRunTime(&TSkinRunTime::UpdateMainMenu, done);
}

void TSkinData::InstallThread(quintptr id) {
    AskRunTime(&TSkinRunTime::InstallThread, id);
}

void TSkinData::UnInstallThread(quintptr id) {
    AskRunTime(&TSkinRunTime::UnInstallThread, id);
}

void TSkinData::EnableSkin(bool on) {
    AskRunTime(&TSkinRunTime::EnableSkin, on);
}

void TSkinData::ActivateHint(const QRect& rect, const QString& text) {
    AskRunTime(&TSkinRunTime::ActivateHint, *this, rect, text);
}

void TSkinData::HideHint() {
    AskRunTime(&TSkinRunTime::HideHint, *this);
}

bool TSkinData::GetScrollBarInfo(QWidget* handle, int objectId, TScrollBarInfo& info) {
    TSkinRunTime* runTime = SkinRunTime();
    return runTime && runTime->GetScrollBarInfo(handle, objectId, info);
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

void TSkinData::DoDebug(const QString& text) {
    if (DebugList) {
        DebugList->append(text);
    }
}
