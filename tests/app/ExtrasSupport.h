#pragma once
// Shared by the tests of what the window offers beside its specified controls.

#include "AppTestSupport.h"
#include "Graphics.h"
#include "RecipePrint.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <gtest/gtest.h>

class TExtrasFixture : public testing::Test, public TAppFixture {
protected:
    ~TExtrasFixture() override { SetPrintDialogHook(nullptr); }

    // A book that existed before this start, as on every run after the first.
    void OpenExisting() {
        Open();
        Form.reset();
        Open();
    }
    void Add(const QString& name, const QString& ingredients, QSize picture = {}) {
        TADOQuery& q = Form->ADOQuery1;
        q.AppendRecord(
            {name, ingredients, QStringLiteral("做法") + name, QStringLiteral("说明") + name});
        if (picture.isEmpty())
            return;
        ASSERT_TRUE(StoreRecipePicture(q, name, picture, QColor(30, 140, 200)));
    }
    void Search(const QString& keyword) {
        Ui().Edit2->setText(keyword);
        Form->BitBtn6Click();
    }
    void View(int index) {
        Ui().ListBox1->SetItemIndex(index);
        Q_EMIT Ui().ListBox1->Click(); // the handler and what watches it
    }
    QStringList Listed() {
        QStringList out;
        for (int i = 0; i < Ui().ListBox1->Count(); ++i)
            out << Ui().ListBox1->Item(i);
        return out;
    }
    QString ViewText() { return Ui().RichEdit1->document()->toPlainText(); }

    // Runs a poppler tool; empty when it is not installed.
    static QString Poppler(const QString& tool, const QStringList& args) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return {};
        QProcess p;
        p.start(tool, args);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};
