#pragma once
// The window's side of import and export: the browse list's "导入菜谱…",
// "导入菜谱文件夹…" and "导出全部菜谱…", the duplicate question, the progress dialog, the summary,
// and a recipe page dropped onto the entry page.

#include "RecipeImporter.h"

#include <functional>

struct TWindowSite;
class QMenu;
class QMimeData;
class QWidget;

// Adds the items to the browse list's context menu.
void AddImportExportItems(const TWindowSite& site, QMenu& menu);

void ImportRecipes(const TWindowSite& site);
// A folder of recipe folders (recipe.json and full.jpg in each), or one of them.
void ImportRecipeFolder(const TWindowSite& site);
// Either of the two: a folder asks for one folder, else for files.
void ImportRecipes(const TWindowSite& site, bool folder);
void ExportAllRecipes(const TWindowSite& site);

// Asks 覆盖 / 跳过 / 都保留 with "以后都这样"; 取消, Esc and the caption's × raise
// EImportCancelled. A test answers in advance through the hook (nullptr restores
// the real box).
TDuplicateChoice AskDuplicate(const QString& name);
using TDuplicateHook = std::function<TDuplicateChoice(const QString& name)>;
void SetDuplicateHook(TDuplicateHook hook);

// Whether a drop carries a recipe page: one saved page file or HTML from a browser.
bool IsRecipePageDrop(const QMimeData& data);
// Fills the entry page from the page's recipe; nothing is stored until "保存".
void DropRecipePage(const TWindowSite& site, const QMimeData& data);
// Lets the entry page (all but its picture box) take recipe page drops.
void AcceptRecipePageDrops(const TWindowSite& site);
