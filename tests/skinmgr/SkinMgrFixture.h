#pragma once
// Skin components on plain test windows, with the skin units started and
// finished around every test as the program does around its message loop.

#include "SkinMessages.h"
#include "SkinResource.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"
#include "WinSkinMenu.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

class SkinMgrTest : public testing::Test {
protected:
    void SetUp() override { InitializeSkinUnits(); }
    void TearDown() override {
        FinalizeSkinUnits();
        Skins.clear();
        Windows.clear();
        QApplication::processEvents();
    }

    QWidget& NewWindow(const QString& title = QStringLiteral("w")) {
        auto window = std::make_unique<QWidget>();
        window->setWindowTitle(title);
        window->resize(200, 150);
        Windows.push_back(std::move(window));
        return *Windows.back();
    }

    // A component as a window's loader makes it: stored values, the skin read, Loaded.
    TSkinData& NewSkin(QWidget* owner, TSkinFormType type = sfMainform, bool active = true,
                       const QByteArray& stream = DefaultSkinStream()) {
        auto skin = std::make_unique<TSkinData>();
        skin->Owner = owner;
        skin->SetActive(active);
        skin->SkinFormtype = type;
        skin->ReadSkinStream(stream);
        skin->Loaded();
        Skins.push_back(std::move(skin));
        return *Skins.back();
    }

    static TSkinManage& Manager() { return *SkinManager(); }

    // Shows and activates the window the way the user's click does.
    static void Activate(QWidget& window) {
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window, 2000);
        QApplication::processEvents();
    }

    // The main component loaded and its window skinned (manager running).
    TSkinData& StartMain(QWidget& window) {
        TSkinData& skin = NewSkin(&window);
        Activate(window);
        return skin;
    }

    static int LiveForms() {
        int n = 0;
        for (const auto& f : Manager().Flist) {
            n += f ? 1 : 0;
        }
        return n;
    }

    std::vector<std::unique_ptr<TSkinData>> Skins;
    std::vector<std::unique_ptr<QWidget>> Windows;
};
