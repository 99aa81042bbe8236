// Which skin object each control gets: the built-in rules, the class map,
// the host's choice, the exemptions, and foreign windows' controls.
#include "SkinCtlFixture.h"
#include "SkinMessages.h"
#include "WinSubClassAdd.h"
#include "WinSubClassBox.h"
#include "WinSubClassButton.h"
#include "WinSubClassScroll.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <gtest/gtest.h>
#include <map>

// Classes named as the rules and the class map name them.
#define PROBE(Name, Base)                                                                          \
    class Name : public Base {                                                                     \
        Q_OBJECT                                                                                   \
    public:                                                                                        \
        using Base::Base;                                                                          \
    };
class TButtonProbeBase : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override {}
};
PROBE(TPageControl, QStackedWidget)
PROBE(TCoolBar, QFrame)
PROBE(TTabSet, QWidget)
PROBE(TTabSheet, QWidget)
PROBE(TTabbedNotebook, QWidget)
PROBE(TMvcPanel, QWidget)
PROBE(TUpDown, QWidget)
PROBE(TMediaPlayer, QWidget)
PROBE(TDBNavigator, QWidget)
PROBE(TRzCheckBox, TButtonProbeBase)
PROBE(TRzRadioButton, TButtonProbeBase)
PROBE(TcxCheckBox, TButtonProbeBase)
PROBE(TStatusBar, QFrame)
PROBE(TTntComboBox, QWidget)
PROBE(TRichEdit, QTextEdit)
PROBE(TBitBtn, QPushButton)
PROBE(TPanel, QFrame)
PROBE(TdxDBGrid, QWidget)
PROBE(TDCEdit, QWidget)
PROBE(TDBComboBoxEh, QComboBox)
PROBE(TRzButton, QWidget)
PROBE(TProbe, QFrame)
PROBE(TcxButton, QWidget)
PROBE(TRzRadioGroup, QGroupBox)
PROBE(TRzCheckGroup, QGroupBox)

namespace {

// Restores what a test changed on the shared skin.
class TSkinSettings {
public:
    explicit TSkinSettings(TSkinData& skin)
        : FSkin(skin), FControls(skin.SkinControls), FOptions(skin.Options), FMap(skin.Skin3rd) {}
    ~TSkinSettings() {
        FSkin.SkinControls = FControls;
        FSkin.Options = FOptions;
        FSkin.Skin3rd = FMap;
        FSkin.OnSkinControl = nullptr;
    }

private:
    TSkinData& FSkin;
    TSkinControls FControls;
    TSkinOptions FOptions;
    QStringList FMap;
};

struct TRuleCase {
    const char* row;
    std::function<QWidget*(QWidget* parent)> make;
    const char* expected; // skin class, or "" for none
};

} // namespace

