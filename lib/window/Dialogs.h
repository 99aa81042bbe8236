#pragma once
// The file dialogs of the window. Execute answers true with a file name, or
// false when the user cancels; a test can answer in advance instead of a user.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

struct TFileDialogRequest {
    enum TKind { OpenPicture, Save, OpenFiles, OpenFolder } Kind;
    QStringList Filters; // as shown to the user, first one selected
    QString FileName;    // suggested to the user (the save dialog's FileName before Execute)
};
// Return a file name, or std::nullopt for cancel.
using TFileDialogHook = std::function<std::optional<QString>(const TFileDialogRequest&)>;
void SetFileDialogHook(TFileDialogHook hook);

class TOpenPictureDialog {
public:
    explicit TOpenPictureDialog(QWidget* owner = nullptr) : FOwner(owner) {}
    bool Execute();
    const QString& FileName() const { return FFileName; }
    static QStringList FilterLabels();

private:
    QWidget* FOwner;
    QString FFileName;
};

class TSaveDialog {
public:
    explicit TSaveDialog(QWidget* owner = nullptr) : FOwner(owner) {}
    // Entries as "name|pattern|name|pattern..."
    void SetFilter(const QString& filter) { FFilter = filter; }
    // Suggested when the dialog opens; Execute replaces it with the user's choice.
    void SetFileName(const QString& name) { FFileName = name; }
    bool Execute();
    const QString& FileName() const { return FFileName; }

private:
    QWidget* FOwner;
    QString FFilter;
    QString FFileName;
};

// Several existing files at once; a test answers with the names one per line.
class TOpenFilesDialog {
public:
    explicit TOpenFilesDialog(QWidget* owner = nullptr) : FOwner(owner) {}
    // Entries as "name|pattern|name|pattern...", patterns separated by ";"
    void SetFilter(const QString& filter) { FFilter = filter; }
    bool Execute();
    const QStringList& Files() const { return FFiles; }

private:
    QWidget* FOwner;
    QString FFilter;
    QStringList FFiles;
};

// One existing folder (a cookbook app's folder of recipe folders).
class TOpenFolderDialog {
public:
    explicit TOpenFolderDialog(QWidget* owner = nullptr) : FOwner(owner) {}
    void SetTitle(const QString& title) { FTitle = title; }
    bool Execute();
    const QString& Folder() const { return FFolder; }

private:
    QWidget* FOwner;
    QString FTitle;
    QString FFolder;
};

// The label the preview pane shows above a picture of w x h.
QString PreviewLabelText(int width, int height);
