// The program's own windows: the main window's stored skin values, start-up
// and shut-down order, and which windows count as system dialogs.
#include "SkinMgrFixture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>
#include <QTimer>

#include "Dialogs.h"
#include "MsgShell.h"
#include "Unit_main.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {
class MainWindowSkinTest : public SkinMgrTest {
protected:
    void SetUp() override {
        SkinMgrTest::SetUp();
        SetMessageHook([](const TMessageRequest&) { return QMessageBox::Ok; });
        Main = std::make_unique<TForm_main>(Dir.path());
    }
    void TearDown() override {
        FinalizeSkinUnits();
        Main.reset();
        SetMessageHook(nullptr);
        SkinMgrTest::TearDown();
    }
    QTemporaryDir Dir;
    std::unique_ptr<TForm_main> Main;
};
} // namespace

TEST_F(MainWindowSkinTest, StoredValuesInLayoutOrder) {
    const TSkinData& skin = Main->SkinData1();
    EXPECT_TRUE(skin.Active());
    EXPECT_FALSE(skin.Empty);
    EXPECT_EQ(skin.DisableTag, 99);
    EXPECT_EQ(skin.SkinControls, TSkinData::DefaultSkinControls);
    EXPECT_EQ(skin.Options, (TSkinOptions{xoPreview, xoToolbarBK}));
    EXPECT_EQ(skin.SkinFormtype, sfMainform);
    ASSERT_EQ(skin.Skin3rd.size(), 117);
    QStringList expected = TSkinData::DefaultSkin3rd();
    expected.removeAt(expected.indexOf("TPngSpeedbutton=pngspeedbutton"));
    EXPECT_EQ(skin.Skin3rd, expected);
    EXPECT_EQ(skin.Owner, Main.get());
    EXPECT_FALSE(skin.Reading());
}

TEST_F(MainWindowSkinTest, StartUpOrderStateZeroUntilFirstActivation) {
    ASSERT_TRUE(SkinManager());
    EXPECT_EQ(Manager().state, 0);
    EXPECT_TRUE(Manager().active);
    EXPECT_EQ(Manager().MainData, &Main->SkinData1());
    EXPECT_EQ(LiveForms(), 0);
    // Creation is not activation (an offscreen show also activates, so the
    // window's polish stands for it).
    Main->ensurePolished();
    QApplication::processEvents();
    EXPECT_EQ(Manager().state, 0);
    EXPECT_EQ(LiveForms(), 0);
    Activate(*Main);
    EXPECT_EQ(Manager().state, 1);
    ASSERT_TRUE(Manager().FindForm(Main.get()));
    EXPECT_EQ(Manager().FindForm(Main.get())->classname, QStringLiteral("TForm_main"));
    EXPECT_EQ(SkinWindowClass(*Main), QStringLiteral("TForm_main"));
}

TEST_F(MainWindowSkinTest, ShutDownReleasesEveryWindowAndMenu) {
    Activate(*Main);
    QMessageBox box(QMessageBox::Question, "提示", "?", QMessageBox::Yes | QMessageBox::No,
                    Main.get());
    Activate(box);
    QMenu menu(Main.get());
    menu.addAction("a");
    menu.popup(Main->mapToGlobal(QPoint(20, 20)));
    QApplication::processEvents();
    ASSERT_EQ(LiveForms(), 2);
    ASSERT_EQ(Manager().Mlist.size(), 1);
    QPointer<TWinSkinForm> mainForm = Manager().FindForm(Main.get());
    QPointer<TWinSkinPopMenu> pop = Manager().FindPopupMenu(&menu);
    FinalizeSkinUnits();
    EXPECT_EQ(SkinManager(), nullptr);
    EXPECT_FALSE(mainForm);
    EXPECT_FALSE(pop);
    EXPECT_TRUE(Main->findChildren<TWinSkinForm*>().isEmpty());
    EXPECT_TRUE(box.findChildren<TWinSkinForm*>().isEmpty());
    // The hook is gone: new windows and skin changes bring nothing back.
    QWidget late;
    Activate(late);
    EXPECT_TRUE(late.findChildren<TWinSkinForm*>().isEmpty());
    Main->SkinData1().SetActive(false);
    QBuffer buffer;
    buffer.setData(DefaultSkinContainer());
    buffer.open(QIODevice::ReadOnly);
    Main->SkinData1().LoadFromStream(buffer);
    EXPECT_EQ(SkinManager(), nullptr);
    menu.close();
}