TEST(SkinClassify, EveryBuiltInRowPicksItsObject) {
    const std::vector<TRuleCase> cases = {
        {"tab control",
         [](QWidget* p) {
             auto* t = new QTabBar(p);
             t->addTab("a");
             return t;
         },
         "TSkinTab"},
        {"page control", [](QWidget* p) { return new TPageControl(p); }, "TSkinTab"},
        {"page control with button tabs",
         [](QWidget* p) {
             auto* w = new TPageControl(p);
             w->setProperty("Style", "tsButtons");
             return w;
         },
         "TSkinTabBtn"},
        {"control with a menu",
         [](QWidget* p) -> QWidget* {
             auto* b = new QToolButton(p);
             b->setMenu(new QMenu(b));
             return b;
         },
         "TSkinMenuButton"},
        {"cool bar", [](QWidget* p) { return new TCoolBar(p); }, "TSkinBox"},
        {"TTABSET", [](QWidget* p) { return new TTabSet(p); }, "TSkinTab31"},
        {"tab sheet", [](QWidget* p) { return new TTabSheet(p); }, "TSkinTabSheet"},
        {"TTABBEDNOTEBOOK", [](QWidget* p) { return new TTabbedNotebook(p); }, "TSkinTab"},
        {"TMVCPANEL", [](QWidget* p) { return new TMvcPanel(p); }, ""},
        {"header", [](QWidget* p) { return new QHeaderView(Qt::Horizontal, p); }, "TSkinHeader"},
        {"check box", [](QWidget* p) { return new QCheckBox("c", p); }, "TSkinCheckBox"},
        {"track bar", [](QWidget* p) { return new QSlider(p); }, "TSkinTrackBar"},
        {"TUPDOWN", [](QWidget* p) { return new TUpDown(p); }, "TSkinUpDown"},
        {"spin box", [](QWidget* p) { return new QSpinBox(p); }, "TSkinUpDown"},
        {"TMEDIAPLAYER", [](QWidget* p) { return new TMediaPlayer(p); }, "TSkinMP"},
        {"radio group",
         [](QWidget* p) {
             auto* g = new QGroupBox("g", p);
             auto* group = new QButtonGroup(g);
             group->addButton(new QRadioButton("a", g));
             group->addButton(new QRadioButton("b", g));
             return g;
         },
         "TSkinGroupBox"},
        {"TDBNAVIGATOR", [](QWidget* p) { return new TDBNavigator(p); }, "TSkinBox"},
        {"TRZCHECKBOX", [](QWidget* p) { return new TRzCheckBox(p); }, "TSkinObjImage"},
        {"TRZRADIOBUTTON", [](QWidget* p) { return new TRzRadioButton(p); }, "TSkinObjImage"},
        {"TCXCHECKBOX", [](QWidget* p) { return new TcxCheckBox(p); }, "TSkinObjImage"},
        {"group box", [](QWidget* p) { return new QGroupBox("g", p); }, "TSkinGroupBox"},
        {"radio button", [](QWidget* p) { return new QRadioButton("r", p); }, "TSkinRadioButton"},
        {"tool bar", [](QWidget* p) { return new QToolBar(p); }, "TSkinBox"},
        {"status bar (ours)", [](QWidget* p) { return new TStatusBar(p); }, "TSkinStatusBar"},
        {"status bar", [](QWidget* p) { return new QStatusBar(p); }, "TSkinStatusBar"},
        {"progress bar", [](QWidget* p) { return new QProgressBar(p); }, "TSkinProgress"},
        {"scroll bar", [](QWidget* p) { return new QScrollBar(p); }, "TSkinScControl"},
        {"TTNTCOMBOBOX", [](QWidget* p) { return new TTntComboBox(p); }, "TSkinComBox"},
        {"combo box", [](QWidget* p) { return new QComboBox(p); }, "TSkinComBox"},
        {"date-time, up-down", [](QWidget* p) { return new QDateTimeEdit(p); }, "TSkinEdit"},
        {"date-time, calendar",
         [](QWidget* p) {
             auto* d = new QDateTimeEdit(p);
             d->setCalendarPopup(true);
             return d;
         },
         "TSkinDateTime"},
        {"time only, calendar",
         [](QWidget* p) {
             auto* d = new QTimeEdit(p);
             d->setCalendarPopup(true);
             return d;
         },
         "TSkinEdit"},
        {"TRICHEDIT", [](QWidget* p) { return new TRichEdit(p); }, "TSkinScrollbar"},
        {"bit button", [](QWidget* p) { return new TBitBtn(p); }, "TSkinBitButton"},
        {"speed button", [](QWidget* p) { return new QToolButton(p); }, "TSkinSpeedButton"},
        {"panel", [](QWidget* p) { return new TPanel(p); }, "TSkinBox"},
        {"TDXDBGRID", [](QWidget* p) { return new TdxDBGrid(p); }, "TSkinScrollbar"},
        {"list view", [](QWidget* p) { return new QTreeView(p); }, "TSkinListView"},
        {"MDI client", [](QWidget* p) { return new QMdiArea(p); }, "TSkinMDIClient"},
        {"memo", [](QWidget* p) { return new QPlainTextEdit(p); }, "TSkinScrollbar"},
        {"list box", [](QWidget* p) { return new QListView(p); }, "TSkinScrollbar"},
        {"button", [](QWidget* p) { return new QPushButton("b", p); }, "TSkinButton"},
        {"edit", [](QWidget* p) { return new QLineEdit(p); }, "TSkinEdit"},
        {"frame", [](QWidget* p) { return new QFrame(p); }, ""},
        {"label", [](QWidget* p) { return new QLabel("l", p); }, ""},
        {"nested form",
         [](QWidget* p) {
             auto* d = new QDialog(p);
             d->setWindowFlags(Qt::Widget); // placed inside, not a window of its own
             return d;
         },
         "TSkinBox"},
        {"TDCEDIT, one button",
         [](QWidget* p) {
             auto* w = new TDCEdit(p);
             w->setProperty("NumButtons", 1);
             return w;
         },
         "TSkinComBox"},
        {"TDCEDIT, no button",
         [](QWidget* p) {
             auto* w = new TDCEdit(p);
             w->setProperty("NumButtons", 0);
             return w;
         },
         "TSkinEdit"},
        {"never skinned", [](QWidget* p) { return new TDBComboBoxEh(p); }, ""},
    };
    for (const TRuleCase& c : cases) {
        TSkinnedWindow w;
        QWidget* control = c.make(w.Window.get());
        SkinFormControls(*w.Form);
        EXPECT_EQ(w.ClassOfSkin(control), QString::fromLatin1(c.expected)) << c.row;
    }
}

