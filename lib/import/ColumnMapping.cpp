#include "ColumnMapping.h"

namespace {
QString JoinLines(const std::vector<TRecipeLine>& lines) {
    QStringList out;
    for (const TRecipeLine& line : lines)
        if (!line.Text.isEmpty())
            out.append(line.Text);
    return out.join(u'\n');
}

// Lines trimmed and empty ones dropped: how the export writes a text.
QString Normalised(const QString& text) {
    QStringList out;
    for (const QString& line : text.split(u'\n'))
        if (const QString t = line.trimmed(); !t.isEmpty())
            out.append(t);
    return out.join(u'\n');
}

QStringList Distinct(const QStringList& labels) {
    QStringList out;
    for (const QString& label : labels)
        if (const QString t = CollapseWhitespace(label); !t.isEmpty() && !out.contains(t))
            out.append(t);
    return out;
}

QString Duration(const QString& text) {
    const QString iso = IsoDuration(text);
    return iso.isEmpty() ? CollapseWhitespace(text) : iso;
}
} // namespace

TRecipe RecipeFromImport(const TImportedRecipe& r) {
    TRecipe out;
    out.Name = CollapseWhitespace(r.Name);
    if (out.Name.isEmpty())
        out.Name = QStringLiteral("未命名菜谱");
    out.Ingredients = JoinLines(r.Ingredients);
    for (const TRecipeLine& step : r.Steps) {
        if (step.Text.isEmpty())
            continue;
        out.Steps.push_back(step);
        if (!step.Heading && !r.StepsExact) // the numbers are the method's own
            out.Steps.back().Text = WithoutStepNumber(step.Text);
    }
    out.Note = r.Description;
    if (!r.Notes.isEmpty())
        out.Note = out.Note.isEmpty() ? r.Notes : out.Note + QStringLiteral("\n\n") + r.Notes;
    out.Categories = Distinct(r.Categories);
    out.Keywords = Distinct(r.Keywords);
    ReadYield(r.Yield, out.Servings, out.ServingsUnit);
    out.PrepTime = Duration(r.PrepTime);
    out.CookTime = Duration(r.CookTime);
    out.TotalTime = Duration(r.TotalTime);
    out.Source = r.Source.trimmed();
    out.Favourite = r.Favourite;
    out.Added = r.Added;
    out.Changed = r.Changed;
    if (!r.Exact) {
        out.Columns = ColumnsFor(out);
        return out;
    }
    // Our own export: the row exactly as it was, and the whole texts where the
    // export only tidied the row's own.
    out.Columns = *r.Exact;
    if (CollapseWhitespace(out.Columns.Name) == out.Name)
        out.Name = out.Columns.Name.trimmed();
    if (Normalised(out.Columns.Ingredients) == Normalised(out.Ingredients))
        out.Ingredients = out.Columns.Ingredients;
    if (Normalised(out.Columns.Note) == Normalised(out.Note))
        out.Note = out.Columns.Note;
    return out;
}

TRecipeColumns MapToColumns(const TImportedRecipe& recipe) {
    return RecipeFromImport(recipe).Columns;
}
