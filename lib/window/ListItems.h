#pragma once
// The texts a list box holds: one block of UTF-16 and where each text ends, shared
// when copied, so a list of a million names is filled, handed round and dropped
// without a string per entry; and the model a list view reads them through.

#include <QAbstractListModel>
#include <QStringList>
#include <QStringView>
#include <initializer_list>
#include <memory>
#include <vector>

class TADOQuery;

class TListItems {
public:
    TListItems() = default;
    TListItems(const QStringList& texts); // NOLINT: a list of strings is a list of items
    TListItems(std::initializer_list<QString> texts) : TListItems(QStringList(texts)) {}

    qsizetype Count() const { return FData ? qsizetype(FData->Ends.size()) : 0; }
    bool IsEmpty() const { return Count() == 0; }
    // Valid while this list or a copy of it lives.
    QStringView At(qsizetype index) const;
    QString Text(qsizetype index) const { return At(index).toString(); }
    qsizetype IndexOf(QStringView text) const; // -1 when not listed
    QStringList ToStringList() const;

    void Reserve(qsizetype count, qsizetype chars);
    void Append(QStringView text); // copies first when the texts are shared
    TListItems Without(qsizetype index) const;

    friend bool operator==(const TListItems& a, const TListItems& b);

private:
    struct TData {
        std::vector<char16_t> Chars;
        std::vector<qsizetype> Ends; // where each text ends in Chars
    };
    TData& Own();
    std::shared_ptr<TData> FData;
};

// Without blanks and control characters (code points up to U+0020) at both ends.
QStringView TrimmedView(QStringView text);

// The column's trimmed texts over the query's view, in its order: what the designed
// search lists. Leaves the query past its last row, where that walk ends.
TListItems ListedTexts(TADOQuery& query, const QString& field);

// A list view's rows over a TListItems; read-only, so a reset is the only change.
class TListItemsModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    const TListItems& Items() const { return FItems; }
    void SetItems(const TListItems& items);

    // Without the base's checks through rowCount and columnCount: the view's layout
    // asks for every row's index, twice.
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TListItems FItems;
};
