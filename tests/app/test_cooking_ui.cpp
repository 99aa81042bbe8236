// Cooking with the book through the window: the view scaled in place and back
// (and what print, PDF and RTF carry of it), the shopping list of several chosen
// recipes with its QR code read back, and the cooking view with its timers.
#include "CookingView.h"
#include "ExtrasSupport.h"
#include "QrCode.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "ScaleControl.h"
#include "ShoppingListWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class CookingUiTest : public TExtrasFixture {
protected:
    void SetUp() override { Open(); }
    void AddWhole(const QString& name, const QString& ingredients, double servings,
                  const QStringList& steps = {}) {
        TRecipe r;
        r.Name = name;
        r.Ingredients = ingredients;
        for (const QString& step : steps)
            r.Steps.push_back({step, false, QString()});
        if (steps.isEmpty())
            r.Steps.push_back({u"做好。"_s, false, QString()});
        r.Servings = servings;
        r.ServingsUnit = servings > 0 ? u"人份"_s : QString();
        r.Columns = ColumnsFor(r);
        TRecipeStore store(Form->ADOConnection1);
        store.Append(Form->ADOQuery1, r);
    }
    void ViewNamed(const QString& name) {
        Search(QString());
        View(int(Listed().indexOf(name)));
    }
    TScaleControl& Scale() { return Form->Extras().Scale(); }
    QStringList Lines() { return ViewText().split(u'\n'); }
};

const QString Pork = u"五花肉 500克\n鸡蛋 1个\n青蒜 2根\n盐 适量\n郫县豆瓣 1勺"_s;

