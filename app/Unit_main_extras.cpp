// What the window offers beside its specified controls: deleting a listed recipe,
// printing the view or saving it as PDF, dropping a picture onto the entry page,
// the daily backup of the book, and import and export (app/RecipeImportUi).
// Every action runs through RunGuarded.
#include "Unit_main.h"

#include "AccessDb.h"
#include "BackupNotice.h"
#include "BookBackup.h"
#include "BusyCursor.h"
#include "Clipboard.h"
#include "ErrorDisplay.h"
#include "MsgShell.h"
#include "PictureIo.h"
#include "RecipeDelete.h"
#include "RecipeImportUi.h"
#include "RecipePrint.h"
#include "SearchSuggest.h"
#include "ui_Unit_main.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QTextBlock>
#include <QTimer>

namespace {
// A dropped bitmap offered to the paste as if it were on the clipboard.
class TDroppedBitmap final : public TClipboard {
public:
    explicit TDroppedBitmap(QImage image) : FImage(std::move(image)) {}
    bool HasBitmap() const override { return true; }
    bool HasFormat(const QString&) const override { return false; }
    QImage Bitmap() const override {
        if (FImage.isNull())
            throw EClipboardException(QStringLiteral("无法读取拖入的位图"));
        return FImage;
    }
    QByteArray Data(const QString&) const override { return {}; }

private:
    QImage FImage;
};

class TClipboardSwap {
public:
    explicit TClipboardSwap(TClipboard& replacement) { SetClipboard(&replacement); }
    ~TClipboardSwap() { SetClipboard(nullptr); }
};

// The one local file of a drop, empty when the drop carries none or several.
QString DroppedFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

bool IsPictureFileName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    for (const TPictureFileType& type : PictureFileTypes()) {
        for (const QString& pattern : type.Patterns)
            if (pattern.mid(2).compare(suffix, Qt::CaseInsensitive) == 0 && !suffix.isEmpty())
                return true;
    }
    return false;
}

// The name with ".pdf" after it unless its extension already is ".pdf" (ASCII case aside).
QString PdfFileName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype slash = name.lastIndexOf(u'/');
    const QString ext = dot > slash ? name.mid(dot) : QString();
    bool isPdf = ext.size() == 4;
    for (qsizetype i = 0; isPdf && i < 4; ++i) {
        char16_t c = ext.at(i).unicode();
        if (c >= u'A' && c <= u'Z')
            c += 32;
        isPdf = c == u".pdf"[i];
    }
    return isPdf ? name : name + QStringLiteral(".pdf");
}

// The dish name as a file name: characters no file name may hold become "_".
QString SuggestedPdfName(const QString& dishName) {
    QString name = dishName.trimmed();
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'_';
    return name.isEmpty() ? QString() : name + QStringLiteral(".pdf");
}

// Routes the extra events of the window's controls to its handlers.
class TExtraEvents final : public QObject {
public:
    TExtraEvents(TForm_main& form, Ui::TForm_main& ui) : QObject(&form), FForm(form), FUi(ui) {
        setObjectName(TForm_main::ExtraEventsName);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FUi.ListBox1 && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            const int index = FUi.ListBox1->ItemIndex();
            if (index < 0)
                return false;
            RunGuarded([&] { FForm.ListBox1Delete(index); });
            return true;
        }
        if (watched == FUi.Image2)
            return Image2Event(event);
        if (watched == &FForm && event->type() == QEvent::Show && !FShown) {
            FShown = true;
            // After the first paint, so neither the book's rows nor the copy delay
            // the window.
            QTimer::singleShot(0, &FForm, [this] {
                RunGuarded([this] { FForm.ADOQuery1.StartLoading(); });
                RunGuarded([this] { FForm.StartDailyBackup(); });
            });
        }
        return false;
    }

private:
    bool Image2Event(QEvent* event) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (FForm.Image2Accepts(*drag->mimeData()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!FForm.Image2Accepts(*drop->mimeData())) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            RunGuarded([&] { FForm.Image2Drop(*drop->mimeData()); });
            return true;
        }
        default:
            return false;
        }
    }

    TForm_main& FForm;
    Ui::TForm_main& FUi;
    bool FShown = false;
};
} // namespace

void TForm_main::ConnectExtraHandlers() {
    FBookExisted = BookFileExists(QDir(FBookFolder).filePath(QStringLiteral("cook.mdb")));
    ADOConnection1.SetWaitHandler(ShowBusyUntilIdle);
    SavePdfDialog.SetFilter(QStringLiteral("PDF|*.pdf"));
    auto* events = new TExtraEvents(*this, *ui);
    installEventFilter(events);
    ui->ListBox1->installEventFilter(events);
    ui->Image2->installEventFilter(events);
    ui->Image2->setAcceptDrops(true);
    AcceptRecipePageDrops(*this);

    // The count shows at once; the rows are read after the first paint.
    ADOQuery1.SetDeferredLoading(true);
    FSuggest = std::make_unique<TSearchSuggest>(*this, *ui->Edit2, ADOQuery1,
                                                [this] { ui->BitBtn6->click(); });
    connect(this, &TForm_main::BookChanged, this,
            [this] { RunGuarded([this] { FSuggest->BookChanged(); }); });
    // Runs after BitBtn5Click: the saved (or overwritten) recipe is the current one.
    connect(ui->BitBtn5, &QPushButton::clicked, this, [this] {
        RunGuarded([this] {
            if (ADOQuery1.Active())
                RecipeChanged(ADOQuery1.RowId());
        });
    });

    // Runs after ListBox1Click: remembers which recipe the view now shows.
    connect(ui->ListBox1, &TListBox::Click, this, [this] {
        const bool shown = !ui->RichEdit1->document()->isEmpty() && ADOQuery1.Active();
        FShownRowId = shown ? ADOQuery1.RowId() : -1;
    });
    ui->ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->ListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        RunGuarded([&] { ListBox1Menu(pos)->exec(ui->ListBox1->viewport()->mapToGlobal(pos)); });
    });
    ui->RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        RunGuarded([&] { RichEdit1Menu()->exec(ui->RichEdit1->viewport()->mapToGlobal(pos)); });
    });
}

