#include "MsgShell.h"

#include "WindowPlacement.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
TMessageHook& MessageHook() {
    static TMessageHook hook;
    return hook;
}
TShellHook& ShellHook() {
    static TShellHook hook;
    return hook;
}

// Owned by the main window and centred over it (on the screen without one),
// placed once its size is settled and before it appears.
class TMessageBox : public QMessageBox {
public:
    TMessageBox(const TMessageRequest& request, QWidget* owner)
        : QMessageBox(request.Icon, request.Caption, request.Text, request.Buttons, owner) {
        // Our texts carry dish names and what imported files hold: never markup.
        setTextFormat(Qt::PlainText);
        if (request.DefaultButton != QMessageBox::NoButton)
            setDefaultButton(request.DefaultButton);
        if (!request.Details.isEmpty())
            setDetailedText(request.Details);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        CentreOn(*this, parentWidget());
    }
};

// A scheme needs at least two letters, so "C:\x" stays a file path.
bool LooksLikeUrl(const QString& target) {
    const QUrl url(target, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() > 1;
}
} // namespace

void SetMessageHook(TMessageHook hook) {
    MessageHook() = std::move(hook);
}
void SetShellHook(TShellHook hook) {
    ShellHook() = std::move(hook);
}

QMessageBox::StandardButton ShowMessage(const TMessageRequest& request) {
    if (MessageHook())
        return MessageHook()(request);
    TMessageBox box(request, MainWindow());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowInfo(const QString& text) {
    ShowMessage({QStringLiteral("提示"), text, QMessageBox::Information, QMessageBox::Ok});
}

bool AskYesNo(const QString& text) {
    return ShowMessage({QStringLiteral("提示"), text, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
}

bool AskYesNoDefaultNo(const QString& text) {
    return ShowMessage({QStringLiteral("提示"), text, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) == QMessageBox::Yes;
}

QString ShellWorkingFolder(const QString& target) {
    const qsizetype cut = std::max(target.lastIndexOf(u'\\'), target.lastIndexOf(u':'));
    return cut < 0 ? QString() : target.left(cut + 1);
}

bool ShellOpen(const QString& target, const QString& parameters) {
    const TShellRequest request{target, parameters, ShellWorkingFolder(target)};
    if (ShellHook())
        return ShellHook()(request);
    if (target.isEmpty())
        return false;
    if (LooksLikeUrl(target))
        return QDesktopServices::openUrl(QUrl(target, QUrl::StrictMode));
    // The desktop cannot open what is not there; say so without asking it.
    const QFileInfo file(target);
    if (!file.exists())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}
