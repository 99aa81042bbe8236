#include "PlainTextRecipe.h"

#include "ImportFile.h"
#include "PageCards.h"
#include "RecipeLines.h"
#include "RecipeText.h"
#include "TextDecode.h"

#include <QRegularExpression>

namespace {
// "菜名：红烧肉", "【红烧肉的做法】", "# Pad Thai" as the dish's name.
QString TitleOf(const QString& line) {
    static const QRegularExpression label(
        QStringLiteral("^(菜名|菜谱|名称|标题|title|recipe|name)\\s*[:：]\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression suffix(QStringLiteral("(的家常做法|的做法大全|的做法)$"));
    QString t = Undecorated(line);
    t.remove(label);
    t = Undecorated(t);
    if (const QString core = QString(t).remove(suffix).trimmed(); !core.isEmpty())
        t = core;
    return t;
}

// A line that begins a numbered method: "1.", "①", "第一步", "Step 1".
bool BeginsMethod(const QString& line) {
    const QStringList steps = SplitNumberedSteps(line + QStringLiteral("\n2. x"));
    return !steps.isEmpty() && LeadingMarkLength(line) > 0;
}
} // namespace

TImportedRecipe RecipeFromPlainText(const QString& raw) {
    if (raw.size() > MaxPlainTextChars)
        throw EImportError(QStringLiteral("文字太长（超过 %1 万字），不像一个菜谱")
                               .arg(MaxPlainTextChars / 10000));
    QString text = UnifyLineBreaks(raw);
    text.replace(QChar(0x3000), u' ');      // ideographic space
    text.replace(QChar(0xFEFF), QString()); // a byte-order mark pasted along
    enum class TState { Head, Ingredients, Steps, Notes } state = TState::Head;
    QString title;
    QStringList description, ingredients, steps, notes;
    bool blank = false;
    bool numbered = false; // the method numbers its steps
    int stepLines = 0;
    // Whether the ingredients so far name an item. Each line reads on its own, so
    // this is kept line by line: read whole at every line, a long paste of lines
    // without items would cost the square of its length.
    bool ingredientsHaveItems = false;
    const auto addIngredient = [&](const QString& line) {
        ingredients.append(line);
        ingredientsHaveItems = ingredientsHaveItems || HasItems(IngredientLines({line}));
    };
    for (const QString& raw : text.split(u'\n')) {
        const QString line = CollapseWhitespace(raw);
        if (line.isEmpty()) {
            blank = true;
            continue;
        }
        const bool afterBlank = blank;
        blank = false;
        TPartHeading heading = PartHeading(line);
        // "红烧肉的做法" as the first line is the dish's name, not the method's heading.
        if (state == TState::Head && title.isEmpty() && heading.Part == TRecipePart::Steps &&
            heading.Rest.isEmpty() && heading.Title.contains(u'的'))
            heading.Part = TRecipePart::None;
        switch (heading.Part) {
        case TRecipePart::Ingredients:
            state = TState::Ingredients;
            addIngredient(line);
            continue;
        case TRecipePart::Steps:
            state = TState::Steps;
            steps.append(line);
            numbered = BeginsMethod(heading.Rest);
            continue;
        case TRecipePart::Notes:
            state = TState::Notes;
            notes.append(line);
            continue;
        case TRecipePart::None:
            break;
        }
        switch (state) {
        case TState::Head:
            if (title.isEmpty() && line.size() <= 60)
                title = TitleOf(line);
            else if (BeginsMethod(line) && !description.isEmpty()) {
                // No headings at all: the lines before a numbered method are its ingredients.
                ingredients = description;
                ingredientsHaveItems = HasItems(IngredientLines(ingredients));
                description.clear();
                state = TState::Steps;
                numbered = true;
                ++stepLines;
                steps.append(line);
            } else {
                description.append(line);
            }
            break;
        case TState::Ingredients:
            // A numbered method straight after the ingredients, without its heading.
            if (BeginsMethod(line) && ingredientsHaveItems) {
                state = TState::Steps;
                numbered = true;
                ++stepLines;
                steps.append(line);
            } else {
                addIngredient(line);
            }
            break;
        case TState::Steps:
            if (stepLines++ == 0)
                numbered = numbered || BeginsMethod(line);
            // After a numbered method, a paragraph of its own is the note.
            if (numbered && afterBlank && LeadingMarkLength(line) == 0) {
                state = TState::Notes;
                notes.append(line);
            } else {
                steps.append(line);
            }
            break;
        case TState::Notes:
            notes.append(line);
            break;
        }
    }
    TImportedRecipe recipe;
    recipe.Name = title;
    recipe.Ingredients = IngredientLines(ingredients);
    recipe.Steps = StepLines(steps);
    if (!HasItems(recipe.Ingredients) && !HasItems(recipe.Steps))
        throw EImportError(QStringLiteral(
            "文字里找不到配料和做法：请在配料前写一行“用料：”，在步骤前写一行“做法：”"));
    recipe.Description = description.join(u'\n');
    recipe.Notes = notes.join(u'\n');
    return recipe;
}

void ReadPlainTextFile(const QString& path, const TRecipeSink& sink) {
    const QByteArray bytes = ReadImportFile(path);
    sink(RecipeFromPlainText(DecodeText(bytes)));
}

bool LooksLikeMealMaster(const QByteArray& head) {
    const QByteArray lower = head.toLower();
    if (lower.contains("meal-master"))
        return true;
    static const QRegularExpression header(
        QStringLiteral("^(mmmmm|-----)-----.*(recipe via|meal-?master)"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    return header.match(QString::fromLatin1(head)).hasMatch();
}
