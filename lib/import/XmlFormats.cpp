#include "XmlFormats.h"

#include "ColumnMapping.h"
#include "HtmlDom.h"
#include "ImportFile.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {
// Programs escape their HTML once or twice more on the way into XML: it is
// unescaped until it stops changing, its markup turning into text on the way.
QString MarkupToText(const QString& text) {
    QString t = text;
    for (int round = 0; round < 4; ++round) {
        QString next = HtmlToText(t);
        if (next == t)
            break;
        t = std::move(next);
    }
    return t;
}

QString Clean(const QString& text) {
    return CollapseWhitespace(MarkupToText(text));
}

QStringList CleanLines(const QString& text) {
    QStringList lines;
    for (const QString& line : MarkupToText(text).split(u'\n'))
        if (const QString c = CollapseWhitespace(line); !c.isEmpty())
            lines.append(c);
    return lines;
}

// Our own errors keep their text; Qt words its own in English only.
QString XmlErrorText(const QXmlStreamReader& xml) {
    switch (xml.error()) {
    case QXmlStreamReader::CustomError:
        return xml.errorString();
    case QXmlStreamReader::PrematureEndOfDocumentError:
        return QStringLiteral("文件在中途结束");
    case QXmlStreamReader::UnexpectedElementError:
        return QStringLiteral("不该出现的元素");
    case QXmlStreamReader::NotWellFormedError:
    case QXmlStreamReader::NoError:
        break;
    }
    return QStringLiteral("标记不完整或不配对");
}

[[noreturn]] void Fail(const QXmlStreamReader& xml) {
    throw EImportError(QStringLiteral("XML 格式错误（第 %1 行）：%2")
                           .arg(xml.lineNumber())
                           .arg(XmlErrorText(xml)));
}

QString Text(QXmlStreamReader& xml) {
    const QString t = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    if (xml.hasError())
        Fail(xml);
    return t;
}

void CheckCount(int& count) {
    if (++count > MaxRecipesPerFile)
        throw EImportError(QStringLiteral("文件里的菜谱太多"));
}

// An <ingredient>, or an <ingref> naming another recipe; either may give its
// amount and unit as attributes and its item as plain text.
void GourmetIngredient(QXmlStreamReader& xml, std::vector<TRecipeLine>& out) {
    const QXmlStreamAttributes attributes = xml.attributes();
    const bool optional = attributes.value(QLatin1String("optional")) == u"yes";
    QString amount = Clean(attributes.value(QLatin1String("amount")).toString());
    QString unit = Clean(attributes.value(QLatin1String("unit")).toString());
    QString item, loose;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token == QXmlStreamReader::Characters) {
            loose += xml.text();
        } else if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"amount")
                amount = Clean(Text(xml));
            else if (xml.name() == u"unit")
                unit = Clean(Text(xml));
            else if (xml.name() == u"item")
                item = Clean(Text(xml));
            else
                xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        Fail(xml);
    if (item.isEmpty())
        item = Clean(loose);
    QString line = CollapseWhitespace(amount + u' ' + unit + u' ' + item);
    if (optional && !line.isEmpty())
        line += QStringLiteral("（可选）");
    if (!line.isEmpty())
        out.push_back({line, false});
}

void GourmetIngredients(QXmlStreamReader& xml, std::vector<TRecipeLine>& out, int depth) {
    while (xml.readNextStartElement()) {
        if (xml.name() == u"ingredient" || xml.name() == u"ingref") {
            GourmetIngredient(xml, out);
        } else if (xml.name() == u"inggroup" && depth < 8) {
            GourmetIngredients(xml, out, depth + 1);
        } else if (xml.name() == u"groupname") {
            if (const QString name = Clean(Text(xml)); !name.isEmpty())
                out.push_back({name, true});
        } else {
            xml.skipCurrentElement();
        }
    }
}

// "4/5 stars", "8/10", or a bare number of five: four of five and more.
bool GourmetFavourite(const QString& rating) {
    static const QRegularExpression form(QStringLiteral("^(\\d+(?:\\.\\d+)?)(?:\\s*/\\s*(\\d+))?"));
    const auto m = form.match(rating);
    if (!m.hasMatch())
        return false;
    const double of = m.captured(2).isEmpty() ? 5 : m.captured(2).toDouble();
    return of > 0 && m.captured(1).toDouble() / of >= 0.8;
}

