#include "Dialogs.h"

#include "Graphics.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
TFileDialogHook& Hook() {
    static TFileDialogHook hook;
    return hook;
}

// Shows one graphic scaled into its area, proportions kept.
class TPreviewArea : public QWidget {
public:
    explicit TPreviewArea(QWidget* parent) : QWidget(parent) { setMinimumSize(160, 160); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic) {
        FGraphic = std::move(graphic);
        update();
    }
    const TGraphic* Graphic() const { return FGraphic.get(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().base());
        if (!FGraphic) {
            painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("(None)"));
            return;
        }
        QSizeF size(FGraphic->Width(), FGraphic->Height());
        if (size.width() > width() || size.height() > height())
            size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2),
                            size);
        try {
            FGraphic->Draw(painter, target);
        } catch (...) {
        }
    }

private:
    std::unique_ptr<TGraphic> FGraphic;
};

// A separate window showing the picture, at most three quarters of the screen.
void ShowPreviewWindow(QWidget* owner, const TGraphic& graphic) {
    QDialog window(owner);
    window.setWindowTitle(QStringLiteral("Preview"));
    // Skinned like the file dialog it belongs to.
    window.setProperty("skinWindowClass", QStringLiteral("#32770"));
    auto* area = new TPreviewArea(&window);
    area->SetGraphic(graphic.Clone());
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    QSize size(graphic.Width(), graphic.Height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize limit = screen->availableGeometry().size() * 3 / 4;
        size = size.boundedTo(limit);
    }
    window.resize(size);
    window.exec();
}

// Lets a test answer instead of the user; false when no test hook is set.
bool AnsweredByHook(const TFileDialogRequest& request, QString& fileName, bool& accepted) {
    if (!Hook())
        return false;
    const std::optional<QString> answer = Hook()(request);
    if (answer)
        fileName = *answer;
    accepted = answer.has_value();
    return true;
}

bool RunDialog(QFileDialog& dialog, QString& fileName) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().first();
    return true;
}

std::unique_ptr<TGraphic> TryLoad(const QString& path) {
    try {
        TPicture picture;
        picture.LoadFromFile(path);
        TGraphic* graphic = picture.Graphic();
        if (!graphic || graphic->Empty())
            return nullptr;
        return graphic->Clone();
    } catch (...) {
        return nullptr;
    }
}
// "name|pattern|name|pattern..." as Qt's "name (pattern)" filters; the patterns of
// one entry, separated by ";" in ours, by blanks in Qt's.
QStringList NameFilters(const QString& filter) {
    QStringList filters;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(parts.at(i) + QStringLiteral(" (") +
                       QString(parts.at(i + 1)).replace(u';', u' ') + u')');
    return filters;
}
} // namespace

void SetFileDialogHook(TFileDialogHook hook) {
    Hook() = std::move(hook);
}

QString PreviewLabelText(int width, int height) {
    return QString::asprintf(" (%dx%d)", width, height);
}

QStringList TOpenPictureDialog::FilterLabels() {
    QStringList labels;
    for (const TPictureFileType& type : PictureFileTypes())
        labels.append(type.Label);
    return labels;
}

bool TOpenPictureDialog::Execute() {
    const QList<TPictureFileType> types = PictureFileTypes();
    const TFileDialogRequest request{TFileDialogRequest::OpenPicture, FilterLabels()};
    if (bool accepted = false; AnsweredByHook(request, FFileName, accepted))
        return accepted;

    QFileDialog dialog(FOwner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(request.Filters);
    // The labels list their patterns with ";", which the dialog does not split;
    // the file model gets the real patterns of the chosen entry instead.
    auto* model = dialog.findChild<QFileSystemModel*>();
    auto applyPatterns = [&](const QString& label) {
        const qsizetype index = request.Filters.indexOf(label);
        if (model && index >= 0)
            model->setNameFilters(types.at(index).Patterns);
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyPatterns);
    dialog.selectNameFilter(request.Filters.first());
    applyPatterns(request.Filters.first());

    // Preview pane beside the file list.
    auto* pane = new QWidget(&dialog);
    auto* paneLayout = new QVBoxLayout(pane);
    auto* label = new QLabel(QStringLiteral("Picture:"), pane);
    auto* area = new TPreviewArea(pane);
    auto* previewButton = new QPushButton(QStringLiteral("…"), pane);
    previewButton->setToolTip(QStringLiteral("Preview"));
    previewButton->setEnabled(false);
    paneLayout->addWidget(label);
    paneLayout->addWidget(area, 1);
    paneLayout->addWidget(previewButton);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);

    QString previewed;
    const auto showPreview = [&](const QString& path) {
        if (path == previewed)
            return;
        previewed = path;
        std::unique_ptr<TGraphic> graphic = QFileInfo(path).isFile() ? TryLoad(path) : nullptr;
        if (graphic)
            label->setText(PreviewLabelText(graphic->Width(), graphic->Height()));
        else
            label->setText(QStringLiteral("Picture:"));
        previewButton->setEnabled(graphic != nullptr);
        area->SetGraphic(std::move(graphic));
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, showPreview);
    // A typed name is what the dialog returns, whether or not the list follows it.
    if (auto* nameEdit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        QObject::connect(nameEdit, &QLineEdit::textChanged, &dialog, [&, nameEdit] {
            const QString typed = nameEdit->text().trimmed();
            if (!typed.isEmpty())
                showPreview(QDir(dialog.directory()).absoluteFilePath(typed));
        });
    QObject::connect(previewButton, &QPushButton::clicked, &dialog, [&] {
        if (area->Graphic())
            ShowPreviewWindow(&dialog, *area->Graphic());
    });

    return RunDialog(dialog, FFileName);
}

bool TSaveDialog::Execute() {
    const QStringList filters = NameFilters(FFilter);
    const TFileDialogRequest request{TFileDialogRequest::Save, filters, FFileName};
    if (bool accepted = false; AnsweredByHook(request, FFileName, accepted))
        return accepted;
    QFileDialog dialog(FOwner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    if (!FFileName.isEmpty())
        dialog.selectFile(FFileName);
    return RunDialog(dialog, FFileName);
}

bool TOpenFilesDialog::Execute() {
    const QStringList filters = NameFilters(FFilter);
    const TFileDialogRequest request{TFileDialogRequest::OpenFiles, filters};
    QString answer;
    if (bool accepted = false; AnsweredByHook(request, answer, accepted)) {
        FFiles = answer.split(u'\n', Qt::SkipEmptyParts);
        return accepted && !FFiles.isEmpty();
    }
    QFileDialog dialog(FOwner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FFiles = dialog.selectedFiles();
    return true;
}

bool TOpenFolderDialog::Execute() {
    const TFileDialogRequest request{TFileDialogRequest::OpenFolder, {}};
    if (bool accepted = false; AnsweredByHook(request, FFolder, accepted))
        return accepted && !FFolder.isEmpty();
    QFileDialog dialog(FOwner, FTitle);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return RunDialog(dialog, FFolder);
}
