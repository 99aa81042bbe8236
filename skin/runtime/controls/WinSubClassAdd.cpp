#include "WinSubClassAdd.h"

#include "SkinFormHost.h"
#include "SkinMessages.h"
#include "WinSubClass.h"
#include "WinSubClassBox.h"
#include "WinSubClassButton.h"
#include "WinSubClassScroll.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace {

// The one place the component's OnSkinControl is asked.
QObject* CallOnSkinControl(TSkinFormHost& form, TSkinData& skin, QWidget& control,
                           const QString& controlClass) {
    QObject* skinned = nullptr;
    if (skin.OnSkinControl) {
        skin.OnSkinControl(TSkinFormSender(&form), &skin, form.FForm.data(), &control, controlClass,
                           skinned);
    }
    return skinned;
}

bool InControllist(const TSkinFormHost& form, const QWidget& control) {
    for (const QPointer<TSkinControl>& c : form.Controllist) {
        if (c && c->hwnd.data() == &control) {
            return true;
        }
    }
    return false;
}

// Qt's own parts inside a control (a scroll area's viewport, a tab widget's
// bar and stack) carry names beginning "qt_"; they are never classified.
bool IsQtPart(const QWidget& w) {
    return w.objectName().startsWith(QLatin1String("qt_"));
}

// Controls whose children are their own parts, not further controls.
bool IsCompound(const QWidget& w) {
    if (qobject_cast<const QScrollArea*>(&w)) {
        return false; // its content widget holds real controls
    }
    return qobject_cast<const QAbstractScrollArea*>(&w) || qobject_cast<const QComboBox*>(&w) ||
           qobject_cast<const QAbstractSpinBox*>(&w) || qobject_cast<const QAbstractButton*>(&w) ||
           qobject_cast<const QLineEdit*>(&w) || qobject_cast<const QAbstractSlider*>(&w) ||
           qobject_cast<const QProgressBar*>(&w) || qobject_cast<const QTabBar*>(&w) ||
           qobject_cast<const QLabel*>(&w) || qobject_cast<const QCalendarWidget*>(&w) ||
           w.inherits("TStatusBar");
}

// A part of a compound control, at any depth below `top`.
bool IsInsideCompound(const QWidget& w, const QWidget& top) {
    for (const QWidget* p = w.parentWidget(); p && p != &top; p = p->parentWidget()) {
        if (IsCompound(*p)) {
            return true;
        }
    }
    return false;
}

template <typename T>
T* Make(TSkinFormHost& form, QWidget& control, int kind = 0, bool newColor = false,
        bool foreign = false) {
    auto* skin = new T(control, &form, *form.fsd); // owned by the control
    skin->kind = kind;
    skin->newColor = newColor;
    if (foreign) {
        skin->Inithwnd();
    } else {
        skin->Init();
    }
    return skin;
}

void WalkFramework(TSkinFormHost& form, QWidget& parent);

// "Its children handled as a panel's": every child control through the rules.
void HandleChildren(TSkinFormHost& form, QWidget& parent) {
    WalkFramework(form, parent);
}

void WalkFramework(TSkinFormHost& form, QWidget& parent) {
    const auto children = parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        // A window of its own is skinned as a window; a control a container's rule
        // has handed on was classified then, and its children walked.
        if (child->isWindow() || form.Walked.contains(child)) {
            continue;
        }
        form.Walked.insert(child);
        if (!IsQtPart(*child)) {
            AddComp(form, *child);
        }
        if (!IsCompound(*child)) {
            WalkFramework(form, *child);
        }
    }
}

bool HasBorder(const QWidget& w) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(&w)) {
        return edit->hasFrame();
    }
    if (const auto* frame = qobject_cast<const QFrame*>(&w)) {
        return frame->frameShape() != QFrame::NoFrame && frame->frameWidth() > 0;
    }
    return w.contentsRect() != w.rect();
}

bool TabElement(const TSkinData& sd) {
    return sd.SkinControls.Contains(xcTab) && sd.tab && !sd.tab->Map.isNull();
}

