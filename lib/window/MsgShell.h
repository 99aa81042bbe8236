#pragma once
// Talking to the user and to the desktop: an information box, a yes/no
// question, and opening a document or web address with its associated program.

#include <QMessageBox>
#include <QString>
#include <functional>

void ShowInfo(const QString& text);
bool AskYesNo(const QString& text);
// The same question with No as the default answer (Enter), for what cannot be undone.
bool AskYesNoDefaultNo(const QString& text);
bool ShellOpen(const QString& target, const QString& parameters);

// The part of the target up to and including its last "\" or ":" (empty when none).
QString ShellWorkingFolder(const QString& target);

// Test seams. A message hook answers every box instead of the user; a shell
// hook stands in for the desktop. Pass nullptr to restore the real ones.
struct TMessageRequest {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton; // none: the box's own
    QString Details; // shown under "Show Details..." when not empty
};
using TMessageHook = std::function<QMessageBox::StandardButton(const TMessageRequest&)>;
void SetMessageHook(TMessageHook hook);

struct TShellRequest {
    QString Target;
    QString Parameters;
    QString WorkingFolder;
};
using TShellHook = std::function<bool(const TShellRequest&)>;
void SetShellHook(TShellHook hook);

// Shows a box through the hook when one is set, else modally on screen.
QMessageBox::StandardButton ShowMessage(const TMessageRequest& request);
