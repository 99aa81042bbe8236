#include "PageCards.h"

#include "HtmlDom.h"
#include "RecipeLines.h"
#include "RecipeText.h"

#include <QRegularExpression>
#include <gumbo.h>

namespace {
using TSource = TPageMarkup::TSource;

// A node's class names and id, lower-cased.
QStringList Tokens(const GumboNode& n) {
    QStringList tokens = Attribute(n, "class").toLower().split(u' ', Qt::SkipEmptyParts);
    if (const QString id = Attribute(n, "id").toLower(); !id.isEmpty())
        tokens.append(id);
    return tokens;
}

QStringList Words(const QString& token) {
    static const QRegularExpression separators(QStringLiteral("[-_:]+"));
    return token.split(separators, Qt::SkipEmptyParts);
}

bool TokenHas(const QStringList& tokens, std::initializer_list<const char*> parts) {
    for (const QString& t : tokens)
        for (const char* p : parts)
            if (t.contains(QLatin1String(p)))
                return true;
    return false;
}

// The page's furniture: menus, sidebars, comments, sharing, footers; and what
// shows no text (scripts, hidden parts, forms' controls). Not forms themselves:
// some sites' pages are one form from top to bottom.
bool IsFurniture(const GumboNode& n) {
    if (n.type != GUMBO_NODE_ELEMENT)
        return false;
    switch (n.v.element.tag) {
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_HEAD:
        return true;
    default:
        break;
    }
    if (gumbo_get_attribute(&n.v.element.attributes, "hidden") ||
        Attribute(n, "aria-hidden") == u"true")
        return true;
    if (QString style = Attribute(n, "style"); !style.isEmpty()) {
        style.remove(u' ');
        if (style.contains(QLatin1String("display:none"), Qt::CaseInsensitive))
            return true;
    }
    const QStringList tokens = Tokens(n);
    if (TokenHas(tokens, {"comment", "sidebar", "widget", "related", "breadcrumb", "newsletter",
                          "navigation", "popular", "recommend"}))
        return true;
    for (const QString& t : tokens)
        for (const QString& w : Words(t))
            if (w == u"nav" || w == u"navbar" || w == u"menu" || w == u"footer" || w == u"share" ||
                w == u"sharing" || w == u"social" || w == u"toc" || w == u"respond" ||
                w == u"reply" || w == u"pagination" || w == u"ads" || w == u"advert" ||
                w == u"advertisement" || w == u"cookie" || w == u"subscribe")
                return true;
    return false;
}

bool IsHeadingTag(GumboTag tag) {
    return tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6 && tag != GUMBO_TAG_HGROUP;
}

int HeadingLevel(const GumboNode& n) {
    switch (n.v.element.tag) {
    case GUMBO_TAG_H1:
        return 1;
    case GUMBO_TAG_H2:
        return 2;
    case GUMBO_TAG_H3:
        return 3;
    case GUMBO_TAG_H4:
        return 4;
    case GUMBO_TAG_H5:
        return 5;
    case GUMBO_TAG_H6:
        return 6;
    default:
        return 0;
    }
}

bool IsContainerTag(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_P:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DETAILS:
        return true;
    default:
        return false;
    }
}

// Inline elements whose edges are no gap between words.
bool IsInlineFormatting(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_B:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_I:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_U:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_S:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_CODE:
        return true;
    default:
        return false;
    }
}

bool HasElementChildren(const GumboNode& n) {
    const GumboVector& children = n.v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        if (static_cast<const GumboNode*>(children.data[i])->type == GUMBO_NODE_ELEMENT)
            return true;
    return false;
}

QString Tidy(QString text) {
    text = CollapseWhitespace(text);
    static const QRegularExpression beforePunct(QStringLiteral(" ([,.;:!?)）】，。；：、])"));
    static const QRegularExpression afterBracket(QStringLiteral("([(（【]) "));
    text.replace(beforePunct, QStringLiteral("\\1"));
    text.replace(afterBracket, QStringLiteral("\\1"));
    return text;
}

