#pragma once
// The columns of a record set as the layer sees them (private to db/): the kind a
// declared type maps to, and values checked and bound by that kind.

#include <QString>
#include <QVariant>
#include <vector>

struct sqlite3_stmt;

inline constexpr qint64 MaxFieldBytes = 64 * 1024 * 1024;

enum class TKind { Text, Binary, Other };

struct TColumn {
    QString Name;
    QString Quoted;
    TKind Kind = TKind::Other;
    int Width = 0; // declared char(N); 0 = no limit
    bool TextAffinity = false;
    int Slot = -1; // index among the cached columns
};

bool ValueIsNull(const QVariant& v);
QString ValueText(const QVariant& v);
void ParseDeclType(const QString& declared, TColumn& c);
bool LooksNumeric(QStringView s);
// The value as the column stores it; raises when it does not fit.
QVariant CheckedValue(const TColumn& c, const QVariant& v);
void BindValue(sqlite3_stmt* s, int index, const TColumn& c, const QVariant& v);
// The column named so, without regard to case; -1 when there is none.
int ColumnIndexOf(const std::vector<TColumn>& columns, const QString& name);
