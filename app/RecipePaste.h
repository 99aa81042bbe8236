#pragma once
// A recipe pasted as text onto the entry page: Ctrl+V while no text box has the
// focus, or the page's context menu item "粘贴菜谱", fills the four fields from a
// recipe copied from a chat or an article. Nothing is stored until "保存".

#include "RecipeImportUi.h"

#include <memory>

class QMenu;
class QString;
struct TWindowSite;

// Fills the page from the text; asks before it replaces what the page already
// holds (false when the cook says No). Raises EImportError when the text names
// neither ingredients nor steps.
bool PasteRecipeText(const TWindowSite& site, const QString& text);
// The same with the clipboard's text; what Ctrl+V on the page does (with a picture
// and no text, Ctrl+V does what "粘贴图片" does).
bool PasteRecipeFromClipboard(const TWindowSite& site);
// Ctrl+V and the context menu item on the entry page. Ctrl+V with a web address
// fetches its page (PasteOntoEntryPage), the page's extras going to `extras`.
void AcceptRecipePaste(const TWindowSite& site, TExtrasFill extras = {});
// The entry page's context menu ("粘贴菜谱"), made when it is asked for.
std::unique_ptr<QMenu> EntryPageMenu(const TWindowSite& site);