// One item as one line: its parts (amount, unit, name, note in spans of their
// own) joined by single blanks; checkboxes, buttons and a step's own number
// set apart in an element of its own left out.
QString ItemText(const GumboNode& item, TRecipePart part) {
    QString text;
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type == GUMBO_NODE_TEXT || n.type == GUMBO_NODE_WHITESPACE ||
            n.type == GUMBO_NODE_CDATA) {
            text.append(QString::fromUtf8(n.v.text.text));
            return false;
        }
        if (n.type != GUMBO_NODE_ELEMENT)
            return false;
        if (&n != &item) {
            if (IsFurniture(n) || n.v.element.tag == GUMBO_TAG_INPUT ||
                TokenHas(Tokens(n), {"checkbox", "screen-reader", "sr-only"}))
                return false;
            if (n.v.element.tag == GUMBO_TAG_BR) {
                text.append(u' ');
                return false;
            }
            if (part == TRecipePart::Steps && text.trimmed().isEmpty() && !HasElementChildren(n) &&
                IsStepNumber(NodeText(n)))
                return false;
        }
        if (!IsInlineFormatting(n.v.element.tag))
            text.append(u' ');
        return true;
    };
    visitor.Leave = [&](const GumboNode& n) {
        if (n.type == GUMBO_NODE_ELEMENT && !IsInlineFormatting(n.v.element.tag))
            text.append(u' ');
    };
    WalkHtml(item, visitor);
    text = Tidy(text);
    static const QString boxes = QStringLiteral("▢☐□✓✔•·▪");
    while (!text.isEmpty() && (boxes.contains(text[0]) || text[0].isSpace()))
        text.remove(0, 1);
    return text;
}

// A table row: one item of its cells ("五花肉 | 500克"), or one item a cell where
// each cell holds a name and an amount of its own.
QStringList RowItems(const GumboNode& row, TRecipePart part) {
    QStringList cells;
    bool composite = true;
    for (unsigned i = 0; i < row.v.element.children.length; ++i) {
        const auto* cell = static_cast<const GumboNode*>(row.v.element.children.data[i]);
        if (cell->type != GUMBO_NODE_ELEMENT)
            continue;
        const QString t = ItemText(*cell, part);
        if (t.isEmpty())
            continue;
        cells.append(t);
        int parts = 0;
        for (unsigned k = 0; k < cell->v.element.children.length; ++k) {
            const auto* c = static_cast<const GumboNode*>(cell->v.element.children.data[k]);
            parts += c->type == GUMBO_NODE_ELEMENT && !ItemText(*c, part).isEmpty();
        }
        composite = composite && parts >= 2;
    }
    if (cells.size() >= 2 && composite)
        return cells;
    return cells.isEmpty() ? QStringList() : QStringList{cells.join(u' ')};
}

QString HeadingText(const GumboNode& n) {
    QString t = ItemText(n, TRecipePart::None);
    while (t.endsWith(u':') || t.endsWith(u'：'))
        t.chop(1);
    return t.trimmed();
}

// Whether an element inside a card's list reads as a heading of a group.
bool IsGroupHeading(const GumboNode& n, TRecipePart part) {
    if (IsHeadingTag(n.v.element.tag))
        return true;
    // "<div class=…>主料</div>" between the lists
    if (!HasElementChildren(n) && n.v.element.tag != GUMBO_TAG_LI) {
        const TPartHeading heading = PartHeading(Tidy(NodeText(n)));
        if (heading.Part == part && !heading.Generic && heading.Rest.isEmpty())
            return true;
    }
    const QStringList tokens = Tokens(n);
    if (TokenHas(tokens, {"group-name", "group-title", "group-header", "section-title", "subtitle",
                          "subheading", "heading", "-header"}))
        return true;
    if (n.v.element.tag == GUMBO_TAG_P || n.v.element.tag == GUMBO_TAG_STRONG ||
        n.v.element.tag == GUMBO_TAG_B || n.v.element.tag == GUMBO_TAG_DT) {
        const QString t = Tidy(NodeText(n));
        return t.size() <= 40 &&
               (t.endsWith(u':') || t.endsWith(u'：') || n.v.element.tag != GUMBO_TAG_P);
    }
    return false;
}

