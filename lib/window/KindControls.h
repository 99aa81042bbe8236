#pragma once
// The main window's controls under class names that say what kind of control
// each is, so the skin's class rules can tell a panel from a cool bar or a page
// control from any other stack of pages. They add no behaviour.

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>

class TBitBtn : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtn(QWidget* parent = nullptr) : QPushButton(parent) {}
};

class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
};

class TRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TRichEdit(QWidget* parent = nullptr) : QTextEdit(parent) {}
};

class TGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TGroupBox(QWidget* parent = nullptr) : QGroupBox(parent) {}
};

class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr) : QFrame(parent) {}
};

// The bar holding the page buttons' panel; its band colour follows the skin.
class TCoolBar : public QFrame {
    Q_OBJECT
public:
    explicit TCoolBar(QWidget* parent = nullptr) : QFrame(parent) {}
};

// Pages switched by the program, without tabs of their own.
class TPageControl : public QStackedWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr) : QStackedWidget(parent) {}
};

class TTabSheet : public QWidget {
    Q_OBJECT
public:
    explicit TTabSheet(QWidget* parent = nullptr) : QWidget(parent) {}
};

class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr) : QLabel(parent) {}
};
