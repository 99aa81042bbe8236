#include "Unit_main.h"

#include "AboutPage.h"
#include "AccessDb.h"
#include "BookBackup.h"
#include "ErrorDisplay.h"
#include "FileNames.h"
#include "MsgShell.h"
#include "PictureIo.h"
#include "RecipeExtras.h"
#include "RecipeLookup.h"
#include "RichEx.h"
#include "RtfWriter.h"
#include "SearchSuggest.h"
#include "SkinResource.h"
#include "TransactionGuard.h"
#include "WinSkinData.h"
#include "WindowPlacement.h"
#include "ui_Unit_main.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QUrl>

namespace {
const QString BookFileName = QStringLiteral("cook.mdb");
const QString RecipeTable = QStringLiteral("mycook");
const QString CreateTableSql = QStringLiteral(
    "create table mycook(菜名 char(30),原料 char(255),做法 memo,说明 char(255),img image)");

// Puts the caret and the scroll position of a text box at its beginning when
// it goes out of scope, also when an error ends the handler.
class TShowFromTop {
public:
    explicit TShowFromTop(QTextEdit& edit) : FEdit(edit) {}
    ~TShowFromTop() {
        QTextCursor start(FEdit.document());
        FEdit.setTextCursor(start);
        FEdit.verticalScrollBar()->setValue(0);
    }
    TShowFromTop(const TShowFromTop&) = delete;
    TShowFromTop& operator=(const TShowFromTop&) = delete;

private:
    QTextEdit& FEdit;
};

// The class map stored with the window: the default one without its
// "TPngSpeedbutton" line.
QStringList StoredSkin3rd() {
    QStringList list = TSkinData::DefaultSkin3rd();
    list.removeAll(QStringLiteral("TPngSpeedbutton=pngspeedbutton"));
    return list;
}
} // namespace

QString TForm_main::AboutPageUrl() {
    return QUrl::fromLocalFile(AboutPageFile(QCoreApplication::applicationDirPath())).toString();
}

TForm_main::TForm_main(const QString& bookFolder, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TForm_main>()),
      FSkinData1(std::make_unique<TSkinData>()), FBookFolder(bookFolder) {
    // The skin component's stored values, in layout order; reading "SkinStream"
    // builds the skin.
    TSkinData& skin = *FSkinData1;
    skin.Owner = this;
    skin.SetActive(true);
    skin.DisableTag = 99;
    skin.SkinControls = TSkinData::DefaultSkinControls;
    skin.Options = TSkinOptions{xoPreview, xoToolbarBK};
    skin.Skin3rd = StoredSkin3rd();
    skin.SkinFormtype = sfMainform;
    RunGuarded([this] { FSkinData1->ReadSkinStream(DefaultSkinStream()); });

    ui->setupUi(this);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    setFont(font);
    setFixedSize(703, 586);
    ui->Memo1->SetMaxLength(255);
    ui->Memo3->SetMaxLength(255);
    QFont richFont(QStringLiteral("宋体"));
    richFont.setPixelSize(16);
    ui->RichEdit1->setFont(richFont);
    ui->RichEdit1->document()->setDefaultFont(richFont);
    ui->RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    ui->Image1->SetStretch(true);
    RunGuarded([this] {
        QFile splash(QStringLiteral(":/app/splash.jpg"));
        if (splash.open(QIODevice::ReadOnly)) {
            auto jpeg = std::make_unique<TJPEGImage>();
            jpeg->LoadFromStream(splash);
            ui->Image1->Picture().SetGraphic(std::move(jpeg));
            ui->Image1->PictureChanged();
        }
    });
    SaveDialog1.SetFilter(QStringLiteral("菜谱|*.rtf"));
    ui->RichEdit1->setTabChangesFocus(true);
    NameControls();
    SetMainWindow(this);
    CentreOnScreen(*this);
    ActivateWhenFirstShown(*this);
    ConnectHandlers();
    // The whole window is read.
    RunGuarded([this] { FSkinData1->Loaded(); });
    RunGuarded([this] { FormCreate(); });
}

TForm_main::~TForm_main() = default;

void TForm_main::NameControls() {
    // A text box is read by the label beside it.
    ui->Label1->setBuddy(ui->Edit1);
    ui->Label2->setBuddy(ui->Memo1);
    ui->Label3->setBuddy(ui->Memo2);
    ui->Label4->setBuddy(ui->Memo3);
    ui->Label5->setBuddy(ui->Edit2);
    ui->Image1->setAccessibleName(QStringLiteral("封面图片"));
    ui->Image1->setAccessibleDescription(QStringLiteral("点击打开“关于百味小筑”"));
    ui->Image2->setAccessibleName(QStringLiteral("菜谱图片"));
    ui->ListBox1->setAccessibleName(QStringLiteral("菜谱列表"));
    ui->RichEdit1->setAccessibleName(QStringLiteral("菜谱内容"));
}