// Headings are kept only before items of their own.
void DropBareHeadings(std::vector<TRecipeLine>& lines) {
    std::vector<TRecipeLine> out;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].Heading || (i + 1 < lines.size() && !lines[i + 1].Heading))
            out.push_back(std::move(lines[i]));
    lines = std::move(out);
}

// The lines of a list of one part: its items (list items, table rows) with the
// headings of its groups; a list without items reads its text line by line.
std::vector<TRecipeLine> ContainerLines(const GumboNode& container, TRecipePart part,
                                        qint64* work = nullptr) {
    int items = 0;
    THtmlVisitor count;
    count.Enter = [&](const GumboNode& n) {
        if (work)
            ++*work;
        if (n.type != GUMBO_NODE_ELEMENT || (&n != &container && IsFurniture(n)))
            return false;
        if (n.v.element.tag == GUMBO_TAG_LI || n.v.element.tag == GUMBO_TAG_TR)
            ++items;
        return true;
    };
    WalkHtml(container, count);
    std::vector<TRecipeLine> out;
    if (container.v.element.tag == GUMBO_TAG_LI && items == 1) {
        if (QString t = ItemText(container, part); !t.isEmpty())
            out.push_back({t, false});
        return out;
    }
    if (items == 0) {
        QStringList lines = NodeText(container, {true, false, false}).split(u'\n');
        out = part == TRecipePart::Ingredients ? IngredientLines(lines) : StepLines(lines, true);
        DropBareHeadings(out);
        return out;
    }
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type != GUMBO_NODE_ELEMENT || (&n != &container && IsFurniture(n)))
            return false;
        if (&n == &container)
            return true;
        const GumboTag tag = n.v.element.tag;
        if (tag == GUMBO_TAG_LI) {
            bool nested = false;
            THtmlVisitor inner;
            inner.Enter = [&](const GumboNode& m) {
                if (&m != &n && m.type == GUMBO_NODE_ELEMENT && m.v.element.tag == GUMBO_TAG_LI)
                    nested = true;
                return !nested && m.type == GUMBO_NODE_ELEMENT;
            };
            WalkHtml(n, inner);
            if (nested)
                return true;
            if (const QString t = ItemText(n, part); !t.isEmpty()) {
                const TPartHeading heading = PartHeading(t);
                if (heading.Part == part && heading.Generic && heading.Rest.isEmpty())
                    return false;
                out.push_back({t, false});
            }
            return false;
        }
        if (tag == GUMBO_TAG_TR) {
            for (const QString& item : RowItems(n, part))
                out.push_back({item, false});
            return false;
        }
        if (IsGroupHeading(n, part)) {
            const QString t = HeadingText(n);
            const TPartHeading heading = PartHeading(t);
            if (!t.isEmpty() && t.size() <= 80 && !(heading.Part == part && heading.Generic) &&
                heading.Part != TRecipePart::Notes)
                out.push_back({heading.Part == part ? heading.Title : t, true});
            return false;
        }
        return true;
    };
    WalkHtml(container, visitor);
    DropBareHeadings(out);
    return out;
}

