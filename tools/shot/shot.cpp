// Takes the documentation's screenshots of the main window on a real display
// (run under Xvfb): shot OUT_FOLDER. Uses a throw-away book in a temp folder.
#include "ErrorDisplay.h"
#include "MsgShell.h"
#include "PictureIo.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {
void Grab(TForm_main& form, const QString& path) {
    QTest::qWait(400);
    QScreen* screen = form.screen();
    const QRect frame = form.frameGeometry();
    const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(path))
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
}

QImage Dish() {
    QImage image(QStringLiteral(":/app/splash.jpg"));
    return image.isNull() ? QImage(480, 324, QImage::Format_RGB32) : image;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook"));
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("AR PL UMing CN")});
    if (argc != 2) {
        std::fprintf(stderr, "usage: shot OUT_FOLDER\n");
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Yes; });
    QTemporaryDir book;
    TForm_main form(book.path());
    Ui::TForm_main& ui = form.Controls();
    form.show();
    form.move(40, 40);
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
    RunGuarded([&] { form.BitBtn5Click(); });

    // Browse page showing the recipe with its picture.
    ui.BitBtn2->click();
    ui.Edit2->setText(QStringLiteral("虾"));
    RunGuarded([&] { form.BitBtn6Click(); });
    ui.ListBox1->SetItemIndex(0);
    RunGuarded([&] { form.ListBox1Click(); });
    Grab(form, out.filePath(QStringLiteral("screenshot-browse.png")));
    return 0;
}
