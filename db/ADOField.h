#pragma once
// A field of the query's current row (private to db/).

#include "QueryImpl.h"

class TFieldImpl : public TField {
public:
    TFieldImpl(TADOQuery::Impl& impl, int col) : I(impl), Col(col) {}

    QString FieldName() const override { return Column().Name; }
    QString AsString() const override { return ValueText(I.Value(Col)); }
    void SetAsString(const QString& value) override {
        I.RequireEdit();
        if (Column().Kind == TKind::Binary) {
            I.Pending[Col] = value.toUtf8();
        } else {
            I.Pending[Col] = value;
        }
    }
    bool IsNull() const override { return ValueIsNull(I.Value(Col)); }
    void Clear() override {
        I.RequireEdit();
        Column();
        I.Pending[Col] = QVariant();
    }
    void SaveToStream(QIODevice& dest) const override {
        const QByteArray bytes = AsBytes();
        qint64 done = 0;
        while (done < bytes.size()) {
            const qint64 n = dest.write(bytes.constData() + done, bytes.size() - done);
            if (n <= 0) {
                Raise(QStringLiteral("无法写出字段“%1”的内容：%2")
                          .arg(FieldName(), dest.errorString()));
            }
            done += n;
        }
    }
    void LoadFromStream(QIODevice& source) override {
        I.RequireEdit();
        QByteArray bytes;
        char buffer[64 * 1024];
        for (;;) {
            const qint64 n = source.read(buffer, sizeof buffer);
            if (n < 0) {
                Raise(QStringLiteral("无法读入字段“%1”的内容：%2")
                          .arg(FieldName(), source.errorString()));
            }
            if (n == 0) {
                break;
            }
            if (bytes.size() + n > MaxFieldBytes) {
                Raise(QStringLiteral("字段“%1”的内容超过 %2 MiB。")
                          .arg(FieldName())
                          .arg(MaxFieldBytes >> 20));
            }
            bytes.append(buffer, qsizetype(n));
        }
        if (Column().Kind == TKind::Binary) {
            I.Pending[Col] = bytes;
        } else {
            I.Pending[Col] = QString::fromUtf8(bytes);
        }
    }
    QByteArray AsBytes() const override {
        const QVariant v = I.Value(Col);
        if (ValueIsNull(v)) {
            return QByteArray();
        }
        if (v.typeId() == QMetaType::QByteArray) {
            return v.toByteArray();
        }
        return v.toString().toUtf8();
    }

private:
    // A field kept from an earlier opening may outlive its column.
    const TColumn& Column() const {
        I.CheckActive();
        if (size_t(Col) >= I.Columns.size()) {
            Raise(QStringLiteral("这个字段已不属于查询的记录集。"));
        }
        return I.Columns[size_t(Col)];
    }

    TADOQuery::Impl& I;
    int Col;
};
