#include "ColumnTypes.h"

#include "SqliteSupport.h"

#include <QRegularExpression>

bool ValueIsNull(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

QString ValueText(const QVariant& v) {
    if (ValueIsNull(v)) {
        return QString();
    }
    if (v.typeId() == QMetaType::QByteArray) {
        return QString::fromUtf8(v.toByteArray());
    }
    return v.toString();
}

void ParseDeclType(const QString& declared, TColumn& c) {
    const QString t = declared.toUpper();
    // SQLite's own affinity rules: INT wins over CHAR/TEXT.
    c.TextAffinity =
        !t.contains(u"INT") && (t.contains(u"CHAR") || t.contains(u"CLOB") || t.contains(u"TEXT"));
    static const char* const textWords[] = {"CHAR", "TEXT", "MEMO", "CLOB", "STRING", "NOTE"};
    static const char* const binaryWords[] = {"BLOB", "IMAGE", "BINARY", "OLEOBJECT", "GENERAL"};
    for (const char* w : binaryWords) {
        if (t.contains(QLatin1String(w))) {
            c.Kind = TKind::Binary;
            return;
        }
    }
    for (const char* w : textWords) {
        if (t.contains(QLatin1String(w))) {
            c.Kind = TKind::Text;
            break;
        }
    }
    if (c.Kind == TKind::Text) {
        static const QRegularExpression width(QStringLiteral("\\(\\s*(\\d{1,9})\\s*\\)"));
        const auto m = width.match(t);
        if (m.hasMatch()) {
            c.Width = m.captured(1).toInt();
        }
    }
}

// SQLite turns such text into a number in a column without text affinity
// (a "memo" method "007" would come back as "7").
bool LooksNumeric(QStringView s) {
    qsizetype i = 0, n = s.size();
    auto isWs = [&](qsizetype k) {
        const char16_t c = s[k].unicode();
        return c == u' ' || (c >= u'\t' && c <= u'\r');
    };
    while (i < n && isWs(i)) {
        ++i;
    }
    while (n > i && isWs(n - 1)) {
        --n;
    }
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        ++i;
    }
    bool digits = false;
    while (i < n && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
        ++i;
        digits = true;
    }
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return false;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) {
            ++i;
        }
        while (i < n && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
            ++i;
        }
    }
    return i == n;
}

QVariant CheckedValue(const TColumn& c, const QVariant& v) {
    if (ValueIsNull(v)) {
        return QVariant();
    }
    if (c.Kind == TKind::Text) {
        const QString text = ValueText(v);
        // Refused rather than cut short, so nothing typed is silently lost.
        if (c.Width > 0 && text.size() > c.Width) {
            Raise(QStringLiteral("“%1”有 %2 个字，最多只能有 %3 个字。")
                      .arg(c.Name)
                      .arg(text.size())
                      .arg(c.Width));
        }
        return text;
    }
    if (c.Kind == TKind::Binary) {
        const QByteArray bytes =
            v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
        if (bytes.size() > MaxFieldBytes) {
            Raise(
                QStringLiteral("字段“%1”的内容超过 %2 MiB。").arg(c.Name).arg(MaxFieldBytes >> 20));
        }
        return bytes;
    }
    return v;
}

void BindValue(sqlite3_stmt* s, int index, const TColumn& c, const QVariant& v) {
    if (ValueIsNull(v)) {
        sqlite3_bind_null(s, index);
        return;
    }
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(s, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        return;
    }
    if (c.Kind != TKind::Text) {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            sqlite3_bind_int64(s, index, v.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(s, index, v.toDouble());
            return;
        default:
            break;
        }
    }
    const QString text = v.toString();
    if (c.Kind == TKind::Text && !c.TextAffinity && LooksNumeric(text)) {
        const QByteArray b = text.toUtf8();
        sqlite3_bind_blob64(s, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        return;
    }
    sqlite3_bind_text16(s, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
}

int ColumnIndexOf(const std::vector<TColumn>& columns, const QString& name) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}
