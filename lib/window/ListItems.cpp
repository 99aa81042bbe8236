#include "ListItems.h"

#include "ADODB.h"

#include <algorithm>

TListItems::TListItems(const QStringList& texts) {
    qsizetype chars = 0;
    for (const QString& t : texts)
        chars += t.size();
    Reserve(texts.size(), chars);
    for (const QString& t : texts)
        Append(t);
}

QStringView TListItems::At(qsizetype index) const {
    Q_ASSERT(index >= 0 && index < Count());
    const qsizetype begin = index > 0 ? FData->Ends[size_t(index - 1)] : 0;
    return QStringView(FData->Chars.data() + begin, FData->Ends[size_t(index)] - begin);
}

qsizetype TListItems::IndexOf(QStringView text) const {
    for (qsizetype i = 0; i < Count(); ++i) {
        if (At(i) == text)
            return i;
    }
    return -1;
}

QStringList TListItems::ToStringList() const {
    QStringList list;
    list.reserve(Count());
    for (qsizetype i = 0; i < Count(); ++i)
        list.append(Text(i));
    return list;
}

TListItems::TData& TListItems::Own() {
    if (!FData)
        FData = std::make_shared<TData>();
    else if (FData.use_count() > 1)
        FData = std::make_shared<TData>(*FData);
    return *FData;
}

void TListItems::Reserve(qsizetype count, qsizetype chars) {
    TData& d = Own();
    d.Ends.reserve(size_t(count));
    d.Chars.reserve(size_t(chars));
}

void TListItems::Append(QStringView text) {
    TData& d = Own();
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    d.Chars.insert(d.Chars.end(), p, p + text.size());
    d.Ends.push_back(qsizetype(d.Chars.size()));
}

TListItems TListItems::Without(qsizetype index) const {
    if (index < 0 || index >= Count())
        return *this;
    const TData& d = *FData;
    const qsizetype begin = index > 0 ? d.Ends[size_t(index - 1)] : 0;
    const qsizetype length = d.Ends[size_t(index)] - begin;
    TListItems out;
    TData& o = out.Own();
    o.Chars.reserve(d.Chars.size() - size_t(length));
    o.Chars.insert(o.Chars.end(), d.Chars.begin(), d.Chars.begin() + begin);
    o.Chars.insert(o.Chars.end(), d.Chars.begin() + begin + length, d.Chars.end());
    o.Ends.reserve(d.Ends.size() - 1);
    o.Ends.insert(o.Ends.end(), d.Ends.begin(), d.Ends.begin() + index);
    for (size_t i = size_t(index) + 1; i < d.Ends.size(); ++i)
        o.Ends.push_back(d.Ends[i] - length);
    return out;
}

bool operator==(const TListItems& a, const TListItems& b) {
    if (a.FData == b.FData)
        return true;
    if (a.Count() != b.Count())
        return false;
    if (a.IsEmpty())
        return true;
    return a.FData->Ends == b.FData->Ends && a.FData->Chars == b.FData->Chars;
}

QStringView TrimmedView(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.sliced(first, last - first);
}

TListItems ListedTexts(TADOQuery& query, const QString& field) {
    TListItems items;
    const int count = query.RecordCount();
    // Room for names longer than most: growing past it would copy the block, and
    // room never written costs no memory.
    items.Reserve(count, qsizetype(count) * 16);
    query.ForEachInView(field, [&](qint64, QStringView text) { items.Append(TrimmedView(text)); });
    return items;
}

void TListItemsModel::SetItems(const TListItems& items) {
    beginResetModel();
    FItems = items;
    endResetModel();
}

QModelIndex TListItemsModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || row >= FItems.Count() || column != 0 || parent.isValid())
        return QModelIndex();
    return createIndex(row, 0);
}

int TListItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FItems.Count());
}

QVariant TListItemsModel::data(const QModelIndex& index, int role) const {
    if (index.row() < 0 || index.row() >= FItems.Count() || index.parent().isValid())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return FItems.Text(index.row());
    return QVariant();
}

// The flags a string list's model gives, so the view treats the rows as before.
Qt::ItemFlags TListItemsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return QAbstractListModel::flags(index) | Qt::ItemIsDropEnabled;
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}
