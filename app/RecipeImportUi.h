#pragma once
// The window's side of import and export: the browse list's "导入菜谱…",
// "导入菜谱文件夹…" and "导出全部菜谱…", the duplicate question, the progress dialog, the summary,
// and a recipe page dropped onto the entry page.

#include "RecipeImporter.h"

#include <QUrl>

#include <functional>
#include <optional>

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

// "从网址导入…": asks for a web address in a one-line box (Esc cancels) and imports
// the page's recipes at once, as "导入菜谱…" imports files.
void ImportFromAddress(const TWindowSite& site);
// The address the box gives (nullopt: cancelled). A test answers in advance through
// the hook (nullptr restores the real box).
std::optional<QString> AskWebAddress(QWidget* owner);
using TAddressHook = std::function<std::optional<QString>()>;
void SetAddressHook(TAddressHook hook);

// What a recipe read onto the entry page brings beyond its four texts and cover
// (the whole name, categories, times, source, step pictures): the extras editor's.
using TExtrasFill = std::function<void(const TRecipe& recipe)>;

// Whether a drop carries a recipe page: one saved page file, HTML from a browser,
// or one web address (a link, or an address as text).
bool IsRecipePageDrop(const QMimeData& data);
// The web address a drop or the clipboard carries, if it carries just one.
std::optional<QUrl> DroppedWebAddress(const QMimeData& data);
// Fills the entry page from the page's recipe; nothing is stored until "保存". A
// web address is fetched once the drop is over.
void DropRecipePage(const TWindowSite& site, const QMimeData& data, const TExtrasFill& extras = {});
// Fetches the page at `address` and fills the entry page from its first recipe,
// with progress and 取消; a second one asked for meanwhile is refused.
void FetchOntoEntryPage(const TWindowSite& site, const QUrl& address,
                        const TExtrasFill& extras = {});
// Ctrl+V on the entry page while no text box has the focus: a web address on the
// clipboard is fetched onto the page. Returns whether the clipboard held one.
bool PasteOntoEntryPage(const TWindowSite& site, const TExtrasFill& extras = {});
// Lets the entry page (all but its picture box) take recipe page drops and pasted
// addresses.
void AcceptRecipePageDrops(const TWindowSite& site, TExtrasFill extras = {});
