#include "RecipeImportUi.h"

#include "ADODB.h"
#include "BookExport.h"
#include "Clipboard.h"
#include "ColumnMapping.h"
#include "Controls.h"
#include "Dialogs.h"
#include "ErrorDisplay.h"
#include "HtmlRecipe.h"
#include "ImageControl.h"
#include "ImportPicture.h"
#include "KindControls.h"
#include "MsgShell.h"
#include "PictureIo.h"
#include "ProgressWindow.h"
#include "TextDecode.h"
#include "WebRecipe.h"
#include "WindowPlacement.h"
#include "WindowSite.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

namespace {
TDuplicateHook& DuplicateHook() {
    static TDuplicateHook hook;
    return hook;
}

QString DroppedPageFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return IsEntryPageFileName(path) ? path : QString();
}

// Shows the book as it now is, as after a save: the query sees the new rows, and
// the whole book is listed and counted, since the imported recipes are what the
// cook wants to see whatever was searched before.
void RefreshAfterImport(const TWindowSite& site) {
    TADOQuery& query = site.Query;
    query.Close();
    query.SetFiltered(false);
    query.Open();
    // A large book's rows are read on their own thread while the window answers.
    query.StartLoading();
    while (query.RowsLoading()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    site.Edit2.clear();
    query.First();
    site.ListBox1.SetItems(ListedTexts(query, QStringLiteral("菜名")));
    site.ShowCount();
    site.BookChanged();
}

TAddressHook& AddressHook() {
    static TAddressHook hook;
    return hook;
}

std::optional<QUrl> ClipboardWebAddress() {
    for (const char* type : {"text/uri-list", "text/plain"}) {
        const QString mime = QString::fromLatin1(type);
        if (!Clipboard().HasFormat(mime))
            continue;
        // A list of one address: its first line; comments (#) are no address.
        const QString text = QString::fromUtf8(Clipboard().Data(mime)).trimmed();
        if (const auto address = WebAddress(text))
            return address;
    }
    return std::nullopt;
}

void RunImport(const TWindowSite& site, const QStringList& files, const TSourceReader& reader);

// Nothing could be read: every file (or recipe folder) failed.
bool NothingRead(const TImportSummary& summary) {
    return summary.FailedFiles > 0 && summary.Imported + summary.Overwritten + summary.Skipped == 0;
}
} // namespace

void SetDuplicateHook(TDuplicateHook hook) {
    DuplicateHook() = std::move(hook);
}

TDuplicateChoice AskDuplicate(const QString& name) {
    if (DuplicateHook())
        return DuplicateHook()(name);
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"),
                    QStringLiteral("菜谱本里已有“%1”，怎么办？").arg(name), QMessageBox::NoButton,
                    MainWindow());
    box.setTextFormat(Qt::PlainText); // a dish name is never markup
    QPushButton* overwrite = box.addButton(QStringLiteral("覆盖"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(QStringLiteral("跳过"), QMessageBox::ActionRole);
    QPushButton* keep = box.addButton(QStringLiteral("都保留"), QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(skip);
    // Esc and the caption's × answer as 取消 does.
    box.setEscapeButton(cancel);
    auto* always = new QCheckBox(QStringLiteral("以后都这样"), &box);
    box.setCheckBox(always);
    CentreOn(box, MainWindow());
    box.exec();
    if (box.clickedButton() == cancel || box.clickedButton() == nullptr)
        throw EImportCancelled(QStringLiteral("导入已取消，菜谱本没有改变"));
    TDuplicateChoice choice;
    choice.ForAll = always->isChecked();
    if (box.clickedButton() == overwrite)
        choice.Answer = TDuplicateAnswer::Overwrite;
    else if (box.clickedButton() == keep)
        choice.Answer = TDuplicateAnswer::KeepBoth;
    else
        choice.Answer = TDuplicateAnswer::Skip;
    return choice;
}

void AddImportExportItems(const TWindowSite& site, QMenu& menu) {
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("导入菜谱…")), &QAction::triggered, &site.Window,
                     [site] { RunGuarded([&site] { ImportRecipes(site); }); });
    QObject::connect(menu.addAction(QStringLiteral("从网址导入…")), &QAction::triggered,
                     &site.Window, [site] { RunGuarded([&site] { ImportFromAddress(site); }); });
    QObject::connect(menu.addAction(QStringLiteral("导入菜谱文件夹…")), &QAction::triggered,
                     &site.Window, [site] { RunGuarded([&site] { ImportRecipeFolder(site); }); });
    QObject::connect(menu.addAction(QStringLiteral("导出全部菜谱…")), &QAction::triggered,
                     &site.Window, [site] { RunGuarded([&site] { ExportAllRecipes(site); }); });
}

void ImportRecipes(const TWindowSite& site) {
    ImportRecipes(site, false);
}

void ImportRecipeFolder(const TWindowSite& site) {
    ImportRecipes(site, true);
}

