#include "SchemaRecipe.h"

#include "ColumnMapping.h"
#include "HtmlDom.h"
#include "RecipeLines.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUrl>
#include <cstring>

namespace {
bool IsRecipeType(const QJsonValue& type) {
    // Pages write "recipe", "RECIPE", "http://schema.org/Recipe" and lists of types.
    auto is = [](const QString& t) {
        const QString name = t.trimmed().section(u'/', -1).section(u':', -1);
        return name.compare(QLatin1String("Recipe"), Qt::CaseInsensitive) == 0;
    };
    if (type.isString())
        return is(type.toString());
    if (type.isArray()) {
        for (const QJsonValue& v : type.toArray())
            if (v.isString() && is(v.toString()))
                return true;
    }
    return false;
}

void Find(const QJsonValue& value, int depth, std::vector<QJsonObject>& out) {
    if (depth > MaxJsonDepth || out.size() >= size_t(MaxRecipesPerFile))
        return;
    if (value.isArray()) {
        for (const QJsonValue& v : value.toArray())
            Find(v, depth + 1, out);
        return;
    }
    if (!value.isObject())
        return;
    const QJsonObject object = value.toObject();
    if (IsRecipeType(object.value(QLatin1String("@type")))) {
        out.push_back(object);
        return;
    }
    for (const char* key : {"@graph", "mainEntity", "hasPart", "itemListElement", "item", "about"})
        Find(object.value(QLatin1String(key)), depth + 1, out);
}

class TReader {
public:
    explicit TReader(bool plainText) : FPlain(plainText) {}

    // Markup stripped, also where a site escaped it twice ("&amp;lt;p&amp;gt;").
    QString Unescaped(const QString& raw) const {
        if (FPlain)
            return raw;
        QString text = raw;
        for (int pass = 0; pass < 3 && (text.contains(u'<') || text.contains(u'&')); ++pass) {
            QString next = HtmlToText(text);
            if (next == text)
                break;
            text = std::move(next);
        }
        return text;
    }

    // The text with markup stripped, as lines.
    QStringList Lines(const QString& raw) const {
        return SplitLines(UnifyLineBreaks(Unescaped(raw)));
    }
    static QStringList SplitLines(const QString& text) {
        QStringList lines;
        for (const QString& line : text.split(u'\n')) {
            const QString clean = CollapseWhitespace(line);
            if (!clean.isEmpty())
                lines.append(clean);
        }
        return lines;
    }
    QString Field(const QString& raw) const { return CollapseWhitespace(Unescaped(raw)); }

    // A method given as one text that numbers its own steps comes apart at its numbers.
    QStringList StepTexts(const QString& raw) const {
        const QString text = UnifyLineBreaks(Unescaped(raw));
        QStringList steps = SplitNumberedSteps(text);
        return steps.isEmpty() ? SplitLines(text) : steps;
    }

    // A string, a number, or the strings of an array, as one text.
    QString Text(const QJsonValue& value, const QString& separator = QStringLiteral("，")) const {
        if (value.isString())
            return Field(value.toString());
        if (value.isDouble())
            return QString::number(value.toDouble());
        if (value.isArray()) {
            QStringList parts;
            for (const QJsonValue& v : value.toArray()) {
                const QString t = Text(v, separator);
                if (!t.isEmpty() && !parts.contains(t))
                    parts.append(t);
            }
            return parts.join(separator);
        }
        if (value.isObject())
            return Field(value.toObject().value(QLatin1String("name")).toString());
        return {};
    }

    // Step pictures found while reading the steps: the step's number and address.
    mutable std::vector<std::pair<int, QString>> StepImages;
    mutable QHash<QString, QString> Captions;

    void Steps(const QJsonValue& value, int depth, std::vector<TRecipeLine>& out) const {
        if (depth > MaxJsonDepth)
            return;
        if (value.isString()) {
            for (const QString& line : StepTexts(value.toString()))
                out.push_back({line, false});
            return;
        }
        if (value.isArray()) {
            for (const QJsonValue& v : value.toArray())
                Steps(v, depth + 1, out);
            return;
        }
        if (!value.isObject())
            return;
        const QJsonObject object = value.toObject();
        const QJsonValue items = object.value(QLatin1String("itemListElement"));
        if (!items.isUndefined()) {
            const QString heading = Field(object.value(QLatin1String("name")).toString());
            if (!heading.isEmpty())
                out.push_back({heading, true});
            Steps(items, depth + 1, out);
            return;
        }
        const QString name = Field(object.value(QLatin1String("name")).toString());
        QStringList lines = StepTexts(object.value(QLatin1String("text")).toString());
        if (lines.isEmpty()) {
            lines = Lines(object.value(QLatin1String("name")).toString());
        } else if (!name.isEmpty()) {
            lines.first() = Titled(name, lines.first());
        }
        for (const QString& line : lines)
            out.push_back({line, false});
        QStringList images;
        Images(object.value(QLatin1String("image")), depth + 1, images);
        if (!images.isEmpty()) {
            int number = 0;
            for (const TRecipeLine& line : out)
                number += line.Heading ? 0 : 1;
            for (const QString& url : images)
                StepImages.push_back({std::max(number, 1), url});
        }
    }