// The part a card's class names ("wprm-recipe-ingredient", "tasty-recipes-instructions",
// "Recipe__ingredientText", "e-instructions") say a list holds.
TRecipePart PartOfClass(const GumboNode& n) {
    bool ingredients = false, steps = false;
    for (const QString& t : Tokens(n)) {
        if (t.contains(QLatin1String("header")) || t.contains(QLatin1String("title")) ||
            t.contains(QLatin1String("heading")) || t.contains(QLatin1String("label")) ||
            t.contains(QLatin1String("toggle")) || t.contains(QLatin1String("button")) ||
            t.contains(QLatin1String("btn")) || t.contains(QLatin1String("link")) ||
            t.contains(QLatin1String("jump")) || t.contains(QLatin1String("print")) ||
            t.contains(QLatin1String("serving")) || t.contains(QLatin1String("note")) ||
            t.contains(QLatin1String("tip")) || t.contains(QLatin1String("nutrition")) ||
            t.contains(QLatin1String("equipment")) || t.contains(QLatin1String("image")) ||
            t.contains(QLatin1String("img")) || t.contains(QLatin1String("photo")) ||
            t.contains(QLatin1String("video")) || t.contains(QLatin1String("time")) ||
            t.contains(QLatin1String("count")) || t.contains(QLatin1String("number")) ||
            t.contains(QLatin1String("rating")) || t.contains(QLatin1String("summary")))
            continue;
        if (t.contains(QLatin1String("ingredien")) || t.contains(QLatin1String("zutat")) ||
            t.contains(QLatin1String("yongliao")) || t.contains(QLatin1String("shicai")) ||
            Words(t).contains(QLatin1String("ings")))
            ingredients = true;
        if (t.contains(QLatin1String("instruction")) || t.contains(QLatin1String("direction")) ||
            t.contains(QLatin1String("preparation")) || t.contains(QLatin1String("zubereitung")) ||
            t.contains(QLatin1String("method")) || t.contains(QLatin1String("procedure")) ||
            t.contains(QLatin1String("zuofa")) || t.contains(QLatin1String("buzhou")) ||
            Words(t).contains(QLatin1String("step")) || Words(t).contains(QLatin1String("steps")))
            steps = true;
    }
    if (ingredients == steps)
        return TRecipePart::None;
    return ingredients ? TRecipePart::Ingredients : TRecipePart::Steps;
}

bool SameTexts(const std::vector<TRecipeLine>& a, const std::vector<TRecipeLine>& b) {
    return a == b;
}

struct TFound {
    std::vector<TRecipeLine> Ingredients, Steps;
    QString Name;
};

// The lists a card's classes name, in the page's order; the same list twice
// (a print copy) is read once.
void ReadCards(const GumboNode& scope, TFound& found) {
    std::vector<std::vector<TRecipeLine>> taken[2];
    // Each list tried reads all it holds: a hostile page nesting thousands of them
    // would cost the square of its size, so the lists tried read a bounded number of nodes.
    qint64 work = 0;
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type == GUMBO_NODE_DOCUMENT)
            return true;
        if (n.type != GUMBO_NODE_ELEMENT || IsFurniture(n))
            return false;
        const TRecipePart part = PartOfClass(n);
        if (part == TRecipePart::None || !IsContainerTag(n.v.element.tag)) {
            if (found.Name.isEmpty() &&
                TokenHas(Tokens(n), {"recipe-name", "recipe-title", "recipe_title", "recipe_name",
                                     "recipename", "recipetitle", "create-title",
                                     "tasty-recipes-title", "p-name"})) {
                const QString t = Tidy(NodeText(n));
                if (!t.isEmpty() && t.size() <= 200)
                    found.Name = t;
            }
            return true;
        }
        if (work > 2'000'000)
            return false;
        std::vector<TRecipeLine> lines = ContainerLines(n, part, &work);
        if (!HasItems(lines))
            return true;
        auto& lists = taken[part == TRecipePart::Ingredients ? 0 : 1];
        for (const auto& list : lists)
            if (SameTexts(list, lines))
                return false;
        lists.push_back(lines);
        auto& into = part == TRecipePart::Ingredients ? found.Ingredients : found.Steps;
        into.insert(into.end(), lines.begin(), lines.end());
        return false;
    };
    WalkHtml(scope, visitor);
}

