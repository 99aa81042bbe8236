#include "../common/OnExit.h"
#include "../common/TestFiles.h"
#include "Controls.h"
#include "Dialogs.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {
TEST(TrimText, RemovesBlanksAndControlCharactersAtBothEnds) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("  红烧肉  "), QStringLiteral("红烧肉")},
        {QStringLiteral("\t\r\n鱼\x01"), QStringLiteral("鱼")},
        {QStringLiteral("a b"), QStringLiteral("a b")},
        {QStringLiteral("   "), QString()},
        {QString(), QString()},
        // An ideographic space is not a blank of this kind.
        {QStringLiteral("\u3000鱼"), QStringLiteral("\u3000鱼")},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(TrimText(in), out) << in.toStdString();
}

TEST(TMemo, KeepsToItsLengthLimit) {
    TMemo memo;
    memo.SetMaxLength(255);
    memo.setFocus();
    memo.insertPlainText(QString(250, u'a'));
    QTest::keyClicks(&memo, QStringLiteral("bcdefghij"));
    EXPECT_EQ(memo.Text().size(), 255);
    EXPECT_TRUE(memo.Text().endsWith(QStringLiteral("abcdef")));
    memo.insertPlainText(QString(300, u'x'));
    EXPECT_EQ(memo.Text().size(), 255);

    TMemo unlimited;
    unlimited.insertPlainText(QString(5000, u'y'));
    EXPECT_EQ(unlimited.Text().size(), 5000);
}

TEST(TListBox, SelectionAndItems) {
    TListBox list;
    list.SetItems({QStringLiteral("甲"), QStringLiteral("乙")});
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.ItemIndex(), -1);
    list.SetItemIndex(1);
    EXPECT_EQ(list.ItemIndex(), 1);
    EXPECT_EQ(list.Item(1), QStringLiteral("乙"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ItemIndex(), -1);
}

TEST(Dialogs, PictureTypesAndPreviewLabel) {
    const QStringList labels = TOpenPictureDialog::FilterLabels();
    ASSERT_EQ(labels.size(), 9);
    EXPECT_EQ(labels.first(),
              QStringLiteral("All (*.jpg;*.jpeg;*.bmp;*.tif;*.tiff;*.ico;*.emf;*.wmf)"));
    EXPECT_EQ(labels.last(), QStringLiteral("Metafiles (*.wmf)"));
    EXPECT_EQ(PreviewLabelText(2000, 1500), QStringLiteral(" (2000x1500)"));

    TFileDialogRequest seen{};
    SetFileDialogHook([&](const TFileDialogRequest& r) -> std::optional<QString> {
        seen = r;
        return std::nullopt;
    });
    TSaveDialog save;
    save.SetFilter(QStringLiteral("菜谱|*.rtf"));
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(seen.Kind, TFileDialogRequest::Save);
    EXPECT_EQ(seen.Filters, QStringList{QStringLiteral("菜谱 (*.rtf)")});
    SetFileDialogHook(nullptr);
}
} // namespace

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {
// Drives the real picture dialog: its file types, and the preview pane's label and
// button for a readable picture and for an unreadable file.
TEST(Dialogs, OpenPictureDialogPreviewsTheSelectedFile) {
    QTemporaryDir dir;
    QImage image(100, 50, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString picture = dir.filePath(QStringLiteral("wide.bmp"));
    ASSERT_TRUE(image.save(picture, "BMP"));
    const QString broken = dir.filePath(QStringLiteral("broken.bmp"));
    ASSERT_TRUE(WriteFile(broken, "BM junk"));

    QStringList filters, labels;
    bool buttonForPicture = false, buttonForBroken = true, typedSelected = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // Closed on every path, so a failed check cannot leave the test waiting.
        const TOnExit closer([dialog] { dialog->reject(); });
        filters = dialog->nameFilters();
        labels << dialog->selectedNameFilter();
        QLabel* label = nullptr;
        QPushButton* preview = nullptr;
        for (QLabel* l : dialog->findChildren<QLabel*>())
            if (l->text() == QStringLiteral("Picture:"))
                label = l;
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->toolTip() == QStringLiteral("Preview"))
                preview = b;
        ASSERT_NE(label, nullptr);
        ASSERT_NE(preview, nullptr);
        Q_EMIT dialog->currentChanged(picture);
        labels << label->text();
        buttonForPicture = preview->isEnabled();
        Q_EMIT dialog->currentChanged(broken);
        labels << label->text();
        buttonForBroken = preview->isEnabled();
        // A typed name: the preview shows what the dialog would return.
        dialog->setDirectory(dir.path());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, QStringLiteral("wide.bmp"));
        labels << label->text();
        typedSelected = dialog->selectedFiles().value(0) == picture;
        name->clear();
        QTest::keyClicks(name, QStringLiteral("missing.bmp"));
        labels << label->text();
    });
    TOpenPictureDialog dialog;
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(filters, TOpenPictureDialog::FilterLabels());
    EXPECT_EQ(labels, (QStringList{TOpenPictureDialog::FilterLabels().first(),
                                   QStringLiteral(" (100x50)"), QStringLiteral("Picture:"),
                                   QStringLiteral(" (100x50)"), QStringLiteral("Picture:")}));
    EXPECT_TRUE(typedSelected);
    EXPECT_TRUE(buttonForPicture);
    EXPECT_FALSE(buttonForBroken);
}
} // namespace
