#include "HtmlRecipe.h"

#include "ColumnMapping.h"
#include "FileErrors.h"
#include "HtmlDom.h"
#include "ImportFile.h"
#include "PageCards.h"
#include "SchemaRecipe.h"
#include "TextDecode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>
#include <gumbo.h>

#include <map>
#include <optional>
#include <tuple>

namespace {
bool IsRecipeItemType(const QString& itemtype) {
    for (const QString& t : itemtype.split(u' ', Qt::SkipEmptyParts))
        if (t.endsWith(QLatin1String("schema.org/Recipe")))
            return true;
    return false;
}

bool HasAttribute(const GumboNode& node, const char* name) {
    return node.type == GUMBO_NODE_ELEMENT && gumbo_get_attribute(&node.v.element.attributes, name);
}

// How a property's text is read: an ingredient is one line however many block
// elements build it (a <br> or an <li> separates ingredients); steps are lines of
// their own, without numbers set apart in elements of their own.
TTextOptions TextOptionsFor(const QString& property) {
    if (property == u"recipeIngredient" || property == u"ingredients")
        return {false, false, false};
    if (property == u"recipeInstructions" || property == u"instructions" || property == u"text")
        return {true, true, false};
    return {};
}

// The value an itemprop element gives, its text read as `options` say.
QString ItemValue(const GumboNode& node, const TTextOptions& options) {
    if (HasAttribute(node, "content")) {
        // Sites put markup into content attributes too.
        const QString content = Attribute(node, "content");
        return content.contains(u'<') ? HtmlToText(content) : content;
    }
    switch (node.v.element.tag) {
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_SOURCE:
        return Attribute(node, "src");
    case GUMBO_TAG_A:
    case GUMBO_TAG_LINK:
        return Attribute(node, "href");
    case GUMBO_TAG_TIME:
        if (HasAttribute(node, "datetime"))
            return Attribute(node, "datetime");
        break;
    default:
        break;
    }
    return NodeText(node, options);
}

// A microdata item as the JSON-LD object it stands for, nested items (a
// HowToSection's steps, a HowToStep's name and text, an ImageObject) within.
QJsonObject MicrodataObject(const GumboNode& item, int depth = 0) {
    QHash<QString, QJsonArray> props;
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        if (n.type != GUMBO_NODE_ELEMENT)
            return false;
        if (&n == &item)
            return true;
        const QStringList names = Attribute(n, "itemprop").split(u' ', Qt::SkipEmptyParts);
        const bool nested = HasAttribute(n, "itemscope");
        // Read once for all the names an element gives: a page naming many at
        // each of the nested levels would otherwise read them to the power of the depth.
        std::optional<QJsonObject> inner;
        std::map<std::tuple<bool, bool, bool>, QString> values; // by how the text is read
        for (const QString& name : names) {
            if (nested && depth < 8) {
                if (!inner)
                    inner = MicrodataObject(n, depth + 1);
                props[name].append(*inner);
                continue;
            }
            const TTextOptions options = TextOptionsFor(name);
            const auto key =
                std::tuple(options.BlocksBreak, options.DropStepNumbers, options.SourceLinesBreak);
            auto value = values.find(key);
            if (value == values.end())
                value = values.emplace(key, ItemValue(n, options)).first;
            props[name].append(value->second);
        }
        return !nested; // a nested item's own properties are not this item's
    };
    WalkHtml(item, visitor);
    QJsonObject object;
    const QString type = Attribute(item, "itemtype").section(u' ', 0, 0).section(u'/', -1);
    object.insert(QStringLiteral("@type"), type.isEmpty() ? QStringLiteral("Thing") : type);
    for (auto it = props.cbegin(); it != props.cend(); ++it)
        object.insert(it.key(),
                      it.value().size() == 1 ? it.value().first() : QJsonValue(it.value()));
    // An item that marks none of its parts stands for its own text or picture.
    if (depth > 0 && props.isEmpty()) {
        object.insert(QStringLiteral("text"),
                      NodeText(item, TextOptionsFor(QStringLiteral("text"))));
        if (HasAttribute(item, "src"))
            object.insert(QStringLiteral("url"), Attribute(item, "src"));
    }
    return object;
}

QByteArray JsonLdText(const GumboNode& script) {
    QString text = NodeText(script);
    if (text.isEmpty() && script.v.element.children.length > 0) {
        const auto* child = static_cast<const GumboNode*>(script.v.element.children.data[0]);
        if (child->type == GUMBO_NODE_TEXT)
            text = QString::fromUtf8(child->v.text.text);
    }
    text = text.trimmed();
    // Pages wrap the data in comment or CDATA markers for old browsers.
    for (const char* wrap : {"<!--", "//<![CDATA[", "<![CDATA["})
        if (text.startsWith(QLatin1String(wrap)))
            text.remove(0, qsizetype(strlen(wrap)));
    for (const char* wrap : {"-->", "//]]>", "]]>"})
        if (text.endsWith(QLatin1String(wrap)))
            text.chop(qsizetype(strlen(wrap)));
    return text.toUtf8();
}

