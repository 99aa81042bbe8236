// Import and export from the browse list's menu, and recipe pages dropped onto the entry page.
#include "../common/OnExit.h"
#include "ExtrasSupport.h"
#include "RecipeImportUi.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

namespace {
QString Fixture(const char* name) {
    return QStringLiteral(MYCOOK_IMPORT_FIXTURES "/") + QString::fromUtf8(name);
}

class ImportUiTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        SetDuplicateHook([this](const QString& name) {
            Asked << name;
            return Duplicate;
        });
    }
    void TearDown() override { SetDuplicateHook(nullptr); }
    void Trigger(const char* text) {
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
        for (QAction* a : menu->actions())
            if (a->text() == QString::fromUtf8(text))
                a->trigger();
    }
    int Stored() {
        TADOQuery q(&Form->ADOConnection1);
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        return q.RecordCount();
    }
    bool Drop(QWidget* target, const QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    QStringList Asked;
    TDuplicateChoice Duplicate{TDuplicateAnswer::Skip, true};
};

TEST_F(ImportUiTest, ImportFromTheMenuRefreshesListAndCount) {
    Add(QStringLiteral("西红柿炒鸡蛋"), QStringLiteral("旧"));
    Search(QString()); // the whole book listed
    QSignalSpy changed(Form.get(), &TForm_main::BookChanged);
    FileAnswers = {Fixture("chinese-gb18030.mmf") + u'\n' + Fixture("hongshao.html") + u'\n' +
                   Fixture("no-recipe.html")};
    Trigger("导入菜谱…");
    ASSERT_EQ(DialogRequests.size(), 1u);
    EXPECT_EQ(DialogRequests[0].Kind, TFileDialogRequest::OpenFiles);
    EXPECT_EQ(Asked, QStringList{QStringLiteral("西红柿炒鸡蛋")});
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text,
              QStringLiteral("导入完毕\n导入 2 个，覆盖 0 个，跳过 1 个，无法读取的文件 1 个"));
    const QStringList details = Messages[0].Details.split(u'\n');
    EXPECT_EQ(details.size(), 4);
    EXPECT_TRUE(details.contains(
        QStringLiteral("chinese-gb18030.mmf：西红柿炒鸡蛋 — 已跳过（菜名已存在）")));
    EXPECT_EQ(Listed(), (QStringList{"西红柿炒鸡蛋", "蒜蓉西兰花", "红烧肉 & 卤蛋"}));
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
    EXPECT_EQ(changed.count(), 1);
    // The imported recipe is viewed like any other.
    View(2);
    EXPECT_TRUE(ViewText().startsWith(QStringLiteral("红烧肉 & 卤蛋\n原料:\n五花肉 500克")));
}

// A cookbook app's folder of recipe folders, chosen as a folder.
TEST_F(ImportUiTest, ImportAFolderOfRecipeFolders) {
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    Search(QString());
    const std::pair<std::optional<QString>, const char*> cases[] = {
        {std::nullopt, nullptr},
        {Fixture("nextcloud-folder/Recipes"),
         "导入完毕\n导入 2 个，覆盖 0 个，跳过 0 个，无法读取的文件 0 个"},
        {Fixture("nextcloud-folder/Recipes/Pasta Carbonara"),
         "导入完毕\n导入 0 个，覆盖 0 个，跳过 1 个，无法读取的文件 0 个"},
    };
    for (const auto& [answer, text] : cases) {
        DialogRequests.clear();
        Messages.clear();
        FileAnswers = {answer};
        Trigger("导入菜谱文件夹…");
        ASSERT_EQ(DialogRequests.size(), 1u);
        EXPECT_EQ(DialogRequests[0].Kind, TFileDialogRequest::OpenFolder);
        if (!text) {
            EXPECT_TRUE(Messages.empty());
            continue;
        }
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].Text, QString::fromUtf8(text));
    }
    EXPECT_EQ(Listed(), (QStringList{"汤", "Overnight Oats", "Pasta Carbonara"}));
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
}

