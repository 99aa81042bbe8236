// The window as a whole: where it and its boxes appear, keyboard order, the
// status bar, the start-page picture, Qt's own texts and what assistive
// technology reads.
#include "../common/OnExit.h"
#include "AppTestSupport.h"
#include "ErrorDisplay.h"
#include "WinSkinData.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {
class WindowTest : public testing::Test, public TAppFixture {
protected:
    void SetUp() override { Open(); }
    void ShowForm() {
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        Form->activateWindow();
        QApplication::setActiveWindow(Form.get());
    }
};

QPoint Centre(const QRect& r) {
    return QPoint(r.x() + r.width() / 2, r.y() + r.height() / 2);
}
bool Near(QPoint a, QPoint b) {
    return (a - b).manhattanLength() <= 2;
}

TEST_F(WindowTest, MainWindowIsCentredOnTheAvailableArea) {
    const QRect area = Form->screen()->availableGeometry();
    EXPECT_TRUE(Near(Centre(Form->frameGeometry()), Centre(area)))
        << Form->frameGeometry().x() << "," << Form->frameGeometry().y();
    ShowForm();
    EXPECT_TRUE(Near(Centre(Form->frameGeometry()), Centre(area)))
        << "still there once shown " << Form->frameGeometry().x() << ","
        << Form->frameGeometry().y() << " " << Form->frameGeometry().width() << "x"
        << Form->frameGeometry().height() << " in " << area.width() << "x" << area.height();
}

// What a real box showed: its owner, place and buttons; answered with `answer`.
struct TSeenBox {
    bool Seen = false;
    QWidget* Owner = nullptr;
    QRect Frame;
    QString Caption;
    QStringList Buttons;
};

void AnswerNextBox(TSeenBox& seen, QMessageBox::StandardButton answer) {
    QTimer::singleShot(0, [&seen, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            AnswerNextBox(seen, answer); // not up yet
            return;
        }
        seen.Seen = true;
        seen.Owner = box->parentWidget();
        seen.Frame = box->frameGeometry();
        seen.Caption = box->windowTitle();
        // Without the mnemonic, as in "是(&Y)".
        static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)|&"));
        for (QAbstractButton* b : box->buttons())
            seen.Buttons << b->text().remove(mnemonic);
        seen.Buttons.sort();
        box->button(answer)->click();
    });
}

TEST_F(WindowTest, BoxesBelongToTheMainWindowAndSitOverIt) {
    ShowForm();
    Form->move(Form->pos() + QPoint(40, 0));
    // Another window of the program is the active one.
    QWidget other;
    other.setGeometry(0, 0, 120, 80);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(&other);

    Ui().Edit1->setText(QStringLiteral("汤"));
    QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
    ASSERT_TRUE(Errors().empty());
    SetMessageHook(nullptr); // real boxes from here on
    Ui().Edit1->setText(QStringLiteral("汤"));
    Ui().Memo1->setPlainText(QStringLiteral("留着"));
    TSeenBox seen;
    AnswerNextBox(seen, QMessageBox::No);
    QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
    ASSERT_TRUE(seen.Seen);
    EXPECT_EQ(seen.Owner, Form.get());
    EXPECT_TRUE(Near(Centre(seen.Frame), Centre(Form->frameGeometry())))
        << seen.Frame.x() << "," << seen.Frame.y();
    // Qt's own button texts are Chinese.
    EXPECT_EQ(seen.Buttons, (QStringList{QStringLiteral("否"), QStringLiteral("是")}));
    EXPECT_EQ(Ui().Memo1->Text(), QStringLiteral("留着")) << "No kept the page";

    // Without a main window a box still shows, centred on the screen.
    Form.reset();
    TSeenBox alone;
    AnswerNextBox(alone, QMessageBox::Ok);
    ShowDefaultError(QStringLiteral("出错了"));
    ASSERT_TRUE(alone.Seen);
    EXPECT_EQ(alone.Owner, nullptr);
    EXPECT_EQ(alone.Caption, QStringLiteral("百味小筑"));
    EXPECT_EQ(alone.Buttons, QStringList{QStringLiteral("确定")});
    EXPECT_TRUE(Near(Centre(alone.Frame), Centre(other.screen()->availableGeometry())));
}

