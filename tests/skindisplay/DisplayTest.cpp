// The skinned main window on a real X display, driven by real input (xdotool):
// drag by the caption, minimise and restore, and close a message box by its
// button. Starts its own Xvfb (and openbox when built for it); skips without Xvfb.
#include "Unit_main.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
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

// The window's skin object, as the program's own manager made it.
TWinSkinForm* SkinOf(QWidget& w) {
    TSkinManage* manager = SkinManager();
    return manager ? manager->FindForm(&w) : nullptr;
}

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
    InitializeSkinUnits();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // The pointer away from where the window appears: without a window manager, X
    // would otherwise give it the focus and so activate it.
    ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QStringLiteral("0"), QStringLiteral("0")}));
    TForm_main main(folder.path());
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main, 10000));
    // Active once shown, so skinned at once, with or without a window manager.
    QTRY_VERIFY_WITH_TIMEOUT(SkinOf(main) && SkinOf(main)->DrawsFrame(), 5000);
    TWinSkinForm& form = *SkinOf(main);
    const QMargins bw = form.BorderWidths();
    const QSize outer = QSize(703, 586) + QSize(bw.left() + bw.right(), bw.top() + bw.bottom());
    EXPECT_EQ(main.size(), outer);
    // The final, skinned frame is centred, whatever frame the window manager gave it first.
    const QRect area = main.screen()->availableGeometry();
    const QPoint centred = area.topLeft() + QPoint((area.width() - outer.width()) / 2,
                                                   (area.height() - outer.height()) / 2);
    QTest::qWait(1000);
    EXPECT_EQ(main.frameGeometry().size(), outer);
    EXPECT_EQ(main.frameGeometry().topLeft(), centred);
    QTest::qWait(300);

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
    EXPECT_EQ(main.size(), outer);

    // A message box closed by its skinned close button.
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("保存成功"),
                    QMessageBox::Ok, &main);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(SkinOf(box) && SkinOf(box)->DrawsFrame(), 5000);
    QTest::qWait(300);
    const TCaptionButton* close = Button(*SkinOf(box), caClose);
    ASSERT_NE(close, nullptr);
    ASSERT_TRUE(ClickAt(box.mapToGlobal(close->Rect.center())));
    QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), 3000);
    FinalizeSkinUnits();
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QProcess> xvfb, wm;
    const bool haveTools = !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
                           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() &&
                           (!SKINDISPLAY_WITH_WM ||
                            !QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty());
    if (haveTools) {
        // Xvfb picks a free display itself and names it once it listens, so tests
        // started together never meet on one server.
        xvfb = std::make_unique<QProcess>();
        xvfb->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        xvfb->start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray number;
        QElapsedTimer waited;
        waited.start();
        while (!number.endsWith('\n') && waited.elapsed() < 10000 &&
               xvfb->state() != QProcess::NotRunning) {
            xvfb->waitForReadyRead(100);
            number += xvfb->readAllStandardOutput();
        }
        bool ok = false;
        const int display = number.trimmed().toInt(&ok);
        if (ok && xvfb->state() == QProcess::Running) {
            GDisplay = QStringLiteral(":%1").arg(display);
            GHaveDisplay = true;
        } else {
            xvfb->kill();
            xvfb->waitForFinished(1000);
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