// The first element whose classes name a recipe card or an h-recipe.
const GumboNode* FindCard(const GumboNode& root, bool microformat) {
    const GumboNode* card = nullptr;
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (card)
            return false;
        if (n.type == GUMBO_NODE_DOCUMENT)
            return true;
        if (n.type != GUMBO_NODE_ELEMENT || IsFurniture(n))
            return false;
        for (const QString& t : Tokens(n)) {
            const bool hit = microformat ? (t == u"h-recipe" || t == u"hrecipe")
                                         : (t.startsWith(QLatin1String("wprm-recipe-container")) ||
                                            t == u"tasty-recipes" || t == u"mv-create-card" ||
                                            t.startsWith(QLatin1String("zlrecipe-container")) ||
                                            t == u"recipe-card" || t == u"easyrecipe" ||
                                            t.startsWith(QLatin1String("wpurp-container")));
            if (hit) {
                card = &n;
                return false;
            }
        }
        return true;
    };
    WalkHtml(root, visitor);
    return card;
}

// h-recipe: p-name, p-ingredient (each an item), e-instructions, p-summary.
void ReadMicroformat(const GumboNode& card, TFound& found, QString& summary) {
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type != GUMBO_NODE_ELEMENT || (&n != &card && IsFurniture(n)))
            return false;
        if (&n == &card)
            return true;
        const QStringList tokens = Tokens(n);
        if (tokens.contains(u"h-recipe"))
            return false; // another recipe inside this one
        if (tokens.contains(u"p-name") && found.Name.isEmpty()) {
            found.Name = Tidy(NodeText(n));
            return false;
        }
        if (tokens.contains(u"p-summary") && summary.isEmpty()) {
            summary = Tidy(NodeText(n));
            return false;
        }
        if (tokens.contains(u"p-ingredient") || tokens.contains(u"ingredient")) {
            if (const QString t = ItemText(n, TRecipePart::Ingredients); !t.isEmpty())
                found.Ingredients.push_back({t, false});
            return false;
        }
        if (tokens.contains(u"e-instructions") || tokens.contains(u"instructions")) {
            const std::vector<TRecipeLine> lines = ContainerLines(n, TRecipePart::Steps);
            found.Steps.insert(found.Steps.end(), lines.begin(), lines.end());
            return false;
        }
        return true;
    };
    WalkHtml(card, visitor);
}

// The page as a run of headings, list items, table rows and lines of text.
struct TBlock {
    enum TKind { Heading, Item, Row, Line } Kind;
    QString Text;
    int Level = 0; // a heading's: 1-6 for h1-h6, 7 for a line that reads as one
};