// A group box whose radio buttons make one exclusive button group.
bool IsRadioGroup(const QWidget& w) {
    if (!qobject_cast<const QGroupBox*>(&w)) {
        return false;
    }
    const auto radios = w.findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
    if (radios.isEmpty() || !radios.first()->group()) {
        return false;
    }
    QButtonGroup* group = radios.first()->group();
    return group->exclusive() &&
           std::all_of(radios.begin(), radios.end(),
                       [group](QRadioButton* r) { return r->group() == group; });
}

bool OneOf(const QString& upper, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&upper](const char* n) { return upper == QLatin1String(n); });
}

// Step 4: a Skin3rd kind. True when the control got a skin object.
bool ApplySkin3rd(TSkinFormHost& form, QWidget& control, const QString& kind,
                  const QString& className) {
    const TSkinData& sd = *form.fsd;
    auto on = [&sd](TSkinControlType t) {
        return sd.SkinControls.Contains(t);
    };
    const QString lower = className.toLower();
    if (kind == QLatin1String("combobox")) {
        return on(xcCombo) && Make<TSkinComBox>(form, control);
    }
    if (kind == QLatin1String("comboboxex")) {
        return on(xcCombo) && Make<TSkinComBox>(form, control, 1);
    }
    if (kind == QLatin1String("edit")) {
        return on(xcEdit) && HasBorder(control) && Make<TSkinEdit>(form, control);
    }
    if (kind == QLatin1String("radiobutton")) {
        return on(xcRadioButton) && Make<TSkinRadioButton>(form, control);
    }
    if (kind == QLatin1String("panel") || kind == QLatin1String("trackbar")) {
        const bool panel = kind == QLatin1String("panel");
        if (!on(panel ? xcPanel : xcButton)) {
            return false;
        }
        TSkinControl* skin =
            panel ? static_cast<TSkinControl*>(new TSkinBox(control, &form, *form.fsd))
                  : new TSkinTrackBar(control, &form, *form.fsd);
        skin->SetControlProperty("Transparent", true);
        skin->Init();
        return true;
    }
    if (kind == QLatin1String("button")) {
        return on(xcButton) && Make<TSkinButton>(form, control);
    }
    if (kind == QLatin1String("datetimepicker")) {
        return on(xcCombo) && Make<TSkinDateTime>(form, control);
    }
    if (kind == QLatin1String("mediaplayer")) {
        return on(xcButton) && Make<TSkinMP>(form, control);
    }
    if (kind == QLatin1String("bitbtn")) {
        if (!on(xcButton)) {
            return false;
        }
        if (lower == QLatin1String("tcxbutton") ||
            control.property("Kind").toString() == QLatin1String("cxbkDropDownButton")) {
            return Make<TSkinBitButton>(form, control);
        }
        return Make<TSkinMenuButton>(form, control);
    }
    if (kind == QLatin1String("pngbitbtn")) {
        return on(xcButton) && Make<TSkinBitButton>(form, control, 1);
    }
    if (kind == QLatin1String("pngspeedbutton")) {
        return on(xcButton) && Make<TSkinSpeedButton>(form, control, 1);
    }
    if (kind == QLatin1String("menubtn")) {
        return on(xcButton) && Make<TSkinMenuButton>(form, control);
    }
    if (kind == QLatin1String("speedbutton")) {
        return on(xcSpeedButton) && Make<TSkinSpeedButton>(form, control);
    }
    if (kind == QLatin1String("tab")) {
        return TabElement(sd) && Make<TSkinTab>(form, control);
    }
    if (kind == QLatin1String("progress")) {
        return on(xcProgress) && Make<TSkinProgress>(form, control);
    }
    if (kind == QLatin1String("scrollbar")) {
        if (!on(xcScrollbar)) {
            return false;
        }
        Make<TSkinScrollbar>(form, control);
        HandleChildren(form, control);
        return true;
    }
    if (kind == QLatin1String("singlescrollbar")) {
        return on(xcScrollbar) && Make<TSkinScrollbar>(form, control, 1);
    }
    if (kind == QLatin1String("embedscrollbar")) {
        if (!on(xcScrollbar)) {
            return false;
        }
        bool any = false;
        for (QWidget* child : control.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (IsSkinnedObject(child)) {
                continue;
            }
            if (qobject_cast<QScrollBar*>(child)) {
                any = Make<TSkinScControl>(form, *child) || any;
            } else if (qobject_cast<QAbstractScrollArea*>(child)) {
                any = Make<TSkinScrollbar>(form, *child) || any;
            }
        }
        return any;
    }
    if (kind == QLatin1String("container")) {
        HandleChildren(form, control);
        return false;
    }
    if (kind == QLatin1String("groupbox")) {
        return on(xcGroupBox) && Make<TSkinGroupBox>(form, control);
    }
    if (kind == QLatin1String("advpagecontrol")) {
        return on(xcTab) && Make<TSkinAdvPage>(form, control);
    }
    if (kind == QLatin1String("radiogroup") || kind == QLatin1String("checkgroup")) {
        const bool radio = kind == QLatin1String("radiogroup");
        const bool imageDrawn = className.toUpper().contains(QLatin1String("TRZ"));
        if (on(xcRadioButton)) {
            for (QWidget* child : control.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!qobject_cast<QAbstractButton*>(child) || IsSkinnedObject(child)) {
                    continue;
                }
                if (imageDrawn) {
                    Make<TSkinObjImage>(form, *child, radio ? 2 : 1);
                } else if (radio) {
                    Make<TSkinRadioButton>(form, *child);
                } else {
                    Make<TSkinCheckBox>(form, *child);
                }
            }
        }
        return on(xcGroupBox) && Make<TSkinGroupBox>(form, control);
    }
    if (kind == QLatin1String("checkbox")) {
        return on(xcCheckBox) && Make<TSkinCheckBox>(form, control);
    }
    return false; // "nil", and kinds that mean nothing
}

