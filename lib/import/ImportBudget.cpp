#include "ImportBudget.h"

#include "FileErrors.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cstring>

void TImportBudget::CountMember() {
    if (++FMembers > FLimits.Members)
        throw EImportError(
            QStringLiteral("压缩包里的文件太多（一次导入最多 %1 个）").arg(FLimits.Members));
}

namespace {
QString BombText(int ratio) {
    return QStringLiteral("解开后是压缩时的 %1 倍以上，不像菜谱或图片（可能是压缩炸弹）")
        .arg(ratio);
}
} // namespace

void TImportBudget::CountBytes(qint64 bytes, qint64 packed, qint64 memberSoFar, qint64 memberPacked,
                               const QString& member) {
    if (memberSoFar > FLimits.MemberBytes)
        throw EImportError(QStringLiteral("压缩包里的“%1”解开后太大（每个文件最多 %2）")
                               .arg(member, SizeLimitText(FLimits.MemberBytes)));
    if (memberSoFar > FLimits.RatioFreeBytes && memberSoFar > FLimits.Ratio * memberPacked)
        throw EImportError(QStringLiteral("压缩包里的“%1”").arg(member) + BombText(FLimits.Ratio));
    FUnpacked += bytes;
    FPacked += packed;
    if (FUnpacked > FLimits.TotalRatioFreeBytes && FUnpacked > FLimits.TotalRatio * FPacked)
        throw EImportError(QStringLiteral("压缩包") + BombText(FLimits.TotalRatio));
}

QString CapRecipeText(QString text, bool& cut) {
    if (text.size() <= MaxRecipeFieldChars)
        return text;
    qsizetype end = MaxRecipeFieldChars;
    if (text.at(end - 1).isHighSurrogate())
        --end; // never half a character
    text.truncate(end);
    cut = true;
    return text;
}

namespace {
// A list of lines as one text: lines past the bound go, the one crossing it is cut.
void CapLines(std::vector<TRecipeLine>& lines, bool& cut) {
    qsizetype total = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const qsizetype room = MaxRecipeFieldChars - total;
        if (lines[i].Text.size() > room) {
            cut = true;
            QString& text = lines[i].Text;
            qsizetype end = room;
            if (end > 0 && text.at(end - 1).isHighSurrogate())
                --end;
            text.truncate(end);
            lines.resize(text.isEmpty() ? i : i + 1);
            return;
        }
        total += lines[i].Text.size() + 1;
    }
}
} // namespace

bool CapRecipeTexts(TImportedRecipe& r) {
    bool cut = false;
    for (QString* text : {&r.Name, &r.Description, &r.Notes, &r.Yield, &r.PrepTime, &r.CookTime,
                          &r.TotalTime, &r.Source})
        *text = CapRecipeText(std::move(*text), cut);
    CapLines(r.Ingredients, cut);
    CapLines(r.Steps, cut);
    qsizetype total = 0;
    for (qsizetype i = 0; i < r.Categories.size(); ++i) {
        total += r.Categories[i].size() + 1;
        if (total > MaxRecipeFieldChars) {
            r.Categories.resize(i);
            cut = true;
            break;
        }
    }
    if (r.Exact) {
        for (QString* text :
             {&r.Exact->Name, &r.Exact->Ingredients, &r.Exact->Method, &r.Exact->Note})
            *text = CapRecipeText(std::move(*text), cut);
    }
    return cut;
}

namespace {
// All the texts of one recipe together: its fields at most, with room for their keys.
constexpr qsizetype MaxJsonChars = 8 * MaxRecipeFieldChars;

void CapJson(QJsonValue& value, const QStringList& keep, qsizetype& total, bool& cut, int depth) {
    if (depth > MaxJsonDepth) {
        value = QJsonValue();
        return;
    }
    if (value.isString()) {
        QString text = value.toString();
        if (text.size() > MaxRecipeFieldChars || total + text.size() > MaxJsonChars) {
            const qsizetype room =
                std::min(MaxRecipeFieldChars, std::max<qsizetype>(MaxJsonChars - total, 0));
            bool cutHere = false;
            text = CapRecipeText(std::move(text), cutHere);
            if (text.size() > room)
                text.truncate(room);
            cut = true;
            value = text;
        }
        total += text.size() + 1; // empty strings by the million count too
        return;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        QJsonArray kept;
        for (QJsonValue item : array) {
            if (total >= MaxJsonChars) {
                cut = true;
                break;
            }
            CapJson(item, keep, total, cut, depth + 1);
            kept.append(item);
        }
        value = kept;
        return;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (keep.contains(it.key()))
                continue;
            QJsonValue item = it.value();
            if (total >= MaxJsonChars && item.isString() && !item.toString().isEmpty()) {
                cut = true;
                *it = QString();
                continue;
            }
            CapJson(item, keep, total, cut, depth + 1);
            *it = item;
        }
        value = object;
    }
}
} // namespace

bool CapJsonTexts(QJsonValue& value, const QStringList& keep) {
    qsizetype total = 0;
    bool cut = false;
    CapJson(value, keep, total, cut, 0);
    return cut;
}

bool JsonMayNeedCapping(QByteArrayView json) {
    // A text has no more characters than its bytes, escapes included.
    if (json.size() > MaxRecipeFieldChars)
        return true;
    // Only the nesting is left to look at: strings, most of the bytes, are
    // passed over quote to quote.
    int depth = 0;
    const char* p = json.data();
    const char* const end = p + json.size();
    while (p < end) {
        const char c = *p++;
        if (c == '"') {
            for (;;) {
                const auto* quote = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)));
                if (!quote)
                    return false;
                qsizetype slashes = 0;
                while (quote - 1 - slashes >= p && quote[-1 - slashes] == '\\')
                    ++slashes;
                p = quote + 1;
                if (slashes % 2 == 0)
                    break;
            }
        } else if (c == '[' || c == '{') {
            if (++depth > MaxJsonDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

QString RecipeCutNote() {
    return QStringLiteral("文字太长，每项只保留前 %1 万字").arg(MaxRecipeFieldChars / 10000);
}
