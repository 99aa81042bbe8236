#include "BookLocation.h"
#include "Unit_main.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook"));
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("Noto Sans CJK SC")});
    TForm_main Form_main(RecipeBookFolder(QApplication::applicationDirPath()));
    Form_main.show();
    return application.exec();
}
