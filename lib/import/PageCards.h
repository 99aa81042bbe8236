#pragma once
// A recipe as a page shows it, for pages whose schema.org data is missing or
// lacks ingredients or steps: the recipe-card plugins' markup (their ingredient
// and instruction classes), the h-recipe microformat, and lists that follow a
// heading naming ingredients or steps. Comments, sidebars, menus and footers
// are never read.

#include "ImportTypes.h"

struct GumboInternalNode;

struct TPageMarkup {
    QString CardName;  // the card's or the microformat's own name
    QString PageTitle; // the page's h1
    QString TitleTag;  // og:title, else <title> without the site's name
    QString Summary;   // h-recipe's p-summary
    std::vector<TRecipeLine> Ingredients;
    std::vector<TRecipeLine> Steps;
    // Where each part came from, for the tests and the summary.
    enum class TSource { None, Microformat, Card, Headings };
    TSource IngredientsFrom = TSource::None;
    TSource StepsFrom = TSource::None;
};

TPageMarkup ReadPageMarkup(const GumboInternalNode& root);

// Whether the lines hold anything but headings.
bool HasItems(const std::vector<TRecipeLine>& lines);
