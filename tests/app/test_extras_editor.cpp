// The entry page's extras behind "更多信息": stored beside the row the designed
// save wrote, told through RecipeSaved, kept on an overwrite unless changed.
#include "../common/TestFiles.h"
#include "Clipboard.h"
#include "ExtrasSupport.h"
#include "FaultVfs.h"
#include "RecipeExtrasEditor.h"
#include "RecipeStore.h"
#include "RecipeText.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <sqlite3.h>

namespace {
class ExtrasEditorTest : public TExtrasFixture {
public:
    void SetUp() override { Open(); }
    TRecipeExtrasEditor& Ed() { return Form->Extras().ExtrasEditor(); }

    void Type(const QString& name, const QString& ingredients = QStringLiteral("料")) {
        Ui().Edit1->setText(name);
        Ui().Memo1->setPlainText(ingredients);
        Ui().Memo2->setPlainText(QStringLiteral("1. 洗\n2. 炒"));
        Ui().Memo3->setPlainText(QStringLiteral("注"));
    }
    // As the cook types: the edit's textEdited follows.
    static void Enter(QLineEdit* edit, const QString& text) {
        edit->setText(text);
        Q_EMIT edit->textEdited(edit->text());
    }
    void Save() { QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton); }
    qint64 RowOf(const QString& name) {
        return Form->ADOQuery1.Locate(QStringLiteral("菜名"), name) ? Form->ADOQuery1.RowId() : -1;
    }
    TRecipe Stored(const QString& name) {
        TRecipeStore store(Form->ADOConnection1);
        return store.Read(RowOf(name));
    }
    QByteArray JpegFile(const QString& file, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        TBitmap bitmap;
        bitmap.SetImage(image);
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        WriteFile(Dir.filePath(file), jpeg.Data());
        return jpeg.Data();
    }
    QString BitmapFile(const QString& file, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        const QString path = Dir.filePath(file);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    QStringList Captions() {
        QStringList out;
        for (const TRecipePicture& p : Ed().Pictures())
            out << p.Caption;
        return out;
    }
    void Caption(int index, const QString& text) {
        Ed().SetCurrentPicture(index);
        Enter(Ed().Caption, text);
    }
    // Fills every extra as the cook would.
    void FillAll(const QString& tag) {
        Ed().ShowPanel(true);
        Enter(Ed().Categories, tag + QStringLiteral("菜、家常菜"));
        Ed().Servings->setValue(4);
        Enter(Ed().ServingsUnit, QStringLiteral("人份"));
        Enter(Ed().PrepTime, QStringLiteral("20分钟"));
        Enter(Ed().CookTime, QStringLiteral("1小时30分钟"));
        Enter(Ed().TotalTime, QStringLiteral("看火候"));
        Enter(Ed().Source, QStringLiteral("外婆") + tag);
        Ed().Favourite->setChecked(true);
        Ed().AddPictureJpeg(JpegFile(tag + QStringLiteral(".jpg"), {40, 30}, Qt::red));
        Caption(0, tag + QStringLiteral("图"));
        Ed().Step->setValue(2);
    }
};

TEST_F(ExtrasEditorTest, SavedSignalFiresOncePerCompletedSaveWithTheSavedRow) {
    QSignalSpy saved(Form.get(), &TForm_main::RecipeSaved);
    struct TCase {
        const char* Name;
        std::optional<QMessageBox::StandardButton> Answer;
        bool Fires;
        bool Overwritten;
    };
    const TCase cases[] = {
        {"汤", std::nullopt, true, false},     {"鱼", std::nullopt, true, false},
        {"汤", QMessageBox::No, false, false}, {"汤", QMessageBox::Yes, true, true},
        {"", std::nullopt, true, false}, // an empty name is a recipe too
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        saved.clear();
        if (c.Answer)
            Answers.push_back(*c.Answer);
        Type(QString::fromUtf8(c.Name));
        Save();
        ASSERT_EQ(saved.size(), c.Fires ? 1 : 0);
        if (!c.Fires)
            continue;
        EXPECT_EQ(saved[0][0].toLongLong(), RowOf(QString::fromUtf8(c.Name)));
        EXPECT_EQ(saved[0][1].toBool(), c.Overwritten);
    }

    // Under a filter that hides it the new row is still the one told.
    Search(QStringLiteral("鱼"));
    saved.clear();
    Type(QStringLiteral("豆腐"));
    Save();
    ASSERT_EQ(saved.size(), 1);
    Form->ADOQuery1.SetFiltered(false);
    EXPECT_EQ(saved[0][0].toLongLong(), RowOf(QStringLiteral("豆腐")));
    EXPECT_EQ(Stored(QStringLiteral("豆腐")).Name, QStringLiteral("豆腐"));

    // A save that fails tells nothing.
    saved.clear();
    Form->ADOQuery1.Close();
    Type(QStringLiteral("面"));
    Save();
    EXPECT_EQ(saved.size(), 0);
    EXPECT_FALSE(Errors().empty());
}

TEST_F(ExtrasEditorTest, SavingStoresEveryExtraBesideTheRowAndClearsThePage) {
    Type(QStringLiteral("回锅肉"));
    FillAll(QStringLiteral("川"));
    Ed().AddPictureFile(BitmapFile(QStringLiteral("b.bmp"), {16, 8}));
    Enter(Ed().Categories, QStringLiteral(" 川菜 ，家常菜;川菜；、 下饭 "));
    Save();
    const TRecipe r = Stored(QStringLiteral("回锅肉"));
    EXPECT_EQ(r.Name, QStringLiteral("回锅肉"));
    EXPECT_EQ(r.Categories, QStringList({"川菜", "家常菜", "下饭"}));
    EXPECT_EQ(r.Servings, 4);
    EXPECT_EQ(r.ServingsUnit, QStringLiteral("人份"));
    EXPECT_EQ(r.PrepTime, QStringLiteral("PT20M"));
    EXPECT_EQ(r.CookTime, QStringLiteral("PT1H30M"));
    EXPECT_EQ(r.TotalTime, QStringLiteral("看火候")); // no duration: kept as written
    EXPECT_EQ(r.Source, QStringLiteral("外婆川"));
    EXPECT_TRUE(r.Favourite);
    EXPECT_TRUE(r.Added.isValid());
    ASSERT_EQ(r.Pictures.size(), 2u);
    EXPECT_EQ(r.Pictures[0].Jpeg, ReadFile(Dir.filePath(QStringLiteral("川.jpg"))));
    EXPECT_EQ(r.Pictures[0].Caption, QStringLiteral("川图"));
    EXPECT_EQ(r.Pictures[0].Step, 2);
    EXPECT_EQ(r.Pictures[1].Step, 0);
    EXPECT_TRUE(r.Pictures[1].Jpeg.startsWith("\xFF\xD8")); // the bitmap as JPEG

    // The page's clearing takes the extras too.
    EXPECT_TRUE(Ui().Edit1->text().isEmpty());
    for (QLineEdit* e : {Ed().WholeName, Ed().Categories, Ed().ServingsUnit, Ed().PrepTime,
                         Ed().CookTime, Ed().TotalTime, Ed().Source, Ed().Caption})
        EXPECT_TRUE(e->text().isEmpty()) << e->placeholderText().toStdString();
    EXPECT_EQ(Ed().Servings->value(), 0);
    EXPECT_FALSE(Ed().Favourite->isChecked());
    EXPECT_TRUE(Ed().Pictures().empty());
    EXPECT_EQ(Ed().PictureList->count(), 0);

    // A recipe saved with nothing more holds nothing more: the last page's extras
    // are gone.
    Type(QStringLiteral("白饭"));
    Save();
    const TRecipe plain = Stored(QStringLiteral("白饭"));
    EXPECT_TRUE(plain.Categories.isEmpty());
    EXPECT_TRUE(plain.Pictures.empty());
    EXPECT_FALSE(plain.Favourite);
    EXPECT_TRUE(plain.Source.isEmpty());
}

TEST_F(ExtrasEditorTest, AnsweringNoStoresNothingAndKeepsThePage) {
    Type(QStringLiteral("汤"));
    FillAll(QStringLiteral("粤"));
    Save();
    const TRecipe before = Stored(QStringLiteral("汤"));

    Type(QStringLiteral("汤"));
    Enter(Ed().Categories, QStringLiteral("早餐"));
    Ed().Favourite->setChecked(false);
    Ed().AddPictureJpeg(JpegFile(QStringLiteral("n.jpg"), {8, 8}, Qt::blue));
    Answers.push_back(QMessageBox::No);
    Save();
    EXPECT_EQ(Stored(QStringLiteral("汤")), before);
    EXPECT_EQ(Ed().Categories->text(), QStringLiteral("早餐"));
    EXPECT_EQ(Ed().Pictures().size(), 1u);
}

// A commit is what a save waits for (its disk flushes): the row and its extras go
// to disk in one.
TEST_F(ExtrasEditorTest, ASaveIsOneCommitWithItsExtras) {
    struct TCase {
        const char* What;
        std::function<void(ExtrasEditorTest&)> Page;
        std::optional<QMessageBox::StandardButton> Answer;
    };
    const TCase cases[] = {
        {"first save, the book without our tables",
         [](ExtrasEditorTest& t) { t.Type(QStringLiteral("汤")); }, std::nullopt},
        {"new recipe with every extra",
         [](ExtrasEditorTest& t) {
             t.Type(QStringLiteral("回锅肉"));
             t.FillAll(QStringLiteral("川"));
         },
         std::nullopt},
        {"overwritten, extras changed",
         [](ExtrasEditorTest& t) {
             t.Type(QStringLiteral("回锅肉"));
             Enter(t.Ed().Categories, QStringLiteral("早餐"));
         },
         QMessageBox::Yes},
        {"overwritten, nothing more",
         [](ExtrasEditorTest& t) { t.Type(QStringLiteral("汤"), QStringLiteral("水")); },
         QMessageBox::Yes},
    };
    std::atomic<int> commits = 0;
    auto counted = [](void* count) {
        ++*static_cast<std::atomic<int>*>(count);
        return 0;
    };
    ASSERT_FALSE(HasRecipeTables(Form->ADOConnection1));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        if (c.Answer)
            Answers.push_back(*c.Answer);
        c.Page(*this);
        commits = 0;
        sqlite3_commit_hook(Form->ADOConnection1.Handle(), counted, &commits);
        Save();
        sqlite3_commit_hook(Form->ADOConnection1.Handle(), nullptr, nullptr);
        EXPECT_TRUE(Errors().empty());
        EXPECT_EQ(commits, 1);
        EXPECT_TRUE(Ui().Edit1->text().isEmpty());
    }
    EXPECT_EQ(Stored(QStringLiteral("回锅肉")).Categories, QStringList{QStringLiteral("早餐")});
    EXPECT_EQ(Stored(QStringLiteral("汤")).Ingredients, QStringLiteral("水"));
}

