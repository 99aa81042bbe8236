#include "ShoppingListWindow.h"

#include "ErrorDisplay.h"
#include "FileNames.h"
#include "KindControls.h"
#include "MsgShell.h"
#include "QrCode.h"
#include "RecipePrint.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr int ItemIndexRole = Qt::UserRole + 1; // the row's index in Items(), -1 a heading
constexpr int QrModule = 4;                     // pixels a module on screen
} // namespace

QImage QrImage(const TQrCode& code, int module) {
    constexpr int Quiet = 4;
    const int side = (code.Width + 2 * Quiet) * module;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code.Width; ++y) {
        for (int x = 0; x < code.Width; ++x) {
            if (!code.At(x, y))
                continue;
            for (int dy = 0; dy < module; ++dy) {
                uchar* line = image.scanLine((y + Quiet) * module + dy);
                std::fill_n(line + (x + Quiet) * module, module, uchar(0));
            }
        }
    }
    return image;
}

TShoppingListWindow::TShoppingListWindow(QWidget* owner)
    : QDialog(owner, Qt::Window), SavePdfDialog(this) {
    setWindowTitle(QStringLiteral("购物清单"));
    SavePdfDialog.SetFilter(QStringLiteral("PDF|*.pdf"));
    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    layout->addLayout(body, 1);
    List = new QListWidget(this);
    List->setSelectionMode(QAbstractItemView::NoSelection);
    List->setToolTip(QStringLiteral("点一下划掉家里已有的"));
    body->addWidget(List, 1);
    auto* side = new QVBoxLayout;
    body->addLayout(side);
    auto* qrLabel = new TLabel(this);
    qrLabel->setText(QStringLiteral("用手机扫码带走清单："));
    side->addWidget(qrLabel);
    FQr = new QLabel(this);
    FQr->setAlignment(Qt::AlignCenter);
    FQr->setMinimumSize(260, 260);
    side->addWidget(FQr);
    auto* pager = new QHBoxLayout;
    FPrevQr = new TBitBtn(this);
    FPrevQr->setText(QStringLiteral("上一张"));
    FQrPlace = new TLabel(this);
    FQrPlace->setAlignment(Qt::AlignCenter);
    FNextQr = new TBitBtn(this);
    FNextQr->setText(QStringLiteral("下一张"));
    pager->addWidget(FPrevQr);
    pager->addWidget(FQrPlace, 1);
    pager->addWidget(FNextQr);
    side->addLayout(pager);
    side->addStretch(1);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto add = [&](const QString& text, auto action) {
        auto* button = new TBitBtn(this);
        button->setText(text);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, action] { RunGuarded([&] { action(); }); });
        return button;
    };
    add(QStringLiteral("复制文本"), [this] { CopyText(); });
    add(QStringLiteral("打印…"), [this] { Print(); });
    add(QStringLiteral("导出PDF…"), [this] { ExportPdf(); });
    buttons->addStretch(1);
    add(QStringLiteral("关闭"), [this] { close(); });

    connect(FPrevQr, &QPushButton::clicked, this, [this] { ShowQr(FShownQr - 1); });
    connect(FNextQr, &QPushButton::clicked, this, [this] { ShowQr(FShownQr + 1); });
    connect(List, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int index = item->data(ItemIndexRole).toInt();
        if (index >= 0)
            RunGuarded([&] { SetTicked(index, !Ticked(index)); });
    });
    resize(640, 480);
}

void TShoppingListWindow::SetRecipes(const std::vector<TShoppingRecipe>& recipes) {
    FItems = MakeShoppingList(recipes);
    FDishes.clear();
    for (const TShoppingRecipe& r : recipes)
        FDishes.append(r.Name.trimmed());
    FTicked.assign(FItems.size(), false);
    setWindowTitle(QStringLiteral("购物清单（%1 道菜）").arg(recipes.size()));
    Fill();
    Refresh();
}

void TShoppingListWindow::Fill() {
    List->clear();
    FRows.assign(FItems.size(), nullptr);
    QFont bold = List->font();
    bold.setBold(true);
    int group = -1;
    for (size_t i = 0; i < FItems.size(); ++i) {
        const TShoppingItem& item = FItems[i];
        if (int(item.Group) != group) {
            group = int(item.Group);
            auto* heading = new QListWidgetItem(MarketGroupName(item.Group), List);
            heading->setFont(bold);
            heading->setFlags(Qt::ItemIsEnabled);
            heading->setData(ItemIndexRole, -1);
        }
        auto* row = new QListWidgetItem(
            item.Amount.isEmpty() ? item.Name : item.Name + QStringLiteral("　") + item.Amount,
            List);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
        row->setData(ItemIndexRole, int(i));
        FRows[i] = row;
    }
}