TEST(SkinClassify, ContainersHandTheirChildrenOn) {
    TSkinnedWindow w;
    auto* panel = new TPanel(w.Window.get());
    auto* inPanel = new QPushButton("a", panel);
    auto* frame = new QFrame(w.Window.get());
    auto* inFrame = new QCheckBox("b", frame);
    auto* navigator = new TDBNavigator(w.Window.get());
    auto* inNavigator = new QPushButton("c", navigator);
    auto* box = new QGroupBox("g", w.Window.get());
    auto* group = new QButtonGroup(box);
    auto* radio = new QRadioButton("r", box);
    group->addButton(radio);
    auto* bar = new QToolBar(w.Window.get());
    QWidget* tool = bar->widgetForAction(bar->addAction("t"));
    auto* memo = new QPlainTextEdit(w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(inPanel), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(inFrame), "TSkinCheckBox");
    EXPECT_EQ(w.ClassOfSkin(inNavigator), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(radio), "TSkinRadioButton");
    EXPECT_EQ(w.ClassOfSkin(tool), "TSkinSpeedButton");
    // A memo's own parts are not controls of their own.
    EXPECT_EQ(w.ClassOfSkin(memo->verticalScrollBar()), "");
    EXPECT_EQ(w.ClassOfSkin(memo->viewport()), "");
    // The cool bar and the panel carry the scheme colour while skinned.
    EXPECT_TRUE(w.SkinOf(panel)->newColor);
    // A second finish adds nothing.
    const auto count = w.Form->Controllist.size();
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.Form->Controllist.size(), count);
}

TEST(SkinClassify, ARowWithItsKindSwitchedOffEndsTheSearch) {
    TSkinSettings keep(DefaultSkin());
    DefaultSkin().SkinControls.Exclude(xcCheckBox);
    DefaultSkin().SkinControls.Exclude(xcBitBtn);
    TSkinnedWindow w;
    auto* check = new QCheckBox("c", w.Window.get());
    auto* bit = new TBitBtn(w.Window.get());
    auto* plain = new QPushButton("p", w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(check), ""); // not a TSkinButton either
    EXPECT_EQ(w.ClassOfSkin(bit), "");
    EXPECT_EQ(w.ClassOfSkin(plain), "TSkinButton");
}

TEST(SkinClassify, TabRulesNeedTheTabElement) {
    TSkinSettings keep(DefaultSkin());
    DefaultSkin().SkinControls.Exclude(xcTab);
    TSkinnedWindow w;
    auto* sheet = new TTabSheet(w.Window.get());
    auto* bar = new QTabBar(w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(sheet), "");
    EXPECT_EQ(w.ClassOfSkin(bar), "");
}