// After an import the whole book is listed and counted, whatever was searched
// before: the imported recipes are what the cook wants to see.
TEST_F(ImportUiTest, CancelledDialogDoesNothingAndImportEndsTheSearch) {
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    FileAnswers = {std::nullopt};
    Trigger("导入菜谱…");
    EXPECT_TRUE(Messages.empty());
    const struct {
        const char* Keyword;
        int ListedBefore;
    } cases[] = {{"鸡蛋", 0}, {"汤", 1}, {"", 5}};
    int stored = 1;
    for (const auto& c : cases) {
        Search(QString::fromUtf8(c.Keyword));
        ASSERT_EQ(Listed().size(), c.ListedBefore)
            << c.Keyword << Listed().join(u',').toStdString();
        FileAnswers = {Fixture("chinese-gb18030.mmf")};
        Duplicate = {TDuplicateAnswer::KeepBoth, true};
        Trigger("导入菜谱…");
        stored += 2;
        ASSERT_EQ(Stored(), stored) << c.Keyword;
        EXPECT_EQ(Listed().size(), stored) << c.Keyword;
        EXPECT_FALSE(Form->ADOQuery1.Filtered()) << c.Keyword;
        EXPECT_EQ(Ui().Edit2->text(), QString()) << c.Keyword;
        EXPECT_EQ(Panel(0), QStringLiteral("共%1种菜").arg(stored)) << c.Keyword;
    }
    // The listed entries are the book's: each is viewed.
    View(Listed().size() - 1);
    EXPECT_TRUE(ViewText().startsWith(Listed().last())) << ViewText().toStdString();
}

// What the summary's icon says: a warning when no file could be read.
TEST_F(ImportUiTest, SummaryWarnsWhenEveryFileFailed) {
    const struct {
        std::vector<const char*> Files;
        QMessageBox::Icon Icon;
    } cases[] = {
        {{"no-recipe.html"}, QMessageBox::Warning},
        {{"no-recipe.html", "no-recipe.html"}, QMessageBox::Warning},
        {{"no-recipe.html", "hongshao.html"}, QMessageBox::Information},
        {{"hongshao.html"}, QMessageBox::Information},
        {{"hongshao.html"}, QMessageBox::Information}, // every recipe skipped: nothing failed
    };
    for (const auto& c : cases) {
        QStringList files;
        for (const char* f : c.Files)
            files << Fixture(f);
        Messages.clear();
        FileAnswers = {files.join(u'\n')};
        Trigger("导入菜谱…");
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].Icon, c.Icon) << Messages[0].Text.toStdString();
    }
}

TEST_F(ImportUiTest, ExportFromTheMenuWritesTheZip) {
    Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉"), QSize(40, 30));
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    const QString target = Dir.filePath(QStringLiteral("全部菜谱"));
    FileAnswers = {target};
    Trigger("导出全部菜谱…");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
    ASSERT_TRUE(QFile::exists(target + QStringLiteral(".zip")));
    // Importing it into the same book finds every name there already.
    Messages.clear();
    FileAnswers = {target + QStringLiteral(".zip")};
    Trigger("导入菜谱…");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].Text.contains(QStringLiteral("跳过 2 个")))
        << Messages[0].Text.toStdString();
}