// Step 5: the built-in rules, first match wins (a matching row ends the
// search even when its condition is off).
bool ApplyBuiltIn(TSkinFormHost& form, QWidget& control, const QString& upper) {
    TSkinData& sd = *form.fsd;
    auto on = [&sd](TSkinControlType t) {
        return sd.SkinControls.Contains(t);
    };
    const bool tab = TabElement(sd);
    const bool pageControl = control.inherits("TPageControl");

    if (OneOf(upper, {"TDBCOMBOBOXEH", "TFRDESIGNERPAGE", "TFRPBOX"})) {
        return false;
    }
    if ((qobject_cast<QTabBar*>(&control) || qobject_cast<QTabWidget*>(&control)) && !pageControl) {
        return tab && Make<TSkinTab>(form, control);
    }
    if (pageControl) {
        if (!tab) {
            return false;
        }
        const QString style = control.property("Style").toString();
        if (style == QLatin1String("tsButtons") || style == QLatin1String("tsFlatButtons")) {
            return Make<TSkinTabBtn>(form, control);
        }
        return Make<TSkinTab>(form, control);
    }
    {
        const auto* push = qobject_cast<QPushButton*>(&control);
        const auto* tool = qobject_cast<QToolButton*>(&control);
        if ((push && push->menu()) || (tool && tool->menu())) {
            return on(xcButton) && Make<TSkinMenuButton>(form, control);
        }
    }
    if (control.inherits("TCoolBar")) {
        // The bands take the button face; the object carries the undo.
        return on(xcToolbar) && Make<TSkinBox>(form, control, 2);
    }
    if (upper == QLatin1String("TTABSET")) {
        return tab && Make<TSkinTab31>(form, control);
    }
    if (control.inherits("TTabSheet")) {
        return tab && Make<TSkinTabSheet>(form, control);
    }
    if (upper == QLatin1String("TTABBEDNOTEBOOK")) {
        return tab && Make<TSkinTab>(form, control);
    }
    if (upper == QLatin1String("TMVCPANEL")) {
        HandleChildren(form, control);
        return false;
    }
    if (qobject_cast<QHeaderView*>(&control)) {
        return on(xcPanel) && Make<TSkinHeader>(form, control);
    }
    if (qobject_cast<QCheckBox*>(&control)) {
        return on(xcCheckBox) && Make<TSkinCheckBox>(form, control);
    }
    if (qobject_cast<QSlider*>(&control)) {
        return on(xcTrackBar) && Make<TSkinTrackBar>(form, control);
    }
    if (OneOf(upper, {"TUPDOWN", "TSPINBUTTON"}) ||
        (qobject_cast<QAbstractSpinBox*>(&control) && !qobject_cast<QDateTimeEdit*>(&control))) {
        return on(xcSpin) && Make<TSkinUpDown>(form, control);
    }
    if (upper == QLatin1String("TMEDIAPLAYER")) {
        return on(xcButton) && Make<TSkinMP>(form, control);
    }
    if (IsRadioGroup(control)) {
        if (!on(xcRadioButton)) {
            return false;
        }
        for (QRadioButton* radio :
             control.findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
            if (!IsSkinnedObject(radio)) {
                Make<TSkinRadioButton>(form, *radio);
            }
        }
        return Make<TSkinGroupBox>(form, control);
    }
    if (upper == QLatin1String("TDBNAVIGATOR")) {
        if (!on(xcPanel)) {
            return false;
        }
        Make<TSkinBox>(form, control, 0, true);
        HandleChildren(form, control);
        return true;
    }
    if (OneOf(upper, {"TRZCHECKBOX", "TRZDBCHECKBOX"})) {
        return on(xcCheckBox) && Make<TSkinObjImage>(form, control, 1);
    }
    if (OneOf(upper, {"TRZRADIOBUTTON", "TRZDBRADIOBUTTON"})) {
        return on(xcRadioButton) && Make<TSkinObjImage>(form, control, 2);
    }
    if (OneOf(upper, {"TCXCHECKBOX", "TCXDBCHECKBOX"})) {
        return on(xcCheckBox) && Make<TSkinObjImage>(form, control, 3);
    }
    if (qobject_cast<QGroupBox*>(&control)) {
        if (!on(xcPanel)) {
            return false;
        }
        HandleChildren(form, control);
        return Make<TSkinGroupBox>(form, control);
    }
    if (qobject_cast<QRadioButton*>(&control)) {
        return on(xcRadioButton) && Make<TSkinRadioButton>(form, control);
    }
    if (qobject_cast<QToolBar*>(&control)) {
        return on(xcToolbar) && Make<TSkinBox>(form, control, 1);
    }
    if (control.inherits("TStatusBar") || qobject_cast<QStatusBar*>(&control)) {
        return on(xcStatusBar) && Make<TSkinStatusBar>(form, control);
    }
    if (qobject_cast<QProgressBar*>(&control)) {
        return on(xcProgress) && Make<TSkinProgress>(form, control);
    }
    if (qobject_cast<QScrollBar*>(&control)) {
        return on(xcScrollbar) && Make<TSkinScControl>(form, control);
    }
    if (upper == QLatin1String("TTNTCOMBOBOX") || qobject_cast<QComboBox*>(&control)) {
        return on(xcCombo) && Make<TSkinComBox>(form, control);
    }
    if (auto* dateTime = qobject_cast<QDateTimeEdit*>(&control)) {
        if (!on(xcEdit)) {
            return false;
        }
        const bool timeOnly = !(dateTime->displayedSections() & QDateTimeEdit::DateSections_Mask);
        if (!dateTime->calendarPopup() || timeOnly) {
            return Make<TSkinEdit>(form, control);
        }
        return Make<TSkinDateTime>(form, control);
    }
    if (OneOf(upper, {"TRICHEDIT", "TWWDBRICHEDIT", "TDXDBMEMO"}) ||
        control.inherits("TRichEdit")) {
        return on(xcScrollbar) && Make<TSkinScrollbar>(form, control);
    }
    if (control.inherits("TBitBtn")) {
        return on(xcBitBtn) && Make<TSkinBitButton>(form, control);
    }
    if (qobject_cast<QToolButton*>(&control)) {
        return on(xcSpeedButton) && Make<TSkinSpeedButton>(form, control);
    }
    if (control.inherits("TPanel")) {
        if (!on(xcPanel)) {
            return false;
        }
        HandleChildren(form, control);
        return Make<TSkinBox>(form, control, 0, true);
    }
    if (OneOf(upper, {"TDXTREELIST", "TDXDBTREELIST", "TDXDBGRID"})) {
        return on(xcScrollbar) && Make<TSkinScrollbar>(form, control);
    }
    {
        const auto* list = qobject_cast<QListView*>(&control);
        if (qobject_cast<QTreeView*>(&control) ||
            (list && list->viewMode() == QListView::IconMode)) {
            return on(xcScrollbar) && Make<TSkinListView>(form, control);
        }
    }
    if (qobject_cast<QMdiArea*>(&control) && !sd.Options.Contains(xoMDIScrollbar)) {
        return Make<TSkinMDIClient>(form, control);
    }
    if (qobject_cast<QAbstractScrollArea*>(&control)) {
        return on(xcScrollbar) && Make<TSkinScrollbar>(form, control);
    }
    if (qobject_cast<QAbstractButton*>(&control)) {
        return on(xcButton) && Make<TSkinButton>(form, control);
    }
    if (qobject_cast<QLineEdit*>(&control)) {
        return on(xcEdit) && Make<TSkinEdit>(form, control);
    }
    const bool dcEdit = OneOf(upper, {"TDCEDIT", "TDCDBEDIT"});
    if (qobject_cast<QFrame*>(&control) && !dcEdit) {
        HandleChildren(form, control); // a frame: its controls handled as a form's
        return false;
    }
    if ((qobject_cast<QDialog*>(&control) || qobject_cast<QMainWindow*>(&control)) && !dcEdit) {
        Make<TSkinBox>(form, control, 0, true);
        HandleChildren(form, control);
        return true;
    }
    if (dcEdit) {
        const int buttons = control.property("NumButtons").toInt();
        if (buttons == 1 && on(xcCombo)) {
            return Make<TSkinComBox>(form, control);
        }
        if (buttons == 0 && on(xcEdit)) {
            return Make<TSkinEdit>(form, control);
        }
    }
    return false;
}