    // The pictures of HowToSteps, the n-th step's (sections not counted) as step n.
    void StepPictures(const QJsonValue& value, int depth) const {
        if (depth > MaxJsonDepth)
            return;
        if (value.isArray()) {
            for (const QJsonValue& v : value.toArray())
                StepPictures(v, depth + 1);
            return;
        }
        if (value.isString()) {
            ++FStepsSeen;
            return;
        }
        if (!value.isObject())
            return;
        const QJsonObject object = value.toObject();
        const QJsonValue items = object.value(QLatin1String("itemListElement"));
        if (!items.isUndefined()) {
            StepPictures(items, depth + 1);
            return;
        }
        ++FStepsSeen;
        QStringList images;
        Images(object.value(QLatin1String("image")), depth + 1, images);
        for (const QString& url : images)
            StepImages.push_back({FStepsSeen, url});
    }

    // A step's title before its text, unless the text already begins with it
    // (many sites' titles are the text cut short) or it is only "Step 2".
    static QString Titled(const QString& title, const QString& text) {
        QString head = title;
        for (const char* cut : {"...", "…"})
            if (head.endsWith(QString::fromUtf8(cut)))
                head.chop(QString::fromUtf8(cut).size());
        head = head.trimmed();
        if (head.isEmpty() || IsStepNumber(head) || text.startsWith(head, Qt::CaseInsensitive))
            return text;
        if (QStringLiteral(".:：。!！?？").contains(head.back()))
            return head + u' ' + text;
        for (const QChar c : head)
            if (c.unicode() >= 0x2E80)
                return head + QStringLiteral("：") + text;
        return head + QStringLiteral(": ") + text;
    }

    void Ingredients(const QJsonValue& value, int depth, std::vector<TRecipeLine>& out) const {
        if (depth > MaxJsonDepth)
            return;
        if (value.isString()) {
            for (const QString& line : Lines(value.toString()))
                out.push_back({line, false});
        } else if (value.isArray()) {
            for (const QJsonValue& v : value.toArray())
                Ingredients(v, depth + 1, out);
        } else if (value.isObject()) {
            Ingredients(value.toObject().value(QLatin1String("name")), depth + 1, out);
        }
    }

    void Images(const QJsonValue& value, int depth, QStringList& out) const {
        if (depth > MaxJsonDepth)
            return;
        if (value.isString()) {
            const QString url = value.toString().trimmed();
            if (!url.isEmpty())
                out.append(url);
        } else if (value.isArray()) {
            for (const QJsonValue& v : value.toArray())
                Images(v, depth + 1, out);
        } else if (value.isObject()) {
            const QJsonObject object = value.toObject();
            const qsizetype before = out.size();
            Images(object.value(QLatin1String("url")), depth + 1, out);
            Images(object.value(QLatin1String("contentUrl")), depth + 1, out);
            const QString caption = Field(object.value(QLatin1String("caption")).toString());
            for (qsizetype i = before; i < out.size() && !caption.isEmpty(); ++i)
                Captions.insert(out[i], caption);
        }
    }

private:
    bool FPlain;
    mutable int FStepsSeen = 0;
};

// "川菜, 家常菜" or "川菜，家常菜" as two labels.
QStringList Labels(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("\\s*[,，、;；]\\s*"));
    QStringList out;
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts))
        if (const QString t = part.trimmed(); !t.isEmpty() && !out.contains(t))
            out.append(t);
    return out;
}

QDateTime Date(const QJsonValue& value) {
    const QString text = value.toString().trimmed();
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid())
        when = QDate::fromString(text.left(10), Qt::ISODate).startOfDay(QTimeZone::utc());
    return when.isValid() ? when.toUTC() : QDateTime();
}

