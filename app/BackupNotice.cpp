#include "BackupNotice.h"

#include "ADODB.h"
#include "BookBackup.h"
#include "EngineErrors.h"
#include "MsgShell.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSettings>

namespace {
QString SettingsKey(const QString& bookPath) {
    const QByteArray path = QFileInfo(bookPath).absoluteFilePath().toUtf8();
    return QStringLiteral("backupFailureTold/") +
           QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex());
}
} // namespace

bool BackupFailureToldOn(const QString& bookPath, const QDate& day) {
    return QSettings().value(SettingsKey(bookPath)).toDate() == day;
}

void NoteBackupFailureTold(const QString& bookPath, const QDate& day) {
    QSettings().setValue(SettingsKey(bookPath), day);
}

void TellBackupOutcome(const TBackupOutcome& outcome, TADOConnection& connection,
                       const QDate& today) {
    const QString book = connection.DatabasePath();
    switch (outcome.Kind) {
    case TBackupOutcome::BookDamaged:
        // A damage already met by an action was told by its error.
        if (connection.Damaged())
            return;
        connection.MarkDamaged();
        ShowMessage(
            {QStringLiteral("提示"), DamagedBookText(book), QMessageBox::Warning, QMessageBox::Ok});
        return;
    case TBackupOutcome::Failed:
        if (BackupFailureToldOn(book, today))
            return;
        NoteBackupFailureTold(book, today);
        ShowInfo(outcome.Reason);
        return;
    default:
        return;
    }
}
