#pragma once
// Drives the main window in tests: a fresh book folder, answered message boxes
// and dialogs, and direct access to the window's controls.

#include "Dialogs.h"
#include "MsgShell.h"
#include "RecipeExtras.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include "Graphics.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <deque>
#include <optional>
#include <vector>

class TAppFixture {
public:
    TAppFixture() {
        SetMessageHook([this](const TMessageRequest& r) {
            Messages.push_back(r);
            if (Answers.empty())
                return QMessageBox::Ok;
            const QMessageBox::StandardButton answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
        SetFileDialogHook([this](const TFileDialogRequest& r) -> std::optional<QString> {
            DialogRequests.push_back(r);
            if (FileAnswers.empty())
                return std::nullopt;
            std::optional<QString> answer = FileAnswers.front();
            FileAnswers.pop_front();
            return answer;
        });
        SetShellHook([this](const TShellRequest& r) {
            ShellRequests.push_back(r);
            return true;
        });
    }
    ~TAppFixture() {
        Form.reset();
        SetMessageHook(nullptr);
        SetFileDialogHook(nullptr);
        SetShellHook(nullptr);
    }

    TForm_main& Open() {
        Form.reset();
        Form = std::make_unique<TForm_main>(Dir.path());
        return *Form;
    }
    Ui::TForm_main& Ui() { return Form->Controls(); }
    QString BookPath() const { return Dir.filePath(QStringLiteral("cook.mdb")); }
    QString Panel(int i) { return Ui().StatusBar1->PanelText(i); }
    std::vector<QString> Errors() const {
        std::vector<QString> out;
        for (const TMessageRequest& r : Messages)
            if (r.Icon == QMessageBox::Critical)
                out.push_back(r.Text);
        return out;
    }

    QTemporaryDir Dir;
    std::unique_ptr<TForm_main> Form;
    std::vector<TMessageRequest> Messages;
    std::deque<QMessageBox::StandardButton> Answers;
    std::vector<TFileDialogRequest> DialogRequests;
    std::deque<std::optional<QString>> FileAnswers;
    std::vector<TShellRequest> ShellRequests;
};

// Stores a one-colour picture of `size` as the JPEG of the recipe `name`.
inline bool StoreRecipePicture(TADOQuery& query, const QString& name, QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    TBitmap bitmap;
    bitmap.SetImage(image);
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    if (!query.Locate(QStringLiteral("菜名"), name))
        return false;
    query.Edit();
    QBuffer buffer;
    buffer.setData(jpeg.Data());
    buffer.open(QIODevice::ReadOnly);
    query.FieldByName(QStringLiteral("img")).LoadFromStream(buffer);
    query.Post();
    return true;
}
