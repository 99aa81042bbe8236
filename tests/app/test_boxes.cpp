// The program's boxes as the cook sees them: names and imported texts shown as
// typed, never as markup; Qt's details button in the menus' ellipsis.
#include "../common/OnExit.h"
#include "AppTestSupport.h"
#include "ErrorDisplay.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
class BoxTest : public testing::Test, public TAppFixture {
protected:
    void SetUp() override {
        Open();
        SetMessageHook(nullptr);
    }
};

// Whether a label lays its text out as markup.
bool ShowsAsMarkup(const QLabel& label) {
    return label.textFormat() == Qt::RichText || label.textFormat() == Qt::MarkdownText ||
           (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
}

const char* const MarkupNames[] = {"<img src=/x.jpg>", "<h1>x</h1>", "<b>红烧肉</b>",
                                   "<a href=\"file:///etc\">汤</a>", "a &amp; b <br> c"};

TEST_F(BoxTest, EveryBoxShowsTextAsTyped) {
    const std::function<void(const QString&)> boxes[] = {
        [](const QString& t) { ShowInfo(t); },
        [](const QString& t) { AskYesNo(t); },
        [](const QString& t) {
            AskYesNoDefaultNo(QStringLiteral("确定要删除菜谱“%1”吗？").arg(t));
        },
        [](const QString& t) { ShowDefaultError(t); },
        [](const QString& t) {
            ShowMessage({QStringLiteral("提示"), QStringLiteral("导入完毕\n") + t,
                         QMessageBox::Information, QMessageBox::Ok, QMessageBox::NoButton, t});
        },
    };
    for (const char* raw : MarkupNames) {
        const QString name = QString::fromUtf8(raw);
        for (size_t i = 0; i < std::size(boxes); ++i) {
            bool markup = true;
            QString shown;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                const TOnExit closer([box] { box->done(0); });
                auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                ASSERT_NE(label, nullptr);
                markup = ShowsAsMarkup(*label);
                shown = label->text();
            });
            boxes[i](name);
            EXPECT_FALSE(markup) << raw << " in box " << i;
            EXPECT_TRUE(shown.contains(name)) << raw << " in box " << i;
        }
    }
}

TEST_F(BoxTest, StatusBarShowsTheDishNameAsTyped) {
    Form->show();
    for (const char* raw : MarkupNames) {
        Ui().StatusBar1->SetPanelText(2, QString::fromUtf8(raw));
        auto* panel = Ui().StatusBar1->findChild<QLabel*>(QStringLiteral("Panel2"));
        ASSERT_NE(panel, nullptr);
        EXPECT_FALSE(ShowsAsMarkup(*panel)) << raw;
    }
}

// Qt's "Show Details..." in the ellipsis the menus use, both ways.
TEST_F(BoxTest, DetailsButtonUsesTheEllipsis) {
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const TOnExit closer([box] { box->done(0); });
        for (int round = 0; round < 2; ++round) {
            for (QAbstractButton* b : box->buttons()) {
                if (box->buttonRole(b) != QMessageBox::ActionRole)
                    continue;
                seen << b->text();
                b->click();
                break;
            }
        }
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) == QMessageBox::ActionRole)
                seen << b->text();
    });
    ShowMessage({QStringLiteral("提示"), QStringLiteral("导入完毕"), QMessageBox::Information,
                 QMessageBox::Ok, QMessageBox::NoButton, QStringLiteral("一行\n两行")});
    ASSERT_EQ(seen.size(), 3) << seen.join(u'|').toStdString();
    EXPECT_EQ(seen[0], QStringLiteral("显示详情…"));
    EXPECT_EQ(seen[1], QStringLiteral("隐藏详情…"));
    EXPECT_EQ(seen[2], QStringLiteral("显示详情…"));
}
} // namespace
