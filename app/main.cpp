#include "AppIcon.h"
#include "BookLocation.h"
#include "MsgShell.h"
#include "SkinRead.h"
#include "Unit_main.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook"));
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopFileName));
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("AR PL UMing CN"),
                                                        QStringLiteral("Noto Serif CJK SC"),
                                                        QStringLiteral("Noto Sans CJK SC")});
    // The skin's one message (an unsupported skin version) is a plain box.
    SetSkinMessageProc([](const QString& text) {
        ShowMessage({QApplication::applicationName(), text, QMessageBox::NoIcon, QMessageBox::Ok});
    });
    TForm_main Form_main(RecipeBookFolder(QApplication::applicationDirPath()));
    Form_main.show();
    return application.exec();
}