// Our own export's exact fields; a value of the wrong kind is passed over.
void ReadExactExtras(const QJsonObject& object, TImportedRecipe& r) {
    const QJsonValue value = object.value(QLatin1String(ExactExtrasKey));
    if (!value.isObject())
        return;
    const QJsonObject e = value.toObject();
    auto text = [&](const char* key, QString& into) {
        if (const QJsonValue v = e.value(QLatin1String(key)); v.isString())
            into = v.toString();
    };
    auto list = [&](const char* key, QStringList& into) {
        const QJsonValue v = e.value(QLatin1String(key));
        if (!v.isArray())
            return;
        into.clear();
        for (const QJsonValue& item : v.toArray())
            if (item.isString() && !item.toString().isEmpty())
                into.append(item.toString());
    };
    text("yield", r.Yield);
    text("prepTime", r.PrepTime);
    text("cookTime", r.CookTime);
    text("totalTime", r.TotalTime);
    text("source", r.Source);
    list("categories", r.Categories);
    list("keywords", r.Keywords);
    if (const QJsonValue v = e.value(QLatin1String("favourite")); v.isBool())
        r.Favourite = v.toBool();
    if (const QJsonValue v = e.value(QLatin1String("steps")); v.isArray()) {
        std::vector<TRecipeLine> steps;
        for (const QJsonValue& item : v.toArray()) {
            const QJsonObject o = item.toObject();
            const QString t = o.value(QLatin1String("text")).toString();
            if (!t.isEmpty())
                steps.push_back({t, o.value(QLatin1String("heading")).toBool(),
                                 o.value(QLatin1String("title")).toString()});
        }
        if (!steps.empty()) {
            r.Steps = std::move(steps);
            r.StepsExact = true;
        }
    }
}

std::optional<TRecipeColumns> ExactColumns(const QJsonObject& object, const QString& name) {
    const QJsonValue value = object.value(QLatin1String(ExactColumnsKey));
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject exact = value.toObject();
    const QJsonValue fields[] = {
        exact.value(QStringLiteral("菜名")), exact.value(QStringLiteral("原料")),
        exact.value(QStringLiteral("做法")), exact.value(QStringLiteral("说明"))};
    for (const QJsonValue& f : fields)
        if (!f.isString())
            return std::nullopt;
    TRecipeColumns columns{fields[0].toString(), fields[1].toString(), fields[2].toString(),
                           fields[3].toString()};
    // Only texts that still belong to this recipe and fit the book are taken as they are:
    // the name the export wrote beside them (the whole one) must still be the recipe's.
    const QJsonValue exported = exact.value(QLatin1String("name"));
    const bool same = exported.isString() ? CollapseWhitespace(exported.toString()) == name
                                          : CollapseWhitespace(columns.Name) == name;
    if (!same || columns.Name.size() > NameColumnChars ||
        columns.Ingredients.size() > IngredientsColumnChars ||
        columns.Note.size() > NoteColumnChars)
        return std::nullopt;
    return columns;
}
} // namespace

QString SchemaDigest(const QJsonObject& object) {
    QJsonObject schema = object;
    schema.remove(QLatin1String(ExactColumnsKey));
    schema.remove(QLatin1String(ExactExtrasKey));
    return QString::fromLatin1(
        QCryptographicHash::hash(QJsonDocument(schema).toJson(QJsonDocument::Compact),
                                 QCryptographicHash::Sha1)
            .toHex());
}

namespace {
bool IsJsonSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The end of the string starting at `at` (its opening quote), just past its
// closing quote; -1 when it has none.
qsizetype StringEnd(QByteArrayView json, qsizetype at) {
    for (qsizetype from = at + 1;;) {
        const auto* quote = static_cast<const char*>(
            std::memchr(json.data() + from, '"', size_t(json.size() - from)));
        if (!quote)
            return -1;
        const qsizetype q = quote - json.data();
        qsizetype slashes = 0;
        while (json[q - 1 - slashes] == '\\')
            ++slashes;
        if (slashes % 2 == 0)
            return q + 1;
        from = q + 1;
    }
}
} // namespace