void WalkForeign(TSkinFormHost& form, QWidget& parent) {
    const auto children = parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow()) {
            continue;
        }
        if (!IsQtPart(*child)) {
            AddControlh(form, *child);
        }
        if (auto* area = qobject_cast<QAbstractScrollArea*>(child);
            area && !qobject_cast<QScrollArea*>(child)) {
            // A list's scroll bars are skinned on their own; a tree view is left alone.
            if (SkinControlWindowClass(*child) != QLatin1String("systreeview32")) {
                for (QScrollBar* bar : {area->horizontalScrollBar(), area->verticalScrollBar()}) {
                    if (bar) {
                        AddControlh(form, *bar);
                    }
                }
            }
            continue;
        }
        if (!IsCompound(*child)) {
            WalkForeign(form, *child);
        }
    }
}

} // namespace

QString Skin3rdKind(const QStringList& lines, const QString& className) {
    // Asked for every control of every window: compare without lower-casing
    // each of the list's lines (class names are ASCII).
    const QString prefix = className + QLatin1Char('=');
    for (const QString& line : lines) {
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            return line.mid(line.indexOf(QLatin1Char('=')) + 1, 50).toLower();
        }
    }
    return {};
}

QString SkinControlWindowClass(const QWidget& control) {
    const QString name = QString::fromLatin1(control.metaObject()->className());
    // Our own control classes go by their names, as framework windows do.
    if (name.size() > 1 && name.at(0) == QLatin1Char('T') && name.at(1).isUpper()) {
        return name.toLower();
    }
    if (qobject_cast<const QSizeGrip*>(&control) || qobject_cast<const QScrollBar*>(&control)) {
        return QStringLiteral("scrollbar");
    }
    if (qobject_cast<const QToolButton*>(&control) &&
        qobject_cast<const QToolBar*>(control.parentWidget())) {
        return QStringLiteral("toolbarbutton"); // part of its bar
    }
    if (qobject_cast<const QAbstractButton*>(&control) ||
        qobject_cast<const QGroupBox*>(&control)) {
        return QStringLiteral("button");
    }
    if (qobject_cast<const QComboBox*>(&control)) {
        return QStringLiteral("combobox");
    }
    if (qobject_cast<const QLineEdit*>(&control)) {
        return QStringLiteral("edit");
    }
    if (qobject_cast<const QTabBar*>(&control)) {
        return QStringLiteral("systabcontrol32");
    }
    if (qobject_cast<const QToolBar*>(&control)) {
        return QStringLiteral("toolbarwindow32");
    }
    if (qobject_cast<const QTreeView*>(&control)) {
        return QStringLiteral("systreeview32");
    }
    if (qobject_cast<const QListView*>(&control)) {
        return QStringLiteral("syslistview32");
    }
    if (qobject_cast<const QLabel*>(&control)) {
        return QStringLiteral("static");
    }
    if (qobject_cast<const QProgressBar*>(&control)) {
        return QStringLiteral("msctls_progress32");
    }
    if (IsCompound(control)) {
        return name.toLower();
    }
    return QStringLiteral("#32770"); // a container of further controls
}