// The page and its extras are cleared only once the save is on disk; a commit that
// fails leaves neither the row nor its extras, and saving again stores both.
TEST_F(ExtrasEditorTest, ASaveWhoseCommitFailsKeepsEverythingTyped) {
    Form.reset();
    TFaultVfs vfs;
    Open();
    Type(QStringLiteral("回锅肉"));
    FillAll(QStringLiteral("川"));
    TFaultVfs::Faults().FailMainWrites = true;
    Save();
    TFaultVfs::Faults().FailMainWrites = false;
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("回锅肉"));
    EXPECT_EQ(Ui().Memo1->toPlainText(), QStringLiteral("料"));
    EXPECT_EQ(Ed().Categories->text(), QStringLiteral("川菜、家常菜"));
    EXPECT_EQ(Ed().Source->text(), QStringLiteral("外婆川"));
    EXPECT_EQ(Ed().Pictures().size(), 1u);
    EXPECT_EQ(RowOf(QStringLiteral("回锅肉")), -1);
    if (HasRecipeTables(Form->ADOConnection1)) {
        int extras = -1;
        sqlite3_exec(
            Form->ADOConnection1.Handle(), "select count(*) from mycook_recipe",
            [](void* out, int, char** values, char**) {
                *static_cast<int*>(out) = atoi(values[0]);
                return 0;
            },
            &extras, nullptr);
        EXPECT_EQ(extras, 0);
    }

    Save(); // no question: nothing of the first try is in the book
    EXPECT_EQ(Errors().size(), 1u);
    const TRecipe r = Stored(QStringLiteral("回锅肉"));
    EXPECT_EQ(r.Categories, QStringList({"川菜", "家常菜"}));
    EXPECT_EQ(r.Source, QStringLiteral("外婆川"));
    ASSERT_EQ(r.Pictures.size(), 1u);
    EXPECT_EQ(r.Pictures[0].Caption, QStringLiteral("川图"));
    EXPECT_TRUE(Ed().Categories->text().isEmpty());
}