// An existing zip is replaced only when the cook says so; No is the default.
TEST_F(ImportUiTest, ExportAsksBeforeReplacingAZip) {
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    const QString target = Dir.filePath(QStringLiteral("旧的.zip"));
    const struct {
        const char* Typed; // as typed into the dialog
        QMessageBox::StandardButton Answer;
        bool Replaced;
    } cases[] = {
        {"旧的.zip", QMessageBox::No, false},
        {"旧的", QMessageBox::No, false},
        {"旧的.zip", QMessageBox::Yes, true},
    };
    for (const auto& c : cases) {
        {
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        Messages.clear();
        Answers = {c.Answer};
        FileAnswers = {Dir.filePath(QString::fromUtf8(c.Typed))};
        Trigger("导出全部菜谱…");
        ASSERT_GE(Messages.size(), 1u) << c.Typed;
        EXPECT_EQ(Messages[0].Icon, QMessageBox::Question) << c.Typed;
        EXPECT_EQ(Messages[0].DefaultButton, QMessageBox::No) << c.Typed;
        EXPECT_TRUE(Messages[0].Text.contains(QStringLiteral("旧的"))) << c.Typed;
        QFile now(QFile::exists(target) ? target : Dir.filePath(QString::fromUtf8(c.Typed)));
        ASSERT_TRUE(now.open(QIODevice::ReadOnly));
        EXPECT_EQ(now.readAll() != "old", c.Replaced) << c.Typed;
        EXPECT_EQ(Messages.size(), c.Replaced ? 2u : 1u) << c.Typed;
        QFile::remove(Dir.filePath(QString::fromUtf8(c.Typed)));
    }
    // A new name is written without asking.
    Messages.clear();
    FileAnswers = {Dir.filePath(QStringLiteral("新的"))};
    Trigger("导出全部菜谱…");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
}

// The real question, kept open well past the progress window's delay: it stays the
// one modal window on top and takes the answer; Esc, × and 取消 cancel the import.
TEST_F(ImportUiTest, DuplicateQuestionAnswersWheneverTheCookGetsToIt) {
    SetDuplicateHook(nullptr);
    Form->show();
    // Many recipes before the one already in the book, so the progress has been
    // under way a while when the question comes.
    const QString many = Dir.filePath(QStringLiteral("many.mmf"));
    {
        QFile file(many);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray text;
        const QByteArray head = "MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n      Title: ";
        for (int i = 0; i < 4000; ++i)
            text +=
                head + "菜" + QByteArray::number(i) + "\n\n      1    盐\n\n  炒。\n\nMMMMM\n\n";
        text += head + "西红柿炒鸡蛋\n\n      3    西红柿\n\n  炒。\n\nMMMMM\n";
        file.write(text);
    }
    const struct {
        const char* Answer; // a button's text, or "Esc" / "×"
        const char* Said;
    } cases[] = {
        {"覆盖", "覆盖 1 个"},  {"跳过", "跳过 1 个"}, {"都保留", "覆盖 0 个，跳过 0 个"},
        {"取消", "导入已取消"}, {"Esc", "导入已取消"}, {"×", "导入已取消"},
    };
    for (const auto& c : cases) {
        Form->ADOQuery1.Close();
        Form->ADOConnection1.Execute(QStringLiteral("delete from mycook"));
        Form->ADOQuery1.Open();
        Add(QStringLiteral("西红柿炒鸡蛋"), QStringLiteral("旧"));
        Messages.clear();
        FileAnswers = {many};
        bool seen = false;
        QStringList onTop;
        QString label;
        QStringList buttons;
        std::function<void()> answer = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                QTimer::singleShot(10, answer);
                return;
            }
            // Long after the progress window would have come up.
            QTimer::singleShot(900, box, [&, box] {
                const TOnExit closer([box] {
                    if (box->isVisible())
                        box->done(0);
                });
                seen = true;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && w != Form.get() && w != box)
                        onTop << QString::fromLatin1(w->metaObject()->className());
                if (QApplication::activeModalWidget() != box)
                    onTop << QStringLiteral("active modal: ") +
                                 QString::fromLatin1(
                                     QApplication::activeModalWidget()->metaObject()->className());
                for (QAbstractButton* b : box->buttons())
                    if (b->isVisible())
                        buttons << b->text();
                const QString said = QString::fromUtf8(c.Answer);
                if (said == u"Esc") {
                    QTest::keyClick(box, Qt::Key_Escape);
                } else if (said == u"×") {
                    box->close();
                } else {
                    for (QAbstractButton* b : box->buttons())
                        if (b->text() == said)
                            QTest::mouseClick(b, Qt::LeftButton);
                }
            });
        };
        QTimer::singleShot(0, answer);
        Trigger("导入菜谱…");
        EXPECT_TRUE(seen) << c.Answer;
        EXPECT_EQ(onTop, QStringList()) << c.Answer;
        for (const char* b : {"覆盖", "跳过", "都保留", "取消"})
            EXPECT_TRUE(buttons.contains(QString::fromUtf8(b))) << b;
        ASSERT_FALSE(Messages.empty()) << c.Answer;
        EXPECT_TRUE(Messages.back().Text.contains(QString::fromUtf8(c.Said)))
            << c.Answer << ": " << Messages.back().Text.toStdString();
    }
}

