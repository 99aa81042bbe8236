#include "WinSkinStore.h"

TSkinCollectionItem::TSkinCollectionItem(TSkinStore& store, int id)
    : FStore(store), FId(id), FName(QStringLiteral("SkinItem%1").arg(id)) {}

void TSkinCollectionItem::SetName(const QString& name) {
    const int other = FStore.IndexOfName(name);
    if (other >= 0 && &FStore.Item(other) != this) {
        throw Exception(QStringLiteral("The name ") + name + QStringLiteral(" is already used."));
    }
    FName = name;
}

TSkinCollectionItem& TSkinStore::Add() {
    FItems.push_back(std::make_unique<TSkinCollectionItem>(*this, FNextId++));
    return *FItems.back();
}

void TSkinStore::Delete(int index) {
    if (index >= 0 && index < Count()) {
        FItems.erase(FItems.begin() + index);
    }
}

int TSkinStore::IndexOfName(const QString& name) const {
    for (int i = 0; i < Count(); ++i) {
        if (FItems[i]->Name().compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}