TEST_F(ExtrasEditorTest, OverwriteKeepsWhatTheCookDidNotChange) {
    struct TCase {
        const char* What;
        std::function<void(ExtrasEditorTest&)> Change;
        std::function<void(const TRecipe& before, TRecipe& expected)> Expect;
    };
    const TCase cases[] = {
        {"nothing", [](ExtrasEditorTest&) {},
         [](const TRecipe&, TRecipe&) {
         }},
        {"categories",
         [](ExtrasEditorTest& t) { t.Enter(t.Ed().Categories, QStringLiteral("早餐")); },
         [](const TRecipe&, TRecipe& e) {
             e.Categories = {QStringLiteral("早餐")};
         }},
        {"categories emptied", [](ExtrasEditorTest& t) { t.Enter(t.Ed().Categories, {}); },
         [](const TRecipe&, TRecipe& e) {
             e.Categories.clear();
         }},
        {"favourite off",
         [](ExtrasEditorTest& t) {
             t.Ed().Favourite->setChecked(true);
             t.Ed().Favourite->setChecked(false);
         },
         [](const TRecipe&, TRecipe& e) {
             e.Favourite = false;
         }},
        {"a picture added and removed again",
         [](ExtrasEditorTest& t) {
             t.Ed().AddPictureJpeg(t.JpegFile(QStringLiteral("x.jpg"), {8, 8}, Qt::green));
             t.Ed().RemoveCurrentPicture();
         },
         [](const TRecipe&, TRecipe& e) {
             e.Pictures.clear();
         }},
        {"servings",
         [](ExtrasEditorTest& t) {
             t.Ed().Servings->setValue(12);
             t.Enter(t.Ed().ServingsUnit, QStringLiteral("个"));
         },
         [](const TRecipe&, TRecipe& e) {
             e.Servings = 12;
             e.ServingsUnit = QStringLiteral("个");
         }},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const QString name = QStringLiteral("菜%1").arg(++n);
        Type(name);
        FillAll(QStringLiteral("湘"));
        Save();
        const TRecipe before = Stored(name);

        Type(name, QStringLiteral("新料"));
        c.Change(*this);
        Answers.push_back(QMessageBox::Yes);
        Save();
        TRecipe after = Stored(name);
        TRecipe expected = before;
        c.Expect(before, expected);
        EXPECT_EQ(after.Columns.Ingredients, QStringLiteral("新料"));
        EXPECT_EQ(after.Added, before.Added);
        EXPECT_GE(after.Changed, before.Changed);
        for (TRecipe* r : {&after, &expected}) {
            r->Columns = {};
            r->Ingredients.clear();
            r->Changed = {};
        }
        EXPECT_EQ(after, expected);
    }
}

