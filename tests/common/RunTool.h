#pragma once
// Runs one of the project's command-line tools and keeps what it said.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct TToolRun {
    bool Finished = false;
    int Code = -1;
    QByteArray Out;
    QByteArray Err;
    QString OutText() const { return QString::fromUtf8(Out); }
    QString ErrText() const { return QString::fromUtf8(Err); }
};

inline TToolRun RunTool(const QString& program, const QStringList& args, int msecs) {
    QProcess p;
    p.start(program, args);
    TToolRun run;
    run.Finished = p.waitForFinished(msecs);
    run.Code = p.exitCode();
    run.Out = p.readAllStandardOutput();
    run.Err = p.readAllStandardError();
    return run;
}
