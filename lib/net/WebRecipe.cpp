#include "WebRecipe.h"

#include "HtmlRecipe.h"
#include "RecipeImporter.h"

namespace {
// What a server may call a page; pictures, PDFs and downloads are not read as one.
bool IsPageType(const QByteArray& contentType) {
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray type =
        (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
    return type.isEmpty() || type.contains("html") || type.contains("xml") ||
           type.startsWith("text/");
}

QString NoRecipeText(const QUrl& address) {
    return QStringLiteral("网页“%1”里没有找到菜谱：它可能不是一个菜谱页面，或者菜谱要在浏览器里"
                          "运行后才显示出来。可以在浏览器里把菜谱的文字复制下来，粘贴到录入页。")
        .arg(address.toDisplayString());
}
} // namespace

std::vector<TImportedRecipe> RecipesFromWebPage(const QUrl& address, const TKeepGoing& keepGoing,
                                                const TFetchLimits& limits) {
    const TFetched page = FetchPage(address, keepGoing, limits);
    if (!IsPageType(page.ContentType))
        throw EFetchError(
            QStringLiteral("网址“%1”给出的不是网页（%2），没有导入。"
                           "请把菜谱网页的网址复制过来再试。")
                .arg(address.toDisplayString(), QString::fromLatin1(page.ContentType.left(100))));
    QByteArray html;
    std::vector<QStringList> wanted;
    std::vector<TImportedRecipe> recipes;
    // A first reading only learns which pictures the recipes name.
    try {
        RunBeside([&] {
            html = PageAsUtf8(page.Body, page.ContentType);
            TPageResources resources;
            resources.Address = page.Address;
            resources.Wanted = &wanted;
            (void)RecipesFromHtml(html, resources);
        });
    } catch (const EImportError&) {
        throw EFetchError(NoRecipeText(address));
    }
    const TFetchedPictures pictures = FetchPictures(wanted, keepGoing, limits);
    RunBeside([&] {
        TPageResources resources;
        resources.Address = page.Address;
        resources.Parts = pictures.Bytes;
        resources.Unfetched = pictures.Failed;
        recipes = RecipesFromHtml(html, resources);
    });
    for (TImportedRecipe& recipe : recipes)
        if (recipe.Source.trimmed().isEmpty())
            recipe.Source = address.toString();
    return recipes;
}

void ReadRecipeSource(const QString& source, const TRecipeSink& sink, TImportBudget& budget,
                      const TKeepGoing& keepGoing) {
    // Only an address that says its scheme: "www.x.htm" may be a file's name.
    const bool web = source.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                     source.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    if (const auto address = web ? WebAddress(source) : std::nullopt) {
        for (TImportedRecipe& recipe : RecipesFromWebPage(*address, keepGoing))
            sink(std::move(recipe));
        return;
    }
    ReadRecipeFile(source, sink, budget);
}