TEST_F(ExtrasEditorTest, WholeNameKeepsWhatTheNameBoxCuts) {
    const QString whole = QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧) 家常做法");
    ASSERT_GT(whole.size(), NameColumnChars);
    Ui().Edit1->setText(QString(NameColumnChars, u'长'));
    EXPECT_FALSE(Ed().NameHint->isHidden()); // the box is full: the whole name is offered
    Ed().ShowPanel(true);
    EXPECT_EQ(Ed().WholeName->text(), Ui().Edit1->text()); // to be typed on
    EXPECT_EQ(Ed().WholeName->cursorPosition(), NameColumnChars);
    Ed().ShowPanel(false);
    Ed().Clear();
    Ui().Edit1->clear();
    EXPECT_TRUE(Ed().NameHint->isHidden());

    Enter(Ed().WholeName, whole);
    EXPECT_EQ(Ui().Edit1->text(), CutToFit(whole, NameColumnChars));
    EXPECT_TRUE(Ed().NameHint->isHidden());
    Save();
    const TRecipe r = Stored(CutToFit(whole, NameColumnChars));
    EXPECT_EQ(r.Name, whole);
    EXPECT_EQ(r.Columns.Name.trimmed(), CutToFit(whole, NameColumnChars));

    // Overwriting without touching the whole name keeps it.
    Ui().Edit1->setText(CutToFit(whole, NameColumnChars));
    Answers.push_back(QMessageBox::Yes);
    Save();
    EXPECT_EQ(Stored(CutToFit(whole, NameColumnChars)).Name, whole);

    // Another name typed into the designed box: the whole name follows it.
    Enter(Ed().WholeName, whole);
    Enter(Ui().Edit1, QStringLiteral("叉烧"));
    EXPECT_EQ(Ed().WholeName->text(), QStringLiteral("叉烧"));
    Save();
    EXPECT_EQ(Stored(QStringLiteral("叉烧")).Name, QStringLiteral("叉烧"));
}

