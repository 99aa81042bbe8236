#include "Controls.h"
#include "Dialogs.h"

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
