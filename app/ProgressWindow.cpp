#include "ProgressWindow.h"

#include "WindowPlacement.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TProgressWindow::TProgressWindow(QWidget* owner, const QString& text)
    : QDialog(owner), FLabel(new QLabel(text, this)), FBar(new QProgressBar(this)) {
    setWindowTitle(QStringLiteral("提示"));
    setWindowModality(Qt::WindowModal);
    // A box of the program's own, skinned as its other boxes are.
    setProperty("skinWindowClass", QStringLiteral("#32770"));
    FLabel->setTextFormat(Qt::PlainText);
    FBar->setRange(0, 0);
    FBar->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &TProgressWindow::reject);
    // In a layout, so the skin's caption and borders never cover the text.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FLabel);
    layout->addWidget(FBar);
    layout->addWidget(buttons);
    setMinimumWidth(300);
    FDelay.setSingleShot(true);
    connect(&FDelay, &QTimer::timeout, this, [this] {
        FWanted = true;
        if (FPaused == 0)
            ShowNow();
    });
    FDelay.start(ShowDelayMs);
    FSinceEvents.start();
}

void TProgressWindow::ShowNow() {
    if (isVisible())
        return;
    adjustSize();
    CentreOn(*this, parentWidget());
    show();
}

bool TProgressWindow::Step(int done, int total) {
    if (FSinceEvents.elapsed() < 30)
        return !FCancelled;
    FSinceEvents.restart();
    const int maximum = std::max(total, 0);
    FBar->setRange(0, maximum);
    FBar->setValue(std::clamp(done, 0, maximum));
    QCoreApplication::processEvents();
    return !FCancelled;
}

void TProgressWindow::Flush() {
    FSinceEvents.restart();
    QCoreApplication::processEvents();
}

void TProgressWindow::Pause() {
    if (FPaused++ > 0)
        return;
    if (FDelay.isActive())
        FDelay.stop();
    hide();
}

void TProgressWindow::Resume() {
    if (FPaused == 0 || --FPaused > 0)
        return;
    if (FWanted)
        ShowNow();
    else
        FDelay.start(ShowDelayMs);
}

void TProgressWindow::reject() {
    FCancelled = true;
}