QString SchemaDigestOfBytes(QByteArrayView json) {
    QByteArray compact;
    compact.reserve(json.size());
    qsizetype i = 0;
    auto skipSpace = [&] {
        while (i < json.size() && IsJsonSpace(json[i]))
            ++i;
    };
    skipSpace();
    if (i >= json.size() || json[i] != '{')
        return {};
    ++i;
    compact.append('{');
    bool first = true;
    for (;;) {
        skipSpace();
        if (i < json.size() && json[i] == '}')
            break;
        if (i >= json.size() || json[i] != '"')
            return {};
        const qsizetype keyEnd = StringEnd(json, i);
        if (keyEnd < 0)
            return {};
        const QByteArrayView key = json.sliced(i, keyEnd - i);
        static const QByteArray columnsKey = '"' + QByteArray(ExactColumnsKey) + '"';
        static const QByteArray extrasKey = '"' + QByteArray(ExactExtrasKey) + '"';
        const bool exact = key == columnsKey || key == extrasKey;
        const qsizetype mark = compact.size();
        if (!first)
            compact.append(',');
        compact.append(key);
        i = keyEnd;
        skipSpace();
        if (i >= json.size() || json[i] != ':')
            return {};
        compact.append(':');
        ++i;
        // The value: strings whole, whitespace between tokens dropped, up to the
        // comma or brace that ends it at this depth.
        int depth = 0;
        for (;;) {
            if (i >= json.size())
                return {};
            const char c = json[i];
            if (c == '"') {
                const qsizetype end = StringEnd(json, i);
                if (end < 0)
                    return {};
                compact.append(json.sliced(i, end - i));
                i = end;
                continue;
            }
            if (depth == 0 && (c == ',' || c == '}'))
                break;
            if (c == '[' || c == '{')
                ++depth;
            else if (c == ']' || c == '}')
                --depth;
            if (!IsJsonSpace(c))
                compact.append(c);
            ++i;
        }
        if (exact)
            compact.truncate(mark);
        else
            first = false;
        if (json[i] == ',')
            ++i;
    }
    compact.append('}');
    for (++i; i < json.size(); ++i)
        if (!IsJsonSpace(json[i]))
            return {};
    return QString::fromLatin1(QCryptographicHash::hash(compact, QCryptographicHash::Sha1).toHex());
}

std::vector<QJsonObject> FindRecipeObjects(const QJsonValue& value) {
    std::vector<QJsonObject> out;
    Find(value, 0, out);
    return out;
}

TSchemaRecipe RecipeFromSchema(const QJsonObject& object, bool plainText, QByteArrayView document) {
    const TReader read(plainText);
    TSchemaRecipe result;
    TImportedRecipe& r = result.Recipe;
    r.Name = read.Text(object.value(QLatin1String("name")));
    QJsonValue ingredients = object.value(QLatin1String("recipeIngredient"));
    if (ingredients.isUndefined())
        ingredients = object.value(QLatin1String("ingredients"));
    read.Ingredients(ingredients, 0, r.Ingredients);
    r.Description = read.Text(object.value(QLatin1String("description")), QStringLiteral("\n"));
    // Pages often give ["4", "4 人份"]: the one that says what is counted.
    const QJsonValue yield = object.value(QLatin1String("recipeYield"));
    r.Yield = read.Text(yield);
    if (yield.isArray())
        for (const QJsonValue& v : yield.toArray())
            if (const QString t = read.Text(v);
                t.contains(QRegularExpression(QStringLiteral("\\D")))) {
                r.Yield = t;
                break;
            }
    r.PrepTime = read.Text(object.value(QLatin1String("prepTime")));
    r.CookTime = read.Text(object.value(QLatin1String("cookTime")));
    r.TotalTime = read.Text(object.value(QLatin1String("totalTime")));
    r.Source = read.Text(object.value(QLatin1String("url")));
    if (r.Source.isEmpty())
        r.Source = read.Text(object.value(QLatin1String("author")));
    for (const char* key : {"recipeCategory", "recipeCuisine", "keywords"})
        for (const QString& label : Labels(read.Text(object.value(QLatin1String(key)))))
            if (QStringList& list = key[0] == 'k' ? r.Keywords : r.Categories;
                !list.contains(label))
                list.append(label);
    r.Added = Date(object.value(QLatin1String("dateCreated")));
    r.Changed = Date(object.value(QLatin1String("dateModified")));
    r.Exact =
        ExactColumns(object, CollapseWhitespace(object.value(QLatin1String("name")).toString()));
    if (const QJsonValue digest = object.value(QLatin1String(ExactExtrasKey))
                                      .toObject()
                                      .value(QLatin1String(SchemaDigestKey));
        r.Exact && digest.isString()) {
        // The bytes answer at once for a file as we wrote it; one written
        // otherwise is serialised again to be sure.
        const QString stored = digest.toString();
        if ((document.isEmpty() || SchemaDigestOfBytes(document) != stored) &&
            stored != SchemaDigest(object))
            r.Exact.reset(); // edited elsewhere since we wrote it
    }
    if (r.Exact) {
        ReadExactExtras(object, r);
        for (const QJsonValue& v : object.value(QLatin1String(ExactExtrasKey))
                                       .toObject()
                                       .value(QLatin1String("pictures"))
                                       .toArray())
            result.PictureOrder.append(v.toString());
    }
    QJsonValue steps = object.value(QLatin1String("recipeInstructions"));
    if (steps.isUndefined())
        steps = object.value(QLatin1String("instructions")); // older pages
    // Our own export's exact steps stand for the HowToSteps, one for one: only
    // their pictures are wanted, numbered as the export numbered them.
    if (r.Exact && r.StepsExact)
        read.StepPictures(steps, 0);
    else
        read.Steps(steps, 0, r.Steps);
    read.Images(object.value(QLatin1String("image")), 0, result.ImageUrls);
    result.StepImageUrls = std::move(read.StepImages);
    result.ImageCaptions = std::move(read.Captions);
    return result;
}

