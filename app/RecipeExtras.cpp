#include "RecipeExtras.h"

#include "ADODB.h"
#include "AccessDb.h"
#include "BackupNotice.h"
#include "BookBackup.h"
#include "BookSyncUi.h"
#include "BusyCursor.h"
#include "Clipboard.h"
#include "Controls.h"
#include "CookingView.h"
#include "ErrorDisplay.h"
#include "FileNames.h"
#include "FirstPaint.h"
#include "ImageControl.h"
#include "KindControls.h"
#include "MsgShell.h"
#include "PictureDrop.h"
#include "PictureIo.h"
#include "RecipeBrowse.h"
#include "RecipeDelete.h"
#include "RecipeExtrasEditor.h"
#include "RecipeImportUi.h"
#include "RecipeLookup.h"
#include "RecipePaste.h"
#include "RecipePrint.h"
#include "RecipeStore.h"
#include "RecipeView.h"
#include "ScaleControl.h"
#include "SearchSuggest.h"
#include "ShoppingListWindow.h"

#include <QDate>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QTextBlock>

namespace {
// The dish name as a file name: characters no file name may hold become "_".
QString SuggestedPdfName(const QString& dishName) {
    QString name = dishName.trimmed();
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'_';
    return name.isEmpty() ? QString() : name + QStringLiteral(".pdf");
}
} // namespace

TRecipeExtras::TRecipeExtras(TWindowSite site)
    : SavePdfDialog(&site.Window), FSite(std::move(site)) {
    Connect();
}

TRecipeExtras::~TRecipeExtras() {
    // The suggestions and the copy go first; no event of the window reaches this
    // object while they do.
    FSite.Window.removeEventFilter(this);
    FSite.ListBox1.removeEventFilter(this);
    FSite.Image2.removeEventFilter(this);
}

void TRecipeExtras::Connect() {
    FBookExisted = BookFileExists(FSite.BookPath);
    FSite.Connection.SetWaitHandler(ShowBusyUntilIdle);
    // A save's disk flushes never hold the window.
    FSite.Connection.SetCommitAside(true);
    SavePdfDialog.SetFilter(QStringLiteral("PDF|*.pdf"));
    FSite.Window.installEventFilter(this);
    FSite.ListBox1.installEventFilter(this);
    FSite.Image2.installEventFilter(this);
    FSite.Image2.setAcceptDrops(true);
    const TExtrasFill fill = [this](const TRecipe& recipe) {
        FEditor->Fill(recipe);
    };
    AcceptRecipePageDrops(FSite, fill);
    AcceptRecipePaste(FSite, fill);

    // The count shows at once; the rows are read after the first paint.
    FSite.Query.SetDeferredLoading(true);
    FSuggest = std::make_unique<TSearchSuggest>(FSite.Window, FSite.Edit2, FSite.Query,
                                                [this] { FSite.BitBtn6.click(); });
    FBrowse = std::make_unique<TRecipeBrowse>(FSite);
    FSuggest->SetCategories([this] { return FBrowse->Categories(); },
                            [this](const QString& name) { FBrowse->ChooseCategory(name); });
    FView = std::make_unique<TRecipeView>(FSite);
    FEditor = std::make_unique<TRecipeExtrasEditor>(FSite);
    FSync = std::make_unique<TBookSyncUi>(FSite);
    FScale = std::make_unique<TScaleControl>(FSite);
    FScale->OnCook = [this] {
        StartCooking();
    };
    FSite.ListBox1.SetMultiSelect(true);
    // Runs after BitBtn6Click (the button, and Enter in the keyword box).
    connect(&FSite.BitBtn6, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { ListSuggestionsWhenNothingFound(); }); });

    // Runs after ListBox1Click: remembers which recipe the view now shows.
    connect(&FSite.ListBox1, &TListBox::Click, this, [this] {
        const bool shown = !FSite.RichEdit1.document()->isEmpty() && FSite.Query.Active();
        FShownRowId = shown ? FSite.Query.RowId() : -1;
        RunGuarded([this] { FView->Show(FShownRowId); });
        FScale->Shown(FView->Recipe());
    });
    FSite.ListBox1.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&FSite.ListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        RunGuarded([&] { ListBox1Menu(pos)->exec(FSite.ListBox1.viewport()->mapToGlobal(pos)); });
    });
    FSite.Image2.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&FSite.Image2, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        RunGuarded([&] { Image2Menu()->exec(FSite.Image2.mapToGlobal(pos)); });
    });
    FSite.RichEdit1.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&FSite.RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                RunGuarded(
                    [&] { RichEdit1Menu()->exec(FSite.RichEdit1.viewport()->mapToGlobal(pos)); });
            });
}

