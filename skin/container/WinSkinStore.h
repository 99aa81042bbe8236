#pragma once
// A store of further skin containers, each a named item with its raw bytes.

#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class TSkinStore;

class TSkinCollectionItem {
public:
    TSkinCollectionItem(TSkinStore& store, int id);

    int ID() const { return FId; }
    QString Name() const { return FName; }
    // Raises when another item of the store already has the name.
    void SetName(const QString& name);
    // What the property editor shows; assigning it does nothing.
    QString SkinData() const { return QStringLiteral("Load Skin"); }
    void SetSkinData(const QString&) {}
    qint64 DataSize() const { return DataStream.size(); }

    // The raw container bytes ("DataStream" in the stored layout).
    QByteArray DataStream;

private:
    TSkinStore& FStore;
    int FId;
    QString FName;
};

class TSkinStore {
public:
    TSkinCollectionItem& Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TSkinCollectionItem& Item(int index) { return *FItems.at(index); }
    const TSkinCollectionItem& Item(int index) const { return *FItems.at(index); }
    void Delete(int index);
    int IndexOfName(const QString& name) const;

private:
    std::vector<std::unique_ptr<TSkinCollectionItem>> FItems;
    int FNextId = 0;
};