TEST_F(CookingUiTest, ServingsScaleTheViewInPlaceAndBack) {
    AddWhole(u"回锅肉"_s, Pork, 4);
    ViewNamed(u"回锅肉"_s);
    const QString before = ViewText();
    ASSERT_TRUE(before.contains(u"份量：4 人份"_s));
    ASSERT_TRUE(Scale().ByServings());
    EXPECT_EQ(Scale().Servings->value(), 4);

    const struct {
        int Servings;
        QStringList Expected; // lines the view must hold
    } cases[] = {
        {8,
         {u"原料（按 8 人份换算）:"_s, u"五花肉 1000克"_s, u"鸡蛋 2个"_s, u"青蒜 4根"_s,
          u"盐 适量〔未换算〕"_s, u"郫县豆瓣 2勺"_s, u"份量：8 人份（原为 4 人份）"_s}},
        {2,
         {u"原料（按 2 人份换算）:"_s, u"五花肉 250克"_s, u"鸡蛋 1/2个"_s, u"青蒜 1根"_s,
          u"郫县豆瓣 1/2勺"_s, u"份量：2 人份（原为 4 人份）"_s}},
        {3, {u"五花肉 375克"_s, u"鸡蛋 3/4个"_s, u"青蒜 1.5根"_s}},
        {1, {u"五花肉 125克"_s, u"鸡蛋 1/4个"_s, u"青蒜 1/2根"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Servings);
        Scale().Servings->setValue(c.Servings); // as the cook turns the box
        const QStringList lines = Lines();
        for (const QString& line : c.Expected)
            EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\n"
                                              << ViewText().toStdString();
        EXPECT_FALSE(ViewText().contains(u"五花肉 500克"_s));
        EXPECT_TRUE(Scale().ResetButton->isEnabled());
    }
    Scale().ResetButton->click();
    EXPECT_EQ(ViewText(), before);
    EXPECT_EQ(Scale().Servings->value(), 4);
    Scale().Servings->setValue(8);
    Scale().Servings->setValue(4);
    EXPECT_EQ(ViewText(), before) << "back by the box too";
    // Another recipe shows unscaled, whatever the last one was scaled to.
    Scale().Servings->setValue(12);
    AddWhole(u"蒜苗炒肉"_s, u"猪肉 200克"_s, 2);
    ViewNamed(u"蒜苗炒肉"_s);
    EXPECT_TRUE(Lines().contains(u"猪肉 200克"_s));
    EXPECT_EQ(Scale().Factor(), 1);
    EXPECT_EQ(Scale().Servings->value(), 2);
}

TEST_F(CookingUiTest, WithoutServingsByFactor) {
    Add(u"拍黄瓜"_s, u"黄瓜 2根\n蒜 3瓣\n香醋 1汤匙"_s);
    ViewNamed(u"拍黄瓜"_s);
    const QString before = ViewText();
    EXPECT_FALSE(Scale().ByServings());
    const struct {
        double Factor;
        QStringList Expected;
    } cases[] = {
        {0.5, {u"原料（按 ×½ 换算）:"_s, u"黄瓜 1根"_s, u"蒜 1.5瓣"_s, u"香醋 1/2汤匙"_s}},
        {2, {u"原料（按 ×2 换算）:"_s, u"黄瓜 4根"_s, u"蒜 6瓣"_s, u"香醋 2汤匙"_s}},
        {3, {u"黄瓜 6根"_s, u"蒜 9瓣"_s, u"香醋 3汤匙"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Factor);
        const int at = Scale().Factors->findData(c.Factor);
        ASSERT_GE(at, 0);
        Scale().Factors->setCurrentIndex(at);
        Q_EMIT Scale().Factors->activated(at);
        for (const QString& line : c.Expected)
            EXPECT_TRUE(Lines().contains(line)) << line.toStdString();
    }
    Scale().Reset();
    EXPECT_EQ(ViewText(), before);
}

// The designed line holds the column's cut text; the whole list shows under
// 完整原料 — both scale, and the designed seven lines around them stay.
TEST_F(CookingUiTest, CutIngredientsScaleInBothPlaces) {
    QString many;
    for (int i = 0; i < 30; ++i)
        many += u"配料%1 %2克\n"_s.arg(i).arg(10 + i);
    many += u"最后一样 1个"_s;
    AddWhole(u"杂烩"_s, many, 0);
    ViewNamed(u"杂烩"_s);
    ASSERT_TRUE(ViewText().contains(u"完整原料:"_s));
    Scale().SetFactor(2);
    const QStringList lines = Lines();
    EXPECT_TRUE(lines.contains(u"配料0 20克"_s));
    EXPECT_EQ(lines.count(u"配料0 20克"_s), 2) << "in the designed line and in the whole list";
    EXPECT_TRUE(lines.contains(u"最后一样 2个"_s));
    EXPECT_EQ(lines.at(0), u"杂烩"_s);
    EXPECT_TRUE(lines.contains(u"做法:"_s));
    EXPECT_TRUE(lines.contains(u"说明:"_s));
}

TEST_F(CookingUiTest, PrintPdfAndRtfCarryTheScaledView) {
    AddWhole(u"回锅肉"_s, Pork, 4);
    ViewNamed(u"回锅肉"_s);
    Scale().SetServings(8);
    // RTF through the designed export
    const QString rtf = Dir.filePath(u"scaled.rtf"_s);
    FileAnswers = {rtf};
    Form->BitBtn7Click();
    QFile file(rtf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // "1000" and the GB2312 bytes of 克 after it
    EXPECT_TRUE(bytes.contains("1000")) << bytes.left(400).toStdString();
    EXPECT_FALSE(bytes.contains("500\\'bf\\'cb"));
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    const QString pdf = Dir.filePath(u"scaled.pdf"_s);
    FileAnswers = {pdf};
    Form->Extras().ExportPdf();
    const QString text = Poppler(u"pdftotext"_s, {pdf, u"-"_s});
    EXPECT_TRUE(text.contains(u"五花肉 1000克"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"份量：8 人份（原为 4 人份）"_s));
    EXPECT_TRUE(text.contains(u"〔未换算〕"_s));
}

TEST_F(CookingUiTest, ShoppingListOfChosenRecipesWithItsQrCode) {
    AddWhole(u"回锅肉"_s, u"五花肉 500克\n青蒜 2根\n盐 适量"_s, 4);
    AddWhole(u"红烧肉"_s, u"五花肉 300克\n冰糖 30克\n盐 适量"_s, 4);
    AddWhole(u"番茄炒蛋"_s, u"鸡蛋 2个\n番茄 2个\n盐 适量"_s, 2);
    AddWhole(u"蒸蛋"_s, u"鸡蛋 3个\n虾仁 50克"_s, 2);
    AddWhole(u"麻婆豆腐"_s, u"嫩豆腐 1块\n牛肉末 100克\n花椒 少许"_s, 2);
    AddWhole(u"凉拌木耳"_s, u"木耳 20克"_s, 2);
    Search(QString());
    // A plain click, then Ctrl-clicks: the view follows the last click.
    const QStringList names = Listed();
    QAbstractItemView& list = *Ui().ListBox1;
    list.show();
    for (const QString& name :
         {u"回锅肉"_s, u"红烧肉"_s, u"番茄炒蛋"_s, u"蒸蛋"_s, u"麻婆豆腐"_s}) {
        const QPoint at =
            list.visualRect(list.model()->index(int(names.indexOf(name)), 0)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton,
                          name == u"回锅肉"_s ? Qt::NoModifier : Qt::ControlModifier, at);
    }
    EXPECT_EQ(Ui().ListBox1->SelectedIndexes().size(), 5);
    EXPECT_TRUE(ViewText().startsWith(u"麻婆豆腐"_s));
    const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
    QAction* shopping = menu->actions().last();
    ASSERT_EQ(shopping->text(), u"购物清单…"_s);
    ASSERT_TRUE(shopping->isEnabled());
    shopping->trigger();
    TShoppingListWindow* window = Form->Extras().ShoppingList();
    ASSERT_NE(window, nullptr);
    const QString text = window->Text();
    EXPECT_EQ(text, u"购物清单：回锅肉、红烧肉、番茄炒蛋、蒸蛋、麻婆豆腐\n"
                    u"【肉禽蛋】\n五花肉 800克\n鸡蛋 5个\n牛肉末 100克\n"
                    u"【水产】\n虾仁 50克\n"
                    u"【蔬菜】\n青蒜 2根\n番茄 2个\n"
                    u"【豆制品】\n嫩豆腐 1块\n"
                    u"【调料】\n盐 适量\n冰糖 30克\n花椒 少许"_s);
    EXPECT_EQ(window->List->count(), 15); // ten lines and five group headings

    // Ticking off what is at home leaves it out of what is carried away.
    QListWidgetItem* eggs = window->List->findItems(u"鸡蛋　5个"_s, Qt::MatchExactly).value(0);
    ASSERT_NE(eggs, nullptr);
    Q_EMIT window->List->itemClicked(eggs);
    EXPECT_EQ(eggs->checkState(), Qt::Checked);
    EXPECT_FALSE(window->Text().contains(u"鸡蛋"_s));
    window->CopyText();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), window->Text());
    Q_EMIT window->List->itemClicked(eggs);
    EXPECT_EQ(window->Text(), text);

    // The code a phone reads holds the list.
    ASSERT_EQ(window->QrTexts().size(), 1);
    if (QStandardPaths::findExecutable(u"zbarimg"_s).isEmpty())
        GTEST_SKIP() << "zbar-tools not installed";
    const QString png = Dir.filePath(u"list-qr.png"_s);
    ASSERT_TRUE(window->QrPicture(0).save(png));
    QProcess zbar;
    zbar.start(u"zbarimg"_s, {u"--raw"_s, u"-q"_s, png});
    ASSERT_TRUE(zbar.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(zbar.readAllStandardOutput()), text + u'\n');

    // The PDF holds the list's text.
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        return;
    const QString pdf = Dir.filePath(u"list.pdf"_s);
    FileAnswers = {pdf};
    window->ExportPdf();
    const QString pdfText = Poppler(u"pdftotext"_s, {pdf, u"-"_s});
    EXPECT_TRUE(pdfText.contains(u"五花肉 800克"_s)) << pdfText.toStdString();
    EXPECT_TRUE(pdfText.contains(u"【豆制品】"_s));
}

TEST_F(CookingUiTest, ShoppingListTakesTheViewsScale) {
    AddWhole(u"回锅肉"_s, u"五花肉 500克"_s, 4);
    ViewNamed(u"回锅肉"_s);
    Scale().SetServings(8);
    Form->Extras().ShowShoppingList();
    EXPECT_TRUE(Form->Extras().ShoppingList()->Text().contains(u"五花肉 1000克"_s));
}

TEST_F(CookingUiTest, CookingViewStepsKeysAndTimers) {
    AddWhole(u"红烧肉"_s, u"五花肉 500克\n冰糖 30克"_s, 4,
             {u"五花肉切块，冷水下锅焯水5分钟。"_s, u"炒糖色，下肉翻炒均匀。"_s,
              u"加水没过肉，大火烧开后转小火炖40分钟，再焖 1 小时。"_s, u"大火收汁。"_s});
    ViewNamed(u"红烧肉"_s);
    Scale().SetServings(8);
    ASSERT_TRUE(Scale().CookButton->isEnabled());
    Scale().CookButton->click();
    TCookingView* cooking = Form->Extras().Cooking();
    ASSERT_NE(cooking, nullptr);
    EXPECT_TRUE(cooking->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr)
        << "the window never stands as a question";
    EXPECT_EQ(cooking->StepCount(), 4);
    EXPECT_EQ(cooking->Ingredients(), (QStringList{u"五花肉 1000克"_s, u"冰糖 60克"_s}));

    const struct {
        Qt::Key Key;
        int Step;
    } keys[] = {{Qt::Key_Right, 1}, {Qt::Key_Space, 2}, {Qt::Key_Right, 3}, {Qt::Key_Right, 3},
                {Qt::Key_Left, 2},  {Qt::Key_Left, 1},  {Qt::Key_Left, 0},  {Qt::Key_Left, 0},
                {Qt::Key_Space, 1}, {Qt::Key_Space, 2}};
    for (const auto& k : keys) {
        QTest::keyClick(cooking, k.Key);
        EXPECT_EQ(cooking->Step(), k.Step) << k.Key;
    }
    const auto offered = cooking->Offered();
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].first, u"第3步 大火烧开后转小火炖40分钟"_s);
    EXPECT_EQ(offered[0].second, 2400);
    EXPECT_EQ(offered[1].first, u"第3步 再焖 1 小时"_s);
    EXPECT_EQ(offered[1].second, 3600);
    cooking->StartTimer(0);
    cooking->StartTimer(1);
    ASSERT_EQ(cooking->Timers().size(), 2u);
    EXPECT_GE(cooking->Remaining(0), 2399);
    EXPECT_LE(cooking->Remaining(0), 2400);
    EXPECT_TRUE(cooking->Notice().isEmpty());
    // Moving on leaves the timers running.
    QTest::keyClick(cooking, Qt::Key_Right);
    EXPECT_EQ(cooking->Timers().size(), 2u);
    cooking->EndTimerNow(0);
    EXPECT_TRUE(cooking->Timers()[0].Done);
    EXPECT_FALSE(cooking->Timers()[1].Done);
    EXPECT_EQ(cooking->Notice(), u"⏰ 第3步 大火烧开后转小火炖40分钟：时间到了"_s);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the notice is no box";
    EXPECT_TRUE(cooking->Timers()[1].Label->text().endsWith(u"59:59"_s) ||
                cooking->Timers()[1].Label->text().endsWith(u"1:00:00"_s))
        << cooking->Timers()[1].Label->text().toStdString();
    // Esc closes and stops every timer.
    QTest::keyClick(cooking, Qt::Key_Escape);
    EXPECT_FALSE(cooking->isVisible());
    EXPECT_TRUE(cooking->Timers().empty());
}

TEST_F(CookingUiTest, NothingShownNothingOffered) {
    Add(u"白粥"_s, u"大米 100克"_s);
    Search(QString());
    EXPECT_FALSE(Scale().CookButton->isVisible());
    const std::unique_ptr<QMenu> menu = Form->Extras().RichEdit1Menu();
    EXPECT_FALSE(menu->actions().last()->isEnabled());
    Form->Extras().StartCooking();
    EXPECT_EQ(Form->Extras().Cooking(), nullptr);
    Form->Extras().ShowShoppingList(); // nothing chosen
    EXPECT_EQ(Form->Extras().ShoppingList(), nullptr);
}

} // namespace