bool TRecipeExtras::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &FSite.ListBox1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        const int index = FSite.ListBox1.ItemIndex();
        if (index < 0)
            return false;
        RunGuarded([&] { ListBox1Delete(index); });
        return true;
    }
    if (watched == &FSite.Image2)
        return Image2Event(event);
    if (watched == &FSite.Window && event->type() == QEvent::Show && !FShown) {
        FShown = true;
        // After the first paint, so neither the book's rows nor the copy delay
        // the window.
        AfterFirstPaint(FSite.Window, [this] {
            RunGuarded([this] { FSite.Query.StartLoading(); });
            RunGuarded([this] { StartDailyBackup(); });
            RunGuarded([this] { FSync->Start(); });
        });
    }
    return false;
}

bool TRecipeExtras::Image2Event(QEvent* event) {
    return HandlePictureDrop(
        event, [this](const QMimeData& data) { return Image2Accepts(data); },
        [this](const QMimeData& data) { Image2Drop(data); });
}

std::unique_ptr<QMenu> TRecipeExtras::ListBox1Menu(const QPoint& pos) {
    auto menu = std::make_unique<QMenu>(&FSite.Window);
    const QModelIndex at = FSite.ListBox1.indexAt(pos);
    QAction* remove = menu->addAction(QStringLiteral("删除菜谱"));
    remove->setEnabled(at.isValid());
    const int index = at.row();
    connect(remove, &QAction::triggered, this,
            [this, index] { RunGuarded([&] { ListBox1Delete(index); }); });
    AddImportExportItems(FSite, *menu);
    FSync->AddMenuItems(*menu);
    menu->addSeparator();
    QAction* shopping = menu->addAction(QStringLiteral("购物清单…"));
    shopping->setEnabled(!FSite.ListBox1.SelectedIndexes().isEmpty());
    connect(shopping, &QAction::triggered, this,
            [this] { RunGuarded([this] { ShowShoppingList(); }); });
    return menu;
}

std::unique_ptr<QMenu> TRecipeExtras::RichEdit1Menu() {
    auto menu = std::make_unique<QMenu>(&FSite.Window);
    QAction* copy = menu->addAction(QStringLiteral("复制"));
    copy->setEnabled(FSite.RichEdit1.textCursor().hasSelection());
    connect(copy, &QAction::triggered, this, [this] { FSite.RichEdit1.copy(); });
    connect(menu->addAction(QStringLiteral("全选")), &QAction::triggered, this,
            [this] { FSite.RichEdit1.selectAll(); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("打印菜谱…")), &QAction::triggered, this,
            [this] { RunGuarded([this] { PrintRecipe(); }); });
    connect(menu->addAction(QStringLiteral("导出PDF…")), &QAction::triggered, this,
            [this] { RunGuarded([this] { ExportPdf(); }); });
    menu->addSeparator();
    QAction* cook = menu->addAction(QStringLiteral("开始做菜"));
    cook->setEnabled(FScale->Recipe().RowId >= 0);
    connect(cook, &QAction::triggered, this, [this] { RunGuarded([this] { StartCooking(); }); });
    return menu;
}

std::unique_ptr<QMenu> TRecipeExtras::Image2Menu() {
    auto menu = std::make_unique<QMenu>(&FSite.Window);
    QAction* clear = menu->addAction(QStringLiteral("清除图片"));
    clear->setEnabled(FSite.Image2.Picture().Graphic() != nullptr);
    connect(clear, &QAction::triggered, this, [this] {
        FSite.Image2.Picture().Clear();
        FSite.Image2.PictureChanged();
    });
    return menu;
}

void TRecipeExtras::ListSuggestionsWhenNothingFound() {
    const QString keyword = FSite.Edit2.text();
    if (keyword.isEmpty() || FSite.ListBox1.Count() > 0 || !FSite.Query.Active())
        return;
    QString filter;
    try {
        filter = FSuggest->FilterOfSuggestions(keyword);
    } catch (const Exception&) {
        return; // the book cannot be read: the designed search has said why
    }
    if (filter.isEmpty())
        return;
    TADOQuery& query = FSite.Query;
    query.SetFilter(filter);
    query.SetFiltered(true);
    query.First();
    FSite.ListBox1.SetItems(ListedTexts(query, QStringLiteral("菜名")));
    FSite.ShowCount();
}

void TRecipeExtras::ListBox1Delete(int index) {
    TListBox& list = FSite.ListBox1;
    if (index < 0 || index >= list.Count())
        return;
    const QString name = list.Item(index);
    if (!AskYesNoDefaultNo(QStringLiteral("确定要删除菜谱“%1”吗？").arg(name)))
        return;
    const TListItems listed = list.Items();
    const qint64 removed = DeleteListedRecipe(FSite.Query, listed, index);
    if (removed < 0)
        return;
    list.SetItems(listed.Without(index));
    RecipeChanged(removed);
    if (removed == FShownRowId) {
        FView->Clear();
        FScale->Shown(TRecipe());
        FSite.RichEdit1.clear();
        FSite.StatusBar1.SetPanelText(1, QString());
        FSite.StatusBar1.SetPanelText(2, QString());
        FShownRowId = -1;
    }
    FSite.ShowCount();
}

