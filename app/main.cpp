#include "BookLocation.h"
#include "MsgShell.h"
#include "SkinRead.h"
#include "Unit_main.h"
#include "WinSkinDlg.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook"));
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("AR PL UMing CN"),
                                                        QStringLiteral("Noto Serif CJK SC"),
                                                        QStringLiteral("Noto Sans CJK SC")});
    // The skin's one message (an unsupported skin version) is a plain box.
    SetSkinMessageProc([](const QString& text) {
        ShowMessage({QApplication::applicationName(), text, QMessageBox::NoIcon, QMessageBox::Ok});
    });
    InitializeSkinUnits();
    TForm_main Form_main(RecipeBookFolder(QApplication::applicationDirPath()));
    Form_main.show();
    const int result = application.exec();
    // The skin lets go of every window before the main window is destroyed.
    FinalizeSkinUnits();
    return result;
}