quint32 SkinControlStyle(const QWidget& control) {
    quint32 style = 0;
    if (const auto* check = qobject_cast<const QCheckBox*>(&control)) {
        style = check->isTristate() ? 5 : 3;
    } else if (qobject_cast<const QRadioButton*>(&control)) {
        style = 9;
    } else if (qobject_cast<const QGroupBox*>(&control)) {
        style = 7;
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) {
        const auto* push = qobject_cast<const QPushButton*>(button);
        if (button->text().isEmpty() && !button->icon().isNull()) {
            style = 0x80;
        } else if (push && push->isDefault()) {
            style = 1;
        }
    } else if (const auto* combo = qobject_cast<const QComboBox*>(&control)) {
        style = combo->isEditable() ? 2 : 3;
    }
    // Real scroll bars are tab stops; a size grip is not.
    if ((control.focusPolicy() & Qt::TabFocus) || qobject_cast<const QScrollBar*>(&control)) {
        style |= SkinStyleTabStop;
    }
    return style;
}

bool AddComp(TSkinFormHost& form, QWidget& control) {
    if (!form.fsd) {
        return false;
    }
    TSkinData& sd = *form.fsd;
    const QString className = QString::fromLatin1(control.metaObject()->className());
    const QString upper = className.toUpper();
    try {
        // 1. exempt, and an exempt radio or check group's children with it
        if (ControlTag(control) == sd.DisableTag) {
            if (upper.contains(QLatin1String("RADIOGROUP")) ||
                upper.contains(QLatin1String("CHECKGROUP"))) {
                for (QWidget* child : control.findChildren<QWidget*>()) {
                    SetControlTag(*child, sd.DisableTag);
                }
            }
            return false;
        }
        // 2. no parent, already skinned
        if (!control.parentWidget() || InControllist(form, control) || IsSkinnedObject(&control)) {
            return false;
        }
        // 3. the host's own choice
        if (QObject* supplied = CallOnSkinControl(form, sd, control, upper)) {
            auto* skin = qobject_cast<TSkinControl*>(supplied);
            if (!skin) {
                return false;
            }
            skin->skinform = &form;
            skin->Init();
            if (control.inherits("TPanel")) {
                HandleChildren(form, control);
            }
            return true;
        }
        // 4. the class map
        const QString kind = Skin3rdKind(sd.Skin3rd, className);
        if (!kind.isEmpty()) {
            return ApplySkin3rd(form, control, kind, className);
        }
        // 5. the built-in rules
        return ApplyBuiltIn(form, control, upper);
    } catch (...) {
        return false; // a control that cannot be skinned stays as it is
    }
}