void ImportRecipes(const TWindowSite& site, bool folder) {
    QStringList files;
    if (folder) {
        TOpenFolderDialog dialog(&site.Window);
        dialog.SetTitle(
            QStringLiteral("选择菜谱文件夹（放着 recipe.json 的文件夹或它们的上一层）"));
        if (!dialog.Execute())
            return;
        files = QStringList{dialog.Folder()};
    } else {
        TOpenFilesDialog dialog(&site.Window);
        dialog.SetFilter(ImportDialogFilter());
        if (!dialog.Execute())
            return;
        files = dialog.Files();
    }
    RunImport(site, files, {});
}

void ImportFromAddress(const TWindowSite& site) {
    const std::optional<QString> address = AskWebAddress(&site.Window);
    if (!address)
        return;
    RunImport(site, {*address}, ReadRecipeSource);
}

std::optional<QString> AskWebAddress(QWidget* owner) {
    if (AddressHook())
        return AddressHook()();
    QDialog box(owner);
    box.setWindowTitle(QStringLiteral("从网址导入"));
    box.setProperty("skinWindowClass", QStringLiteral("#32770"));
    auto* label = new QLabel(QStringLiteral("菜谱网页的网址（http:// 或 https:// 开头）："), &box);
    auto* edit = new QLineEdit(&box);
    edit->setMinimumWidth(420);
    // An address already copied is what the cook most likely wants.
    if (const auto copied = ClipboardWebAddress())
        edit->setText(copied->toString());
    auto* buttons = new QDialogButtonBox(&box);
    QPushButton* ok = buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    auto check = [edit, ok] {
        ok->setEnabled(WebAddress(edit->text()).has_value());
    };
    QObject::connect(edit, &QLineEdit::textChanged, &box, check);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    check();
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    box.adjustSize();
    CentreOn(box, owner);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt; // Esc and the caption's × as 取消
    const auto address = WebAddress(edit->text());
    if (!address)
        return std::nullopt;
    return address->toString();
}

void SetAddressHook(TAddressHook hook) {
    AddressHook() = std::move(hook);
}

namespace {
void RunImport(const TWindowSite& site, const QStringList& files, const TSourceReader& reader) {
    TImportSummary summary;
    bool cancelled = false;
    {
        TProgressWindow progress(&site.Window, QStringLiteral("正在导入菜谱…"));
        // The question is the only window up while the cook answers it.
        auto ask = [&progress](const QString& name) {
            const TProgressPause pause(progress);
            return AskDuplicate(name);
        };
        try {
            summary = ImportRecipeFiles(
                site.Connection, files, ask,
                [&](int file, int files, int) { return progress.Step(file, files); }, reader);
        } catch (const EImportCancelled&) {
            cancelled = true;
        }
        // The commit and the refresh each take a while after a large import;
        // the window repaints between them.
        progress.Flush();
        RefreshAfterImport(site);
    }
    if (cancelled) {
        ShowInfo(QStringLiteral("导入已取消，菜谱本没有改变"));
        return;
    }
    ShowMessage({QStringLiteral("提示"), QStringLiteral("导入完毕\n") + summary.CountsText(),
                 NothingRead(summary) ? QMessageBox::Warning : QMessageBox::Information,
                 QMessageBox::Ok, QMessageBox::NoButton, summary.Details.join(u'\n')});
}
} // namespace