// Tab and Shift+Tab walk each page in its order; in a memo Tab types nothing.
TEST_F(WindowTest, TabFollowsEachPagesOrder) {
    ShowForm();
    struct TChain {
        QPushButton* Page;
        std::vector<QWidget*> Order;
    };
    const TChain chains[] = {
        {Ui().BitBtn1,
         {Ui().Edit1, Ui().Memo1, Ui().Memo2, Ui().Memo3, Ui().BitBtn3, Ui().BitBtn4,
          Ui().BitBtn5}},
        // The category and the favourites sit between "查找" and "导出菜谱".
        {Ui().BitBtn2,
         {Ui().Edit2, Ui().BitBtn6, Form->findChild<QWidget*>(QStringLiteral("CategoryBox1")),
          Form->findChild<QWidget*>(QStringLiteral("FavouriteBox1")), Ui().BitBtn7, Ui().ListBox1,
          Ui().RichEdit1}},
    };
    for (const TChain& chain : chains) {
        QTest::mouseClick(chain.Page, Qt::LeftButton);
        chain.Order.front()->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), chain.Order.front());
        for (size_t i = 1; i < chain.Order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), chain.Order[i])
                << "Tab to " << chain.Order[i]->objectName().toStdString();
        }
        for (size_t i = chain.Order.size() - 1; i > 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
            EXPECT_EQ(QApplication::focusWidget(), chain.Order[i - 1])
                << "Shift+Tab to " << chain.Order[i - 1]->objectName().toStdString();
        }
    }
    EXPECT_TRUE(Ui().Memo1->Text().isEmpty());
    EXPECT_TRUE(Ui().Memo2->Text().isEmpty());
    EXPECT_TRUE(Ui().Memo3->Text().isEmpty());
}

TEST_F(WindowTest, PanelTwoTakesTheRestOfTheBarAndElidesWhatStillDoesNotFit) {
    ShowForm();
    TStatusBar* bar = Ui().StatusBar1;
    QLabel* const panels[] = {bar->findChild<QLabel*>(QStringLiteral("Panel0")),
                              bar->findChild<QLabel*>(QStringLiteral("Panel1")),
                              bar->findChild<QLabel*>(QStringLiteral("Panel2"))};
    EXPECT_EQ(panels[0]->geometry(), QRect(0, 0, 100, 26));
    EXPECT_EQ(panels[1]->geometry(), QRect(100, 0, 100, 26));
    EXPECT_EQ(panels[2]->geometry(), QRect(200, 0, 503, 26));

    // A 30-character name, saved and viewed, shows whole.
    const QString name(30, QChar(u'鲜'));
    QTest::mouseClick(Ui().BitBtn1, Qt::LeftButton);
    Ui().Edit1->setText(name);
    QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    Ui().ListBox1->SetItemIndex(0);
    Form->ListBox1Click();
    EXPECT_EQ(panels[2]->text(), name);
    EXPECT_TRUE(panels[2]->toolTip().isEmpty());

    // Longer than the panel: cut with "…", whole in the tool-tip and to callers.
    const QString longer = name + name + name;
    bar->SetPanelText(2, longer);
    EXPECT_TRUE(panels[2]->text().endsWith(QChar(0x2026))) << panels[2]->text().toStdString();
    EXPECT_TRUE(longer.startsWith(panels[2]->text().chopped(1)));
    EXPECT_LE(panels[2]->fontMetrics().horizontalAdvance(panels[2]->text()),
              panels[2]->contentsRect().width());
    EXPECT_EQ(panels[2]->toolTip(), longer);
    EXPECT_EQ(bar->PanelText(2), longer);
    bar->SetPanelText(2, QStringLiteral("短"));
    EXPECT_EQ(panels[2]->text(), QStringLiteral("短"));
    EXPECT_TRUE(panels[2]->toolTip().isEmpty());
}

// The counts are read whole: a large book's count widens its panel (the next ones
// move along), a small one gives the designed width back.
TEST_F(WindowTest, CountsOfLargeBooksShowWhole) {
    ShowForm();
    TStatusBar* bar = Ui().StatusBar1;
    QLabel* const panels[] = {bar->findChild<QLabel*>(QStringLiteral("Panel0")),
                              bar->findChild<QLabel*>(QStringLiteral("Panel1")),
                              bar->findChild<QLabel*>(QStringLiteral("Panel2"))};
    const struct {
        int Panel;
        const char* Text;
    } cases[] = {{0, "共0种菜"},      {0, "共100000种菜"}, {0, "共1000000种菜"},
                 {1, "第999999种菜"}, {0, "共12种菜"},     {1, "第1种菜"}};
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        SCOPED_TRACE(c.Text);
        bar->SetPanelText(c.Panel, text);
        QLabel* panel = panels[c.Panel];
        EXPECT_EQ(panel->text(), text);
        EXPECT_TRUE(panel->toolTip().isEmpty());
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(text), panel->contentsRect().width());
        for (QLabel* p : {panels[0], panels[1]}) {
            EXPECT_GE(p->width(), 100);
            const int frame = p->width() - p->contentsRect().width();
            if (p->width() > 100) { // wider than designed only for a text that needs it
                EXPECT_GT(p->fontMetrics().horizontalAdvance(p->text()) + 8, 100 - frame);
            }
        }
        EXPECT_EQ(panels[1]->x(), panels[0]->geometry().right() + 1);
        EXPECT_EQ(panels[2]->x(), panels[1]->geometry().right() + 1);
        EXPECT_EQ(panels[2]->geometry().right() + 1, std::max(bar->width(), panels[2]->x() + 100));
    }
    // Both counts small again: the designed places.
    EXPECT_EQ(panels[0]->geometry(), QRect(0, 0, 100, 26));
    EXPECT_EQ(panels[1]->geometry(), QRect(100, 0, 100, 26));
}