// Names that look like markup are shown as typed.
TEST_F(ImportUiTest, DuplicateQuestionShowsTheNameAsPlainText) {
    SetDuplicateHook(nullptr);
    for (const char* name : {"<img src=/x.jpg>", "<h1>x</h1>", "<b>红烧肉</b>", "a &amp; b"}) {
        QString shown;
        bool rich = true;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            const TOnExit closer([box] { box->done(0); });
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            shown = label->text();
            rich = label->textFormat() == Qt::RichText ||
                   (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(shown));
        });
        try {
            AskDuplicate(QString::fromUtf8(name));
        } catch (const EImportCancelled&) {
        }
        EXPECT_TRUE(shown.contains(QString::fromUtf8(name))) << name;
        EXPECT_FALSE(rich) << name;
    }
}

TEST_F(ImportUiTest, RecipePageDroppedOntoTheEntryPageFillsItWithoutSaving) {
    Form->BitBtn1Click();
    QMimeData page;
    page.setUrls({QUrl::fromLocalFile(Fixture("hongshao.html"))});
    ASSERT_TRUE(Drop(Ui().Memo2->viewport(), page));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("红烧肉 & 卤蛋"));
    EXPECT_TRUE(Ui().Memo1->Text().startsWith(QStringLiteral("五花肉 500克\n冰糖 适量")));
    EXPECT_TRUE(Ui().Memo2->Text().startsWith(QStringLiteral("准备\n1. 五花肉切块")));
    EXPECT_TRUE(Ui().Memo3->Text().startsWith(QStringLiteral("肥而不腻")));
    const auto* jpeg = dynamic_cast<const TJPEGImage*>(Ui().Image2->Picture().Graphic());
    ASSERT_NE(jpeg, nullptr);
    QFile picture(Fixture("dish.jpg"));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    EXPECT_EQ(jpeg->Data(), picture.readAll());
    EXPECT_EQ(Stored(), 0);
    // "保存" stores it as typed.
    Form->BitBtn5Click();
    EXPECT_EQ(Stored(), 1);

    // HTML from a browser onto the name box; a page without a recipe is refused.
    QMimeData html;
    html.setHtml(QStringLiteral(
        "<div itemscope itemtype=\"https://schema.org/Recipe\"><h1 itemprop=name>拍黄瓜</h1>"
        "<span itemprop=recipeIngredient>黄瓜 两根</span></div>"));
    ASSERT_TRUE(Drop(Ui().Edit1, html));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("拍黄瓜"));
    EXPECT_EQ(Ui().Memo1->Text(), QStringLiteral("黄瓜 两根"));
    QMimeData none;
    none.setHtml(QStringLiteral("<p>今天天气很好</p>"));
    ASSERT_TRUE(Drop(Ui().Memo3->viewport(), none));
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(Errors()[0].contains(QStringLiteral("没有菜谱数据")));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("拍黄瓜"));

    // Plain text and picture files are not pages: the boxes and the picture box keep their drops.
    QMimeData text;
    text.setText(QStringLiteral("just text"));
    EXPECT_FALSE(IsRecipePageDrop(text));
    QMimeData jpegFile;
    jpegFile.setUrls({QUrl::fromLocalFile(Fixture("dish.jpg"))});
    EXPECT_FALSE(IsRecipePageDrop(jpegFile));
}
} // namespace