QString UrlFileName(const QString& url) {
    const QUrl parsed(url);
    QString name = parsed.isValid() ? parsed.fileName() : QString();
    if (name.isEmpty())
        name = url.section(u'/', -1).section(u'?', 0, 0);
    return name;
}

// A picture file the page names: only a regular file inside the page's own folder
// (its ..._files folder among it), after resolving ".." and links; anything else
// could read the cook's other files or, as a pipe or a device, never end.
std::optional<QByteArray> ReadLocalPicture(const QString& path, const QString& pageFolder,
                                           QString& problem) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt; // not there (or a broken link): the next candidate may be
    if (pageFolder.isEmpty() || !canonical.startsWith(pageFolder + u'/')) {
        problem = QStringLiteral("图片地址指向网页以外的文件，没有导入");
        return std::nullopt;
    }
    try {
        return ReadRegularFile(canonical, MaxImportPictureBytes, QStringLiteral("图片"));
    } catch (const EImportError& e) {
        problem = QStringLiteral("图片没有导入：%1").arg(e.Message());
        return std::nullopt;
    }
}

// The first of the recipe's pictures that is at hand.
void TakePicture(TImportedRecipe& recipe, const QStringList& urls,
                 const TPageResources& resources) {
    const QFileInfo page(resources.PagePath);
    const QString pageFolder = resources.PagePath.isEmpty()
                                   ? QString()
                                   : QFileInfo(page.absolutePath()).canonicalFilePath();
    QStringList wanted;
    // Told once the loop is left without a picture.
    const auto askFor = qScopeGuard([&] {
        if (resources.Wanted && !wanted.isEmpty() && recipe.Picture.isEmpty())
            resources.Wanted->push_back(wanted);
    });
    for (const QString& url : urls) {
        if (url.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
            const qsizetype comma = url.indexOf(u',');
            if (comma < 0 || url.size() > MaxImportPictureBytes * 2)
                continue;
            const bool base64 =
                url.left(comma).endsWith(QLatin1String(";base64"), Qt::CaseInsensitive);
            const QByteArray payload = url.mid(comma + 1).toLatin1();
            recipe.Picture =
                base64 ? QByteArray::fromBase64(payload) : QByteArray::fromPercentEncoding(payload);
            recipe.PictureOrigin = QStringLiteral("data: 地址");
            return;
        }
        if (auto part = resources.Parts.constFind(url); part != resources.Parts.cend()) {
            recipe.Picture = *part;
            recipe.PictureOrigin = url;
            return;
        }
        if (resources.Address.isValid()) {
            const QUrl full = resources.Address.resolved(QUrl(url));
            if (!full.isValid() || full.host().isEmpty() ||
                (full.scheme() != u"http" && full.scheme() != u"https"))
                continue;
            const QString key = full.toString();
            if (auto part = resources.Parts.constFind(key); part != resources.Parts.cend()) {
                recipe.Picture = *part;
                recipe.PictureOrigin = key;
                return;
            }
            if (auto why = resources.Unfetched.constFind(key); why != resources.Unfetched.cend())
                recipe.PictureProblem = QStringLiteral("图片没有导入：%1").arg(*why);
            if (!wanted.contains(key))
                wanted.append(key);
            continue;
        }
        if (resources.PagePath.isEmpty())
            continue;
        QStringList candidates;
        const QUrl parsed(url);
        if (parsed.isLocalFile())
            candidates << parsed.toLocalFile();
        else if (parsed.scheme().isEmpty() && !url.startsWith(u'/'))
            candidates << page.dir().filePath(QUrl::fromPercentEncoding(url.toUtf8()));
        else if (parsed.scheme().isEmpty())
            candidates << url;
        const QString fileName = UrlFileName(url);
        if (!fileName.isEmpty() && !fileName.contains(QLatin1String("..")))
            for (const char* suffix : {"_files", ".files", "-Dateien", "_archivos"})
                candidates << page.dir().filePath(page.completeBaseName() + QLatin1String(suffix) +
                                                  u'/' + fileName);
        for (const QString& candidate : candidates) {
            QString problem;
            if (auto bytes = ReadLocalPicture(candidate, pageFolder, problem)) {
                recipe.Picture = *bytes;
                recipe.PictureOrigin = candidate;
                return;
            }
            if (!problem.isEmpty())
                recipe.PictureProblem = problem;
        }
    }
}