TEST_F(WindowTest, StartPictureOpensTheAboutPageBesideTheProgram) {
    ShowForm();
    QTest::mouseClick(Ui().Image1, Qt::LeftButton);
    ASSERT_EQ(ShellRequests.size(), 1u);
    const QUrl url(ShellRequests[0].Target);
    EXPECT_EQ(url.scheme(), QStringLiteral("file"));
    EXPECT_EQ(QFileInfo(url.toLocalFile()).absolutePath(),
              QFileInfo(QCoreApplication::applicationDirPath()).absoluteFilePath());
    QFile page(url.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << url.toLocalFile().toStdString();
    const QString html = QString::fromUtf8(page.readAll());
    for (const char* needed : {"lang=\"zh-CN\"", "百味小筑", "cook.mdb", "副本", "</html>"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(needed))) << needed;
}

TEST_F(WindowTest, QtsOwnTextsAreChinese) {
    std::unique_ptr<QMenu> menu(Ui().Edit1->createStandardContextMenu());
    QStringList actions;
    for (QAction* a : menu->actions())
        actions << a->text();
    EXPECT_TRUE(actions.join(u' ').contains(QStringLiteral("复制")))
        << actions.join(u' ').toStdString();
    EXPECT_TRUE(actions.join(u' ').contains(QStringLiteral("粘贴")));

    QFileDialog dialog(nullptr, QString(), QString(), QStringLiteral("菜谱 (*.rtf)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_NE(dialog.labelText(QFileDialog::LookIn), QStringLiteral("Look in:"));
    EXPECT_NE(dialog.labelText(QFileDialog::FileName), QStringLiteral("File &name:"));
    EXPECT_EQ(dialog.labelText(QFileDialog::Reject).remove(u'&').left(2), QStringLiteral("取消"));
    // The program's own file-type texts stay as they are.
    EXPECT_EQ(TOpenPictureDialog::FilterLabels().at(1), QStringLiteral("JPEG Image File (*.jpg)"));
}

// The open-picture dialog of "打开图片", whatever the system's locale (the tests run
// in the C locale): types from the MIME database and dates in Chinese.
TEST_F(WindowTest, FileDialogNamesTypesAndDatesInChinese) {
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("子目录"));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("a.jpg")), "JPEG"));
    const QDateTime modified = QFileInfo(dir.filePath(QStringLiteral("a.jpg"))).lastModified();
    SetFileDialogHook(nullptr);
    std::map<QString, QStringList> rows;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        const TOnExit closer([dialog] { dialog->reject(); });
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        dialog->setDirectory(dir.path());
        const QModelIndex root = model->index(dir.path());
        QTest::qWaitFor([&] { return model->rowCount(root) == 2; }, 5000);
        for (int row = 0; row < model->rowCount(root); ++row) {
            QStringList columns;
            for (int column = 1; column < model->columnCount(root); ++column)
                columns << model->index(row, column, root).data().toString();
            rows[model->index(row, 0, root).data().toString()] = columns;
        }
    });
    Ui().BitBtn3->click();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[QStringLiteral("子目录")].value(1), QStringLiteral("文件夹"));
    EXPECT_EQ(rows[QStringLiteral("a.jpg")].value(1), QStringLiteral("JPEG 图像"));
    const QString date = rows[QStringLiteral("a.jpg")].value(2);
    EXPECT_EQ(date,
              QLocale(QLocale::Chinese, QLocale::China).toString(modified, QLocale::ShortFormat));
    EXPECT_TRUE(date.contains(QString::number(modified.date().year()))) << date.toStdString();
    EXPECT_FALSE(
        date.contains(QLocale::c().monthName(modified.date().month(), QLocale::ShortFormat)))
        << date.toStdString();
}

