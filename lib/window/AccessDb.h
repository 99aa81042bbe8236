#pragma once
// Free functions through which the window creates, connects to and queries its
// recipe book. Those touching the database catch every error and answer a boolean.

#include <QString>

class TADOConnection;
class TADOQuery;

// The book file is there and holds something: an empty file (left by a copy tool
// that crashed) counts as missing, and the book is made in it.
bool BookFileExists(const QString& fileName);

bool CreateAccessDatabase(const QString& fileName, const QString& password);
bool ConnectAccessDatabase(TADOConnection& connection, const QString& fileName,
                           const QString& password);
bool ExecSql(TADOQuery& query, const QString& sql);
bool OpenTable(TADOQuery& query, const QString& tableName);
QString BuildFilterTerm(const QString& field, const QString& value, int comparison, bool quoted);
// Text that a like-pattern matches literally: each wildcard and "[" as "[x]".
QString EscapeLikeText(const QString& text);

// The exact texts handed to the database layer.
QString AccessConnectionString(const QString& fileName, const QString& password);
QString AccessCreationString(const QString& fileName, const QString& password);