void TRecipeExtras::RecipeChanged(qint64 rowId) {
    FBrowse->BookChanged();
    FSuggest->RecipeChanged(rowId);
    FSync->BookTouched();
}

void TRecipeExtras::RecipeSaving(qint64 rowId, bool overwritten) {
    FEditor->Store(rowId, overwritten);
}

void TRecipeExtras::RecipeSaved(qint64 rowId) {
    FEditor->Saved();
    RecipeChanged(rowId);
}

void TRecipeExtras::BookChanged() {
    FBrowse->BookChanged();
    FSuggest->BookChanged();
    FEditor->BookCategoriesChanged();
    FSync->BookTouched();
}

void TRecipeExtras::PrintRecipe() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(FSite.RichEdit1.document()->begin().text());
    if (!ExecutePrintDialog(printer, &FSite.Window))
        return;
    FView->FinishPictures();
    TPdfCharFixes fixes;
    PrintRecipeDocument(*FSite.RichEdit1.document(), printer, &fixes);
    if (printer.printerState() == QPrinter::Error)
        throw Exception(QStringLiteral("打印失败"));
    MendPrintedPdf(printer, fixes);
}

void TRecipeExtras::ExportPdf() {
    SavePdfDialog.SetFileName(SuggestedPdfName(FSite.RichEdit1.document()->begin().text()));
    if (!SavePdfDialog.Execute())
        return;
    FView->FinishPictures();
    SaveRecipePdf(*FSite.RichEdit1.document(),
                  WithFileExt(SavePdfDialog.FileName(), QStringLiteral(".pdf")));
    ShowInfo(QStringLiteral("保存完毕"));
}

bool TRecipeExtras::Image2Accepts(const QMimeData& data) const {
    if (data.hasUrls())
        return IsPictureFileName(DroppedFile(data));
    return data.hasImage();
}

void TRecipeExtras::Image2Drop(const QMimeData& data) {
    if (data.hasUrls()) {
        // As "打开图片" does with the chosen file.
        FSite.Image2.Picture().LoadFromFile(DroppedFile(data));
        FSite.Image2.PictureChanged();
        FitImageToBox(FSite.Image2, 300, 200);
        return;
    }
    // As "粘贴图片" does with a bitmap on the clipboard.
    TDroppedBitmap dropped(qvariant_cast<QImage>(data.imageData()));
    TClipboardSwap swap(dropped);
    FSite.PastePicture();
}

void TRecipeExtras::StartDailyBackup() {
    if (FBackup || !FBookExisted || !FSite.Query.Active())
        return;
    // The copy reads through the window's own connection, so saves made meanwhile
    // go into it instead of starting it again.
    FBackup = std::make_unique<TBackgroundBackup>(
        FSite.Connection.DatabasePath(), QDate::currentDate(), FSite.Connection.Handle(), [this] {
            QMetaObject::invokeMethod(
                this, [this] { RunGuarded([this] { DailyBackupDone(); }); }, Qt::QueuedConnection);
        });
}

void TRecipeExtras::DailyBackupDone() {
    if (FBackup)
        TellBackupOutcome(FBackup->Wait(), FSite.Connection, QDate::currentDate());
}

void TRecipeExtras::ShowShoppingList() {
    const QList<int> chosen = FSite.ListBox1.SelectedIndexes();
    if (chosen.isEmpty() || !FSite.Query.Active())
        return;
    const TListItems listed = FSite.ListBox1.Items();
    TRecipeStore store(FSite.Connection);
    std::vector<TShoppingRecipe> recipes;
    for (int index : chosen) {
        if (!LocateListedRecipe(FSite.Query, listed, index))
            continue;
        const qint64 rowId = FSite.Query.RowId();
        const TRecipe recipe = store.Read(rowId);
        const QString ingredients =
            recipe.Ingredients.isEmpty() ? recipe.Columns.Ingredients : recipe.Ingredients;
        // The shown recipe counts as scaled in the view.
        const double factor = rowId == FShownRowId ? FScale->Factor() : 1;
        recipes.push_back({listed.Text(index), ingredients, factor});
    }
    if (!FShopping)
        FShopping = std::make_unique<TShoppingListWindow>(&FSite.Window);
    FShopping->SetRecipes(recipes);
    FShopping->show();
    FShopping->raise();
    FShopping->activateWindow();
}

void TRecipeExtras::StartCooking() {
    if (FScale->Recipe().RowId < 0)
        return;
    if (!FCooking)
        FCooking = std::make_unique<TCookingView>(&FSite.Window);
    FCooking->Start(FScale->Recipe(), FScale->Factor());
    FCooking->show();
    FCooking->raise();
    FCooking->activateWindow();
}
