#pragma once
// Small controls the window needs beyond Qt's own: a memo with a length limit,
// a list of texts that stays quick with many entries, and a panelled status bar.

#include "ListItems.h"

#include <QFrame>
#include <QListView>
#include <QPlainTextEdit>

class QLabel;

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* parent = nullptr);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int length); // 0: no limit
    QString Text() const { return toPlainText(); }

private:
    void EnforceLimit();
    int FMaxLength = 0;
    bool FEnforcing = false;
};

class TListBox : public QListView {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr);
    // The list holds its texts as one block and draws only the rows in sight, so
    // filling it with a million names costs about a copy of them.
    void SetItems(const TListItems& items);
    void Clear();
    int Count() const;
    QString Item(int index) const; // empty when there is no such entry
    TListItems Items() const { return FModel.Items(); }
    // The entry last clicked or moved to when it is selected, else the first
    // selected; -1 when nothing is selected.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // Ctrl- and Shift-clicks choose several; a plain click still chooses one.
    void SetMultiSelect(bool on);
    QList<int> SelectedIndexes() const; // in the list's order

Q_SIGNALS:
    // A click on an entry, or a keyboard move of the selection.
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    TListItemsModel FModel;
    bool FPressOutside = false; // the press was below the entries
};

class TStatusBar : public QFrame {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const; // the whole text, also when shown cut
    static constexpr int PanelCount = 3;
    static constexpr int PanelWidth = 100; // all but the last, which takes the rest

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static constexpr int PanelIndent = 4;
    // Too long a text is shown cut with "…", whole in the panel's tool-tip.
    void ShowPanelText(int panel);
    QLabel* FPanels[PanelCount] = {};
    QString FTexts[PanelCount];
};

// Removes blanks and control characters (code points up to U+0020) at both ends.
QString TrimText(const QString& text);
