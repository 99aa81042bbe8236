// The skin component's life cycle and the manager's decisions, seen through
// the manager's lists, the posted finish message and IsSkinnedObject.
#include "SkinMgrFixture.h"

#include <QBuffer>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QtEndian>

namespace {
// Answers the "are you skinned?" query as an already skinned window does.
class TAlreadySkinned : public QWidget {
protected:
    bool event(QEvent* e) override {
        if (e->type() == SkinMsg::Query) {
            static_cast<TSkinMessage*>(e)->Result = 1;
            return true;
        }
        return QWidget::event(e);
    }
};

class TFinishCounter : public QObject {
public:
    int Count = 0;
    qintptr LParam = 0;
    QObject* Watched = nullptr;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == Watched && e->type() == SkinMsg::Finish) {
            ++Count;
            LParam = static_cast<TSkinMessage*>(e)->LParam;
        }
        return false;
    }
};

QByteArray CountOnly(qint32 count) {
    QByteArray value(4, '\0');
    qToLittleEndian<qint32>(count, value.data());
    return value;
}
} // namespace

TEST_F(SkinMgrTest, CountZeroLeavesTheSkinEmptyAndLoadedTurnsActiveOff) {
    QWidget& window = NewWindow();
    TSkinData& skin = NewSkin(&window, sfMainform, true, CountOnly(0));
    EXPECT_TRUE(skin.Empty);
    EXPECT_FALSE(skin.Active());
    EXPECT_FALSE(Manager().active);
    Activate(window);
    EXPECT_EQ(Manager().state, 1);
    EXPECT_EQ(LiveForms(), 0);
}

TEST_F(SkinMgrTest, LoadedArmsTheSkinButSkinsNothingBeforeActivation) {
    QWidget& window = NewWindow();
    TSkinData& skin = NewSkin(&window);
    EXPECT_EQ(Manager().state, 0);
    EXPECT_TRUE(Manager().active);
    EXPECT_EQ(Manager().MainData, &skin);
    EXPECT_FALSE(Manager().Timer.isActive());
    // Step 6: without xcMenuItem in the set and with xcMainMenu, xcSystemMenu stays.
    EXPECT_TRUE(skin.SkinControls.Contains(xcSystemMenu));
    EXPECT_TRUE(skin.SkinControls.Contains(xcScrollbar));
    EXPECT_FALSE(skin.Reading());
}

TEST_F(SkinMgrTest, LoadedDropsTheSystemMenuWithoutMainMenuAndMenuItemWithIt) {
    QWidget& window = NewWindow();
    auto skin = std::make_unique<TSkinData>();
    skin->Owner = &window;
    skin->SkinControls = TSkinControls{xcMenuItem, xcSystemMenu};
    skin->ReadSkinStream(DefaultSkinStream());
    skin->Loaded();
    EXPECT_FALSE(skin->SkinControls.Contains(xcSystemMenu));
    EXPECT_TRUE(skin->SkinControls.Contains(xcMenuItem));
    skin->SkinControls = TSkinControls{xcMainMenu, xcMenuItem, xcSystemMenu};
    skin->Loaded();
    EXPECT_FALSE(skin->SkinControls.Contains(xcMenuItem));
    EXPECT_TRUE(skin->SkinControls.Contains(xcSystemMenu));
    skin.reset();
}