void TForm_main::ConnectHandlers() {
    auto guard = [this](void (TForm_main::*handler)()) {
        return [this, handler] {
            RunGuarded([this, handler] { (this->*handler)(); });
        };
    };
    connect(ui->BitBtn1, &QPushButton::clicked, this, guard(&TForm_main::BitBtn1Click));
    connect(ui->BitBtn2, &QPushButton::clicked, this, guard(&TForm_main::BitBtn2Click));
    connect(ui->Image1, &TImage::Click, this, guard(&TForm_main::Image1Click));
    connect(ui->BitBtn3, &QPushButton::clicked, this, guard(&TForm_main::BitBtn3Click));
    connect(ui->BitBtn4, &QPushButton::clicked, this, guard(&TForm_main::BitBtn4Click));
    connect(ui->BitBtn5, &QPushButton::clicked, this, guard(&TForm_main::BitBtn5Click));
    connect(ui->BitBtn6, &QPushButton::clicked, this, guard(&TForm_main::BitBtn6Click));
    connect(ui->BitBtn7, &QPushButton::clicked, this, guard(&TForm_main::BitBtn7Click));
    connect(ui->ListBox1, &TListBox::Click, this, guard(&TForm_main::ListBox1Click));
    ui->Edit2->installEventFilter(this);
    // After the designed handlers, so what the extras do on a click follows them.
    FExtras = std::make_unique<TRecipeExtras>(Site());
    connect(this, &TForm_main::BookChanged, FExtras.get(),
            [this] { RunGuarded([this] { FExtras->BookChanged(); }); });
    connect(this, &TForm_main::RecipeSaved, FExtras.get(),
            [this](qint64 rowId) { RunGuarded([&] { FExtras->RecipeSaved(rowId); }); });
}

TWindowSite TForm_main::Site() {
    return TWindowSite{
        .Window = *this,
        .Connection = ADOConnection1,
        .Query = ADOQuery1,
        .BookPath = QDir(FBookFolder).filePath(BookFileName),
        .TabSheet2 = *ui->TabSheet2,
        .Edit1 = *ui->Edit1,
        .Memo1 = *ui->Memo1,
        .Memo2 = *ui->Memo2,
        .Memo3 = *ui->Memo3,
        .Image2 = *ui->Image2,
        .BitBtn5 = *ui->BitBtn5,
        .Edit2 = *ui->Edit2,
        .BitBtn6 = *ui->BitBtn6,
        .ListBox1 = *ui->ListBox1,
        .RichEdit1 = *ui->RichEdit1,
        .StatusBar1 = *ui->StatusBar1,
        .PastePicture = [this] { BitBtn4Click(); },
        .ShowCount = [this] { ShowCount(); },
        .BookChanged = [this] { Q_EMIT BookChanged(); },
    };
}

bool TForm_main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Edit2 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        bool handled = false;
        RunGuarded([&] { handled = Edit2KeyDown(key); });
        return handled;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm_main::ShowCount() {
    ui->StatusBar1->SetPanelText(0, QString::asprintf("共%d种菜", ADOQuery1.RecordCount()));
}

void TForm_main::FormCreate() {
    ui->PageControl1->setCurrentIndex(0);
    const QString path = QDir(FBookFolder).filePath(BookFileName);
    if (BookFileExists(path)) {
        ConnectAccessDatabase(ADOConnection1, path, QString());
        OpenTable(ADOQuery1, RecipeTable);
        // A book that could not be opened has no count; its first use reports why.
        if (ADOQuery1.Active())
            ShowCount();
    } else {
        CreateAccessDatabase(path, QString());
        ConnectAccessDatabase(ADOConnection1, path, QString());
        ExecSql(ADOQuery1, CreateTableSql);
        OpenTable(ADOQuery1, RecipeTable);
    }
}

void TForm_main::BitBtn1Click() {
    ui->PageControl1->setCurrentIndex(1);
}

void TForm_main::BitBtn2Click() {
    ui->PageControl1->setCurrentIndex(2);
}

void TForm_main::Image1Click() {
    ShellOpen(AboutPageUrl(), QString());
}

void TForm_main::BitBtn3Click() {
    if (!OpenPictureDialog1.Execute())
        return;
    ui->Image2->Picture().LoadFromFile(OpenPictureDialog1.FileName());
    ui->Image2->PictureChanged();
    FitImageToBox(*ui->Image2, 300, 200);
}

void TForm_main::BitBtn4Click() {
    PastePicture(*ui->Image2);
    if (ui->Image2->Picture().Graphic())
        FitImageToBox(*ui->Image2, 300, 200);
}

void TForm_main::ClearEntryPage() {
    ui->Edit1->clear();
    ui->Memo1->clear();
    ui->Memo2->clear();
    ui->Memo3->clear();
    ui->Image2->Picture().Clear();
    ui->Image2->PictureChanged();
}

