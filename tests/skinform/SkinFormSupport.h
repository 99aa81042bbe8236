#pragma once
// Shared by the window and menu skin tests: the default skin, a manager that
// is switched on, and pixel helpers.

#include "SkinMessages.h"
#include "SkinPaint.h"
#include "SkinResource.h"
#include "WinSkinData.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

inline std::unique_ptr<TSkinData> DefaultSkin() {
    auto skin = std::make_unique<TSkinData>();
    skin->ReadSkinStream(DefaultSkinStream());
    return skin;
}

struct TSkinFixture {
    std::unique_ptr<TSkinData> Skin = DefaultSkin();
    TSkinManage Manager;
    TSkinFixture() { Manager.active = true; }

    // Skins `window` as the manager would (InitTform or InitDlg, then the finish).
    TWinSkinForm& SkinWindow(QWidget& window, bool ownWindow = true) {
        auto* form = new TWinSkinForm(window, Manager);
        form->fsd = Skin.get();
        if (ownWindow) {
            form->InitTform();
        } else {
            form->InitDlg();
        }
        form->Finish();
        return *form;
    }
};

inline QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixel of a bitmap, as the grab would hold it.
inline QRgb BitmapPixel(const QImage& bitmap, int x, int y) {
    return bitmap.pixel(x, y) | 0xFF000000u;
}

inline QRgb GrabPixel(const QImage& grab, int x, int y) {
    return grab.pixel(x, y) | 0xFF000000u;
}

inline bool ShowAndActivate(QWidget& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w, 2000);
}

// Equal images, or where they first differ (both saved when MYCOOK_SAVE_GRABS names a folder).
inline ::testing::AssertionResult SameImage(const QImage& a, const QImage& b) {
    if (a == b) {
        return ::testing::AssertionSuccess();
    }
    if (const QByteArray folder = qgetenv("MYCOOK_SAVE_GRABS"); !folder.isEmpty()) {
        a.save(QString::fromLocal8Bit(folder) + QStringLiteral("/a.png"));
        b.save(QString::fromLocal8Bit(folder) + QStringLiteral("/b.png"));
    }
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.width() << "x" << a.height()
                                             << " and " << b.width() << "x" << b.height();
    }
    int count = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (count++ == 0) {
                    first = QPoint(x, y);
                }
            }
        }
    }
    return ::testing::AssertionFailure()
           << count << " pixels differ, first at " << first.x() << "," << first.y();
}
