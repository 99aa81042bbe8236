// Takes the documentation's screenshots of the main window on a real display
// (run under Xvfb): shot OUT_FOLDER [dark]. Uses a throw-away book in a temp folder;
// "dark" gives the desktop a dark palette first, to see that the skin stays readable.
#include "AppLocale.h"
#include "AppSetup.h"
#include "CookingView.h"
#include "ErrorDisplay.h"
#include "MsgShell.h"
#include "PictureIo.h"
#include "ProgressWindow.h"
#include "RecipeBrowse.h"
#include "RecipeExtras.h"
#include "RecipeExtrasEditor.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "ScaleControl.h"
#include "ShoppingListWindow.h"
#include "Unit_main.h"
#include "WinSkinDlg.h"
#include "ui_Unit_main.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {
void Grab(QWidget& window, const QString& path);
QImage Dish();

// The entry page's "更多信息" side, filled in as a cook would.
void ShootExtras(TForm_main& form, const QString& path) {
    TRecipeExtrasEditor& ed = form.Extras().ExtrasEditor();
    ed.ShowPanel(true);
    auto type = [](QLineEdit* edit, const QString& text) {
        edit->setText(text);
        Q_EMIT edit->textEdited(text);
    };
    type(ed.WholeName, QStringLiteral("虾仁炒青菜（外婆的家常做法）"));
    type(ed.Categories, QStringLiteral("家常菜、快手菜、海鲜"));
    ed.Servings->setValue(2);
    type(ed.ServingsUnit, QStringLiteral("人份"));
    type(ed.PrepTime, QStringLiteral("15分钟"));
    type(ed.CookTime, QStringLiteral("5分钟"));
    type(ed.TotalTime, QStringLiteral("20分钟"));
    type(ed.Source, QStringLiteral("外婆"));
    ed.Favourite->setChecked(true);
    const QString steps[] = {QStringLiteral("腌虾仁"), QStringLiteral("爆香蒜和辣椒"),
                             QStringLiteral("大火快炒")};
    for (int i = 0; i < 3; ++i) {
        TBitmap bitmap;
        bitmap.SetImage(Dish().scaled(160 + i * 40, 120));
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        ed.AddPictureJpeg(jpeg.Data());
        type(ed.Caption, steps[i]);
        ed.Step->setValue(i + 1);
    }
    Grab(form, path);
    ed.ShowPanel(false);
}

void Grab(QWidget& window, const QString& path) {
    QTest::qWait(500);
    QScreen* screen = window.screen();
    const QRect frame = window.frameGeometry();
    const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(path))
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
}

// Grabs the modal window that `open` shows (after `prepare`), then closes it.
void GrabModal(const QString& path, const std::function<void()>& open,
               const std::function<void(QWidget&)>& prepare = {}) {
    QTimer::singleShot(900, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (prepare)
                prepare(*modal);
            Grab(*modal, path);
            modal->close();
        }
    });
    open();
}

QImage Dish() {
    QImage image(QStringLiteral(":/app/splash.jpg"));
    return image.isNull() ? QImage(480, 324, QImage::Format_RGB32) : image;
}
// A part of the dish photograph as JPEG bytes, standing in for a step's photo.
QByteArray DishPart(const QRect& part) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    Dish().copy(part).scaled(400, 270, Qt::KeepAspectRatioByExpanding).save(&buffer, "JPEG", 85);
    return jpeg;
}

