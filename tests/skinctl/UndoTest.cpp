// The main window's controls skinned and given back: what each control gets,
// and every page after skin-on-then-off equal to the page never skinned.
#include "AppTestSupport.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"
#include "WinSubClass.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

std::vector<QImage> GrabPages(TForm_main& form) {
    std::vector<QImage> pages;
    auto& pageControl = *form.Controls().PageControl1;
    for (int i = 0; i < pageControl.count(); ++i) {
        pageControl.setCurrentIndex(i);
        pages.push_back(form.grab().toImage());
    }
    pageControl.setCurrentIndex(0);
    return pages;
}

QString SkinClass(const TWinSkinForm& skinForm, const QWidget* w) {
    for (const QPointer<TSkinControl>& c : skinForm.Controllist) {
        if (c && c->hwnd.data() == w) {
            return QString::fromLatin1(c->metaObject()->className());
        }
    }
    return {};
}

} // namespace

TEST(MainWindowControls, EachControlGetsItsSkinAndGivesItBack) {
    TAppFixture app;
    TForm_main& form = app.Open();
    ASSERT_FALSE(form.SkinData1().Empty);
    const std::vector<QImage> before = GrabPages(form);

    TSkinManage manager;
    auto* skinForm = new TWinSkinForm(form, manager); // owned by the window
    skinForm->fsd = &form.SkinData1();
    skinForm->FForm = &form;
    SkinFormControls(*skinForm);

    Ui::TForm_main& ui = form.Controls();
    const std::vector<std::pair<QWidget*, const char*>> expected = {
        {ui.BitBtn1, "TSkinBitButton"},
        {ui.BitBtn7, "TSkinBitButton"},
        {ui.Edit1, "TSkinEdit"},
        {ui.Edit2, "TSkinEdit"},
        {ui.Memo1, "TSkinScrollbar"},
        {ui.Memo3, "TSkinScrollbar"},
        {ui.ListBox1, "TSkinScrollbar"},
        {ui.RichEdit1, "TSkinScrollbar"},
        {ui.GroupBox1, "TSkinGroupBox"},
        {ui.CoolBar1, "TSkinBox"},
        {ui.Panel1, "TSkinBox"},
        {ui.PageControl1, "TSkinTab"},
        {ui.TabSheet2, "TSkinTabSheet"},
        {ui.StatusBar1, "TSkinStatusBar"},
        {ui.Label1, ""},
        {ui.Image1, ""},
    };
    for (const auto& [w, cls] : expected) {
        EXPECT_EQ(SkinClass(*skinForm, w), QString::fromLatin1(cls))
            << w->objectName().toStdString();
    }
    // A memo's own scroll bar is not a control of its own.
    EXPECT_EQ(SkinClass(*skinForm, ui.Memo1->verticalScrollBar()), "");

    const std::vector<QImage> skinned = GrabPages(form);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_NE(skinned[i], before[i]) << "page " << i << " shows no skin";
    }
    UnskinFormControls(*skinForm, false);
    EXPECT_TRUE(skinForm->Controllist.isEmpty());
    const std::vector<QImage> after = GrabPages(form);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i], before[i]) << "page " << i;
    }
}

TEST(MainWindowControls, ClosingTheWindowWhileSkinnedLeavesNothing) {
    TAppFixture app;
    TForm_main& form = app.Open();
    TSkinManage manager;
    auto* skinForm = new TWinSkinForm(form, manager);
    skinForm->fsd = &form.SkinData1();
    skinForm->FForm = &form;
    SkinFormControls(*skinForm);
    ASSERT_FALSE(skinForm->Controllist.isEmpty());
    const QList<QPointer<TSkinControl>> skins = skinForm->Controllist;
    const QPointer<TWinSkinForm> window = skinForm;
    app.Open(); // the first window goes with every skin object on it
    EXPECT_TRUE(window.isNull());
    for (const QPointer<TSkinControl>& skin : skins)
        EXPECT_TRUE(skin.isNull());
    // The new window carries none of them.
    EXPECT_TRUE(app.Form->findChildren<TSkinControl*>().isEmpty());
    EXPECT_TRUE(app.Form->findChildren<TWinSkinForm*>().isEmpty());
}
