// A second copy of the program for the concurrent-writer test: appends recipes to one
// book, each in its own transaction, as the program's save does.
// Usage: db_test_writer <book> <tag> <count>

#include "ADODB.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: db_test_writer <book> <tag> <count>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString tag = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    try {
        TADOConnection connection;
        connection.SetConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = "
                           "ReadWrite;Data Source=%1;Jet OLEDB:Database Password=")
                .arg(path));
        connection.SetConnected(true);
        TADOQuery query(&connection);
        query.SQL = QStringList{QStringLiteral("select * from mycook")};
        query.Open();
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("%1-%2").arg(tag).arg(i);
            connection.BeginTrans();
            query.AppendRecord({name, QStringLiteral("原料 %1").arg(i), QString(2000, u'法'), tag});
            if (!query.Locate(QStringLiteral("菜名"), name)) {
                std::fprintf(stderr, "appended row not found\n");
                return 1;
            }
            query.Edit();
            query.FieldByName(QStringLiteral("img")).SetAsString(QString(500, u'p'));
            query.Post();
            connection.CommitTrans();
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