bool AddControlh(TSkinFormHost& form, QWidget& control) {
    if (!form.fsd || InControllist(form, control) || IsSkinnedObject(&control)) {
        return false;
    }
    const TSkinData& sd = *form.fsd;
    auto on = [&sd](TSkinControlType t) {
        return sd.SkinControls.Contains(t);
    };
    const QString cls = SkinControlWindowClass(control);
    const quint32 style = SkinControlStyle(control);
    const quint32 kind = style & 0xFF;
    const bool tabStop = style & SkinStyleTabStop;
    try {
        if (cls == QLatin1String("button")) {
            if (kind == 7 || kind == 0x80) {
                return false;
            }
            if (kind == 3 || kind == 2 || kind == 5) {
                return on(xcCheckBox) && Make<TSkinCheckBox>(form, control, 0, false, true);
            }
            if (kind == 9 || kind == 4) {
                return on(xcRadioButton) && Make<TSkinRadioButton>(form, control, 0, false, true);
            }
            return on(xcButton) && Make<TSkinButton>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("combobox") || cls == QLatin1String("tcombobox")) {
            return on(xcCombo) && kind != 1 && Make<TSkinComBox>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("tcheckbox")) {
            return on(xcCheckBox) && Make<TSkinCheckBox>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("tbutton")) {
            return on(xcButton) && Make<TSkinButton>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("tprogressbar")) {
            return Make<TSkinProgress>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("scrollbar")) {
            if (!tabStop) {
                return Make<TSkinSizer>(form, control, 0, false, true);
            }
            // A list's own bar in a dialog.
            return on(xcScrollbar) && Make<TSkinScControl>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("#32770")) {
            return !tabStop && Make<TSkinBoxH>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("tpanel") || cls == QLatin1String("ttntpanel.unicodeclass") ||
            cls == QLatin1String("ttntsilentpaintpanel.unicodeclass") ||
            cls == QLatin1String("tsilentpaintpanel")) {
            return Make<TSkinBoxH>(form, control, 0, true, true);
        }
        if (cls == QLatin1String("systabcontrol32")) {
            return on(xcTab) && Make<TSkinTab>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("toolbarwindow32")) {
            return Make<TSkinBoxH>(form, control, 0, false, true);
        }
        if (cls == QLatin1String("edit")) {
            return on(xcEdit) && Make<TSkinEdit>(form, control, 0, false, true);
        }
    } catch (...) {
    }
    return false; // "systreeview32" and everything else
}

