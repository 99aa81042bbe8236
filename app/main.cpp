#include "AppSetup.h"
#include "BookLocation.h"
#include "Unit_main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    SetUpApplication();
    TForm_main Form_main(RecipeBookFolder(QApplication::applicationDirPath()));
    Form_main.show();
    return application.exec();
}
