#include "Controls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTextBlock>
#include <algorithm>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // As the platform's multi-line boxes do: Tab leaves the box, it types nothing.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &TMemo::EnforceLimit);
}

void TMemo::SetMaxLength(int length) {
    FMaxLength = std::max(0, length);
    EnforceLimit();
}

void TMemo::EnforceLimit() {
    if (FEnforcing || FMaxLength == 0)
        return;
    const QString text = toPlainText();
    const int excess = int(text.size()) - FMaxLength;
    if (excess <= 0)
        return;
    // What was just typed or pasted sits before the cursor: drop its overflow there.
    FEnforcing = true;
    const int cursorAt = textCursor().position();
    const int cut = cursorAt - excess;
    const QString kept = cut >= 0 ? text.left(cut) + text.mid(cursorAt) : text.left(FMaxLength);
    setPlainText(kept);
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(cut, 0, int(kept.size())));
    setTextCursor(cursor);
    FEnforcing = false;
}

TStatusBar::TStatusBar(QWidget* parent) : QFrame(parent) {
    for (int i = 0; i < PanelCount; ++i) {
        auto* panel = new QLabel(this);
        panel->setTextFormat(Qt::PlainText); // panel 2 shows the dish name
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setIndent(PanelIndent);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        FPanels[i] = panel;
    }
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < PanelCount) {
        FTexts[panel] = text;
        if (panel + 1 < PanelCount)
            LayOutPanels(); // a count may have grown past its panel
        else
            ShowPanelText(panel);
    }
}

int TStatusBar::PanelWidthFor(int panel) const {
    if (panel + 1 >= PanelCount)
        return PanelWidth;
    // The counts are read whole: a large book's widens its panel, never cut.
    const QLabel* label = FPanels[panel];
    const int frame = label->width() - label->contentsRect().width();
    const int needed = label->fontMetrics().horizontalAdvance(FTexts[panel]) + 2 * PanelIndent +
                       std::max(frame, 2 * label->frameWidth());
    return std::max(PanelWidth, needed);
}

void TStatusBar::LayOutPanels() {
    // The last panel takes what the fixed ones leave: it shows the dish name.
    int left = 0;
    for (int i = 0; i < PanelCount; ++i) {
        const int width =
            i + 1 < PanelCount ? PanelWidthFor(i) : std::max(PanelWidth, this->width() - left);
        FPanels[i]->setGeometry(left, 0, width, height());
        ShowPanelText(i);
        left += width;
    }
}

void TStatusBar::ShowPanelText(int panel) {
    QLabel* label = FPanels[panel];
    const QString& text = FTexts[panel];
    const int room = label->contentsRect().width() - 2 * PanelIndent;
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, room);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    LayOutPanels();
}

void TStatusBar::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        LayOutPanels();
}

QString TStatusBar::PanelText(int panel) const {
    return panel >= 0 && panel < PanelCount ? FTexts[panel] : QString();
}

QString TrimText(const QString& text) {
    const QStringView trimmed = TrimmedView(text);
    return trimmed.size() == text.size() ? text : trimmed.toString();
}