void GourmetRecipe(QXmlStreamReader& xml, const TRecipeSink& sink) {
    TImportedRecipe r;
    QString link, source, servings;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == u"title") {
            r.Name = Clean(Text(xml));
        } else if (name == u"category" || name == u"cuisine") {
            if (const QString c = Clean(Text(xml)); !c.isEmpty())
                r.Categories.append(c);
        } else if (name == u"source") {
            source = Clean(Text(xml));
        } else if (name == u"link") {
            link = Clean(Text(xml));
        } else if (name == u"yields") {
            r.Yield = Clean(Text(xml));
        } else if (name == u"rating") {
            r.Favourite = GourmetFavourite(Clean(Text(xml)));
        } else if (name == u"servings") {
            servings = Clean(Text(xml));
        } else if (name == u"preptime") {
            r.PrepTime = Clean(Text(xml));
        } else if (name == u"cooktime") {
            r.CookTime = Clean(Text(xml));
        } else if (name == u"image") {
            const QString data = Text(xml);
            if (data.size() <= MaxImportPictureBytes * 4 / 3 + 1024) {
                r.Picture = QByteArray::fromBase64(data.toLatin1());
                r.PictureOrigin = QStringLiteral("image");
            }
        } else if (name == u"ingredient-list") {
            GourmetIngredients(xml, r.Ingredients, 0);
        } else if (name == u"instructions") {
            for (const QString& line : CleanLines(Text(xml)))
                r.Steps.push_back({line, false});
        } else if (name == u"modifications") {
            r.Notes = CleanLines(Text(xml)).join(u'\n');
        } else {
            xml.skipCurrentElement();
        }
    }
    r.Source = link.isEmpty() ? source : (source.isEmpty() ? link : source + u' ' + link);
    // "8" beside "1 tart" says how many it feeds; beside "8 servings" nothing new.
    if (!servings.isEmpty() && !r.Yield.split(u' ').contains(servings)) {
        bool number = false;
        servings.toDouble(&number);
        const QString fed = number ? servings + QStringLiteral(" 人份") : servings;
        r.Yield = r.Yield.isEmpty() ? fed : r.Yield + QStringLiteral("，") + fed;
    }
    sink(std::move(r));
}

// 0.75 as ¾, 1.5 as 1½: RecipeML writes amounts as decimals.
QString Fraction(const QString& quantity) {
    static const std::pair<const char*, const char*> glyphs[] = {
        {"125", "⅛"}, {"25", "¼"},  {"333", "⅓"}, {"33", "⅓"}, {"5", "½"},
        {"667", "⅔"}, {"666", "⅔"}, {"67", "⅔"},  {"75", "¾"},
    };
    const QString t = quantity.trimmed();
    const qsizetype dot = t.indexOf(u'.');
    if (dot < 0 || t.size() > 12)
        return t;
    const QString whole = t.left(dot), part = t.mid(dot + 1);
    for (const QChar c : whole + part)
        if (!c.isDigit())
            return t;
    for (const auto& [digits, glyph] : glyphs)
        if (part == QLatin1String(digits))
            return (whole.toInt() == 0 ? QString() : QString::number(whole.toInt())) +
                   QString::fromUtf8(glyph);
    return t;
}

// An element's text with its quantities as a cook reads them: a range
// <range><q1>2</q1><q2>3</q2></range> as "2–3", decimals as fractions.
QString QuantityText(QXmlStreamReader& xml, int depth) {
    QStringList parts;
    QString range[2];
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token == QXmlStreamReader::Characters) {
            parts.append(xml.text().toString());
        } else if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (depth >= 8) {
                xml.skipCurrentElement();
            } else if (name == u"q1" || name == u"q2") {
                range[name == u"q2"] = Fraction(Clean(QuantityText(xml, depth + 1)));
            } else if (name == u"qty") {
                parts.append(Fraction(Clean(QuantityText(xml, depth + 1))));
            } else {
                parts.append(QuantityText(xml, depth + 1));
            }
        }
    }
    if (xml.hasError())
        Fail(xml);
    const QString low = range[0].isEmpty() ? range[1] : range[0];
    if (!low.isEmpty())
        parts.append(range[0].isEmpty() || range[1].isEmpty() ? low : range[0] + u'–' + range[1]);
    return CollapseWhitespace(parts.join(u' '));
}

// One <ing> or <alt-ing>: amount, item, preparation, and its alternatives.
QString RecipeMlIngredient(QXmlStreamReader& xml, int depth) {
    QStringList parts, alternatives;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"amt") {
            parts.append(Clean(QuantityText(xml, 0)));
        } else if (xml.name() == u"item") {
            parts.append(Clean(Text(xml)));
        } else if (xml.name() == u"prep") {
            if (const QString p = Clean(Text(xml)); !p.isEmpty())
                parts.append(QStringLiteral("（%1）").arg(p));
        } else if (xml.name() == u"alt-ing" && depth < 4) {
            if (const QString a = RecipeMlIngredient(xml, depth + 1); !a.isEmpty())
                alternatives.append(QStringLiteral("（或 %1）").arg(a));
        } else {
            xml.skipCurrentElement();
        }
    }
    return CollapseWhitespace(parts.join(u' ')) + alternatives.join(QString());
}

