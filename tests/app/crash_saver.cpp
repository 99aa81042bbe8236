// Saves recipes with pictures through the window in a loop, printing each name
// once its save has returned, until it is killed. Used by the crash test.
#include "ErrorDisplay.h"
#include "MsgShell.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    bool failed = false;
    SetMessageHook([&](const TMessageRequest& r) {
        if (r.Icon == QMessageBox::Critical) {
            std::fprintf(stderr, "error: %s\n", r.Text.toUtf8().constData());
            failed = true;
        }
        return QMessageBox::Yes;
    });
    TForm_main form(folder);
    Ui::TForm_main& ui = form.Controls();
    for (int n = 0; !failed; ++n) {
        const QString name = prefix + QString::number(n);
        QImage image(160 + n % 7, 120, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((n * 37) % 360, 200, 220));
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(image);
        ui.Image2->Picture().SetGraphic(std::move(bitmap));
        ui.Edit1->setText(name);
        ui.Memo1->setPlainText(QStringLiteral("原料") + name);
        ui.Memo2->setPlainText(QString(2000, u'做') + name);
        ui.Memo3->setPlainText(QStringLiteral("说明") + name);
        form.BitBtn5Click();
        std::printf("%s\n", name.toUtf8().constData());
        std::fflush(stdout);
    }
    return 1;
}
