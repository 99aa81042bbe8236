#pragma once
// A book of whole recipes in a temporary folder, changed as the window changes
// it, and synced with a folder.

#include "BookSync.h"
#include "BookTestUtil.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "SyncState.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <map>

inline QByteArray DishJpeg(char tail) {
    QFile f(QStringLiteral(MYCOOK_IMPORT_FIXTURES "/dish.jpg"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    bytes.insert(bytes.size() - 2, tail); // each picture its own bytes, still ending in EOI
    return bytes;
}

// A recipe with every field the book holds.
inline TRecipe WholeRecipe(const QString& name, char picture = 'a') {
    TRecipe r;
    r.Name = name;
    r.Ingredients = QStringLiteral("五花肉 500克\n生抽 两勺");
    r.Steps = {{QStringLiteral("腌制"), true},
               {QStringLiteral("切条"), false, QStringLiteral("切")},
               {QStringLiteral("烤四十五分钟")}};
    r.Note = QStringLiteral("甜咸适口。");
    r.Categories = {QStringLiteral("粤菜"), QStringLiteral("家常菜")};
    r.Keywords = {QStringLiteral("chashao")};
    r.Servings = 4;
    r.ServingsUnit = QStringLiteral("人份");
    r.PrepTime = QStringLiteral("PT15M");
    r.CookTime = QStringLiteral("约一小时");
    r.Source = QStringLiteral("https://cook.example.cn/") + name;
    r.Favourite = true;
    r.Added = QDateTime(QDate(2024, 3, 1), QTime(8, 0), QTimeZone::utc());
    r.Changed = QDateTime(QDate(2024, 3, 2), QTime(9, 30), QTimeZone::utc());
    r.Cover = DishJpeg(picture);
    r.Pictures = {{DishJpeg('1'), 1, QStringLiteral("切好的肉")}, {DishJpeg('p'), 0, QString()}};
    r.Columns = ColumnsFor(r);
    return r;
}

class TSyncBook {
public:
    explicit TSyncBook(const QString& path) : FPath(path) {
        CreateDatabaseFile(CreationString(path));
        FConnection.SetLoginPrompt(false);
        FConnection.SetConnectionString(ConnectString(path));
        FConnection.SetConnected(true);
        FConnection.Execute(CreateTableSql);
        Reopen();
    }

    void Reopen() {
        FQuery.Close();
        FQuery.SQL = QStringList{QStringLiteral("select * from mycook")};
        FQuery.Open();
    }

    void Add(TRecipe recipe) { TRecipeStore(FConnection).Append(FQuery, recipe); }
    void Add(const QString& name, char picture = 'a') { Add(WholeRecipe(name, picture)); }

    qint64 RowOf(const QString& name) {
        for (const auto& [row, recipe] : Recipes())
            if (recipe.Name == name)
                return row;
        ADD_FAILURE() << "no recipe " << name.toStdString();
        return -1;
    }

    // As the window's save overwrites it.
    void Change(const QString& name, const QString& ingredients) {
        const qint64 row = RowOf(name);
        TRecipeStore store(FConnection);
        TRecipe r = store.Read(row);
        r.Ingredients = ingredients;
        r.Columns = ColumnsFor(r);
        ASSERT_TRUE(FQuery.LocateRowId(row));
        store.Overwrite(FQuery, r);
    }

    void Delete(const QString& name) {
        FConnection.Execute(QStringLiteral("delete from mycook where rowid = %1").arg(RowOf(name)));
        Reopen();
    }

    std::map<qint64, TRecipe> Recipes() {
        std::map<qint64, TRecipe> out;
        TRecipeStore store(FConnection);
        TADOQuery q(&FConnection);
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            out.emplace(q.RowId(), store.Read(q.RowId()));
        return out;
    }

    // Names, each with how often it is there.
    std::map<QString, int> Names() {
        std::map<QString, int> out;
        for (const auto& [row, recipe] : Recipes())
            ++out[recipe.Name];
        return out;
    }

    // Every recipe by name and digest: equal books give equal lists.
    QStringList Contents() {
        QStringList out;
        for (const auto& [row, recipe] : Recipes())
            out << recipe.Name + u' ' + QString::fromLatin1(RecipeDigest(recipe).toHex());
        out.sort();
        return out;
    }

    TSyncSummary Sync(const QString& folder, TSyncOptions options = {}) {
        if (!options.Today.isValid())
            options.Today = QDate(2026, 12, 9);
        TSyncSummary s = SyncBookWithFolder(FConnection, folder, options);
        Reopen();
        return s;
    }

    QString FPath;
    TADOConnection FConnection;
    TADOQuery FQuery{&FConnection};
};

inline QJsonObject ReadJsonFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(f.readAll()).object();
}

// Makes the folders on the way too.
inline void PutFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(WriteFile(path, bytes)) << path.toStdString();
}

inline void WriteJsonFile(const QString& path, const QJsonObject& o) {
    PutFile(path, QJsonDocument(o).toJson());
}

// recipe.json as the cookbook app on the web writes it: no keys of ours, the
// picture as full.jpg with its thumbnails, an address for the image.
inline void AppRecipe(const QString& folder, const QString& name, const QString& ingredient) {
    WriteJsonFile(folder + QStringLiteral("/recipe.json"),
                  QJsonObject{{"@context", "http://schema.org"},
                              {"@type", "Recipe"},
                              {"id", "1843"},
                              {"name", name},
                              {"description", ""},
                              {"url", ""},
                              {"image", "https://img.example.com/x.jpg"},
                              {"prepTime", "PT0H10M0S"},
                              {"cookTime", "PT0H20M0S"},
                              {"totalTime", ""},
                              {"recipeCategory", "家常菜"},
                              {"keywords", "快手,素"},
                              {"recipeYield", 2},
                              {"tool", QJsonArray()},
                              {"recipeIngredient", QJsonArray{ingredient, "盐"}},
                              {"recipeInstructions", QJsonArray{"洗净", "翻炒"}},
                              {"nutrition", QJsonObject{{"@type", "NutritionInformation"}}},
                              {"dateCreated", "2026-11-30T10:00:00+0000"},
                              {"dateModified", "2026-12-01T10:00:00+0000"}});
    PutFile(folder + QStringLiteral("/full.jpg"), DishJpeg('n'));
    PutFile(folder + QStringLiteral("/thumb.jpg"), DishJpeg('t'));
    PutFile(folder + QStringLiteral("/thumb16.jpg"), DishJpeg('s'));
}

// Changes one ingredient line of a folder's recipe.json as another program would.
inline void EditInFolder(const QString& folder, const QString& ingredient) {
    const QString path = folder + QStringLiteral("/recipe.json");
    QJsonObject o = ReadJsonFile(path);
    QJsonArray list = o.value(QStringLiteral("recipeIngredient")).toArray();
    list.append(ingredient);
    o.insert(QStringLiteral("recipeIngredient"), list);
    WriteJsonFile(path, o);
}