void RecipeMlIngredients(QXmlStreamReader& xml, std::vector<TRecipeLine>& out, int depth) {
    while (xml.readNextStartElement()) {
        if (xml.name() == u"ing") {
            if (const QString line = RecipeMlIngredient(xml, 0); !line.isEmpty())
                out.push_back({line, false});
        } else if (xml.name() == u"ing-div" && depth < 8) {
            RecipeMlIngredients(xml, out, depth + 1);
        } else if (xml.name() == u"title") {
            if (const QString t = Clean(Text(xml)); !t.isEmpty())
                out.push_back({t, true});
        } else {
            xml.skipCurrentElement();
        }
    }
}

void RecipeMlDirections(QXmlStreamReader& xml, std::vector<TRecipeLine>& out) {
    QString loose;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token == QXmlStreamReader::Characters) {
            loose += xml.text();
        } else if (token == QXmlStreamReader::StartElement) {
            const bool heading = xml.name() == u"title";
            for (const QString& line : CleanLines(Text(xml)))
                out.push_back({line, heading});
        }
    }
    if (xml.hasError())
        Fail(xml);
    for (const QString& line : CleanLines(loose))
        out.push_back({line, false});
}

void RecipeMlRecipe(QXmlStreamReader& xml, const TRecipeSink& sink) {
    TImportedRecipe r;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == u"head") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"title") {
                    r.Name = Clean(Text(xml));
                } else if (xml.name() == u"categories") {
                    while (xml.readNextStartElement())
                        if (const QString c = Clean(Text(xml)); !c.isEmpty())
                            r.Categories.append(c);
                } else if (xml.name() == u"yield") {
                    r.Yield = Clean(QuantityText(xml, 0));
                } else if (xml.name() == u"preptime") {
                    const QString type =
                        xml.attributes().value(QLatin1String("type")).toString().toLower();
                    QString& time = type.contains(QLatin1String("total"))  ? r.TotalTime
                                    : type.contains(QLatin1String("cook")) ? r.CookTime
                                                                           : r.PrepTime;
                    time = Clean(QuantityText(xml, 0));
                } else if (xml.name() == u"source") {
                    r.Source = Clean(Text(xml));
                } else {
                    xml.skipCurrentElement();
                }
            }
        } else if (name == u"description") {
            r.Description = Clean(Text(xml));
        } else if (name == u"ingredients") {
            RecipeMlIngredients(xml, r.Ingredients, 0);
        } else if (name == u"directions") {
            RecipeMlDirections(xml, r.Steps);
        } else {
            xml.skipCurrentElement();
        }
    }
    sink(std::move(r));
}

// Walks to every element named `recipe` below the root, at any of the levels
// the formats use (recipeml > recipe, recipeml > menu > recipe, gourmetDoc > recipe).
template <typename TRead> int EachRecipe(QXmlStreamReader& xml, TRead read) {
    int count = 0;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"recipe") {
                CheckCount(count);
                read(xml);
                continue;
            }
            if (++depth > 16)
                throw EImportError(
                    QStringLiteral("XML 嵌套太深（第 %1 行）").arg(xml.lineNumber()));
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (xml.hasError())
        Fail(xml);
    return count;
}
} // namespace

QString XmlRootName(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return xml.name().toString();
    return {};
}

namespace {
// Entities made of other entities are how a few bytes of XML expand to gigabytes;
// no recipe file needs them. Refused before any is expanded.
void RefuseNestedEntities(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement)
            return;
        if (token != QXmlStreamReader::DTD)
            continue;
        for (const QXmlStreamEntityDeclaration& e : xml.entityDeclarations())
            if (e.value().contains(u'&'))
                throw EImportError(
                    QStringLiteral("XML 里的实体一层套一层，展开后会太大太深，为了安全没有读取"));
    }
}
} // namespace

void ReadGourmetXml(const QByteArray& bytes, const TRecipeSink& sink) {
    RefuseNestedEntities(bytes);
    QXmlStreamReader xml(bytes);
    if (EachRecipe(xml, [&](QXmlStreamReader& x) { GourmetRecipe(x, sink); }) == 0)
        throw EImportError(QStringLiteral("Gourmet 文件里没有菜谱"));
}

void ReadRecipeMlXml(const QByteArray& bytes, const TRecipeSink& sink) {
    RefuseNestedEntities(bytes);
    QXmlStreamReader xml(bytes);
    if (EachRecipe(xml, [&](QXmlStreamReader& x) { RecipeMlRecipe(x, sink); }) == 0)
        throw EImportError(QStringLiteral("RecipeML 文件里没有菜谱"));
}

void ReadXmlRecipeFile(const QString& path, const TRecipeSink& sink) {
    const QByteArray bytes = ReadImportFile(path);
    const QString root = XmlRootName(bytes);
    if (root == u"gourmetDoc")
        ReadGourmetXml(bytes, sink);
    else if (root == u"recipeml" || root == u"menu")
        ReadRecipeMlXml(bytes, sink);
    else
        throw EImportError(QStringLiteral("不认识的 XML 菜谱格式（根元素“%1”）").arg(root));
}
