#pragma once
// What the book remembers of its sync: per recipe the folder it was last synced
// with and a digest of the recipe as both sides then held it, in tables of our
// own beside the recipe's (made on first use in one transaction). Triggers count
// every change of a synced recipe, whatever program makes it, so a sync reads
// only the recipes that changed.

#include "Recipe.h"

#include <QByteArray>
#include <QString>
#include <vector>

class TADOConnection;

// PRAGMA user_version once the sync's tables are there (the recipe's tables are 1).
inline constexpr int SyncTablesVersion = 2;

// Makes the recipe's and the sync's tables in one transaction (a savepoint inside
// the caller's). Raises when a later program made the book without them.
void EnsureSyncTables(TADOConnection& connection);

struct TSyncRow {
    qint64 Id = -1;
    qint64 Recipe = -1; // the book's row; -1 once the book deleted it
    QString Folder;
    QByteArray Digest;  // of the recipe both sides held at the last sync
    QByteArray Stamp;   // of the folder's files then
    qint64 Changes = 0; // changes of the book's recipe since
};

// The folder the rows belong to; empty when none yet.
QString SyncedFolder(TADOConnection& connection);
// A different folder than the rows were made with: they are dropped.
void SetSyncedFolder(TADOConnection& connection, const QString& folder);

std::vector<TSyncRow> ReadSyncRows(TADOConnection& connection);
// Adds (Id < 0) or updates a row; `seen` changes of the book's recipe are taken
// as synced, any made since stay counted.
void WriteSyncRow(TADOConnection& connection, TSyncRow& row, qint64 seen);
void DropSyncRow(TADOConnection& connection, qint64 id);
// The changes counted now for one row (-1: the row is gone).
qint64 SyncRowChanges(TADOConnection& connection, qint64 id);

// A digest of everything a recipe holds as the sync writes it (recipe.json
// without thumbnails, the cover and the pictures): equal digests, equal recipes.
QByteArray RecipeDigest(const TRecipe& recipe);