TEST_F(ExtrasEditorTest, PicturesAreAddedRemovedReorderedAndCaptioned) {
    const QByteArray a = JpegFile(QStringLiteral("a.jpg"), {20, 10}, Qt::red);
    const QByteArray b = JpegFile(QStringLiteral("b.JPEG"), {10, 20}, Qt::green);
    // Nothing chosen: the buttons that act on one are off and do nothing.
    EXPECT_FALSE(Ed().RemovePicture->isEnabled());
    Ed().RemoveCurrentPicture();
    Ed().MoveCurrentPicture(1);

    FileAnswers.push_back(Dir.filePath(QStringLiteral("a.jpg")));
    QTest::mouseClick(Ed().OpenPicture, Qt::LeftButton);
    FileAnswers.push_back(std::nullopt); // cancelled: nothing
    QTest::mouseClick(Ed().OpenPicture, Qt::LeftButton);
    Ed().AddPictureFile(Dir.filePath(QStringLiteral("b.JPEG")));
    ASSERT_EQ(Ed().Pictures().size(), 2u);
    EXPECT_EQ(Ed().Pictures()[0].Jpeg, a); // JPEG files keep their bytes
    EXPECT_EQ(Ed().Pictures()[1].Jpeg, b);

    // Pasted: a bitmap on the clipboard; nothing usable adds nothing.
    class TBoard : public TClipboard {
    public:
        bool Bitmap_ = true;
        bool HasBitmap() const override { return Bitmap_; }
        bool HasFormat(const QString&) const override { return false; }
        QImage Bitmap() const override {
            QImage image(6, 3, QImage::Format_RGB32);
            image.fill(Qt::yellow);
            return image;
        }
        QByteArray Data(const QString&) const override { return {}; }
    } board;
    SetClipboard(&board);
    QTest::mouseClick(Ed().PastePicture, Qt::LeftButton);
    board.Bitmap_ = false;
    QTest::mouseClick(Ed().PastePicture, Qt::LeftButton);
    SetClipboard(nullptr);
    ASSERT_EQ(Ed().Pictures().size(), 3u);
    EXPECT_EQ(Ed().CurrentPicture(), 2); // the new one is chosen

    Caption(0, QStringLiteral("切片"));
    Caption(1, QStringLiteral("  下锅 "));
    Caption(2, QStringLiteral("装盘"));
    EXPECT_EQ(Captions(), QStringList({"切片", "下锅", "装盘"}));
    EXPECT_TRUE(Ed().PictureList->item(1)->text().startsWith(QStringLiteral("下锅")));

    struct TMove {
        int From;
        const char* Button; // "up", "down", "remove"
        QStringList After;
        int Current;
    };
    const TMove moves[] = {
        {2, "up", {"切片", "装盘", "下锅"}, 1},
        {1, "up", {"装盘", "切片", "下锅"}, 0},
        {0, "up", {"装盘", "切片", "下锅"}, 0},   // the first goes no higher
        {2, "down", {"装盘", "切片", "下锅"}, 2}, // the last no lower
        {0, "down", {"切片", "装盘", "下锅"}, 1},
        {2, "remove", {"切片", "装盘"}, 1},
        {0, "remove", {"装盘"}, 0},
    };
    for (const TMove& m : moves) {
        SCOPED_TRACE(m.From);
        SCOPED_TRACE(m.Button);
        Ed().SetCurrentPicture(m.From);
        const std::string button = m.Button;
        TBitBtn* b = button == "up"     ? Ed().MoveUp
                     : button == "down" ? Ed().MoveDown
                                        : Ed().RemovePicture;
        // A button that cannot act is off; its action alone does nothing too.
        if (b->isEnabled())
            QTest::mouseClick(b, Qt::LeftButton);
        else if (button == "up")
            Ed().MoveCurrentPicture(-1);
        else
            Ed().MoveCurrentPicture(1);
        EXPECT_EQ(Captions(), m.After);
        EXPECT_EQ(Ed().CurrentPicture(), m.Current);
        EXPECT_EQ(Ed().PictureList->count(), int(m.After.size()));
    }

    // Delete on the list takes the chosen one out; with none left it does nothing.
    Ed().AddPictureJpeg(a);
    QTest::keyClick(Ed().PictureList, Qt::Key_Delete);
    QTest::keyClick(Ed().PictureList, Qt::Key_Delete);
    QTest::keyClick(Ed().PictureList, Qt::Key_Delete);
    EXPECT_TRUE(Ed().Pictures().empty());
    Ed().AddPictureJpeg(a);
    Caption(0, QStringLiteral("装盘"));

    // The step a picture shows follows it; 0 is the dish.
    Ed().SetCurrentPicture(0);
    Ed().Step->setValue(3);
    EXPECT_EQ(Ed().Pictures()[0].Step, 3);
    EXPECT_EQ(Ed().Caption->text(), QStringLiteral("装盘"));
}

