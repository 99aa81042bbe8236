// A process saving recipes is killed at random moments; afterwards the book is
// sound and every save that had returned is there, whole.
#include "../common/RawBook.h"
#include "Graphics.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sqlite3.h>

#ifndef CRASH_SAVER_PATH
#error CRASH_SAVER_PATH must name the saver executable
#endif

namespace {
TEST(CrashTest, KilledSavesLeaveASoundBookWithEveryReturnedSave) {
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("cook.mdb"));
    QRandomGenerator rng(42);
    int confirmedTotal = 0;
    const int rounds = 25;
    for (int round = 0; round < rounds; ++round) {
        QProcess saver;
        saver.setProgram(QStringLiteral(CRASH_SAVER_PATH));
        saver.setArguments({dir.path(), QStringLiteral("r%1-").arg(round)});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        saver.setProcessEnvironment(env);
        saver.start();
        ASSERT_TRUE(saver.waitForStarted());
        QThread::msleep(200 + rng.bounded(800));
        ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
        saver.waitForFinished();
        const QByteArray err = saver.readAllStandardError();
        EXPECT_FALSE(err.contains("error:")) << err.constData();

        // Names printed in full lines were saves that had returned.
        QStringList confirmed;
        const QList<QByteArray> lines = saver.readAllStandardOutput().split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            confirmed << QString::fromUtf8(lines[i]);
        confirmedTotal += confirmed.size();

        if (confirmed.isEmpty() && !QFile::exists(book))
            continue; // killed before the book was made
        // Read-write, so a journal left by the killed process is rolled back as the
        // program would.
        TRawBook check(book, SQLITE_OPEN_READWRITE);
        ASSERT_NE(check.Db(), nullptr);
        EXPECT_EQ(check.Text("pragma integrity_check"), QStringLiteral("ok")) << "round " << round;
        for (const QString& name : confirmed) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(check.Db(),
                               "select 原料, 做法, 说明, img from mycook where 菜名 = ?", -1, &st,
                               nullptr);
            const QByteArray utf8 = name.toUtf8();
            sqlite3_bind_text(st, 1, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
            ASSERT_EQ(sqlite3_step(st), SQLITE_ROW) << name.toStdString() << " is missing";
            EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                      QStringLiteral("原料") + name);
            EXPECT_TRUE(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))
                            .endsWith(name));
            const QByteArray img(static_cast<const char*>(sqlite3_column_blob(st, 3)),
                                 sqlite3_column_bytes(st, 3));
            TJPEGImage jpeg;
            jpeg.SetData(img);
            EXPECT_EQ(jpeg.ToImage().height(), 120) << name.toStdString();
            sqlite3_finalize(st);
        }
        // No row ever lacks its picture: text and picture are written together.
        EXPECT_EQ(check.Text("select count(*) from mycook where img is null"), QStringLiteral("0"));
    }
    EXPECT_GT(confirmedTotal, 0) << "the saver should get some saves done";
    std::printf("%d saves confirmed over %d kills\n", confirmedTotal, rounds);
}
} // namespace