// The steps' own pictures (a page's other `image` entries are mostly the cover
// again in other sizes).
void TakeStepPictures(TSchemaRecipe& s, const TPageResources& resources) {
    QStringList seen = s.ImageUrls.mid(0, 1);
    for (const auto& [step, url] : s.StepImageUrls) {
        if (seen.contains(url) || s.Recipe.Pictures.size() >= 500)
            continue;
        seen.append(url);
        TImportedRecipe one;
        TakePicture(one, {url}, resources);
        if (!one.Picture.isEmpty())
            s.Recipe.Pictures.push_back(
                {std::move(one.Picture), step, s.ImageCaptions.value(url), one.PictureOrigin});
    }
}

QByteArray DecodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '=') {
            out.append(c);
            continue;
        }
        if (i + 1 < in.size() && (in[i + 1] == '\n' || in[i + 1] == '\r')) {
            i += (in[i + 1] == '\r' && i + 2 < in.size() && in[i + 2] == '\n') ? 2 : 1;
            continue;
        }
        if (i + 2 < in.size()) {
            bool ok = false;
            const int value = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 2;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

QByteArray HeaderParameter(const QByteArray& header, const char* name) {
    const QByteArray lower = header.toLower();
    const qsizetype at = lower.indexOf(QByteArray(name) + '=');
    if (at < 0)
        return {};
    qsizetype i = at + qsizetype(strlen(name)) + 1;
    const bool quoted = i < header.size() && header[i] == '"';
    if (quoted)
        ++i;
    qsizetype j = i;
    while (j < header.size() && (quoted ? header[j] != '"'
                                        : (header[j] != ';' && header[j] != ' ' &&
                                           header[j] != '\r' && header[j] != '\n')))
        ++j;
    return header.mid(i, j - i);
}
} // namespace

TMhtml ReadMhtml(const QByteArray& bytes) {
    const qsizetype headerEnd =
        bytes.indexOf("\n\n") >= 0 ? bytes.indexOf("\n\n") : bytes.indexOf("\r\n\r\n");
    const QByteArray boundary =
        HeaderParameter(bytes.left(std::max<qsizetype>(headerEnd, 0)), "boundary");
    if (boundary.isEmpty())
        throw EImportError(QStringLiteral("不是 MHTML 文件：找不到分段标记"));
    TMhtml result;
    const QByteArray marker = "--" + boundary;
    qsizetype at = bytes.indexOf(marker);
    int parts = 0;
    while (at >= 0 && ++parts <= MaxArchiveEntries) {
        qsizetype start = at + marker.size();
        if (bytes.mid(start, 2) == "--")
            break;
        const qsizetype next = bytes.indexOf(marker, start);
        const QByteArray part = bytes.mid(start, (next < 0 ? bytes.size() : next) - start);
        at = next;
        qsizetype split = part.indexOf("\r\n\r\n");
        qsizetype skip = 4;
        if (split < 0 || (part.indexOf("\n\n") >= 0 && part.indexOf("\n\n") < split))
            split = part.indexOf("\n\n"), skip = 2;
        if (split < 0)
            continue;
        const QByteArray header = part.left(split);
        QByteArray body = part.mid(split + skip);
        QByteArray type, encoding, location;
        for (const QByteArray& line : header.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            const qsizetype colon = trimmed.indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray key = trimmed.left(colon).toLower();
            const QByteArray value = trimmed.mid(colon + 1).trimmed();
            if (key == "content-type")
                type = value;
            else if (key == "content-transfer-encoding")
                encoding = value.toLower();
            else if (key == "content-location")
                location = value;
        }
        if (encoding == "base64")
            body = QByteArray::fromBase64(body);
        else if (encoding == "quoted-printable")
            body = DecodeQuotedPrintable(body);
        if (type.toLower().startsWith("text/html") && result.Html.isEmpty()) {
            const QByteArray charset = HeaderParameter(type, "charset");
            result.Html = charset.isEmpty() ? ToUtf8(body, TTextKind::Html)
                                            : DecodeBytes(body, charset).toUtf8();
        } else if (!location.isEmpty()) {
            result.Parts.insert(QString::fromUtf8(location), body);
        }
    }
    if (result.Html.isEmpty())
        throw EImportError(QStringLiteral("MHTML 文件里没有网页"));
    return result;
}

