#include "RecipePaste.h"

#include "Clipboard.h"
#include "ColumnMapping.h"
#include "Controls.h"
#include "ErrorDisplay.h"
#include "KindControls.h"
#include "MsgShell.h"
#include "PlainTextRecipe.h"
#include "WindowSite.h"

#include <QMenu>
#include <QShortcut>

namespace {
bool PageHoldsText(const TWindowSite& site) {
    return !site.Edit1.text().trimmed().isEmpty() ||
           !site.Memo1.toPlainText().trimmed().isEmpty() ||
           !site.Memo2.toPlainText().trimmed().isEmpty() ||
           !site.Memo3.toPlainText().trimmed().isEmpty();
}

QString ClipboardText() {
    TClipboard& board = Clipboard();
    return board.HasFormat(QStringLiteral("text/plain"))
               ? QString::fromUtf8(board.Data(QStringLiteral("text/plain")))
               : QString();
}
} // namespace

bool PasteRecipeText(const TWindowSite& site, const QString& text) {
    // Read first: a text that is no recipe leaves the page as it was.
    const TRecipeColumns columns = MapToColumns(RecipeFromPlainText(text));
    if (PageHoldsText(site) &&
        !AskYesNoDefaultNo(QStringLiteral("录入页上已有内容，要用粘贴的菜谱替换吗？")))
        return false;
    site.Edit1.setText(columns.Name);
    site.Memo1.setPlainText(columns.Ingredients);
    site.Memo2.setPlainText(columns.Method);
    site.Memo3.setPlainText(columns.Note);
    return true;
}

bool PasteRecipeFromClipboard(const TWindowSite& site) {
    const QString text = ClipboardText();
    if (text.trimmed().isEmpty())
        throw EImportError(QStringLiteral("剪贴板里没有文字：请先复制菜谱的文字"));
    return PasteRecipeText(site, text);
}

void AcceptRecipePaste(const TWindowSite& site, TExtrasFill extras) {
    // The text boxes take Ctrl+V themselves (they claim the key before shortcuts).
    // One shortcut for every kind of paste: two on one key would both go silent.
    auto* paste = new QShortcut(QKeySequence::Paste, &site.TabSheet2);
    paste->setContext(Qt::WindowShortcut);
    QObject::connect(paste, &QShortcut::activated, &site.TabSheet2, [site, extras] {
        if (!site.TabSheet2.isVisible())
            return;
        RunGuarded([&] {
            if (PasteOntoEntryPage(site, extras))
                return;
            // A picture without text is what "粘贴图片" takes.
            if (ClipboardText().trimmed().isEmpty() && Clipboard().HasBitmap())
                site.PastePicture();
            else
                PasteRecipeFromClipboard(site);
        });
    });
    site.TabSheet2.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&site.TabSheet2, &QWidget::customContextMenuRequested, &site.TabSheet2,
                     [site](const QPoint& pos) {
                         const std::unique_ptr<QMenu> menu = EntryPageMenu(site);
                         menu->exec(site.TabSheet2.mapToGlobal(pos));
                     });
}

std::unique_ptr<QMenu> EntryPageMenu(const TWindowSite& site) {
    auto menu = std::make_unique<QMenu>(&site.TabSheet2);
    QAction* paste = menu->addAction(QStringLiteral("粘贴菜谱"));
    paste->setEnabled(!ClipboardText().trimmed().isEmpty());
    QObject::connect(paste, &QAction::triggered, menu.get(),
                     [site] { RunGuarded([&] { PasteRecipeFromClipboard(site); }); });
    return menu;
}