// A dark desktop palette: the text on the cream skin keeps the skin's colours, in
// the window and in its file dialog; taking the skin off gives the desktop's back.
TEST_F(WindowTest, DarkDesktopLeavesTheSkinReadable) {
    const QPalette desktop = QApplication::palette();
    const TOnExit restore([desktop] { QApplication::setPalette(desktop); });
    QPalette dark;
    for (const auto& [role, color] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, QColor(35, 35, 38)},
             {QPalette::WindowText, Qt::white},
             {QPalette::Base, QColor(25, 25, 28)},
             {QPalette::AlternateBase, QColor(45, 45, 48)},
             {QPalette::Text, Qt::white},
             {QPalette::Button, QColor(50, 50, 54)},
             {QPalette::ButtonText, Qt::white},
             {QPalette::PlaceholderText, QColor(200, 200, 200)},
             {QPalette::ToolTipBase, QColor(25, 25, 28)},
             {QPalette::ToolTipText, Qt::white}})
        dark.setColor(role, color);
    QApplication::setPalette(dark);
    Open();
    ShowForm();
    QTest::qWait(100);
    auto isDark = [](const QColor& c) {
        return c.lightness() < 110;
    };
    auto darkPixels = [&](QWidget* w) {
        const QImage image = w->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += isDark(image.pixelColor(x, y));
        return n;
    };
    // Each page in turn, so its labels are laid out and painted.
    for (int page = 0; page < 3; ++page) {
        Ui().PageControl1->setCurrentIndex(page);
        QTest::qWait(20);
        for (QLabel* label : Ui().PageControl1->widget(page)->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisible())
                continue;
            EXPECT_TRUE(isDark(label->palette().color(label->foregroundRole())))
                << label->objectName().toStdString();
            EXPECT_GT(darkPixels(label), 0) << label->objectName().toStdString();
        }
    }
    // Boxes one types into: dark text on a light ground.
    for (QWidget* box : std::initializer_list<QWidget*>{Ui().Edit1, Ui().Memo1, Ui().Edit2,
                                                        Ui().RichEdit1, Ui().ListBox1}) {
        EXPECT_TRUE(isDark(box->palette().color(QPalette::Text)))
            << box->objectName().toStdString();
        EXPECT_FALSE(isDark(box->palette().color(QPalette::Base)))
            << box->objectName().toStdString();
    }
    EXPECT_TRUE(isDark(Ui().StatusBar1->findChild<QLabel*>(QStringLiteral("Panel0"))
                           ->palette()
                           .color(QPalette::WindowText)));

    // The file dialog of "打开图片".
    SetFileDialogHook(nullptr);
    QStringList light;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        const TOnExit closer([dialog] { dialog->reject(); });
        QTest::qWaitForWindowExposed(dialog);
        QTest::qWait(100);
        seen = true;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            if (label->isVisible() && !label->text().isEmpty() &&
                !isDark(label->palette().color(label->foregroundRole())))
                light << label->text();
        for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>())
            if (view->isVisible() && (!isDark(view->palette().color(QPalette::Text)) ||
                                      isDark(view->palette().color(QPalette::Base))))
                light << view->objectName();
    });
    Ui().BitBtn3->click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(light, QStringList());

    // Off again: every control has the desktop's colours back, none kept as its own.
    Form->SkinData1().SetActive(false);
    QTest::qWaitFor([&] { return !Form->testAttribute(Qt::WA_SetPalette); }, 3000);
    QTest::qWait(50);
    for (QWidget* w : Form->findChildren<QWidget*>()) {
        if (w->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        EXPECT_EQ(w->palette().color(QPalette::WindowText), QColor(Qt::white))
            << w->objectName().toStdString() << " " << w->metaObject()->className();
        EXPECT_EQ(w->palette().color(QPalette::Base), QColor(25, 25, 28))
            << w->objectName().toStdString() << " " << w->metaObject()->className();
    }
    EXPECT_FALSE(Form->testAttribute(Qt::WA_SetPalette));
    EXPECT_FALSE(Ui().Label1->testAttribute(Qt::WA_SetPalette));
    // The skin's manager is the program's one: back on for the windows of later tests.
    Form->SkinData1().SetActive(true);
    QTest::qWaitFor([&] { return Form->testAttribute(Qt::WA_SetPalette); }, 3000);
}

TEST_F(WindowTest, ControlsAreReadByTheirLabelsAndRoles) {
    struct TCase {
        QWidget* Control;
        QString Name;
    };
    const TCase cases[] = {
        {Ui().Edit1, QStringLiteral("菜名")},         {Ui().Memo1, QStringLiteral("配料")},
        {Ui().Memo2, QStringLiteral("做法")},         {Ui().Memo3, QStringLiteral("说明")},
        {Ui().Edit2, QStringLiteral("查找关键词")},   {Ui().ListBox1, QStringLiteral("菜谱列表")},
        {Ui().RichEdit1, QStringLiteral("菜谱内容")}, {Ui().Image2, QStringLiteral("菜谱图片")},
        {Ui().Image1, QStringLiteral("封面图片")},    {Ui().BitBtn5, QStringLiteral("保存")},
    };
    for (const TCase& c : cases) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(c.Control);
        ASSERT_NE(accessible, nullptr) << c.Control->objectName().toStdString();
        EXPECT_EQ(accessible->text(QAccessible::Name), c.Name)
            << c.Control->objectName().toStdString();
    }
}
} // namespace
