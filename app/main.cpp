#include "AppLocale.h"
#include "AppSetup.h"
#include "BookLocation.h"
#include "Unit_main.h"
#include "WinSkinDlg.h"

#include <QApplication>

int main(int argc, char** argv) {
    PrepareChineseLocale();
    QApplication application(argc, argv);
    SetUpApplication();
    InitializeSkinUnits();
    TForm_main Form_main(RecipeBookFolder(QApplication::applicationDirPath()));
    Form_main.show();
    const int result = application.exec();
    // The skin lets go of every window before the main window is destroyed.
    FinalizeSkinUnits();
    return result;
}
