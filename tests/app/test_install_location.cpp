// The program's icon, where an installed program keeps its book, and the daily backup at start.
#include "../common/TestFiles.h"
#include "AboutPage.h"
#include "AppIcon.h"
#include "BookBackup.h"
#include "BookLocation.h"
#include "ExtrasSupport.h"

#include <QDir>
#include <QTest>

namespace {
TEST(AppIconTest, EveryDrawnSizeIsThere) {
    const QIcon icon = ApplicationIcon();
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // Transparent corners, a drawn middle: not a blank or a missing file.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
    }
}

TEST(BookLocationTest, InstalledProgramKeepsItsBookPerUser) {
    QTemporaryDir prefix;
    const QDir root(prefix.path());
    root.mkpath(QStringLiteral("bin"));
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    EXPECT_FALSE(IsInstalledProgram(bin)) << "a build folder named bin is no install";
    EXPECT_EQ(RecipeBookFolder(bin), bin);

    root.mkpath(QStringLiteral("share/applications"));
    QFile entry(root.filePath(
        QStringLiteral("share/applications/%1.desktop").arg(QString::fromLatin1(DesktopFileName))));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    EXPECT_TRUE(IsInstalledProgram(bin));
    EXPECT_EQ(RecipeBookFolder(bin), data);
    EXPECT_FALSE(IsInstalledProgram(root.path())) << "only <prefix>/bin";
}

TEST(AboutPageTest, FoundFromTheExecutablesFolderInstalledOrBuilt) {
    QTemporaryDir prefix;
    const QDir root(prefix.path());
    root.mkpath(QStringLiteral("bin"));
    root.mkpath(QStringLiteral("share/mycook"));
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString installed = root.filePath(QStringLiteral("share/mycook/about.html"));
    const QString beside = root.filePath(QStringLiteral("bin/about.html"));
    const auto touch = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    };
    // Neither there: the installed place, never a page that the install lacks.
    EXPECT_EQ(AboutPageFile(bin), installed);
    ASSERT_TRUE(touch(beside));
    EXPECT_EQ(AboutPageFile(bin), beside) << "the build tree keeps it beside the program";
    ASSERT_TRUE(touch(installed));
    EXPECT_EQ(AboutPageFile(bin), installed);
    EXPECT_EQ(AboutPageFile(bin + QStringLiteral("/")), installed);
}

class StartupBackupTest : public TExtrasFixture {
protected:
    // Shows the window and lets the loop run past its first round.
    void ShowAndSettle() {
        Form->show();
        for (int i = 0; i < 5; ++i)
            QTest::qWait(10);
    }
    QStringList Backups() {
        return QDir(Dir.filePath(QStringLiteral("cook-backups"))).entryList(QDir::Files);
    }
};

TEST_F(StartupBackupTest, ExistingBookIsCopiedOnceAfterTheWindowShows) {
    Open();
    Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉"));
    Form.reset();
    Open();
    EXPECT_EQ(Form->Extras().DailyBackup(), nullptr) << "nothing before the window shows";
    ShowAndSettle();
    ASSERT_NE(Form->Extras().DailyBackup(), nullptr);
    EXPECT_EQ(Form->Extras().DailyBackup()->Wait().Kind, TBackupOutcome::Made);
    EXPECT_EQ(Backups(), QStringList{BackupFileName(QDate::currentDate())});

    Form.reset();
    Open();
    ShowAndSettle();
    ASSERT_NE(Form->Extras().DailyBackup(), nullptr);
    EXPECT_EQ(Form->Extras().DailyBackup()->Wait().Kind, TBackupOutcome::AlreadyToday);
    EXPECT_TRUE(Messages.empty()) << "the backup tells the user nothing";
}

TEST_F(StartupBackupTest, NewOrUnopenableBookIsNotCopied) {
    Open(); // first run: the book is made now
    ShowAndSettle();
    EXPECT_EQ(Form->Extras().DailyBackup(), nullptr);
    Form.reset();

    QFile::remove(BookPath());
    ASSERT_TRUE(WriteFile(BookPath(), "not a recipe book"));
    Open();
    ShowAndSettle();
    EXPECT_EQ(Form->Extras().DailyBackup(), nullptr);
    EXPECT_TRUE(Backups().isEmpty());
}
} // namespace
