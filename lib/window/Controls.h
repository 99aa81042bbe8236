#pragma once
// Small controls the window needs beyond Qt's own: a memo with a length limit,
// a list of texts that stays quick with many entries, and a panelled status bar.

#include "ListBox.h"

#include <QFrame>
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

class TStatusBar : public QFrame {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const; // the whole text, also when shown cut
    static constexpr int PanelCount = 3;
    static constexpr int PanelWidth = 100; // all but the last (wider for a count that needs it)

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static constexpr int PanelIndent = 4;
    // Too long a text is shown cut with "…", whole in the panel's tool-tip.
    void ShowPanelText(int panel);
    int PanelWidthFor(int panel) const;
    void LayOutPanels();
    QLabel* FPanels[PanelCount] = {};
    QString FTexts[PanelCount];
};

// Removes blanks and control characters (code points up to U+0020) at both ends.
QString TrimText(const QString& text);