TEST_F(SkinMgrTest, SysIconIsTheApplicationIconOnMagenta) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.fillRect(8, 8, 16, 16, Qt::blue);
    }
    const QIcon previous = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(pixmap));
    QWidget& window = NewWindow();
    TSkinData& skin = NewSkin(&window);
    QApplication::setWindowIcon(previous);
    const int size = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
    ASSERT_EQ(skin.SysIcon.size(), QSize(size, size));
    EXPECT_EQ(skin.SysIcon.pixel(0, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(skin.SysIcon.pixel(size / 2, size / 2) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(SkinMgrTest, FirstActivationRunsTheManagerAndPostsTheFinish) {
    QWidget& window = NewWindow();
    // Watched from the application: the window's skin hook takes the finish
    // before any filter of the window's own would see it.
    TFinishCounter finish;
    finish.Watched = &window;
    qApp->installEventFilter(&finish);
    StartMain(window);
    QApplication::processEvents();
    EXPECT_EQ(Manager().state, 1);
    ASSERT_EQ(LiveForms(), 1);
    TWinSkinForm* form = Manager().FindForm(&window);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->FForm, &window);
    EXPECT_EQ(form->classname, QStringLiteral("QWidget"));
    EXPECT_EQ(finish.Count, 1);
    EXPECT_EQ(finish.LParam, 1000);
    // Activating again adds nothing.
    window.activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(LiveForms(), 1);
    EXPECT_EQ(finish.Count, 1);
    qApp->removeEventFilter(&finish);
}

TEST_F(SkinMgrTest, SettingActiveToItsValueDoesNothing) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    TWinSkinForm* form = Manager().FindForm(&window);
    ASSERT_TRUE(form);
    // Loaded's request, made while the state was 0, is still recorded.
    TSkinData* recorded = Manager().UpdateData;
    const int action = Manager().action;
    skin.SetActive(true);
    EXPECT_FALSE(Manager().Timer.isActive());
    EXPECT_EQ(Manager().UpdateData, recorded);
    EXPECT_EQ(Manager().action, action);
    QTest::qWait(350);
    EXPECT_EQ(Manager().FindForm(&window), form);
}

TEST_F(SkinMgrTest, ActiveOffAndOnWithinTheIntervalRunsOnlyTheLast) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    int changed = 0;
    skin.OnSkinChanged = [&](TSkinData*) {
        ++changed;
    };
    QPointer<TWinSkinForm> form = Manager().FindForm(&window);
    ASSERT_TRUE(form);
    skin.SetActive(false);
    EXPECT_EQ(Manager().Timer.interval(), 250);
    QTest::qWait(100);
    skin.SetActive(true);
    QTest::qWait(450);
    // Off never ran: the window kept its skin object.
    EXPECT_TRUE(form);
    EXPECT_EQ(Manager().FindForm(&window), form.data());
    EXPECT_EQ(changed, 1);
    // Off alone does run.
    skin.SetActive(false);
    QTest::qWait(450);
    EXPECT_FALSE(form);
    EXPECT_EQ(LiveForms(), 0);
    EXPECT_FALSE(Manager().active);
    EXPECT_EQ(changed, 2);
}

TEST_F(SkinMgrTest, SkinOnAddsEveryVisibleWindowLastToFirst) {
    QWidget& first = NewWindow();
    TSkinData& skin = StartMain(first);
    QWidget& second = NewWindow();
    Activate(second);
    skin.SetActive(false);
    QTest::qWait(400);
    ASSERT_EQ(LiveForms(), 0);
    QWidget& hidden = NewWindow();
    skin.SetActive(true);
    QTest::qWait(400);
    EXPECT_TRUE(Manager().FindForm(&first));
    EXPECT_TRUE(Manager().FindForm(&second));
    EXPECT_FALSE(Manager().FindForm(&hidden));
}

TEST_F(SkinMgrTest, MessageBoxTakesTheLastDialogComponentElseTheMain) {
    QWidget& window = NewWindow();
    TSkinData& main = StartMain(window);
    {
        QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok, &window);
        box.resize(200, 100);
        ASSERT_TRUE(Manager().AddForm(&box));
        ASSERT_TRUE(Manager().FindForm(&box));
        EXPECT_EQ(Manager().FindForm(&box)->fsd, &main);
        EXPECT_EQ(Manager().FindForm(&box)->FForm, nullptr);
        EXPECT_EQ(Manager().FindForm(&box)->classname, QStringLiteral("#32770"));
    }
    TSkinData& dialog1 = NewSkin(nullptr, sfDialog);
    TSkinData& dialog2 = NewSkin(nullptr, sfDialog);
    QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok, &window);
    box.resize(200, 100);
    ASSERT_TRUE(Manager().AddForm(&box));
    EXPECT_EQ(Manager().FindForm(&box)->fsd, &dialog2);
    EXPECT_NE(&dialog1, &dialog2);
    // Our own windows keep the main component.
    EXPECT_EQ(Manager().FindForm(&window)->fsd, &main);
    // A component for one form wins for that form only.
    QWidget& own = NewWindow();
    TSkinData& only = NewSkin(&own, sfOnlyThisForm);
    EXPECT_EQ(Manager().ChooseSkinData(&own, "QWidget"), &only);
    EXPECT_EQ(Manager().ChooseSkinData(&window, "QWidget"), &main);
}