TEST_F(ExtrasEditorTest, DroppedFilesAndBitmapsAreAddedOthersRefused) {
    JpegFile(QStringLiteral("a.jpg"), {20, 10}, Qt::red);
    const QString bmp = BitmapFile(QStringLiteral("b.bmp"), {4, 4});
    WriteFile(Dir.filePath(QStringLiteral("notes.txt")), "x");
    auto drop = [&](const QMimeData& data) {
        QWidget* target = Ed().PictureList->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    };
    struct TCase {
        QStringList Files; // empty: a bitmap instead
        bool Taken;
        size_t Count;
    };
    const TCase cases[] = {
        {{Dir.filePath(QStringLiteral("a.jpg")), bmp}, true, 2}, // several at once
        {{Dir.filePath(QStringLiteral("notes.txt"))}, false, 2},
        {{}, true, 3},
    };
    for (const TCase& c : cases) {
        QMimeData data;
        if (c.Files.isEmpty()) {
            QImage image(5, 5, QImage::Format_RGB32);
            image.fill(Qt::cyan);
            data.setImageData(image);
        } else {
            QList<QUrl> urls;
            for (const QString& f : c.Files)
                urls << QUrl::fromLocalFile(f);
            data.setUrls(urls);
        }
        EXPECT_EQ(drop(data), c.Taken);
        EXPECT_EQ(Ed().Pictures().size(), c.Count);
    }
    // A file that is no picture inside reports as "打开图片" does and adds nothing.
    QMimeData bad;
    bad.setUrls({QUrl::fromLocalFile(Dir.filePath(QStringLiteral("bad.bmp")))});
    WriteFile(Dir.filePath(QStringLiteral("bad.bmp")), "BMxx");
    drop(bad);
    EXPECT_EQ(Ed().Pictures().size(), 3u);
    EXPECT_FALSE(Errors().empty());
}