// Recipes with categories, times, a source and step pictures beside the designed row.
void AddRecipesWithExtras(TForm_main& form) {
    TRecipeStore store(form.ADOConnection1);
    auto add = [&](const QString& name, const QStringList& categories, bool favourite,
                   const QStringList& steps, std::vector<TRecipePicture> pictures) {
        TRecipe r;
        r.Name = name;
        r.Ingredients = QStringLiteral("五花肉 300克\n青蒜 2根\n郫县豆瓣 1勺\n甜面酱 半勺");
        for (const QString& step : steps)
            r.Steps.push_back({step, false, {}});
        r.Note = QStringLiteral("肉片要煸到微卷，出油后再下豆瓣。");
        r.Categories = categories;
        r.Favourite = favourite;
        r.Servings = 4;
        r.ServingsUnit = QStringLiteral("人份");
        r.PrepTime = QStringLiteral("PT15M");
        r.CookTime = QStringLiteral("PT1H");
        r.Source = QStringLiteral("https://www.example.com/recipes/huiguorou");
        r.Pictures = std::move(pictures);
        r.Columns = ColumnsFor(r);
        store.Append(form.ADOQuery1, r);
    };
    const QStringList steps = {QStringLiteral("五花肉冷水下锅，煮二十分钟至筷子能插透。"),
                               QStringLiteral("捞出放凉，切成薄片。"),
                               QStringLiteral("锅中少油，下肉片煸至出油、微卷。"),
                               QStringLiteral("下豆瓣和甜面酱炒出红油，放青蒜翻匀出锅。")};
    add(QStringLiteral("回锅肉"), {QStringLiteral("川菜"), QStringLiteral("家常菜")}, true, steps,
        {{DishPart(QRect(0, 0, 240, 162)), 2, QStringLiteral("切得越薄越容易卷")},
         {DishPart(QRect(240, 162, 240, 162)), 4, QStringLiteral("青蒜最后下，断生即可")}});
    add(QStringLiteral("麻婆豆腐"), {QStringLiteral("川菜")}, false, steps, {});
    add(QStringLiteral("水煮牛肉"), {QStringLiteral("川菜")}, true, steps, {});
    add(QStringLiteral("番茄炒蛋"), {QStringLiteral("家常菜"), QStringLiteral("快手菜")}, false,
        steps, {});
    add(QStringLiteral("小笼包"), {QStringLiteral("早餐")}, false, steps, {});
    add(QStringLiteral("皮蛋瘦肉粥"), {QStringLiteral("早餐"), QStringLiteral("粥")}, true, steps,
        {});
}
// Five dishes for a week's shopping and a stove: amounts in every form, durations in the steps.
void AddCookingRecipes(TForm_main& form) {
    TRecipeStore store(form.ADOConnection1);
    auto add = [&](const QString& name, const QString& ingredients, const QStringList& steps,
                   double servings) {
        TRecipe r;
        r.Name = name;
        r.Ingredients = ingredients;
        for (const QString& step : steps)
            r.Steps.push_back({step, false, QString()});
        r.Servings = servings;
        r.ServingsUnit = servings > 0 ? QStringLiteral("人份") : QString();
        r.Columns = ColumnsFor(r);
        store.Append(form.ADOQuery1, r);
    };
    add(QStringLiteral("红烧肉"),
        QStringLiteral("五花肉 500克\n冰糖 15～20克\n生抽 2汤匙\n老抽 1/2 勺\n料酒 1-2勺\n"
                       "姜 3片\n葱 2根\n八角 2个\n盐 适量"),
        {QStringLiteral("五花肉切成麻将块，冷水下锅焯水5分钟，捞出洗净。"),
         QStringLiteral("锅中放少许油，小火把冰糖炒成枣红色的糖色。"),
         QStringLiteral("下肉块翻炒上色，加姜、葱、八角、料酒、生抽和老抽炒匀。"),
         QStringLiteral("加开水没过肉，大火烧开后转小火炖40分钟，再盖上锅盖焖 1 小时。"),
         QStringLiteral("开大火收汁，汤汁浓稠裹满肉块即可。")},
        4);
    add(QStringLiteral("番茄炒蛋"), QStringLiteral("鸡蛋 3个\n番茄 两个\n葱 1根\n糖 半勺\n盐 少许"),
        {QStringLiteral("鸡蛋打散，番茄切块。"), QStringLiteral("先炒鸡蛋，盛出。"),
         QStringLiteral("炒番茄出汁，放回鸡蛋，加糖和盐炒匀。")},
        2);
    add(QStringLiteral("麻婆豆腐"),
        QStringLiteral("嫩豆腐 1块\n牛肉末 100克\n郫县豆瓣 1勺\n花椒 少许\n蒜 3瓣\n淀粉 1茶匙"),
        {QStringLiteral("豆腐切块，用淡盐水焯2分钟。"),
         QStringLiteral("炒香牛肉末和豆瓣，加水下豆腐，小火煮5分钟。"),
         QStringLiteral("勾芡，撒花椒面出锅。")},
        3);
    add(QStringLiteral("清蒸鲈鱼"), QStringLiteral("鲈鱼 1条\n姜 5片\n葱 3根\n蒸鱼豉油 2汤匙"),
        {QStringLiteral("鲈鱼处理干净，鱼身划几刀，铺上姜片。"),
         QStringLiteral("水开后上锅蒸8分钟，关火再焖2分钟。"),
         QStringLiteral("倒掉盘中的水，铺葱丝，淋热油和蒸鱼豉油。")},
        2);
    add(QStringLiteral("蒜蓉西兰花"),
        QStringLiteral("西兰花 1颗\n蒜 6瓣\n盐 适量\n2 tbsp olive oil"),
        {QStringLiteral("西兰花掰小朵，焯水1分钟。"),
         QStringLiteral("蒜蓉爆香，下西兰花大火快炒。")},
        0);
}

