// A skinned window on a real X display, driven by real input (xdotool): drag by
// the caption, minimise and restore, and close a message box by its button.
// Starts its own Xvfb (and openbox when built for it); skips without Xvfb.
#include "SkinResource.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString GDisplay;
bool GHaveDisplay = false;

bool Xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    // Keep the event loop running: the window must answer while input arrives.
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        p.waitForFinished(10);
    }
    QTest::qWait(150);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool ClickAt(const QPoint& global) {
    return Xdotool({QStringLiteral("mousemove"), QString::number(global.x()),
                    QString::number(global.y()), QStringLiteral("sleep"), QStringLiteral("0.1"),
                    QStringLiteral("click"), QStringLiteral("1")});
}

struct TSkinned {
    TSkinData Skin;
    TSkinManage Manager;
    TSkinned() {
        Skin.ReadSkinStream(DefaultSkinStream());
        Manager.active = true;
    }
    TWinSkinForm& Skin_(QWidget& w, bool own) {
        auto* form = new TWinSkinForm(w, Manager);
        form->fsd = &Skin;
        own ? form->InitTform() : form->InitDlg();
        form->Finish();
        return *form;
    }
};

const TCaptionButton* Button(const TWinSkinForm& form, int action) {
    for (const auto& b : form.CaptionButtons()) {
        if (b.Action == action) {
            return &b;
        }
    }
    return nullptr;
}

} // namespace

TEST(SkinDisplay, DragMinimiseRestoreAndCloseMessageBox) {
    if (!GHaveDisplay) {
        GTEST_SKIP() << "no Xvfb";
    }
    TSkinned s;
    QWidget main;
    main.setFixedSize(703, 586);
    main.setWindowTitle(QStringLiteral("百味小筑"));
    main.move(100, 100);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main, 10000));
    main.activateWindow();
    QTest::qWait(300);
    TWinSkinForm& form = s.Skin_(main, true);
    QTest::qWait(300);
    ASSERT_TRUE(form.DrawsFrame());
    EXPECT_EQ(main.size(), QSize(711, 620));

    // Drag by the caption with the real pointer.
    const QPoint start = main.frameGeometry().topLeft();
    const QPoint grip = main.mapToGlobal(QPoint(300, 15));
    ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QString::number(grip.x()),
                         QString::number(grip.y()),   QStringLiteral("sleep"),
                         QStringLiteral("0.1"),       QStringLiteral("mousedown"),
                         QStringLiteral("1"),         QStringLiteral("sleep"),
                         QStringLiteral("0.1"),       QStringLiteral("mousemove_relative"),
                         QStringLiteral("--"),        QStringLiteral("30"),
                         QStringLiteral("20"),        QStringLiteral("sleep"),
                         QStringLiteral("0.1"),       QStringLiteral("mousemove_relative"),
                         QStringLiteral("--"),        QStringLiteral("30"),
                         QStringLiteral("20"),        QStringLiteral("sleep"),
                         QStringLiteral("0.2"),       QStringLiteral("mouseup"),
                         QStringLiteral("1")}));
    QTRY_VERIFY_WITH_TIMEOUT(main.frameGeometry().topLeft() != start, 3000);
    const QPoint moved = main.frameGeometry().topLeft() - start;
    EXPECT_NEAR(moved.x(), 60, 4);
    EXPECT_NEAR(moved.y(), 40, 4);

    // Minimise by the caption button; only a window manager can iconify on X.
    const TCaptionButton* min = Button(form, caMinimize);
    ASSERT_NE(min, nullptr);
    ASSERT_TRUE(ClickAt(main.mapToGlobal(min->Rect.center())));
#if SKINDISPLAY_WITH_WM
    QTRY_VERIFY_WITH_TIMEOUT(main.isMinimized(), 3000);
    main.showNormal();
    main.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!main.isMinimized() && main.isVisible(), 3000);
#else
    main.showNormal();
    QTest::qWait(200);
#endif
    EXPECT_TRUE(form.DrawsFrame());
    EXPECT_EQ(main.size(), QSize(711, 620));

    // A message box closed by its skinned close button.
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("保存成功"),
                    QMessageBox::Ok, &main);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    TWinSkinForm& boxForm = s.Skin_(box, false);
    QTest::qWait(300);
    ASSERT_TRUE(boxForm.DrawsFrame());
    const TCaptionButton* close = Button(boxForm, caClose);
    ASSERT_NE(close, nullptr);
    ASSERT_TRUE(ClickAt(box.mapToGlobal(close->Rect.center())));
    QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), 3000);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QProcess> xvfb, wm;
    const bool haveTools = !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
                           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() &&
                           (!SKINDISPLAY_WITH_WM ||
                            !QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty());
    if (haveTools) {
        // A free display number: no lock file, and Xvfb really starts on it.
        for (int n = 140; n < 200 && !GHaveDisplay; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) {
                continue;
            }
            xvfb = std::make_unique<QProcess>();
            xvfb->start(QStringLiteral("Xvfb"),
                        {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                         QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            for (int i = 0; i < 40 && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n));
                 ++i) {
                if (xvfb->waitForFinished(50)) {
                    break;
                }
            }
            if (xvfb->state() == QProcess::Running &&
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
                GDisplay = QStringLiteral(":%1").arg(n);
                GHaveDisplay = true;
            } else {
                xvfb->kill();
                xvfb->waitForFinished(1000);
            }
        }
    }
    if (GHaveDisplay) {
        qputenv("DISPLAY", GDisplay.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        if (SKINDISPLAY_WITH_WM) {
            wm = std::make_unique<QProcess>();
            wm->setProcessChannelMode(QProcess::ForwardedChannels);
            wm->start(QStringLiteral("openbox"), {});
            wm->waitForStarted(3000);
            QThread::msleep(2000);
        }
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    for (auto* p : {wm.get(), xvfb.get()}) {
        if (p && p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(2000)) {
                p->kill();
                p->waitForFinished(1000);
            }
        }
    }
    return result;
}