TEST_F(ExtrasEditorTest, CategoriesComeFromTheBookMostUsedFirst) {
    Ed().ReadBookCategories();
    EXPECT_TRUE(Ed().BookCategories().isEmpty()); // a book without our tables
    const char* saves[][2] = {{"甲", "川菜、早餐"}, {"乙", "川菜"}, {"丙", "粤菜，川菜"}};
    for (const auto& s : saves) {
        Type(QString::fromUtf8(s[0]));
        Enter(Ed().Categories, QString::fromUtf8(s[1]));
        Save();
    }
    // Counting every label of a large book after each save would hold the window:
    // they are read when the panel opens, and after a save while it is open.
    EXPECT_TRUE(Ed().BookCategories().isEmpty());
    Ed().ShowPanel(true);
    EXPECT_EQ(Ed().BookCategories(), QStringList({"川菜", "早餐", "粤菜"}));
    for (const char* name : {"丁", "戊"}) {
        Type(QString::fromUtf8(name));
        Enter(Ed().Categories, QStringLiteral("粤菜"));
        Save();
    }
    EXPECT_EQ(Ed().BookCategories(), QStringList({"川菜", "粤菜", "早餐"}));

    // Typing after a separator offers the book's categories for that part only.
    Ed().ShowPanel(true);
    Enter(Ed().Categories, QStringLiteral("家常菜、粤"));
    auto* completer = Ed().findChild<QCompleter*>();
    ASSERT_NE(completer, nullptr);
    EXPECT_EQ(completer->completionPrefix(), QStringLiteral("粤"));
    EXPECT_EQ(completer->currentCompletion(), QStringLiteral("粤菜"));
    Q_EMIT completer->activated(QStringLiteral("粤菜"));
    EXPECT_EQ(Ed().CategoryList(), QStringList({"家常菜", "粤菜"}));
}

TEST_F(ExtrasEditorTest, ThePanelLeavesTheDesignedControlsAndSaveInPlace) {
    Form->show();
    Form->BitBtn1Click();
    const QRect save = Ui().BitBtn5->geometry();
    const QRect image = Ui().Image2->geometry();
    EXPECT_TRUE(Ed().Panel->isHidden());
    QTest::mouseClick(Ed().More, Qt::LeftButton);
    EXPECT_TRUE(Ed().Panel->isVisible());
    EXPECT_EQ(Ed().More->text(), QStringLiteral("返回菜谱"));
    // "保存" and the way back stay reachable above the panel.
    EXPECT_EQ(Ui().TabSheet2->childAt(save.center()), Ui().BitBtn5);
    EXPECT_EQ(Ui().TabSheet2->childAt(Ed().More->geometry().center()), Ed().More);
    EXPECT_EQ(Ui().BitBtn5->geometry(), save);
    EXPECT_EQ(Ui().Image2->geometry(), image);
    EXPECT_EQ(Form->size(), QSize(703, 586));
    // The panel's controls sit inside the page and clear of the save button.
    for (QWidget* w : Ed().Panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(Ed().Panel->rect().contains(w->geometry())) << w->metaObject()->className();
        EXPECT_FALSE(w->geometry().intersects(save)) << w->metaObject()->className();
    }
    QTest::mouseClick(Ed().More, Qt::LeftButton);
    EXPECT_TRUE(Ed().Panel->isHidden());
    EXPECT_EQ(Ed().More->text(), QStringLiteral("更多信息"));
}
} // namespace