bool TShoppingListWindow::Ticked(int index) const {
    return index >= 0 && size_t(index) < FTicked.size() && FTicked[size_t(index)];
}

void TShoppingListWindow::SetTicked(int index, bool ticked) {
    if (index < 0 || size_t(index) >= FTicked.size() || FTicked[size_t(index)] == ticked)
        return;
    FTicked[size_t(index)] = ticked;
    QListWidgetItem* row = FRows[size_t(index)];
    row->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    QFont font = row->font();
    font.setStrikeOut(ticked);
    row->setFont(font);
    row->setForeground(ticked ? QColor(140, 140, 140) : List->palette().color(QPalette::Text));
    Refresh();
}

QString TShoppingListWindow::Text() const {
    std::vector<TShoppingItem> left;
    for (size_t i = 0; i < FItems.size(); ++i)
        if (!FTicked[i])
            left.push_back(FItems[i]);
    return ShoppingText(left, FDishes);
}

void TShoppingListWindow::Refresh() {
    FQrTexts = QrPieces(Text());
    ShowQr(std::min<int>(FShownQr, int(FQrTexts.size()) - 1));
}

QImage TShoppingListWindow::QrPicture(int index) const {
    if (index < 0 || index >= FQrTexts.size())
        return QImage();
    return QrImage(EncodeQr(FQrTexts[index].toUtf8()), QrModule);
}

void TShoppingListWindow::ShowQr(int index) {
    index = std::clamp(index, 0, std::max(0, int(FQrTexts.size()) - 1));
    FShownQr = index;
    const QImage picture = QrPicture(index);
    FQr->setPixmap(QPixmap::fromImage(picture.scaled(picture.size().boundedTo(QSize(360, 360)),
                                                     Qt::KeepAspectRatio, Qt::FastTransformation)));
    const bool several = FQrTexts.size() > 1;
    FQrPlace->setText(several ? QStringLiteral("第 %1/%2 张").arg(index + 1).arg(FQrTexts.size())
                              : QString());
    FPrevQr->setVisible(several);
    FNextQr->setVisible(several);
    FPrevQr->setEnabled(index > 0);
    FNextQr->setEnabled(index + 1 < FQrTexts.size());
}

void TShoppingListWindow::CopyText() {
    QGuiApplication::clipboard()->setText(Text());
}

// The list as a page: the text, then its QR codes.
std::unique_ptr<QTextDocument> TShoppingListWindow::Document() const {
    auto document = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    document->setDefaultFont(font);
    QTextCursor cursor(document.get());
    QTextCharFormat plain, bold;
    bold.setFontWeight(QFont::Bold);
    const QStringList lines = Text().split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        const bool heading = i == 0 || (lines[i].startsWith(u'【') && lines[i].endsWith(u'】'));
        cursor.insertText(heading ? lines[i] : QStringLiteral("□ ") + lines[i],
                          heading ? bold : plain);
    }
    for (int q = 0; q < FQrTexts.size(); ++q) {
        cursor.insertBlock();
        const QImage picture = QrImage(EncodeQr(FQrTexts[q].toUtf8()), 6);
        const QString name = QStringLiteral("mycook-qr:%1").arg(q);
        document->addResource(QTextDocument::ImageResource, QUrl(name), picture);
        QTextImageFormat image;
        image.setName(name);
        image.setWidth(picture.width() / 2.0);
        image.setHeight(picture.height() / 2.0);
        cursor.insertImage(image);
    }
    return document;
}

void TShoppingListWindow::Print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("购物清单"));
    if (!ExecutePrintDialog(printer, this))
        return;
    const auto document = Document();
    TPdfCharFixes fixes;
    PrintRecipeDocument(*document, printer, &fixes);
    if (printer.printerState() == QPrinter::Error)
        throw Exception(QStringLiteral("打印失败"));
    MendPrintedPdf(printer, fixes);
}

void TShoppingListWindow::ExportPdf() {
    SavePdfDialog.SetFileName(QStringLiteral("购物清单.pdf"));
    if (!SavePdfDialog.Execute())
        return;
    SaveRecipePdf(*Document(), WithFileExt(SavePdfDialog.FileName(), QStringLiteral(".pdf")));
    ShowInfo(QStringLiteral("保存完毕"));
}
