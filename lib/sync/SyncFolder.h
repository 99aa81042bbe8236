#pragma once
// The sync folder on disk: one folder per recipe (recipe.json and its pictures)
// as the Nextcloud Cookbook app keeps them. What a sync client is still writing,
// or has set aside as its own conflict, is told apart from a recipe so that it
// is neither imported half-written nor taken for a deletion.

#include "BookExport.h"
#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

MYCOOK_DECLARE_EXCEPTION(ESyncError, Exception)

// Where the folder's deleted recipes go, inside the sync folder.
inline constexpr char SyncTrashFolder[] = ".trash";

// A name a sync client gives a file it is still writing (".part", "~", its
// temporary names) or the copy it keeps when two machines changed one file.
bool PartialFileName(const QString& name);
bool SyncConflictName(const QString& name);

struct TFolderEntry {
    QString Name;     // the recipe folder's name in the sync folder
    QByteArray Stamp; // every file's name, size and time: changes when any does
    QString Busy;     // why it cannot be read now (a file still being written); empty when it can
};

struct TFolderScan {
    std::vector<TFolderEntry> Recipes; // by name
    QStringList Skipped;               // folders a sync client keeps as its conflicts
    QStringList Taken;                 // every name in the folder, in lower case
};

// The recipe folders directly inside `root` (the canonical path). Hidden folders
// (the trash, the clients' own) are not recipes.
TFolderScan ScanSyncFolder(const QString& root);
// The stamp of one recipe folder as ScanSyncFolder makes it.
QByteArray FolderStamp(const QString& folder, QString* busy = nullptr);

// Writes one recipe folder so that no reader ever sees it half-written: a new
// folder is made under a hidden temporary name and renamed into place; in an
// existing one each file goes through a temporary name, the pictures before
// recipe.json, and pictures it no longer names are removed afterwards.
// afterFile (tests) runs after each file is in place.
void WriteRecipeFolder(const QString& root, const QString& name, const QByteArray& json,
                       const std::vector<TExportFile>& files,
                       const std::function<void()>& afterFile = {});
// Moves root/name into root/trash/ (made when missing) under a free name; returns it.
QString MoveIntoTrash(const QString& root, const QString& name, const QString& trash);