namespace {
// Sizes of a window at each of its paints, seen from the application, so no
// hook of the window's own can hide one.
class TPaintSizes : public QObject {
public:
    explicit TPaintSizes(QWidget& w) : Watched(&w) { qApp->installEventFilter(this); }
    ~TPaintSizes() override { qApp->removeEventFilter(this); }
    QWidget* Watched;
    QList<QSize> Sizes;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == Watched && e->type() == QEvent::Paint) {
            Sizes.append(Watched->size());
        }
        return false;
    }
};
} // namespace

// The finish is posted, yet a window exposed before it arrives is finished
// first: it is never painted unskinned (no flash of the plain window).
TEST_F(MainWindowSkinTest, FirstPaintIsAlreadySkinned) {
    TPaintSizes paints(*Main);
    Activate(*Main);
    QTest::qWait(50);
    TWinSkinForm* form = Manager().FindForm(Main.get());
    ASSERT_TRUE(form);
    ASSERT_TRUE(form->DrawsFrame());
    ASSERT_FALSE(paints.Sizes.isEmpty());
    EXPECT_EQ(paints.Sizes.first(), Main->size());
    EXPECT_NE(paints.Sizes.first(), QSize(703, 586));

    // A box shown over it: the same for a system dialog.
    QMessageBox box(QMessageBox::Information, "提示", "保存成功", QMessageBox::Ok, Main.get());
    TPaintSizes boxPaints(box);
    Activate(box);
    QTest::qWait(50);
    TWinSkinForm* boxForm = Manager().FindForm(&box);
    ASSERT_TRUE(boxForm && boxForm->DrawsFrame());
    ASSERT_FALSE(boxPaints.Sizes.isEmpty());
    EXPECT_EQ(boxPaints.Sizes.first(), box.size());
}

TEST(SkinWindowClasses, SystemDialogsMenusAndOwnWindows) {
    QMessageBox box;
    QFileDialog files;
    QMenu menu;
    QWidget preview;
    preview.setProperty("skinWindowClass", QStringLiteral("#32770"));
    QWidget plain;
    EXPECT_EQ(SkinWindowClass(box), "#32770");
    EXPECT_EQ(SkinWindowClass(files), "#32770");
    EXPECT_EQ(SkinWindowClass(preview), "#32770");
    EXPECT_EQ(SkinWindowClass(menu), "#32768");
    EXPECT_EQ(SkinWindowClass(plain), "QWidget");
}

TEST_F(MainWindowSkinTest, FileDialogsAreWidgetDialogsSkinnedAsSystemDialogs) {
    Activate(*Main);
    // The dialogs run modally; look at them while they are open, then cancel.
    for (int kind = 0; kind < 2; ++kind) {
        bool seen = false;
        // The skin takes the dialog on its activation: wait for that (a loaded machine
        // may take longer than the first look), then check and close it.
        QTimer poll;
        QElapsedTimer waited;
        waited.start();
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                    if (!Manager().FindForm(dialog) && waited.elapsed() < 5000) {
                        return;
                    }
                    poll.stop();
                    seen = true;
                    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
                    TWinSkinForm* form = Manager().FindForm(dialog);
                    EXPECT_TRUE(form);
                    if (form) {
                        EXPECT_EQ(form->classname, "#32770");
                        EXPECT_EQ(form->FForm, nullptr);
                    }
                    dialog->reject();
                }
            }
        });
        poll.start();
        if (kind == 0) {
            EXPECT_FALSE(Main->OpenPictureDialog1.Execute());
        } else {
            EXPECT_FALSE(Main->SaveDialog1.Execute());
        }
        EXPECT_TRUE(seen) << kind;
    }
    Manager().Purge();
    EXPECT_EQ(LiveForms(), 1);
}
