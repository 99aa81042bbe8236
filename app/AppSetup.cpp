#include "AppSetup.h"

#include "AppIcon.h"
#include "AppLocale.h"

#include "ErrorDisplay.h"
#include "MsgShell.h"
#include "SkinRead.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
const QString TranslatorName = QStringLiteral("mycook-qt-zh_CN");
}

bool LoadChineseQtTexts() {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return false;
    if (application->findChild<QTranslator*>(TranslatorName))
        return true;
    auto* translator = new QTranslator(application); // lives as long as the application
    translator->setObjectName(TranslatorName);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

void SetUpApplication() {
    // The book's fallback folder is named after this; it is not what users read.
    QApplication::setApplicationName(QStringLiteral("mycook"));
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopFileName));
    LoadChineseQtTexts();
    FinishChineseLocale();
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("AR PL UMing CN"),
                                                        QStringLiteral("Noto Serif CJK SC"),
                                                        QStringLiteral("Noto Sans CJK SC")});
    // The skin's one message (an unsupported skin version) is a plain box.
    SetSkinMessageProc([](const QString& text) {
        ShowMessage({ApplicationTitle(), text, QMessageBox::NoIcon, QMessageBox::Ok});
    });
}