// The browse page scrolled to the top, the scale bar beside it.
void ShootScaled(TForm_main& form, const QString& path) {
    QTest::qWait(200);
    form.Controls().RichEdit1->verticalScrollBar()->setValue(0);
    Grab(form, path);
}
} // namespace

int main(int argc, char** argv) {
    PrepareChineseLocale();
    QApplication app(argc, argv);
    SetUpApplication();
    InitializeSkinUnits();
    if (argc != 2 && !(argc == 3 && qstrcmp(argv[2], "dark") == 0)) {
        std::fprintf(stderr, "usage: shot OUT_FOLDER [dark]\n");
        return 1;
    }
    if (argc == 3) {
        QPalette dark(QColor(50, 50, 54), QColor(35, 35, 38));
        QApplication::setPalette(dark);
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Yes; });
    QTemporaryDir book;
    TForm_main form(book.path());
    Ui::TForm_main& ui = form.Controls();
    form.move(40, 40);
    form.show();
    form.activateWindow();
    (void)QTest::qWaitForWindowActive(&form, 3000); // a window manager may never activate it
    Grab(form, out.filePath(QStringLiteral("screenshot-main.png")));

    // Entry page with a fitted picture.
    ui.BitBtn1->click();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(Dish());
    ui.Image2->Picture().SetGraphic(std::move(bitmap));
    FitImageToBox(*ui.Image2, 300, 200);
    ui.Edit1->setText(QStringLiteral("虾仁炒青菜"));
    ui.Memo1->setPlainText(QStringLiteral("青菜 300克\n鲜虾仁 150克\n干辣椒 5个\n蒜 3瓣"));
    ui.Memo2->setPlainText(QStringLiteral(
        "1. 虾仁用盐和淀粉抓匀，腌十分钟。\n2. 热锅下油，爆香蒜和辣椒。\n3. 下虾仁炒至变色，"
        "再下青菜大火快炒。\n4. 加盐调味，出锅装盘。"));
    ui.Memo3->setPlainText(QStringLiteral("青菜要大火快炒，才能保持翠绿。"));
    Grab(form, out.filePath(QStringLiteral("screenshot-entry.png")));
    ShootExtras(form, out.filePath(QStringLiteral("screenshot-entry-extras.png")));
    RunGuarded([&] { form.BitBtn5Click(); });

    // Browse page showing the recipe with its picture.
    ui.BitBtn2->click();
    ui.Edit2->setText(QStringLiteral("虾"));
    RunGuarded([&] { form.BitBtn6Click(); });
    ui.ListBox1->SetItemIndex(0);
    RunGuarded([&] { form.ListBox1Click(); });
    Grab(form, out.filePath(QStringLiteral("screenshot-browse.png")));

    // The view with the recipe's extras, and the list narrowed by a category.
    AddRecipesWithExtras(form);
    ui.Edit2->clear();
    RunGuarded([&] { form.BitBtn6Click(); });
    const int at = int(ui.ListBox1->Items().IndexOf(u"回锅肉"));
    ui.ListBox1->SetItemIndex(at);
    Q_EMIT ui.ListBox1->Click();
    QTest::qWait(300);
    // From the extras on: the designed lines and the cover are above.
    const QTextBlock extras = ui.RichEdit1->document()->find(QStringLiteral("分类：")).block();
    ui.RichEdit1->verticalScrollBar()->setValue(
        int(ui.RichEdit1->document()->documentLayout()->blockBoundingRect(extras).top()) - 30);
    Grab(form, out.filePath(QStringLiteral("screenshot-view-extras.png")));
    form.Extras().Browse().ChooseCategory(QStringLiteral("川菜"));
    ui.ListBox1->SetItemIndex(0);
    Q_EMIT ui.ListBox1->Click();
    QTest::qWait(300);
    Grab(form, out.filePath(QStringLiteral("screenshot-browse-category.png")));
    form.Extras().Browse().ChooseCategory(QString());

    // Cooking: the view scaled ×2 and ×½, a shopping list of five, the stove.
    AddCookingRecipes(form);
    ui.Edit2->clear();
    RunGuarded([&] { form.BitBtn6Click(); });
    const QStringList names = ui.ListBox1->Items().ToStringList();
    auto click = [&](const QString& name, Qt::KeyboardModifiers modifiers) {
        // The dishes added last, where an earlier one shares the name
        const QModelIndex index = ui.ListBox1->model()->index(int(names.lastIndexOf(name)), 0);
        QTest::mouseClick(ui.ListBox1->viewport(), Qt::LeftButton, modifiers,
                          ui.ListBox1->visualRect(index).center());
    };
    click(QStringLiteral("红烧肉"), Qt::NoModifier);
    form.Extras().Scale().SetServings(8);
    ShootScaled(form, out.filePath(QStringLiteral("screenshot-view-scaled-x2.png")));
    form.Extras().Scale().SetServings(2);
    ShootScaled(form, out.filePath(QStringLiteral("screenshot-view-scaled-half.png")));
    form.Extras().Scale().Reset();
    for (const QString& name : {QStringLiteral("番茄炒蛋"), QStringLiteral("麻婆豆腐"),
                                QStringLiteral("清蒸鲈鱼"), QStringLiteral("蒜蓉西兰花")})
        click(name, Qt::ControlModifier);
    RunGuarded([&] { form.Extras().ShowShoppingList(); });
    if (TShoppingListWindow* list = form.Extras().ShoppingList()) {
        list->move(60, 60);
        QTest::qWait(400);
        Grab(*list, out.filePath(QStringLiteral("screenshot-shopping-list.png")));
        list->close();
    }
    click(QStringLiteral("红烧肉"), Qt::NoModifier);
    form.Extras().Scale().SetServings(8);
    RunGuarded([&] { form.Extras().StartCooking(); });
    if (TCookingView* cooking = form.Extras().Cooking()) {
        cooking->move(20, 20);
        cooking->ShowStep(3);
        cooking->StartTimer(0);
        cooking->StartTimer(1);
        QTest::qWait(1500);
        Grab(*cooking, out.filePath(QStringLiteral("screenshot-cooking.png")));
        cooking->close();
    }
    form.Extras().Scale().Reset();

    // The real boxes and dialogs, skinned as the running program shows them.
    SetMessageHook(nullptr);
    GrabModal(out.filePath(QStringLiteral("screenshot-info.png")),
              [] { ShowInfo(QStringLiteral("保存完毕")); });
    GrabModal(out.filePath(QStringLiteral("screenshot-question.png")),
              [] { AskYesNo(QStringLiteral("存在该菜名，是否要覆盖？")); });
    QTemporaryDir pictures;
    const QString dish = QDir(pictures.path()).filePath(QStringLiteral("dish.jpg"));
    Dish().save(dish, "JPEG");
    GrabModal(
        out.filePath(QStringLiteral("screenshot-open-picture.png")),
        [&] { form.OpenPictureDialog1.Execute(); },
        [&](QWidget& modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(&modal)) {
                // The folder's listing loads in the background: select once it is there.
                dialog->setDirectory(pictures.path());
                QTest::qWait(600);
                dialog->selectFile(dish);
                // The list's own current item is what drives the preview.
                if (auto* view =
                        dialog->findChild<QAbstractItemView*>(QStringLiteral("treeView"))) {
                    const QModelIndex first = view->model()->index(0, 0, view->rootIndex());
                    if (first.isValid())
                        view->setCurrentIndex(first);
                }
                QTest::qWait(600);
            }
        });
    GrabModal(out.filePath(QStringLiteral("screenshot-save.png")),
              [&] { form.SaveDialog1.Execute(); });
    GrabModal(out.filePath(QStringLiteral("screenshot-import-summary.png")), [] {
        ShowMessage(
            {QStringLiteral("提示"),
             QStringLiteral("导入完毕\n导入 0 个，覆盖 0 个，跳过 0 个，无法读取的文件 1 个"),
             QMessageBox::Warning, QMessageBox::Ok, QMessageBox::NoButton,
             QStringLiteral("x.html：网页里没有菜谱数据")});
    });
    {
        TProgressWindow progress(&form, QStringLiteral("正在导入菜谱…"));
        QTest::qWait(TProgressWindow::ShowDelayMs + 100);
        progress.Step(3, 10);
        Grab(progress, out.filePath(QStringLiteral("screenshot-progress.png")));
    }
    QMenu* menu = ui.Edit2->createStandardContextMenu();
    menu->popup(form.mapToGlobal(QPoint(260, 200)));
    QTest::qWait(500);
    Grab(*menu, out.filePath(QStringLiteral("screenshot-menu.png")));
    menu->close();
    delete menu;
    FinalizeSkinUnits();
    return 0;
}