TEST(SkinClassify, MdiScrollBarsGoOnlyWithTheOptionClear) {
    TSkinSettings keep(DefaultSkin());
    DefaultSkin().Options.Include(xoMDIScrollbar);
    TSkinnedWindow w;
    auto* area = new QMdiArea(w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(area), "TSkinScrollbar");

    DefaultSkin().Options.Exclude(xoMDIScrollbar);
    TSkinnedWindow w2;
    auto* area2 = new QMdiArea(w2.Window.get());
    area2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SkinFormControls(*w2.Form);
    EXPECT_EQ(area2->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    UnskinFormControls(*w2.Form, false);
    EXPECT_EQ(area2->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST(Skin3rd, MatchingRule) {
    const QStringList map = {"TRzButtonEdit=edit", "trzbutton=Button", "TRzButton=nil",
                             "TLong=" + QString(60, 'x'), "TEq=a=b"};
    EXPECT_EQ(Skin3rdKind(map, "TRZBUTTON"), "button"); // first line, case ignored
    EXPECT_EQ(Skin3rdKind(map, "TRzButtonEdit"), "edit");
    EXPECT_EQ(Skin3rdKind(map, "TRz"), "");          // a prefix of a name is not the name
    EXPECT_EQ(Skin3rdKind(map, "TLong").size(), 50); // at most 50 characters
    EXPECT_EQ(Skin3rdKind(map, "TEq"), "a=b");       // after the first "="
    EXPECT_EQ(Skin3rdKind(map, "TMissing"), "");
}

TEST(Skin3rd, DefaultListNamesReachTheirObjects) {
    TSkinnedWindow w;
    auto* button = new TRzButton(w.Window.get()); // a plain widget: only the map skins it
    auto* cx = new TcxButton(w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(button), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(cx), "TSkinBitButton");
}

TEST(Skin3rd, EveryKindCreatesItsObject) {
    struct TKindCase {
        const char* kind;
        const char* expected;
        int kindValue;
    };
    const std::vector<TKindCase> cases = {
        {"combobox", "TSkinComBox", 0},
        {"comboboxex", "TSkinComBox", 1},
        {"edit", "TSkinEdit", 0},
        {"radiobutton", "TSkinRadioButton", 0},
        {"panel", "TSkinBox", 0},
        {"trackbar", "TSkinTrackBar", 0},
        {"button", "TSkinButton", 0},
        {"datetimepicker", "TSkinDateTime", 0},
        {"mediaplayer", "TSkinMP", 0},
        {"bitbtn", "TSkinMenuButton", 0},
        {"pngbitbtn", "TSkinBitButton", 1},
        {"pngspeedbutton", "TSkinSpeedButton", 1},
        {"menubtn", "TSkinMenuButton", 0},
        {"speedbutton", "TSkinSpeedButton", 0},
        {"tab", "TSkinTab", 0},
        {"progress", "TSkinProgress", 0},
        {"scrollbar", "TSkinScrollbar", 0},
        {"singlescrollbar", "TSkinScrollbar", 1},
        {"groupbox", "TSkinGroupBox", 0},
        {"advpagecontrol", "TSkinAdvPage", 0},
        {"checkbox", "TSkinCheckBox", 0},
        {"container", "", 0},
        {"nil", "", 0},
        {"radiogroup", "TSkinGroupBox", 0},
        {"checkgroup", "TSkinGroupBox", 0},
        {"unknownkind", "", 0},
    };
    for (const TKindCase& c : cases) {
        TSkinSettings keep(DefaultSkin());
        DefaultSkin().Skin3rd = QStringList{QStringLiteral("TProbe=") + c.kind};
        TSkinnedWindow w;
        auto* probe = new TProbe(w.Window.get());
        probe->setFrameShape(QFrame::Box); // an edit skin needs a border
        auto* child = new QPushButton("x", probe);
        SkinFormControls(*w.Form);
        EXPECT_EQ(w.ClassOfSkin(probe), QString::fromLatin1(c.expected)) << c.kind;
        if (TSkinControl* skin = w.SkinOf(probe)) {
            EXPECT_EQ(skin->kind, c.kindValue) << c.kind;
        }
        const QString kind = QString::fromLatin1(c.kind);
        if (kind == "radiogroup") {
            EXPECT_EQ(w.ClassOfSkin(child), "TSkinRadioButton");
        } else if (kind == "checkgroup") {
            EXPECT_EQ(w.ClassOfSkin(child), "TSkinCheckBox");
        } else if (kind == "container" || kind == "scrollbar") {
            EXPECT_EQ(w.ClassOfSkin(child), "TSkinButton") << c.kind; // children handled
        }
    }
}

TEST(Skin3rd, KindDetails) {
    TSkinSettings keep(DefaultSkin());
    DefaultSkin().Skin3rd = {"TProbe=edit", "TcxButton=bitbtn", "TRzCheckGroup=checkgroup",
                             "TRzButton=embedscrollbar", "TRzRadioGroup=panel"};
    TSkinnedWindow w;
    auto* borderless = new TProbe(w.Window.get()); // NoFrame: no edit skin
    auto* group = new TRzCheckGroup(w.Window.get());
    auto* inGroup = new QCheckBox("c", group);
    auto* embed = new TRzButton(w.Window.get());
    auto* bar = new QScrollBar(embed);
    auto* memo = new QPlainTextEdit(embed);
    auto* panel = new TRzRadioGroup(w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(borderless), "");
    EXPECT_EQ(w.ClassOfSkin(inGroup), "TSkinObjImage"); // a "TRZ" group draws from images
    EXPECT_EQ(w.SkinOf(inGroup)->kind, 1);
    EXPECT_EQ(w.ClassOfSkin(embed), "");
    EXPECT_EQ(w.ClassOfSkin(bar), "TSkinScControl");
    EXPECT_EQ(w.ClassOfSkin(memo), "TSkinScrollbar");
    // "panel" sets Transparent while skinned and gives the old value back.
    EXPECT_TRUE(panel->property("Transparent").toBool());
    UnskinFormControls(*w.Form, false);
    EXPECT_FALSE(panel->property("Transparent").isValid());
}

TEST(SkinClassify, ExemptOnlyWithTheDisableTag) {
    TSkinnedWindow w;
    const int disable = DefaultSkin().DisableTag;
    QPushButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new QPushButton("b", w.Window.get());
        SetControlTag(*buttons[i], disable - 1 + i);
    }
    auto* group = new TRzRadioGroup(w.Window.get());
    SetControlTag(*group, disable);
    auto* inGroup = new QRadioButton("r", group);
    auto* deep = new QCheckBox("c", new QWidget(group));
    auto* plainBox = new QGroupBox("p", w.Window.get());
    SetControlTag(*plainBox, disable);
    auto* inPlainBox = new QPushButton("q", plainBox);
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(buttons[0]), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(buttons[1]), "");
    EXPECT_EQ(w.ClassOfSkin(buttons[2]), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(group), "");
    EXPECT_EQ(w.ClassOfSkin(inGroup), "");
    EXPECT_EQ(w.ClassOfSkin(deep), "");
    EXPECT_EQ(ControlTag(*inGroup), disable);
    // Any other exempt container keeps its children skinned.
    EXPECT_EQ(w.ClassOfSkin(plainBox), "");
    EXPECT_EQ(w.ClassOfSkin(inPlainBox), "TSkinButton");
}

TEST(SkinClassify, AnAlreadySkinnedControlGetsNoSecondObject) {
    TSkinnedWindow w;
    auto* button = new QPushButton("b", w.Window.get());
    auto* own = new TSkinButton(*button, nullptr, DefaultSkin()); // skinned elsewhere
    own->Init();
    ASSERT_TRUE(IsSkinnedObject(button));
    SkinFormControls(*w.Form);
    EXPECT_TRUE(w.Form->Controllist.isEmpty());
    EXPECT_FALSE(AddComp(*w.Form, *button));
    EXPECT_EQ(button->findChildren<TSkinControl*>().size(), 1);
}

TEST(SkinClassify, OnSkinControlDecidesFirst) {
    TSkinSettings keep(DefaultSkin());
    QObject other;
    QStringList asked;
    TSkinnedWindow w;
    auto* label = new QLabel("l", w.Window.get()); // the rules would leave it alone
    auto* refused = new QPushButton("r", w.Window.get());
    auto* left = new QPushButton("n", w.Window.get());
    DefaultSkin().OnSkinControl = [&](TWinSkinForm* sender, TSkinData* data, QWidget* form,
                                      QWidget* control, const QString& cls, QObject*& result) {
        EXPECT_EQ(sender, w.Form.data());
        EXPECT_EQ(data, &DefaultSkin());
        EXPECT_EQ(form, w.Window.get());
        asked << cls;
        if (control == label) {
            result = new TSkinButton(*label, nullptr, *data);
        } else if (control == refused) {
            result = &other;
        }
    };
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(label), "TSkinButton");
    EXPECT_TRUE(w.SkinOf(label)->skinned);
    EXPECT_EQ(w.ClassOfSkin(refused), "");
    EXPECT_EQ(w.ClassOfSkin(left), "TSkinButton");
    EXPECT_TRUE(asked.contains("QLABEL")); // the upper-cased class name
}

