#pragma once
// Fixtures and readers shared by the import tests.

#include "ImportTypes.h"
#include "RecipeImporter.h"

#include <QFile>
#include <gtest/gtest.h>

inline QString Fixture(const char* name) {
    return QStringLiteral(MYCOOK_IMPORT_FIXTURES "/") + QString::fromUtf8(name);
}

inline QByteArray FixtureBytes(const char* name) {
    QFile f(Fixture(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

inline std::vector<TImportedRecipe> ReadAllRecipes(const QString& path) {
    std::vector<TImportedRecipe> out;
    ReadRecipeFile(path, [&](TImportedRecipe&& r) { out.push_back(std::move(r)); });
    return out;
}

inline QStringList LineTexts(const std::vector<TRecipeLine>& lines) {
    QStringList out;
    for (const TRecipeLine& l : lines)
        out << (l.Heading ? QStringLiteral("#") + l.Text : l.Text);
    return out;
}