std::unique_ptr<QMenu> TForm_main::ListBox1Menu(const QPoint& pos) {
    auto menu = std::make_unique<QMenu>(this);
    const QModelIndex at = ui->ListBox1->indexAt(pos);
    QAction* remove = menu->addAction(QStringLiteral("删除菜谱"));
    remove->setEnabled(at.isValid());
    const int index = at.row();
    connect(remove, &QAction::triggered, this,
            [this, index] { RunGuarded([&] { ListBox1Delete(index); }); });
    AddImportExportItems(*this, *menu);
    return menu;
}

std::unique_ptr<QMenu> TForm_main::RichEdit1Menu() {
    auto menu = std::make_unique<QMenu>(this);
    connect(menu->addAction(QStringLiteral("打印菜谱…")), &QAction::triggered, this,
            [this] { RunGuarded([this] { PrintRecipe(); }); });
    connect(menu->addAction(QStringLiteral("导出PDF…")), &QAction::triggered, this,
            [this] { RunGuarded([this] { ExportPdf(); }); });
    return menu;
}

void TForm_main::ListBox1Delete(int index) {
    if (index < 0 || index >= ui->ListBox1->Count())
        return;
    const QString name = ui->ListBox1->Item(index);
    if (!AskYesNoDefaultNo(QStringLiteral("确定要删除菜谱“%1”吗？").arg(name)))
        return;
    QStringList listed;
    for (int i = 0; i < ui->ListBox1->Count(); ++i)
        listed.append(ui->ListBox1->Item(i));
    const qint64 removed = DeleteListedRecipe(ADOQuery1, listed, index);
    if (removed < 0)
        return;
    listed.removeAt(index);
    ui->ListBox1->SetItems(listed);
    RecipeChanged(removed);
    if (removed == FShownRowId) {
        ui->RichEdit1->clear();
        ui->StatusBar1->SetPanelText(1, QString());
        ui->StatusBar1->SetPanelText(2, QString());
        FShownRowId = -1;
    }
    ShowCount();
}

void TForm_main::RecipeChanged(qint64 rowId) {
    FSuggest->RecipeChanged(rowId);
}

void TForm_main::PrintRecipe() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(ui->RichEdit1->document()->begin().text());
    if (!ExecutePrintDialog(printer, this))
        return;
    TPdfCharFixes fixes;
    PrintRecipeDocument(*ui->RichEdit1->document(), printer, &fixes);
    if (printer.printerState() == QPrinter::Error)
        throw Exception(QStringLiteral("打印失败"));
    MendPrintedPdf(printer, fixes);
}

void TForm_main::ExportPdf() {
    SavePdfDialog.SetFileName(SuggestedPdfName(ui->RichEdit1->document()->begin().text()));
    if (!SavePdfDialog.Execute())
        return;
    SaveRecipePdf(*ui->RichEdit1->document(), PdfFileName(SavePdfDialog.FileName()));
    ShowInfo(QStringLiteral("保存完毕"));
}

bool TForm_main::Image2Accepts(const QMimeData& data) const {
    if (data.hasUrls())
        return IsPictureFileName(DroppedFile(data));
    return data.hasImage();
}

void TForm_main::Image2Drop(const QMimeData& data) {
    if (data.hasUrls()) {
        // As "打开图片" does with the chosen file.
        ui->Image2->Picture().LoadFromFile(DroppedFile(data));
        ui->Image2->PictureChanged();
        FitImageToBox(*ui->Image2, 300, 200);
        return;
    }
    // As "粘贴图片" does with a bitmap on the clipboard.
    TDroppedBitmap dropped(qvariant_cast<QImage>(data.imageData()));
    TClipboardSwap swap(dropped);
    BitBtn4Click();
}

void TForm_main::StartDailyBackup() {
    if (FBackup || !FBookExisted || !ADOQuery1.Active())
        return;
    // The copy reads through the window's own connection, so saves made meanwhile
    // go into it instead of starting it again.
    FBackup = std::make_unique<TBackgroundBackup>(
        ADOConnection1.DatabasePath(), QDate::currentDate(), ADOConnection1.Handle(), [this] {
            QMetaObject::invokeMethod(
                this, [this] { RunGuarded([this] { DailyBackupDone(); }); }, Qt::QueuedConnection);
        });
}

void TForm_main::DailyBackupDone() {
    if (FBackup)
        TellBackupOutcome(FBackup->Wait(), ADOConnection1, QDate::currentDate());
}