// The event belongs to its component: a window skinned with another asks only that one.
TEST(SkinClassify, OnSkinControlIsTheComponentsOwn) {
    TSkinSettings keep(DefaultSkin());
    TSkinData second;
    second.ReadSkinStream(DefaultSkinStream());
    int askedDefault = 0, askedSecond = 0;
    DefaultSkin().OnSkinControl = [&](TWinSkinForm*, TSkinData*, QWidget*, QWidget*, const QString&,
                                      QObject*&) {
        ++askedDefault;
    };
    second.OnSkinControl = [&](TWinSkinForm*, TSkinData* data, QWidget*, QWidget*, const QString&,
                               QObject*&) {
        EXPECT_EQ(data, &second);
        ++askedSecond;
    };
    TSkinnedWindow w(second);
    new QPushButton("a", w.Window.get());
    new QPushButton("b", w.Window.get());
    SkinFormControls(*w.Form);
    EXPECT_EQ(askedSecond, 2);
    EXPECT_EQ(askedDefault, 0);
}

// Containers hand their children on; the walk must not classify them again. Each
// control, however deep, is asked about once.
TEST(SkinClassify, EachControlIsClassifiedOnce) {
    TSkinSettings keep(DefaultSkin());
    TSkinnedWindow w;
    std::map<QWidget*, int> asked;
    DefaultSkin().OnSkinControl = [&](TWinSkinForm*, TSkinData*, QWidget*, QWidget* control,
                                      const QString&, QObject*&) {
        ++asked[control];
    };
    // Panels, frames and group boxes, five deep, a label and a button at each level.
    QWidget* parent = w.Window.get();
    std::vector<QWidget*> controls;
    for (int depth = 0; depth < 5; ++depth) {
        QWidget* container = depth % 3 == 0   ? static_cast<QWidget*>(new TPanel(parent))
                             : depth % 3 == 1 ? static_cast<QWidget*>(new QFrame(parent))
                                              : new QGroupBox("g", parent);
        controls.push_back(container);
        controls.push_back(new QLabel("l", container));
        controls.push_back(new QPushButton("b", container));
        parent = container;
    }
    SkinFormControls(*w.Form);
    for (QWidget* c : controls)
        EXPECT_EQ(asked[c], 1) << c->metaObject()->className();
    EXPECT_EQ(asked.size(), controls.size());
    // A second hand-over classifies again what has no skin yet, once each.
    asked.clear();
    SkinFormControls(*w.Form);
    for (const auto& [control, times] : asked)
        EXPECT_EQ(times, 1) << control->metaObject()->className();
    EXPECT_EQ(asked.count(controls[1]), 1u) << "an unskinned label is asked again";
}