TEST_F(SkinMgrTest, WindowAnsweringTheQueryIsNeverSkinnedTwice) {
    QWidget& window = NewWindow();
    StartMain(window);
    TAlreadySkinned other;
    other.resize(100, 100);
    EXPECT_TRUE(IsSkinnedObject(&window)); // its skin object answers
    EXPECT_TRUE(IsSkinnedObject(&other));
    EXPECT_FALSE(Manager().AddForm(&other));
    Activate(other);
    EXPECT_FALSE(Manager().FindForm(&other));
    EXPECT_FALSE(Manager().AddForm(&window));
    EXPECT_EQ(LiveForms(), 1);
}

TEST_F(SkinMgrTest, ZeroSizedWindowIsSkinnedOnlyAsMDIChild) {
    QWidget& window = NewWindow();
    StartMain(window);
    QWidget empty;
    empty.resize(0, 0);
    ASSERT_EQ(empty.width(), 0);
    EXPECT_FALSE(Manager().AddForm(&empty));
    QWidget flat;
    flat.resize(100, 0);
    EXPECT_FALSE(Manager().AddForm(&flat));

    QMdiArea area;
    area.resize(300, 300);
    auto* child = new QMdiSubWindow;
    child->resize(0, 0);
    area.addSubWindow(child);
    // Polished on show: the hook adds MDI children at creation.
    area.show();
    QApplication::processEvents();
    EXPECT_TRUE(Manager().FindForm(child));
    EXPECT_EQ(Manager().GetMDIChildNum(), 1);
}

TEST_F(SkinMgrTest, MDIMaximiseFollowsTheChildren) {
    QWidget& window = NewWindow();
    StartMain(window);
    QMdiArea area;
    area.resize(300, 300);
    QMdiSubWindow* a = area.addSubWindow(new QWidget);
    QMdiSubWindow* b = area.addSubWindow(new QWidget);
    area.show();
    QApplication::processEvents();
    ASSERT_TRUE(Manager().FindForm(a) && Manager().FindForm(b));
    EXPECT_FALSE(Manager().MDIMax);
    a->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(Manager().MDIMax);
    a->showNormal();
    QApplication::processEvents();
    EXPECT_FALSE(Manager().MDIMax);
    // Only a change does anything.
    Manager().SetMDIMax2(false);
    EXPECT_FALSE(Manager().MDIMax);
}

// Raised around the skinning of one window: before when it is taken, after
// its finish; a message box is named by its window class.
TEST_F(SkinMgrTest, BeforeAndAfterSkinFormEventsFrameEachWindow) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    QStringList seen;
    skin.OnBeforeSkinForm = [&](QObject*, QWidget* w, const QString& name) {
        seen << QStringLiteral("before %1 %2").arg(name, w ? w->windowTitle() : QString());
    };
    skin.OnAfterSkinForm = [&](QObject*, QWidget* w, const QString& name) {
        EXPECT_TRUE(Manager().FindForm(w));
        seen << QStringLiteral("after %1 %2").arg(name, w ? w->windowTitle() : QString());
    };
    QWidget& second = NewWindow(QStringLiteral("second"));
    Activate(second);
    QMessageBox box(QMessageBox::Information, QStringLiteral("box"), QStringLiteral("?"),
                    QMessageBox::Ok, &window);
    Activate(box);
    QApplication::processEvents();
    EXPECT_EQ(seen, (QStringList{"before QWidget second", "after QWidget second",
                                 "before #32770 box", "after #32770 box"}));
    // A window never skinned raises neither.
    seen.clear();
    QWidget tagged;
    tagged.resize(50, 50);
    tagged.setProperty("Tag", 99);
    Activate(tagged);
    EXPECT_TRUE(seen.isEmpty());
    skin.OnBeforeSkinForm = nullptr;
    skin.OnAfterSkinForm = nullptr;
}