void ExportAllRecipes(const TWindowSite& site) {
    TSaveDialog dialog(&site.Window);
    dialog.SetFilter(QStringLiteral("菜谱包|*.zip"));
    if (!dialog.Execute())
        return;
    QString target = dialog.FileName();
    if (!target.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        target += QStringLiteral(".zip");
    // The dialog asks nothing (as the designed export's does); a book's zip is
    // replaced only when the cook says so.
    if (QFileInfo::exists(target) &&
        !AskYesNoDefaultNo(
            QStringLiteral("“%1”已存在，要替换它吗？").arg(QDir::toNativeSeparators(target))))
        return;
    try {
        TProgressWindow progress(&site.Window, QStringLiteral("正在导出菜谱…"));
        ExportBook(site.Connection, target,
                   [&](int done, int total) { return progress.Step(done, total); });
    } catch (const EImportCancelled&) {
        return;
    }
    ShowInfo(QStringLiteral("保存完毕"));
}

std::optional<QUrl> DroppedWebAddress(const QMimeData& data) {
    if (data.hasUrls()) {
        const QList<QUrl> urls = data.urls();
        if (urls.size() != 1)
            return std::nullopt;
        return WebAddress(urls.first().toString());
    }
    if (data.hasText())
        return WebAddress(data.text());
    return std::nullopt;
}

bool IsRecipePageDrop(const QMimeData& data) {
    if (DroppedWebAddress(data))
        return true;
    if (data.hasUrls())
        return !DroppedPageFile(data).isEmpty();
    return data.hasHtml();
}

namespace {
// The recipe's pictures as the book keeps them; one that will not convert is left out.
TRecipe RecipeWithPictures(const TImportedRecipe& imported) {
    TRecipe recipe = RecipeFromImport(imported);
    auto jpeg = [](const QByteArray& bytes) {
        try {
            return bytes.isEmpty() ? QByteArray() : PictureAsJpeg(bytes);
        } catch (const Exception&) {
            return QByteArray();
        }
    };
    recipe.Cover = jpeg(imported.Picture);
    for (const TImportedPicture& p : imported.Pictures)
        if (QByteArray bytes = jpeg(p.Bytes); !bytes.isEmpty())
            recipe.Pictures.push_back({std::move(bytes), p.Step, p.Caption});
    return recipe;
}

void FillEntryPage(const TWindowSite& site, const TRecipe& recipe, const TExtrasFill& extras) {
    site.Edit1.setText(recipe.Columns.Name);
    site.Memo1.setPlainText(recipe.Columns.Ingredients);
    site.Memo2.setPlainText(recipe.Columns.Method);
    site.Memo3.setPlainText(recipe.Columns.Note);
    if (!recipe.Cover.isEmpty()) {
        auto graphic = std::make_unique<TJPEGImage>();
        graphic->SetData(recipe.Cover);
        site.Image2.Picture().SetGraphic(std::move(graphic));
        site.Image2.PictureChanged();
        FitImageToBox(site.Image2, 300, 200);
    }
    if (extras)
        extras(recipe);
}
} // namespace

void DropRecipePage(const TWindowSite& site, const QMimeData& data, const TExtrasFill& extras) {
    if (const auto address = DroppedWebAddress(data)) {
        // Once the drop is over: the source program is not kept waiting on the fetch.
        QTimer::singleShot(0, &site.Window, [site, address = *address, extras] {
            RunGuarded([&] { FetchOntoEntryPage(site, address, extras); });
        });
        return;
    }
    std::vector<TImportedRecipe> recipes;
    const QString file = DroppedPageFile(data);
    if (!file.isEmpty()) {
        ReadRecipeFile(file, [&](TImportedRecipe&& r) {
            if (recipes.empty())
                recipes.push_back(std::move(r));
        });
        if (recipes.empty())
            throw EImportError(QStringLiteral("“%1”里没有菜谱").arg(QFileInfo(file).fileName()));
    } else {
        recipes = RecipesFromHtml(data.html().toUtf8(), {});
    }
    const TImportedRecipe& recipe = recipes.front();
    // The picture first: a broken one stops the drop before any text changes.
    TRecipe whole = RecipeFromImport(recipe);
    if (!recipe.Picture.isEmpty())
        whole.Cover = PictureAsJpeg(recipe.Picture);
    FillEntryPage(site, whole, {});
}

void FetchOntoEntryPage(const TWindowSite& site, const QUrl& address, const TExtrasFill& extras) {
    static bool fetching = false;
    if (fetching)
        throw EImportError(QStringLiteral("正在读取另一个网页，请等它读完或取消后再试。"));
    fetching = true;
    const auto done = qScopeGuard([] { fetching = false; });
    TRecipe recipe;
    try {
        TProgressWindow progress(&site.Window,
                                 QStringLiteral("正在读取网页…\n") + address.toDisplayString());
        const std::vector<TImportedRecipe> recipes =
            RecipesFromWebPage(address, [&] { return progress.Step(0, 0); });
        RunBeside([&] { recipe = RecipeWithPictures(recipes.front()); });
    } catch (const EImportCancelled&) {
        return; // the page stays as the cook left it
    }
    FillEntryPage(site, recipe, extras);
}

bool PasteOntoEntryPage(const TWindowSite& site, const TExtrasFill& extras) {
    const auto address = ClipboardWebAddress();
    if (!address)
        return false;
    FetchOntoEntryPage(site, *address, extras);
    return true;
}

namespace {
// Takes recipe page drops on the entry page's controls before they take the
// HTML as text; the picture box keeps its own drop.
class TPageDrops final : public QObject {
public:
    TPageDrops(const TWindowSite& site, TExtrasFill extras)
        : QObject(&site.Window), FSite(site), FExtras(std::move(extras)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (OverPictureBox(watched, *drag) || !IsRecipePageDrop(*drag->mimeData()))
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (OverPictureBox(watched, *drop) || !IsRecipePageDrop(*drop->mimeData()))
                return false;
            drop->acceptProposedAction();
            RunGuarded([&] { DropRecipePage(FSite, *drop->mimeData(), FExtras); });
            return true;
        }
        default:
            return false;
        }
    }

private:
    // What the picture box refused comes up to the page; the box's drops stay its own.
    bool OverPictureBox(QObject* watched, const QDropEvent& event) const {
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* under = widget ? widget->childAt(event.position().toPoint()) : nullptr;
        return under && (under == &FSite.Image2 || FSite.Image2.isAncestorOf(under));
    }

    TWindowSite FSite;
    TExtrasFill FExtras;
};
} // namespace

void AcceptRecipePageDrops(const TWindowSite& site, TExtrasFill extras) {
    auto* drops = new TPageDrops(site, std::move(extras));
    QList<QWidget*> targets{&site.TabSheet2, &site.Edit1, site.Memo1.viewport(),
                            site.Memo2.viewport(), site.Memo3.viewport()};
    for (QWidget* w : site.TabSheet2.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w != &site.Image2 && !targets.contains(w))
            targets.append(w);
    for (QWidget* w : targets) {
        w->setAcceptDrops(true);
        w->installEventFilter(drops);
    }
}
