#include "AccessDb.h"

#include "ADODB.h"

#include <QFileInfo>

QString AccessConnectionString(const QString& fileName, const QString& password) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;"
                          "Mode = ReadWrite;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(fileName, password);
}

QString AccessCreationString(const QString& fileName, const QString& password) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + fileName +
           QStringLiteral(";Jet OLEDB:Database Password=") + password;
}

bool BookFileExists(const QString& fileName) {
    const QFileInfo info(fileName);
    return info.exists() && !(info.isFile() && info.size() == 0);
}

bool CreateAccessDatabase(const QString& fileName, const QString& password) {
    try {
        CreateDatabaseFile(AccessCreationString(fileName, password));
        return true;
    } catch (...) {
        return false;
    }
}

bool ConnectAccessDatabase(TADOConnection& connection, const QString& fileName,
                           const QString& password) {
    connection.SetLoginPrompt(false);
    try {
        connection.SetConnectionString(AccessConnectionString(fileName, password));
        connection.SetConnected(true);
        return connection.Connected();
    } catch (...) {
        return false;
    }
}

namespace {
// The query closed and holding this one statement.
void SetSql(TADOQuery& query, const QString& sql) {
    query.Close();
    query.SQL.clear();
    query.SQL.append(sql);
}
} // namespace

bool ExecSql(TADOQuery& query, const QString& sql) {
    try {
        SetSql(query, sql);
        query.ExecSQL();
        query.SQL.clear();
        return true;
    } catch (...) {
        return false;
    }
}

bool OpenTable(TADOQuery& query, const QString& tableName) {
    try {
        SetSql(query, QStringLiteral("select * from ") + tableName);
        query.Open();
    } catch (...) {
    }
    return query.Active();
}

QString EscapeLikeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'%' || c == u'*' || c == u'_' || c == u'?' || c == u'[') {
            out += u'[';
            out += c;
            out += u']';
        } else {
            out += c;
        }
    }
    return out;
}

QString BuildFilterTerm(const QString& field, const QString& value, int comparison, bool quoted) {
    if (quoted) {
        // A quote inside the value is doubled, so the filter reads it literally.
        QString literal = value;
        literal.replace(u'\'', QStringLiteral("''"));
        if (comparison == 0)
            return field + QStringLiteral(" = '") + literal + QStringLiteral("'");
        // In a pattern only our own wildcards are wild; the value's are its characters.
        const QString pattern = EscapeLikeText(literal);
        if (comparison < 0)
            return field + QStringLiteral(" like  '") + pattern + QStringLiteral("*'");
        return field + QStringLiteral(" like  '%") + pattern + QStringLiteral("%'");
    }
    switch (comparison) {
    case -2:
        return field + QStringLiteral(" <= ") + value;
    case -1:
        return field + QStringLiteral(" < ") + value;
    case 1:
        return field + QStringLiteral(" >") + value;
    case 2:
        return field + QStringLiteral(" >=") + value;
    default:
        return field + QStringLiteral(" = ") + value;
    }
}