TEST(SkinClassify, ForeignWindowsGoByWindowClass) {
    TSkinnedWindow w(DefaultSkin(), true);
    QWidget* p = w.Window.get();
    auto* push = new QPushButton("ok", p);
    auto* bitmap = new QPushButton(p);
    bitmap->setIcon(QIcon(QPixmap(8, 8)));
    auto* check = new QCheckBox("c", p);
    auto* radio = new QRadioButton("r", p);
    auto* box = new QGroupBox("g", p);
    auto* inBox = new QPushButton("in", box);
    auto* combo = new QComboBox(p);
    auto* edit = new QLineEdit(p);
    auto* grip = new QSizeGrip(p);
    auto* bar = new QScrollBar(p);
    auto* container = new QWidget(p);
    auto* inContainer = new QLineEdit(container);
    auto* tabs = new QTabBar(p);
    auto* toolbar = new QToolBar(p);
    auto* tree = new QTreeView(p);
    auto* list = new QListView(p);
    auto* panel = new TPanel(p);
    auto* label = new QLabel("l", p);
    SkinFormControls(*w.Form);
    EXPECT_EQ(w.ClassOfSkin(push), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(bitmap), "");
    EXPECT_EQ(w.ClassOfSkin(check), "TSkinCheckBox");
    EXPECT_EQ(w.ClassOfSkin(radio), "TSkinRadioButton");
    EXPECT_EQ(w.ClassOfSkin(box), "");
    EXPECT_EQ(w.ClassOfSkin(inBox), "TSkinButton");
    EXPECT_EQ(w.ClassOfSkin(combo), "TSkinComBox");
    EXPECT_EQ(w.ClassOfSkin(edit), "TSkinEdit");
    EXPECT_EQ(w.ClassOfSkin(grip), "TSkinSizer");
    EXPECT_EQ(w.ClassOfSkin(bar), "TSkinScControl");
    EXPECT_EQ(w.ClassOfSkin(container), "TSkinBoxH");
    EXPECT_EQ(w.ClassOfSkin(inContainer), "TSkinEdit");
    EXPECT_EQ(w.ClassOfSkin(tabs), "TSkinTab");
    EXPECT_EQ(w.ClassOfSkin(toolbar), "TSkinBoxH");
    EXPECT_EQ(w.ClassOfSkin(tree), "");
    EXPECT_EQ(w.ClassOfSkin(tree->verticalScrollBar()), "");
    EXPECT_EQ(w.ClassOfSkin(list->verticalScrollBar()), "TSkinScControl");
    EXPECT_EQ(w.ClassOfSkin(panel), "TSkinBoxH");
    EXPECT_TRUE(w.SkinOf(panel)->newColor);
    EXPECT_EQ(w.ClassOfSkin(label), "");
    // Skinned through the window-procedure path: no framework control.
    EXPECT_EQ(w.SkinOf(push)->control.data(), nullptr);
    EXPECT_EQ(SkinControlWindowClass(*tree), "systreeview32");
    EXPECT_EQ(SkinControlWindowClass(*toolbar), "toolbarwindow32");
    EXPECT_EQ(SkinControlWindowClass(*tabs), "systabcontrol32");
}