TEST_F(SkinMgrTest, TagNinetyNineFormIsNeverSkinned) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    skin.DisableTag = 5;
    QWidget tagged;
    tagged.resize(50, 50);
    tagged.setProperty("Tag", 99);
    EXPECT_FALSE(Manager().AddForm(&tagged));
    Activate(tagged);
    EXPECT_FALSE(Manager().FindForm(&tagged));
    // The control exemption value does not exempt forms.
    QWidget five;
    five.resize(50, 50);
    five.setProperty("Tag", 5);
    EXPECT_TRUE(Manager().AddForm(&five));
}

TEST_F(SkinMgrTest, ExemptionsByClassAndTheFormSkinEvent) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    struct TCase {
        const char* Class;
        bool Skinned;
    } cases[] = {{"TPrintPreviewForm", true},         {"TApplication", false},
                 {"TcxPopupEditPopupWindowX", false}, {"SysMonthCal32", false},
                 {"TPopupDBTreeView", false},         {"TfrDesigner", true}};
    for (const TCase& c : cases) {
        QWidget w;
        w.resize(40, 40);
        w.setProperty("skinWindowClass", QString::fromLatin1(c.Class));
        EXPECT_EQ(Manager().AddForm(&w), c.Skinned) << c.Class;
    }
    // Without xoPreview a "preview" class is exempt; with xcFastReport a "Tfr" one.
    skin.Options.Exclude(xoPreview);
    skin.SkinControls.Include(xcFastReport);
    for (const char* cls : {"TPrintPreviewForm", "TfrDesigner"}) {
        QWidget w;
        w.resize(40, 40);
        w.setProperty("skinWindowClass", QString::fromLatin1(cls));
        EXPECT_FALSE(Manager().AddForm(&w)) << cls;
    }
    // The event replaces the built-in exemptions.
    QStringList asked;
    skin.OnFormSkin = [&](QObject*, const QString& name, bool& doSkin) {
        asked.append(name);
        doSkin = name == QStringLiteral("SysMonthCal32");
    };
    QWidget cal, plain;
    cal.resize(40, 40);
    plain.resize(40, 40);
    cal.setProperty("skinWindowClass", QStringLiteral("SysMonthCal32"));
    EXPECT_TRUE(Manager().AddForm(&cal));
    EXPECT_FALSE(Manager().AddForm(&plain));
    EXPECT_EQ(asked, QStringList({"SysMonthCal32", "QWidget"}));
}

TEST_F(SkinMgrTest, ContextMenusFollowThePopupMenuMember) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    auto* edit = new QLineEdit(&window);
    edit->show();
    auto openContextMenu = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                edit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(edit, &event);
        QApplication::processEvents();
        QMenu* menu = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) {
                menu = m;
            }
        }
        return menu;
    };
    for (bool withPopup : {false, true}) {
        if (withPopup) {
            skin.SkinControls.Include(xcPopupMenu);
        } else {
            skin.SkinControls.Exclude(xcPopupMenu);
        }
        QPointer<QMenu> menu = openContextMenu();
        ASSERT_TRUE(menu) << withPopup;
        EXPECT_EQ(Manager().Mlist.size(), withPopup ? 1 : 0);
        EXPECT_EQ(Manager().FindPopupMenu(menu) != nullptr, withPopup);
        menu->close();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(menu); // deleted on close
        EXPECT_TRUE(Manager().Mlist.isEmpty());
    }
    // The menu kind picks the member: a system menu needs xcSystemMenu.
    skin.SkinControls.Exclude(xcSystemMenu);
    Manager().SetPopMenu(2);
    QMenu system;
    system.addAction("x");
    system.popup(QPoint(10, 10));
    QApplication::processEvents();
    EXPECT_FALSE(Manager().FindPopupMenu(&system));
    system.close();
}