void TForm_main::BitBtn5Click() {
    const QString name = ui->Edit1->text();
    qint64 saved = -1;
    bool overwritten = false;
    if (!ADOQuery1.Locate(QStringLiteral("菜名"), name)) {
        TTransactionGuard transaction(ADOConnection1);
        ADOQuery1.AppendRecord({name, ui->Memo1->Text(), ui->Memo2->Text(), ui->Memo3->Text()});
        // The appended row, whether or not a filter lets the look-up see it.
        saved = ADOQuery1.RowId();
        if (ADOQuery1.Locate(QStringLiteral("菜名"), name))
            SavePictureToBlob(*ui->Image2, QStringLiteral("img"), ADOQuery1);
        FExtras->RecipeSaving(saved, overwritten);
        transaction.Commit();
        ClearEntryPage();
    } else if (AskYesNo(QStringLiteral("存在该菜名，是否要覆盖？"))) {
        TTransactionGuard transaction(ADOConnection1);
        ADOQuery1.Edit();
        ADOQuery1.FieldByName(QStringLiteral("菜名")).SetAsString(name);
        ADOQuery1.FieldByName(QStringLiteral("原料")).SetAsString(ui->Memo1->Text());
        ADOQuery1.FieldByName(QStringLiteral("做法")).SetAsString(ui->Memo2->Text());
        ADOQuery1.FieldByName(QStringLiteral("说明")).SetAsString(ui->Memo3->Text());
        ADOQuery1.Post();
        saved = ADOQuery1.RowId();
        overwritten = true;
        SavePictureToBlob(*ui->Image2, QStringLiteral("img"), ADOQuery1);
        FExtras->RecipeSaving(saved, overwritten);
        transaction.Commit();
        ClearEntryPage();
    }
    ShowCount();
    if (saved >= 0)
        Q_EMIT RecipeSaved(saved, overwritten);
}

void TForm_main::BitBtn6Click() {
    const QString keyword = ui->Edit2->text();
    if (keyword.isEmpty()) {
        ADOQuery1.SetFiltered(false);
    } else {
        ADOQuery1.SetFilter(BuildFilterTerm(QStringLiteral("菜名"), keyword, 1, true) +
                            QStringLiteral(" or ") +
                            BuildFilterTerm(QStringLiteral("原料"), keyword, 1, true));
        ADOQuery1.SetFiltered(true);
    }
    ADOQuery1.First();
    ui->ListBox1->Clear();
    // Every name of the view, trimmed, into one block: a string per name would hold
    // the window a third of a second for a million recipes.
    ui->ListBox1->SetItems(ListedTexts(ADOQuery1, QStringLiteral("菜名")));
    ShowCount();
}

bool TForm_main::Edit2KeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    ui->BitBtn6->click();
    return true;
}

void TForm_main::ListBox1Click() {
    const int index = ui->ListBox1->ItemIndex();
    if (index < 0)
        return;
    const QString name = ui->ListBox1->Item(index);
    ui->RichEdit1->clear();
    if (!LocateListedRecipe(ADOQuery1, ui->ListBox1->Items(), index))
        return;
    // Whatever follows, the reader starts at the name, not at the picture's corner.
    const TShowFromTop showFromTop(*ui->RichEdit1);
    QTextCursor cursor(ui->RichEdit1->document());
    const QStringList lines = {
        name,
        QStringLiteral("原料:"),
        TrimText(ADOQuery1.FieldByName(QStringLiteral("原料")).AsString()),
        QStringLiteral("做法:"),
        TrimText(ADOQuery1.FieldByName(QStringLiteral("做法")).AsString()),
        QStringLiteral("说明:"),
        TrimText(ADOQuery1.FieldByName(QStringLiteral("说明")).AsString()),
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        cursor.movePosition(QTextCursor::End);
        // An empty first line is a line too.
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(lines.at(i));
    }
    // The caret goes to the end so the picture follows the text; a new line
    // after the text is how a line added to the box ends.
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    ui->RichEdit1->setTextCursor(cursor);

    ui->Image1->Picture().Clear();
    LoadPictureFromBlob(*ui->Image1, QStringLiteral("img"), ADOQuery1);
    ui->StatusBar1->SetPanelText(1, QString::asprintf("第%d种菜", ADOQuery1.RecNo()));
    ui->StatusBar1->SetPanelText(2, name);
    if (const TGraphic* graphic = ui->Image1->Picture().Graphic()) {
        TBitmap bitmap;
        bitmap.Assign(*graphic);
        InsertBitmapIntoRichEdit(ui->RichEdit1, bitmap);
    }
}

void TForm_main::BitBtn7Click() {
    if (!SaveDialog1.Execute())
        return;
    const QString fileName = WithFileExt(SaveDialog1.FileName(), QStringLiteral(".rtf"));
    SaveRtfFileAtomically(*ui->RichEdit1->document(), fileName);
    ShowInfo(QStringLiteral("保存完毕"));
}
