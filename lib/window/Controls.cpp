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

TListBox::TListBox(QWidget* parent) : QListView(parent) {
    setModel(&FModel);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TListBox::SetItems(const TListItems& items) {
    FModel.SetItems(items);
}
void TListBox::Clear() {
    FModel.SetItems(TListItems());
}
int TListBox::Count() const {
    return FModel.rowCount();
}
QString TListBox::Item(int index) const {
    return index >= 0 && index < Count() ? FModel.Items().Text(index) : QString();
}

int TListBox::ItemIndex() const {
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current))
        return current.row();
    const QList<int> selected = SelectedIndexes();
    return selected.isEmpty() ? -1 : selected.first();
}

void TListBox::SetMultiSelect(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                        : QAbstractItemView::SingleSelection);
}

QList<int> TListBox::SelectedIndexes() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TListBox::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        clearSelection();
        return;
    }
    setCurrentIndex(FModel.index(index, 0));
}

// Below the last entry nothing is clicked: the selection stays and no Click
// comes, where the view would otherwise clear the selection.
void TListBox::mousePressEvent(QMouseEvent* event) {
    FPressOutside = !indexAt(event->position().toPoint()).isValid();
    if (FPressOutside) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid()) {
        FPressOutside = true;
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (FPressOutside) {
        FPressOutside = false;
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        Q_EMIT Click();
}

void TListBox::keyReleaseEvent(QKeyEvent* event) {
    QListView::keyReleaseEvent(event);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        Q_EMIT Click();
        break;
    default:
        break;
    }
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
        ShowPanelText(panel);
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
    // The last panel takes what the fixed ones leave: it shows the dish name.
    for (int i = 0; i < PanelCount; ++i) {
        const int left = i * PanelWidth;
        const int width =
            i + 1 < PanelCount ? PanelWidth : std::max(PanelWidth, this->width() - left);
        FPanels[i]->setGeometry(left, 0, width, height());
        ShowPanelText(i);
    }
}

void TStatusBar::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        for (int i = 0; i < PanelCount; ++i)
            ShowPanelText(i);
}

QString TStatusBar::PanelText(int panel) const {
    return panel >= 0 && panel < PanelCount ? FTexts[panel] : QString();
}

QString TrimText(const QString& text) {
    const QStringView trimmed = TrimmedView(text);
    return trimmed.size() == text.size() ? text : trimmed.toString();
}