TEST_F(SkinMgrTest, SkinChangeRefreshesTheSameWindows) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    QPointer<TWinSkinForm> form = Manager().FindForm(&window);
    int changed = 0;
    skin.OnSkinChanged = [&](TSkinData*) {
        ++changed;
    };
    QBuffer buffer;
    buffer.setData(DefaultSkinContainer());
    buffer.open(QIODevice::ReadOnly);
    skin.LoadFromStream(buffer);
    EXPECT_EQ(Manager().action, 3);
    EXPECT_TRUE(Manager().Timer.isActive());
    QTest::qWait(400);
    EXPECT_EQ(changed, 1);
    EXPECT_TRUE(form);
    EXPECT_EQ(Manager().FindForm(&window), form.data());
    EXPECT_FALSE(skin.Empty);
}

TEST_F(SkinMgrTest, ChangeFormReplacesOneWindowsSkinSilently) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    QWidget& other = NewWindow();
    Activate(other);
    QPointer<TWinSkinForm> before = Manager().FindForm(&window);
    QPointer<TWinSkinForm> untouched = Manager().FindForm(&other);
    int changed = 0;
    skin.OnSkinChanged = [&](TSkinData*) {
        ++changed;
    };
    skin.ChangeForm(&window);
    QTest::qWait(400);
    EXPECT_FALSE(before);
    EXPECT_TRUE(Manager().FindForm(&window));
    EXPECT_TRUE(untouched);
    EXPECT_EQ(LiveForms(), 2);
    EXPECT_EQ(changed, 0);
}

TEST_F(SkinMgrTest, PurgeDropsDiscardedEntriesOfThisManagerOnly) {
    QWidget& window = NewWindow();
    StartMain(window);
    QWidget a, b;
    a.resize(30, 30);
    b.resize(30, 30);
    ASSERT_TRUE(Manager().AddForm(&a) && Manager().AddForm(&b));
    QApplication::processEvents(); // their finish would mark them skinned again
    Manager().FindForm(&a)->Skinstate = TWinSkinForm::ssDiscard;
    Manager().FindForm(&b)->Skinstate = TWinSkinForm::ssDiscard;
    Manager().FindForm(&b)->mode = 7; // a subordinate's
    QPointer<TWinSkinForm> ofB = Manager().FindForm(&b);
    Manager().Purge();
    EXPECT_FALSE(Manager().FindForm(&a));
    EXPECT_TRUE(ofB);
    // Action 6 drops every discarded entry.
    Manager().UpdateData = Manager().MainData;
    Manager().SetAction(6, 10);
    QTest::qWait(100);
    EXPECT_FALSE(ofB);
    EXPECT_EQ(LiveForms(), 1);
}

TEST_F(SkinMgrTest, SubordinateManagerSharesTheListsAndFollowsOnOff) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    TSkinManage sub(42);
    sub.AssignData(&Manager());
    EXPECT_EQ(Manager().sublist, QList<TSkinManage*>{&sub});
    EXPECT_EQ(sub.FindForm(&window), Manager().FindForm(&window));
    sub.state = 1;
    skin.SetActive(false);
    EXPECT_FALSE(sub.active);
    skin.SetActive(true);
    EXPECT_TRUE(sub.active);
    EXPECT_EQ(sub.Timer.interval(), 300);
    EXPECT_TRUE(sub.Timer.isActive());
    sub.AssignData(nullptr);
    EXPECT_TRUE(Manager().sublist.isEmpty());
}

TEST_F(SkinMgrTest, DestroyedComponentTakesItsWindowsAlong) {
    QWidget& window = NewWindow();
    StartMain(window);
    TSkinData& dialog = NewSkin(nullptr, sfDialog);
    QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok, &window);
    box.resize(100, 60);
    ASSERT_TRUE(Manager().AddForm(&box));
    ASSERT_EQ(Manager().FindForm(&box)->fsd, &dialog);
    std::erase_if(Skins, [&](const auto& s) { return s.get() == &dialog; });
    EXPECT_FALSE(Manager().FindForm(&box));
    EXPECT_FALSE(Manager().Dlist.contains(&dialog));
    // The next box goes to the main component again.
    EXPECT_TRUE(Manager().AddForm(&box));
    EXPECT_EQ(Manager().FindForm(&box)->fsd, Manager().MainData);
}