std::vector<TBlock> Blocks(const GumboNode& root) {
    std::vector<TBlock> blocks;
    QString line;
    auto flush = [&] {
        const QString t = Tidy(line);
        line.clear();
        if (t.isEmpty())
            return;
        const TPartHeading heading = PartHeading(t);
        if (heading.Part != TRecipePart::None) {
            blocks.push_back({TBlock::Heading, heading.Title, 7});
            if (!heading.Rest.isEmpty())
                blocks.push_back({TBlock::Line, heading.Rest});
            return;
        }
        if (t.size() <= 40 && (t.endsWith(u':') || t.endsWith(u'：')))
            blocks.push_back({TBlock::Heading, t.chopped(1).trimmed(), 8});
        else
            blocks.push_back({TBlock::Line, t});
    };
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type == GUMBO_NODE_DOCUMENT)
            return true;
        if (n.type == GUMBO_NODE_TEXT || n.type == GUMBO_NODE_CDATA ||
            n.type == GUMBO_NODE_WHITESPACE) {
            line.append(QString::fromUtf8(n.v.text.text));
            return false;
        }
        if (n.type != GUMBO_NODE_ELEMENT || IsFurniture(n))
            return false;
        const GumboTag tag = n.v.element.tag;
        if (tag == GUMBO_TAG_BR) {
            flush();
            return false;
        }
        if (IsHeadingTag(tag)) {
            flush();
            if (const QString t = HeadingText(n); !t.isEmpty())
                blocks.push_back({TBlock::Heading, t, HeadingLevel(n)});
            return false;
        }
        if (tag == GUMBO_TAG_LI) {
            bool nested = false;
            THtmlVisitor inner;
            inner.Enter = [&](const GumboNode& m) {
                if (&m != &n && m.type == GUMBO_NODE_ELEMENT && m.v.element.tag == GUMBO_TAG_LI)
                    nested = true;
                return !nested && m.type == GUMBO_NODE_ELEMENT;
            };
            WalkHtml(n, inner);
            flush();
            if (nested)
                return true;
            if (const QString t = ItemText(n, TRecipePart::Ingredients); !t.isEmpty())
                blocks.push_back({TBlock::Item, t});
            return false;
        }
        if (tag == GUMBO_TAG_TR) {
            flush();
            for (const QString& item : RowItems(n, TRecipePart::Ingredients))
                blocks.push_back({TBlock::Row, item});
            return false;
        }
        if (!IsInlineFormatting(tag) && tag != GUMBO_TAG_SPAN && tag != GUMBO_TAG_A)
            flush();
        return true;
    };
    visitor.Leave = [&](const GumboNode& n) {
        if (n.type == GUMBO_NODE_ELEMENT && !IsInlineFormatting(n.v.element.tag) &&
            n.v.element.tag != GUMBO_TAG_SPAN && n.v.element.tag != GUMBO_TAG_A)
            flush();
    };
    WalkHtml(root, visitor);
    flush();
    return blocks;
}

// The lists after each heading that names a part, up to the next heading of
// its rank or above, or one naming another part; of several, the longest.
void ReadHeadings(const GumboNode& root, TFound& found, TSource& ingredientsFrom,
                  TSource& stepsFrom) {
    const std::vector<TBlock> blocks = Blocks(root);
    size_t best[2] = {0, 0};
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].Kind != TBlock::Heading)
            continue;
        const TPartHeading heading = PartHeading(blocks[i].Text);
        if (heading.Part != TRecipePart::Ingredients && heading.Part != TRecipePart::Steps)
            continue;
        const TRecipePart part = heading.Part;
        const int level = blocks[i].Level;
        std::vector<TRecipeLine> listed; // items and rows
        QStringList lines;               // loose lines, when there are no items
        if (!heading.Generic)
            listed.push_back({heading.Title, true});
        size_t j = i + 1;
        for (; j < blocks.size(); ++j) {
            const TBlock& b = blocks[j];
            if (b.Kind == TBlock::Heading) {
                const TPartHeading next = PartHeading(b.Text);
                if (next.Part != TRecipePart::None && next.Part != part)
                    break;
                if (next.Part == part) {
                    if (!next.Generic) {
                        listed.push_back({next.Title, true});
                        lines.append(b.Text + u'：');
                    }
                    continue;
                }
                if (b.Level < level || (b.Level == level && level <= 6))
                    break;
                listed.push_back({b.Text, true});
                lines.append(b.Text + u'：');
                continue;
            }
            if (b.Kind == TBlock::Line)
                lines.append(b.Text);
            else
                listed.push_back({part == TRecipePart::Steps ? b.Text : b.Text, false});
        }
        // A heading of the same part within this section would read part of it again.
        const size_t end = j;
        std::vector<TRecipeLine> out;
        if (HasItems(listed))
            out = std::move(listed);
        else
            out =
                part == TRecipePart::Ingredients ? IngredientLines(lines) : StepLines(lines, true);
        DropBareHeadings(out);
        size_t count = 0;
        for (const TRecipeLine& l : out)
            count += !l.Heading;
        const int k = part == TRecipePart::Ingredients ? 0 : 1;
        if (count > best[k]) {
            best[k] = count;
            (k == 0 ? found.Ingredients : found.Steps) = std::move(out);
            (k == 0 ? ingredientsFrom : stepsFrom) = TSource::Headings;
        }
        i = end - 1;
    }
}