void TakeFolderPictures(TSchemaRecipe& s,
                        const std::function<std::optional<QByteArray>(const QString&)>& file,
                        const QString& folder) {
    auto fileName = [](const QString& url) {
        const QString path = QUrl::fromPercentEncoding(url.toUtf8());
        return path.mid(path.lastIndexOf(u'/') + 1);
    };
    QStringList taken{QStringLiteral("full.jpg"), QStringLiteral("thumb.jpg"),
                      QStringLiteral("thumb16.jpg")};
    auto take = [&](const QString& url, int step) {
        const QString name = fileName(url);
        if (name.isEmpty() || name == u".." || taken.contains(name) ||
            s.Recipe.Pictures.size() >= 500)
            return;
        std::optional<QByteArray> bytes = file(name);
        if (!bytes)
            return;
        taken.append(name);
        s.Recipe.Pictures.push_back({std::move(*bytes), step, s.ImageCaptions.value(url),
                                     folder.isEmpty() ? name : folder + u'/' + name});
    };
    for (qsizetype i = 0; i < s.ImageUrls.size(); ++i) {
        if (i == 0 && s.Recipe.Picture.isEmpty()) {
            // No full.jpg: the first named picture is the cover.
            const QString name = fileName(s.ImageUrls[0]);
            if (std::optional<QByteArray> bytes = name.isEmpty() ? std::nullopt : file(name)) {
                s.Recipe.Picture = std::move(*bytes);
                s.Recipe.PictureOrigin = name;
                taken.append(name);
            }
            continue;
        }
        take(s.ImageUrls[i], 0);
    }
    for (const auto& [step, url] : s.StepImageUrls)
        take(url, step);
    if (!s.PictureOrder.isEmpty())
        std::stable_sort(s.Recipe.Pictures.begin(), s.Recipe.Pictures.end(),
                         [&](const TImportedPicture& a, const TImportedPicture& b) {
                             return s.PictureOrder.indexOf(fileName(a.Origin)) <
                                    s.PictureOrder.indexOf(fileName(b.Origin));
                         });
}

namespace {
// Qt words its parse errors in English only.
QString JsonErrorText(QJsonParseError::ParseError error) {
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("对象没有结束");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("名字后缺少冒号");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("数组没有结束");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("值之间缺少逗号");
    case QJsonParseError::IllegalValue:
    case QJsonParseError::MissingObject:
        return QStringLiteral("不认识的值");
    case QJsonParseError::TerminationByNumber:
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("文件在中途结束");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("数字写法不对");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("转义字符不对");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("文字不是 UTF-8");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("嵌套太深");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("文件太大");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("结尾有多余的内容");
    case QJsonParseError::NoError:
        break;
    }
    return QStringLiteral("无法解析");
}
} // namespace

QJsonValue ParseJson(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const qsizetype offset = std::clamp<qsizetype>(error.offset, 0, bytes.size());
        const qsizetype line = bytes.first(offset).count('\n') + 1;
        throw EImportError(QStringLiteral("JSON 格式错误（第 %1 行）：%2")
                               .arg(line)
                               .arg(JsonErrorText(error.error)));
    }
    if (document.isArray())
        return document.array();
    return document.object();
}