namespace {
// A page's title without what only says it is a recipe: "红烧肉的做法", "Best Pad Thai Recipe".
QString TitleCore(const QString& title) {
    static const QRegularExpression suffix(
        QStringLiteral("(的家常做法|的做法大全|的做法|做法大全|的制作方法|食谱|菜谱|\\s+recipe|"
                       "\\s+rezept|\\s+recette|\\s+receta|\\s+ricetta|\\s+przepis|レシピ)$"),
        QRegularExpression::CaseInsensitiveOption);
    QString core = title;
    core.remove(suffix);
    core = core.trimmed();
    return core.isEmpty() ? title : core;
}

// The page's h1 when the schema's name is only a fragment of it.
QString WholeName(QString name, const TPageMarkup& page) {
    const QString h1 = TitleCore(page.PageTitle);
    if (name.isEmpty())
        name = page.CardName;
    if (name.isEmpty())
        return !h1.isEmpty() ? h1 : TitleCore(page.TitleTag);
    if (h1.size() > name.size() && h1.size() <= 200 && h1.contains(name, Qt::CaseInsensitive))
        return h1;
    return name;
}

// Fills what the schema data lacks from what the page shows.
void CompleteFromPage(TImportedRecipe& recipe, const TPageMarkup& page) {
    recipe.Name = WholeName(recipe.Name, page);
    if (!HasItems(recipe.Ingredients) && HasItems(page.Ingredients))
        recipe.Ingredients = page.Ingredients;
    if (!HasItems(recipe.Steps) && HasItems(page.Steps))
        recipe.Steps = page.Steps;
    if (recipe.Description.isEmpty())
        recipe.Description = page.Summary;
}
} // namespace

std::vector<TImportedRecipe> RecipesFromHtml(const QByteArray& utf8,
                                             const TPageResources& resources) {
    std::vector<TSchemaRecipe> found;
    {
        const THtmlDocument document(utf8);
        std::vector<QJsonObject> objects;
        std::vector<QJsonObject> microdata;
        THtmlVisitor visitor;
        visitor.Enter = [&](const GumboNode& n) {
            if (n.type == GUMBO_NODE_DOCUMENT)
                return true;
            if (n.type != GUMBO_NODE_ELEMENT)
                return false;
            if (n.v.element.tag == GUMBO_TAG_SCRIPT) {
                if (Attribute(n, "type").trimmed().compare(QLatin1String("application/ld+json"),
                                                           Qt::CaseInsensitive) == 0) {
                    try {
                        for (QJsonObject& o : FindRecipeObjects(ParseJson(JsonLdText(n))))
                            objects.push_back(std::move(o));
                    } catch (const EImportError&) {
                        // A broken block among others; the page may hold the recipe elsewhere.
                    }
                }
                return false;
            }
            if (HasAttribute(n, "itemscope") && IsRecipeItemType(Attribute(n, "itemtype"))) {
                QJsonObject recipe = MicrodataObject(n);
                recipe.insert(QStringLiteral("@type"), QStringLiteral("Recipe"));
                microdata.push_back(std::move(recipe));
                return false;
            }
            return true;
        };
        WalkHtml(*document.Root(), visitor);
        for (const QJsonObject& o : objects)
            found.push_back(RecipeFromSchema(o));
        // Microdata only when the page has no JSON-LD recipe: many pages carry both.
        if (objects.empty())
            for (const QJsonObject& o : microdata)
                found.push_back(RecipeFromSchema(o, true));
        // What the page shows completes a single recipe, or stands for it when the
        // page has no recipe data at all (an Article's data, a card, a blog's lists).
        if (found.size() <= 1) {
            const TPageMarkup page = ReadPageMarkup(*document.Root());
            if (found.empty() && (HasItems(page.Ingredients) || HasItems(page.Steps)))
                found.emplace_back();
            if (!found.empty())
                CompleteFromPage(found.front().Recipe, page);
        }
    }
    std::vector<TImportedRecipe> recipes;
    for (TSchemaRecipe& s : found) {
        if (s.Recipe.Name.isEmpty() && s.Recipe.Ingredients.empty() && s.Recipe.Steps.empty())
            continue;
        TakePicture(s.Recipe, s.ImageUrls, resources);
        TakeStepPictures(s, resources);
        recipes.push_back(std::move(s.Recipe));
    }
    if (recipes.empty())
        throw EImportError(
            QStringLiteral("网页里没有菜谱数据：网页没有用菜谱标记写明菜名、配料和做法"));
    return recipes;
}

std::vector<TImportedRecipe> RecipesFromPageFile(const QString& path) {
    const QByteArray bytes = ReadImportFile(path);
    TPageResources resources;
    resources.PagePath = QFileInfo(path).absoluteFilePath();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"mhtml" || suffix == u"mht") {
        TMhtml mhtml = ReadMhtml(bytes);
        resources.Parts = std::move(mhtml.Parts);
        return RecipesFromHtml(mhtml.Html, resources);
    }
    return RecipesFromHtml(ToUtf8(bytes, TTextKind::Html), resources);
}