void SkinFormControls(TSkinFormHost& form) {
    if (!form.fsd || !form.Hwnd) {
        return;
    }
    form.Controllist.removeAll(QPointer<TSkinControl>()); // skins of destroyed controls
    if (!form.FForm) {
        WalkForeign(form, *form.Hwnd);
        return;
    }
    QWidget& window = *form.FForm;
    // Each control once per pass; the set only compares addresses.
    struct TWalk {
        TSkinFormHost& Form;
        ~TWalk() { Form.Walked.clear(); }
    } walk{form};
    form.Walked.clear();
    WalkFramework(form, window);
    // Then the tab order: controls the walk did not reach.
    const int disableTag = form.fsd->DisableTag;
    for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain()) {
        if (w->isWindow() || w->window() != &window || !(w->focusPolicy() & Qt::TabFocus) ||
            IsQtPart(*w) || IsInsideCompound(*w, window) || ControlTag(*w) == disableTag ||
            IsSkinnedObject(w) || form.Walked.contains(w)) {
            continue;
        }
        form.Walked.insert(w);
        AddComp(form, *w);
    }
}

void UnskinFormControls(TSkinFormHost& form, bool destroyed) {
    const auto controls = form.Controllist;
    form.Controllist.clear();
    // Last skinned first, so nested objects give back in the reverse order.
    for (auto it = controls.crbegin(); it != controls.crend(); ++it) {
        if (TSkinControl* c = it->data()) {
            if (!destroyed) {
                c->Unsubclass();
            }
            delete c;
        }
    }
}

void RefreshFormControls(TSkinFormHost& form) {
    for (const QPointer<TSkinControl>& c : form.Controllist) {
        if (c) {
            c->SkinChange();
        }
    }
}