QString FirstH1(const GumboNode& root) {
    QString title;
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (!title.isEmpty())
            return false;
        if (n.type == GUMBO_NODE_DOCUMENT)
            return true;
        if (n.type != GUMBO_NODE_ELEMENT || IsFurniture(n))
            return false;
        if (n.v.element.tag == GUMBO_TAG_H1) {
            if (const QString t = Tidy(NodeText(n)); t.size() <= 300)
                title = t;
            return false;
        }
        return true;
    };
    WalkHtml(root, visitor);
    return title;
}

// og:title, else <title> without the site's name after its separator.
QString TitleTag(const GumboNode& root) {
    QString og, title;
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type == GUMBO_NODE_DOCUMENT)
            return true;
        if (n.type != GUMBO_NODE_ELEMENT)
            return false;
        const GumboTag tag = n.v.element.tag;
        if (tag == GUMBO_TAG_META && og.isEmpty() &&
            (Attribute(n, "property") == u"og:title" || Attribute(n, "name") == u"og:title"))
            og = Tidy(Attribute(n, "content"));
        else if (tag == GUMBO_TAG_TITLE && title.isEmpty())
            title = Tidy(NodeText(n));
        return tag == GUMBO_TAG_HTML || tag == GUMBO_TAG_HEAD;
    };
    WalkHtml(root, visitor);
    QString t = og.isEmpty() ? title : og;
    static const QRegularExpression site(QStringLiteral("\\s+[|–—-]\\s+|\\s*[_｜|]\\s*"));
    t = t.section(site, 0, 0).trimmed();
    return t.left(300);
}
} // namespace

bool HasItems(const std::vector<TRecipeLine>& lines) {
    for (const TRecipeLine& l : lines)
        if (!l.Heading && !l.Text.trimmed().isEmpty())
            return true;
    return false;
}

TPageMarkup ReadPageMarkup(const GumboNode& root) {
    TPageMarkup page;
    page.PageTitle = FirstH1(root);
    page.TitleTag = TitleTag(root);
    auto take = [&](TFound& found, TSource source) {
        if (page.CardName.isEmpty())
            page.CardName = found.Name;
        if (page.IngredientsFrom == TSource::None && HasItems(found.Ingredients)) {
            page.Ingredients = std::move(found.Ingredients);
            page.IngredientsFrom = source;
        }
        if (page.StepsFrom == TSource::None && HasItems(found.Steps)) {
            page.Steps = std::move(found.Steps);
            page.StepsFrom = source;
        }
    };
    if (const GumboNode* card = FindCard(root, true)) {
        TFound found;
        ReadMicroformat(*card, found, page.Summary);
        take(found, TSource::Microformat);
    }
    const GumboNode* card = FindCard(root, false);
    for (const GumboNode* scope : {card, &root}) {
        if (!scope || (page.IngredientsFrom != TSource::None && page.StepsFrom != TSource::None))
            continue;
        TFound found;
        ReadCards(*scope, found);
        take(found, TSource::Card);
    }
    if (page.IngredientsFrom == TSource::None || page.StepsFrom == TSource::None) {
        TFound found;
        TSource ingredientsFrom = TSource::None, stepsFrom = TSource::None;
        ReadHeadings(root, found, ingredientsFrom, stepsFrom);
        if (page.IngredientsFrom == TSource::None && HasItems(found.Ingredients)) {
            page.Ingredients = std::move(found.Ingredients);
            page.IngredientsFrom = ingredientsFrom;
        }
        if (page.StepsFrom == TSource::None && HasItems(found.Steps)) {
            page.Steps = std::move(found.Steps);
            page.StepsFrom = stepsFrom;
        }
    }
    return page;
}
