#include "RecipeImportUi.h"

#include "ADODB.h"
#include "BookExport.h"
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
#include "WindowPlacement.h"
#include "WindowSite.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <chrono>
#include <thread>

namespace {
TDuplicateHook& DuplicateHook() {
    static TDuplicateHook hook;
    return hook;
}

bool IsPageFileName(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == u"html" || suffix == u"htm" || suffix == u"mhtml" || suffix == u"mht";
}

QString DroppedPageFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return IsPageFileName(path) ? path : QString();
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
    QStringList names;
    TField& name = query.FieldByName(QStringLiteral("菜名"));
    for (query.First(); !query.Eof(); query.Next())
        names.append(TrimText(name.AsString()));
    site.ListBox1.SetItems(names);
    site.ShowCount();
    site.BookChanged();
}

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
            summary = ImportRecipeFiles(site.Connection, files, ask, [&](int file, int files, int) {
                return progress.Step(file, files);
            });
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

bool IsRecipePageDrop(const QMimeData& data) {
    if (data.hasUrls())
        return !DroppedPageFile(data).isEmpty();
    return data.hasHtml();
}

void DropRecipePage(const TWindowSite& site, const QMimeData& data) {
    std::vector<TImportedRecipe> recipes;
    const QString file = DroppedPageFile(data);
    if (!file.isEmpty()) {
        recipes = RecipesFromPageFile(file);
    } else {
        recipes = RecipesFromHtml(data.html().toUtf8(), {});
    }
    const TImportedRecipe& recipe = recipes.front();
    // The picture first: a broken one stops the drop before any text changes.
    QByteArray jpeg;
    if (!recipe.Picture.isEmpty())
        jpeg = PictureAsJpeg(recipe.Picture);
    const TRecipeColumns columns = MapToColumns(recipe);
    site.Edit1.setText(columns.Name);
    site.Memo1.setPlainText(columns.Ingredients);
    site.Memo2.setPlainText(columns.Method);
    site.Memo3.setPlainText(columns.Note);
    if (!jpeg.isEmpty()) {
        auto graphic = std::make_unique<TJPEGImage>();
        graphic->SetData(jpeg);
        site.Image2.Picture().SetGraphic(std::move(graphic));
        site.Image2.PictureChanged();
        FitImageToBox(site.Image2, 300, 200);
    }
}

namespace {
// Takes recipe page drops on the entry page's controls before they take the
// HTML as text; the picture box keeps its own drop.
class TPageDrops final : public QObject {
public:
    explicit TPageDrops(const TWindowSite& site) : QObject(&site.Window), FSite(site) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!IsRecipePageDrop(*drag->mimeData()))
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!IsRecipePageDrop(*drop->mimeData()))
                return false;
            drop->acceptProposedAction();
            RunGuarded([&] { DropRecipePage(FSite, *drop->mimeData()); });
            return true;
        }
        default:
            return false;
        }
    }

private:
    TWindowSite FSite;
};
} // namespace

void AcceptRecipePageDrops(const TWindowSite& site) {
    auto* drops = new TPageDrops(site);
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
