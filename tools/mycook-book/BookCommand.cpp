#include "BookCommand.h"

#include "ADODB.h"
#include "BookExport.h"
#include "BookSync.h"
#include "EngineErrors.h"
#include "RecipeImporter.h"
#include "StandardErrors.h"
#include "WebRecipe.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString UsageText() {
    return QStringLiteral(
               "用法：\n"
               "  mycook-book import 菜谱本 文件或网址… [--on-duplicate=skip|overwrite|keep]\n"
               "  mycook-book export 菜谱本 输出.zip\n"
               "  mycook-book sync 菜谱本 同步文件夹\n"
               "  mycook-book --help | --version\n"
               "菜谱本是 cook.mdb 文件或它所在的文件夹。\n"
               "能导入的文件：") +
           ImportFormatsText() +
           QStringLiteral("，以及菜谱文件夹；网址（http:// 或 https://）读取网上的菜谱网页。\n");
}

#ifndef MYCOOK_VERSION
#define MYCOOK_VERSION "0"
#endif

QString BookPath(const QString& argument) {
    const QFileInfo info(argument);
    return info.isDir() ? QDir(argument).filePath(QStringLiteral("cook.mdb")) : argument;
}

// The book holds something: an empty file (left by a copy tool that crashed) counts
// as missing and the book is made in it, as the window does.
bool BookThere(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !(info.isFile() && info.size() == 0);
}

// Opens the book; a book that does not exist yet is made as the program makes it.
// A damaged book is refused before anything is written, as the window refuses it.
void OpenBook(TADOConnection& connection, const QString& path, bool create) {
    const bool exists = BookThere(path);
    if (!exists && !create)
        throw Exception(QStringLiteral("菜谱本不存在：%1").arg(path));
    if (!exists)
        CreateDatabaseFile(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
    connection.SetLoginPrompt(false);
    connection.SetConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path));
    connection.SetConnected(true);
    if (!exists)
        connection.Execute(QStringLiteral("create table mycook(菜名 char(30),原料 char(255),做法 "
                                          "memo,说明 char(255),img image)"));
    else if (create && !connection.CheckBookIntact())
        throw Exception(DamagedBookText(path, TDamageReader::CommandLine));
}

// Damage met half-way is told in the command line's words; the import's
// transaction has left the book as it was.
template <class TRun> int Guarded(TADOConnection& connection, const QString& path, TRun run) {
    try {
        return run();
    } catch (const EDatabaseError&) {
        if (connection.Damaged())
            throw Exception(DamagedBookText(path, TDamageReader::CommandLine));
        throw;
    }
}

int Import(const QStringList& args, QTextStream& out, QTextStream& err) {
    TDuplicateAnswer answer = TDuplicateAnswer::Skip;
    QStringList positional;
    for (const QString& a : args) {
        if (a.startsWith(QLatin1String("--on-duplicate="))) {
            const QString v = a.mid(15);
            if (v == u"skip")
                answer = TDuplicateAnswer::Skip;
            else if (v == u"overwrite")
                answer = TDuplicateAnswer::Overwrite;
            else if (v == u"keep")
                answer = TDuplicateAnswer::KeepBoth;
            else {
                err << UsageText();
                return 2;
            }
        } else {
            positional << a;
        }
    }
    if (positional.size() < 2) {
        err << UsageText();
        return 2;
    }
    TADOConnection connection;
    const QString book = BookPath(positional.takeFirst());
    OpenBook(connection, book, true);
    TImportSummary summary;
    Guarded(connection, book, [&] {
        summary = ImportRecipeFiles(
            connection, positional,
            [answer](const QString&) {
                return TDuplicateChoice{answer, true};
            },
            {}, ReadRecipeSource);
        return 0;
    });
    out << "导入完毕\n" << summary.CountsText() << '\n';
    for (const QString& line : summary.Details)
        out << "  " << line << '\n';
    if (summary.FailedFiles > 0 && summary.Imported + summary.Overwritten + summary.Skipped == 0) {
        err << "没有读到任何菜谱\n";
        return 1;
    }
    return 0;
}

int Export(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 2) {
        err << UsageText();
        return 2;
    }
    TADOConnection connection;
    const QString book = BookPath(args[0]);
    OpenBook(connection, book, false);
    QString target = args[1];
    if (!target.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        target += QStringLiteral(".zip");
    TExportSummary summary;
    Guarded(connection, book, [&] {
        summary = ExportBook(connection, target);
        return 0;
    });
    out << "保存完毕：" << summary.Recipes << " 个菜谱，" << summary.Pictures << " 张图片\n";
    return 0;
}
// One sync both ways; what it did, or that nothing changed.
int Sync(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 2) {
        err << UsageText();
        return 2;
    }
    TADOConnection connection;
    const QString book = BookPath(args[0]);
    // The whole book is checked only once the sync has something to write: a sync
    // with nothing to do stays quick on a large book.
    const bool existed = BookThere(book);
    OpenBook(connection, book, !existed);
    TSyncOptions options;
    options.BeforeWriting = [&] {
        if (existed && !connection.CheckBookIntact())
            throw Exception(DamagedBookText(book, TDamageReader::CommandLine));
    };
    TSyncSummary summary;
    Guarded(connection, book, [&] {
        summary = SyncBookWithFolder(connection, args[1], options);
        return 0;
    });
    out << summary.Text() << '\n';
    for (const QString& line : summary.Details)
        out << "  " << line << '\n';
    for (const QString& line : summary.Problems + summary.WaitingNotes)
        err << line << '\n';
    return 0;
}
} // namespace

int RunBookCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    if (arguments.isEmpty()) {
        err << UsageText();
        return 2;
    }
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == u"--help" || command == u"-h" || command == u"help") {
        out << UsageText();
        return 0;
    }
    if (command == u"--version") {
        out << "mycook-book " MYCOOK_VERSION "\n";
        return 0;
    }
    try {
        if (command == u"import")
            return Import(rest, out, err);
        if (command == u"export")
            return Export(rest, out, err);
        if (command == u"sync")
            return Sync(rest, out, err);
    } catch (const std::exception& e) {
        err << StandardErrorText(e) << '\n';
        return 1;
    }
    err << UsageText();
    return 2;
}