TEST_F(SkinMgrTest, HintOnlyWithTheOptionOneAtATimeAndAtMost500Wide) {
    QWidget& window = NewWindow();
    TSkinData& skin = NewSkin(&window);
    skin.Options = TSkinOptions{};
    skin.ActivateHint(QRect(10, 10, 20, 20), "关闭");
    EXPECT_FALSE(skin.IsHint());
    EXPECT_FALSE(skin.fhintwindow);
    skin.Options.Include(xoCaptionButtonHint);
    skin.ActivateHint(QRect(10, 20, 20, 20), QString(400, u'长'));
    ASSERT_TRUE(skin.IsHint());
    auto* hint = static_cast<QWidget*>(skin.fhintwindow.get());
    EXPECT_TRUE(hint->isVisible());
    EXPECT_LE(hint->width(), 500);
    EXPECT_EQ(hint->pos(), QPoint(10, 20));
    skin.ActivateHint(QRect(90, 90, 1, 1), "x");
    EXPECT_EQ(hint->pos(), QPoint(10, 20));
    skin.HideHint();
    EXPECT_FALSE(skin.IsHint());
    EXPECT_FALSE(hint->isVisible());
}

TEST(SkinRunOperations, ChangePropertySetsEnumerationsOnly) {
    QLineEdit edit;
    edit.setText("abc");
    TSkinData::ChangeProperty(&edit, "echoMode", "Password");
    EXPECT_EQ(edit.echoMode(), QLineEdit::Password);
    TSkinData::ChangeProperty(&edit, "echoMode", "NoSuchValue");
    EXPECT_EQ(edit.echoMode(), QLineEdit::Password);
    const Qt::Alignment alignment = edit.alignment();
    TSkinData::ChangeProperty(&edit, "alignment", "AlignRight"); // flags, not an enumeration
    EXPECT_EQ(edit.alignment(), alignment);
    TSkinData::ChangeProperty(&edit, "text", "Password");
    EXPECT_EQ(edit.text(), "abc");
    TSkinData::ChangeProperty(&edit, "noSuchProperty", "Password");
    TSkinData::ChangeProperty(nullptr, "echoMode", "Normal");
}

TEST(SkinRunOperations, ScrollBarInfoForBarsAndScrollAreas) {
    QScrollBar bar(Qt::Vertical);
    bar.resize(16, 200);
    bar.setRange(0, 100);
    bar.setPageStep(10);
    TScrollBarInfo info;
    ASSERT_TRUE(TSkinData::GetScrollBarInfo(&bar, ObjidClient, info));
    EXPECT_EQ(info.rcScrollBar.size(), QSize(16, 200));
    EXPECT_LT(info.xyThumbTop, info.xyThumbBottom);
    EXPECT_EQ(info.rgstate & 1, 1); // not shown
    const int top = info.xyThumbTop;
    bar.setValue(100);
    ASSERT_TRUE(TSkinData::GetScrollBarInfo(&bar, ObjidClient, info));
    EXPECT_GT(info.xyThumbTop, top);
    QPlainTextEdit text;
    EXPECT_TRUE(TSkinData::GetScrollBarInfo(&text, ObjidVScroll, info));
    EXPECT_TRUE(TSkinData::GetScrollBarInfo(&text, ObjidHScroll, info));
    EXPECT_FALSE(TSkinData::GetScrollBarInfo(&text, ObjidClient, info));
    QWidget plain;
    EXPECT_FALSE(TSkinData::GetScrollBarInfo(&plain, ObjidVScroll, info));
    EXPECT_FALSE(TSkinData::GetScrollBarInfo(nullptr, ObjidClient, info));
}

TEST(SkinRunOperations, DebugTextGoesToAnAttachedListOnly) {
    TSkinData skin;
    skin.DoDebug("lost");
    QStringList list;
    skin.DebugList = &list;
    skin.DoDebug("kept");
    EXPECT_EQ(list, QStringList{"kept"});
}

TEST(SkinRunOperations, ThreadBookkeepingKeepsOneRecordPerThread) {
    TSkinManage manager;
    manager.InstallThread(5);
    manager.InstallThread(5);
    manager.InstallThread(6);
    EXPECT_EQ(manager.Threadlist.size(), 2u);
    manager.UnInstallThread(5);
    ASSERT_EQ(manager.Threadlist.size(), 1u);
    EXPECT_EQ(manager.Threadlist[0].ThreadID, 6u);
}