TEST(SkinControlLife, LeavesCleanlyWithItsControl) {
    TSkinnedWindow w;
    auto* button = new QPushButton("b", w.Window.get());
    auto* status = new TStatusBar(w.Window.get());
    new QLabel("panel", status);
    auto* tabs = new QTabWidget(w.Window.get());
    tabs->addTab(new QWidget, "a");
    SkinFormControls(*w.Form);
    ASSERT_EQ(w.ClassOfSkin(button), "TSkinButton");
    ASSERT_EQ(w.ClassOfSkin(tabs->tabBar()), "TSkinTab"); // a tab widget's own bar
    delete button;
    delete status;
    delete tabs;
    for (const QPointer<TSkinControl>& c : w.Form->Controllist) {
        EXPECT_TRUE(c.isNull());
    }
    SkinFormControls(*w.Form); // drops the dead entries
    EXPECT_TRUE(w.Form->Controllist.isEmpty());
}

// A filter installed before the skin (a completer's, say) sees the control's events
// as it did unskinned; the skin still follows focus and enabling.
TEST(SkinControlLife, FiltersInstalledBeforeTheSkinSeeTheEvents) {
    class TRecorder : public QObject {
    public:
        bool eventFilter(QObject*, QEvent* event) override {
            Seen.push_back(event->type());
            return false;
        }
        std::vector<QEvent::Type> Seen;
    };
    const QEvent::Type types[] = {QEvent::FocusIn, QEvent::FocusOut, QEvent::EnabledChange,
                                  QEvent::Resize};
    std::vector<QEvent::Type> unskinned, skinned;
    for (bool skin : {false, true}) {
        TSkinnedWindow w;
        auto* edit = new QLineEdit(w.Window.get());
        TRecorder recorder;
        edit->installEventFilter(&recorder);
        if (skin) {
            SkinFormControls(*w.Form);
            ASSERT_EQ(w.ClassOfSkin(edit), "TSkinEdit");
        }
        for (QEvent::Type type : types) {
            if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
                QFocusEvent event(type, Qt::TabFocusReason);
                QCoreApplication::sendEvent(edit, &event);
            } else if (type == QEvent::Resize) {
                QResizeEvent event(QSize(80, 20), edit->size());
                QCoreApplication::sendEvent(edit, &event);
            } else {
                QEvent event(type);
                QCoreApplication::sendEvent(edit, &event);
            }
        }
        auto& seen = skin ? skinned : unskinned;
        for (QEvent::Type type : recorder.Seen)
            if (std::find(std::begin(types), std::end(types), type) != std::end(types))
                seen.push_back(type);
        if (skin) {
            edit->setEnabled(false);
            EXPECT_FALSE(w.SkinOf(edit)->enabled);
        }
    }
    EXPECT_EQ(skinned, unskinned);
    EXPECT_EQ(unskinned.size(), std::size(types));
}

TEST(SkinControlLife, OnOffMessageSwitchesPainting) {
    TSkinnedWindow w;
    auto* button = new QPushButton("b", w.Window.get());
    SkinFormControls(*w.Form);
    TSkinControl* skin = w.SkinOf(button);
    TSkinMessage off(SkinMsg::OnOff, 0);
    QCoreApplication::sendEvent(button, &off);
    EXPECT_FALSE(skin->skinned);
    TSkinMessage on(SkinMsg::OnOff, 1);
    QCoreApplication::sendEvent(button, &on);
    EXPECT_TRUE(skin->skinned);
    EXPECT_TRUE(IsSkinnedObject(button));
}

#include "ClassifyTest.moc"
