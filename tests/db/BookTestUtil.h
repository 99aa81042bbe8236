#pragma once
// Shared set-up of the database tests: a fresh recipe book in a temporary folder.

#include "../common/TestFiles.h"
#include "ADODB.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline const QString CreateTableSql = QStringLiteral(
    "create table mycook(菜名 char(30),原料 char(255),做法 memo,说明 char(255),img image)");
inline const QString Name = QStringLiteral("菜名");
inline const QString Ingredients = QStringLiteral("原料");
inline const QString Method = QStringLiteral("做法");
inline const QString Note = QStringLiteral("说明");

inline QString CreationString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
           QStringLiteral(";Jet OLEDB:Database Password=");
}

inline QString ConnectString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = "
                          "ReadWrite;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(path, QString());
}

// Creates the book with the program's table, connects and opens the query on it.
class TBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("cook.mdb"));
        CreateDatabaseFile(CreationString(FPath));
        FConnection.SetLoginPrompt(false);
        FConnection.SetConnectionString(ConnectString(FPath));
        FConnection.SetConnected(true);
        FQuery.SQL = QStringList{CreateTableSql};
        FQuery.ExecSQL();
        OpenBook();
    }

    void OpenBook() {
        FQuery.Close();
        FQuery.SQL = QStringList{QStringLiteral("select * from mycook")};
        FQuery.Open();
    }

    void Add(const QString& name, const QString& ingredients = QString(),
             const QString& method = QString(), const QString& note = QString()) {
        FQuery.AppendRecord({name, ingredients, method, note});
    }

    // Dish names of the current view, in walking order.
    QStringList Names() {
        QStringList out;
        for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) {
            out << FQuery.FieldByName(Name).AsString();
        }
        return out;
    }

    QTemporaryDir FDir;
    QString FPath;
    TADOConnection FConnection;
    TADOQuery FQuery{&FConnection};
};
