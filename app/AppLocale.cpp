#include "AppLocale.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMimeDatabase>
#include <QTranslator>
#include <clocale>
#include <optional>
#include <vector>

namespace {
const QString FillInName = QStringLiteral("mycook-qt-fill-in");
constexpr const char* const Variables[] = {"LC_ALL", "LANG", "LC_TIME", "LC_MESSAGES", "LANGUAGE"};

struct TSavedVariable {
    const char* Name;
    std::optional<QByteArray> Value;
};
std::optional<std::vector<TSavedVariable>>& Saved() {
    static std::optional<std::vector<TSavedVariable>> saved;
    return saved;
}

// Qt's Chinese texts lack the file dialogs' folder type; the MIME database names it.
// The details button of a box ends in the ellipsis our menus use.
class TFillInTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") == 0 &&
            qstrcmp(sourceText, "Folder") == 0)
            return QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
        if (qstrcmp(context, "QMessageBox") == 0) {
            if (qstrcmp(sourceText, "Show Details...") == 0)
                return QStringLiteral("显示详情…");
            if (qstrcmp(sourceText, "Hide Details...") == 0)
                return QStringLiteral("隐藏详情…");
        }
        return QString();
    }
};
} // namespace

void PrepareChineseLocale() {
    // The C library takes the user's locale now; Qt's own call later cannot change it
    // unless the Chinese one is installed (then the C library speaks Chinese too).
    std::setlocale(LC_ALL, "");
    if (Saved())
        return;
    std::vector<TSavedVariable> saved;
    for (const char* name : Variables)
        saved.push_back({name, qEnvironmentVariableIsSet(name)
                                   ? std::optional<QByteArray>(qgetenv(name))
                                   : std::nullopt});
    Saved() = std::move(saved);
    qunsetenv("LANGUAGE");
    qputenv("LC_ALL", "zh_CN.UTF-8");
}

void FinishChineseLocale() {
    if (Saved()) {
        // Qt has read the system locale while the application object was made;
        // asking once more makes sure it is read before the environment changes back.
        (void)QLocale::system().name();
        for (const TSavedVariable& variable : *Saved()) {
            if (variable.Value)
                qputenv(variable.Name, *variable.Value);
            else
                qunsetenv(variable.Name);
        }
        Saved()->clear();
    }
    QLocale::setDefault(
        QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    QCoreApplication* application = QCoreApplication::instance();
    if (application && !application->findChild<QTranslator*>(FillInName)) {
        auto* translator = new TFillInTranslator(application); // lives as long as the application
        translator->setObjectName(FillInName);
        QCoreApplication::installTranslator(translator);
    }
}
