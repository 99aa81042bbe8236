#include "RecipeStore.h"

#include "ADODB.h"
#include "RecipeText.h"
#include "TransactionGuard.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>
#include <optional>
#include <sqlite3.h>

namespace {
const QString NameColumn = QStringLiteral("菜名");

// Our tables. A recipe's extras are keyed by its row's rowid: the designed save
// overwrites in place and the book is never vacuumed, so the rowid stays; the
// triggers drop a deleted row's extras and any left under a reused rowid, and the
// name column kept beside them must still equal 菜名 for them to count.
const char* const CreateTables[] = {
    "create table if not exists mycook_recipe("
    "recipe integer primary key, name_column text not null, name text,"
    " ingredients_column text, ingredients text, note_column text, note text, steps text,"
    " servings real, servings_unit text, prep_time text, cook_time text, total_time text,"
    " source text, favourite integer not null default 0, added text, changed text)",
    // kind 0: a category, 1: a keyword
    "create table if not exists mycook_label("
    "recipe integer not null, kind integer not null, position integer not null,"
    " text text not null, primary key(recipe, kind, position))",
    // With the recipe, so a category's recipes are read from the index alone.
    "create index if not exists mycook_label_text on mycook_label(kind, text, recipe)",
    "create table if not exists mycook_picture("
    "recipe integer not null, position integer not null, step integer not null default 0,"
    " caption text, jpeg blob not null)",
    "create unique index if not exists mycook_picture_order on mycook_picture(recipe, position)",
    // Only the recipes whose whole name or ingredients the columns hold cut, so that
    // a keyword search reads a few rows, not one per recipe.
    "create table if not exists mycook_whole("
    "recipe integer primary key, name text, ingredients text)",
    "create trigger if not exists mycook_extras_gone after delete on mycook begin"
    " delete from mycook_whole where recipe = old.rowid;"
    " delete from mycook_recipe where recipe = old.rowid;"
    " delete from mycook_label where recipe = old.rowid;"
    " delete from mycook_picture where recipe = old.rowid; end",
    "create trigger if not exists mycook_extras_fresh after insert on mycook begin"
    " delete from mycook_whole where recipe = new.rowid;"
    " delete from mycook_recipe where recipe = new.rowid;"
    " delete from mycook_label where recipe = new.rowid;"
    " delete from mycook_picture where recipe = new.rowid; end",
};

struct TFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TFinalize>;

// A statement of the book's connection; a failure is worded as the book's errors are.
TStatement PrepareOrRaise(TADOConnection& connection, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(connection.Handle(), sql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        connection.RaiseEngineError();
    }
    return TStatement(raw);
}

struct TReset {
    sqlite3_stmt* S;
    ~TReset() {
        sqlite3_reset(S);
        sqlite3_clear_bindings(S);
    }
};

qint64 Number(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return -1;
    TStatement s(raw);
    return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
}

void BindText(sqlite3_stmt* s, int i, const QString& text) {
    if (text.isNull()) {
        sqlite3_bind_null(s, i);
        return;
    }
    // The book keeps UTF-8: Qt's conversion is quicker than SQLite's.
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text64(s, i, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
}

QString ColumnText(sqlite3_stmt* s, int i) {
    if (sqlite3_column_type(s, i) == SQLITE_NULL)
        return {};
    const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, i));
    return p ? QString::fromUtf16(p, sqlite3_column_bytes16(s, i) / 2) : QString();
}

QByteArray ColumnBytes(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    return p ? QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(s, i)) : QByteArray();
}

QString DateText(const QDateTime& when) {
    // An import stamps thousands of recipes within the same second.
    thread_local qint64 last = std::numeric_limits<qint64>::min();
    thread_local QString lastText;
    if (!when.isValid())
        return {};
    if (const qint64 seconds = when.toSecsSinceEpoch(); seconds != last) {
        last = seconds;
        lastText = when.toUTC().toString(Qt::ISODate);
    }
    return lastText;
}

QDateTime DateOf(const QString& text) {
    QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    return when.isValid() ? when.toUTC() : QDateTime();
}

// A JSON string as Qt's compact writer puts it (the same escapes, lowercase hex),
// written straight into UTF-16: an import stores thousands of steps a second.
void AppendJsonString(QString& out, const QString& text) {
    static const char16_t hex[] = u"0123456789abcdef";
    out.append(u'"');
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = p + text.size();
    const char16_t* run = p; // characters copied as they are, up to p
    for (; p < end; ++p) {
        const char16_t c = *p;
        const bool plain = c >= 0x20 && c != u'"' && c != u'\\' && (c < 0xD800 || c > 0xDFFF);
        if (plain)
            continue;
        if (c >= 0xD800 && c <= 0xDBFF && p + 1 < end && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            ++p; // a pair stands as it is
            continue;
        }
        out.append(QStringView(run, p - run));
        run = p + 1;
        out.append(u'\\');
        switch (c) {
        case u'"':
            out.append(u'"');
            break;
        case u'\\':
            out.append(u'\\');
            break;
        case 0x8:
            out.append(u'b');
            break;
        case 0xC:
            out.append(u'f');
            break;
        case 0xA:
            out.append(u'n');
            break;
        case 0xD:
            out.append(u'r');
            break;
        case 0x9:
            out.append(u't');
            break;
        default: // another control character, or half a pair
            const char16_t code[] = {u'u', hex[c >> 12], hex[(c >> 8) & 0xF], hex[(c >> 4) & 0xF],
                                     hex[c & 0xF]};
            out.append(QStringView(code, 5));
        }
    }
    out.append(QStringView(run, end - run));
    out.append(u'"');
}

QString StepsJson(const std::vector<TRecipeLine>& steps) {
    // As QJsonDocument writes it compactly: the keys in order, false and empty left out.
    QString out = QStringLiteral("[");
    for (const TRecipeLine& step : steps) {
        if (step.Text.isEmpty())
            continue;
        if (out.size() > 1)
            out.append(u',');
        out.append(step.Heading ? QStringLiteral("{\"heading\":true,\"text\":")
                                : QStringLiteral("{\"text\":"));
        AppendJsonString(out, step.Text);
        if (!step.Title.isEmpty()) {
            out.append(QStringLiteral(",\"title\":"));
            AppendJsonString(out, step.Title);
        }
        out.append(u'}');
    }
    out.append(u']');
    return out;
}

bool StepsReadBack(const TRecipe& recipe) {
    std::vector<TRecipeLine> steps;
    for (const TRecipeLine& step : recipe.Steps)
        if (!step.Text.isEmpty())
            steps.push_back(step);
    return recipe.Columns.Method == MethodText(steps) &&
           ReadMethod(recipe.Columns.Method).Steps == steps;
}

std::vector<TRecipeLine> StepsOf(const QString& json) {
    std::vector<TRecipeLine> steps;
    for (const QJsonValue& v : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        steps.push_back({o.value(QStringLiteral("text")).toString(),
                         o.value(QStringLiteral("heading")).toBool(),
                         o.value(QStringLiteral("title")).toString()});
    }
    return steps;
}
} // namespace

bool HasRecipeTables(TADOConnection& connection) {
    sqlite3* db = connection.Handle();
    return db && Number(db, "select count(*) from sqlite_master where type = 'table' and name = "
                            "'mycook_recipe'") > 0;
}

void EnsureRecipeTables(TADOConnection& connection) {
    if (!connection.Connected())
        connection.SetConnected(true);
    sqlite3* db = connection.Handle();
    if (Number(db, "pragma user_version") >= RecipeTablesVersion && HasRecipeTables(connection))
        return;
    TTransactionGuard transaction(connection);
    if (Number(db, "pragma user_version") < RecipeTablesVersion) {
        for (const char* sql : CreateTables)
            connection.Execute(QString::fromUtf8(sql));
        connection.Execute(QStringLiteral("pragma user_version = %1").arg(RecipeTablesVersion));
    }
    transaction.Commit();
}

struct TRecipeStore::Impl {
    TADOConnection& Connection;
    TStatement Upsert, ClearLabels, ClearPictures, AddLabel, AddPicture, SetWhole, ClearWhole;
    // Our tables were there at this count of rollbacks (-1: not yet seen).
    int ReadyAt = -1;

    explicit Impl(TADOConnection& connection) : Connection(connection) {}

    sqlite3_stmt* Prepare(TStatement& slot, const char* sql) {
        if (!slot) {
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v3(Connection.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw,
                                   nullptr) != SQLITE_OK) {
                sqlite3_finalize(raw);
                Connection.RaiseEngineError();
            }
            slot.reset(raw);
        }
        return slot.get();
    }
    void Step(sqlite3_stmt* s) {
        TReset reset{s};
        if (sqlite3_step(s) != SQLITE_DONE)
            Connection.RaiseEngineError();
    }
};

TRecipeStore::TRecipeStore(TADOConnection& connection)
    : FImpl(std::make_unique<Impl>(connection)) {}

TRecipeStore::~TRecipeStore() = default;

TRecipe TRecipeStore::Read(qint64 rowId) {
    TADOConnection& connection = FImpl->Connection;
    if (!connection.Connected())
        connection.SetConnected(true);
    TRecipe r;
    r.RowId = rowId;
    {
        TStatement s = PrepareOrRaise(
            connection, "select 菜名, 原料, 做法, 说明, img from mycook where rowid = ?");
        sqlite3_stmt* raw = s.get();
        sqlite3_bind_int64(raw, 1, rowId);
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE)
            throw EDatabaseError(QStringLiteral("菜谱库里没有这个菜谱（可能已被删除）。"));
        if (rc != SQLITE_ROW)
            connection.RaiseEngineError();
        r.Columns = {ColumnText(raw, 0), ColumnText(raw, 1), ColumnText(raw, 2),
                     ColumnText(raw, 3)};
        r.Cover = ColumnBytes(raw, 4);
    }
    // What the row alone says, earlier imports' 【完整…】 blocks included.
    const TMethodParts method = ReadMethod(r.Columns.Method);
    r.Steps = method.Steps;
    auto whole = [](const QString& column, const QString& kept, int chars) {
        return !kept.isEmpty() && CutToFit(kept, chars) == column ? kept : column;
    };
    r.Name = whole(r.Columns.Name.trimmed(), method.WholeName, NameColumnChars);
    r.Ingredients = whole(r.Columns.Ingredients, method.WholeIngredients, IngredientsColumnChars);
    r.Note = whole(r.Columns.Note, method.WholeNote, NoteColumnChars);
    if (!method.Notes.isEmpty())
        r.Note = r.Note.isEmpty() ? method.Notes : r.Note + QStringLiteral("\n\n") + method.Notes;
    if (!HasRecipeTables(connection))
        return r;

    TStatement s = PrepareOrRaise(
        connection, "select name_column, name, ingredients_column, ingredients, note_column,"
                    " note, steps, servings, servings_unit, prep_time, cook_time,"
                    " total_time, source, favourite, added, changed"
                    " from mycook_recipe where recipe = ?");
    sqlite3_stmt* raw = s.get();
    sqlite3_bind_int64(raw, 1, rowId);
    const int rc = sqlite3_step(raw);
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE)
            connection.RaiseEngineError();
        return r;
    }
    if (ColumnText(raw, 0) != r.Columns.Name)
        return r; // not this row's any more
    r.Name = ColumnText(raw, 1);
    if (ColumnText(raw, 2) == r.Columns.Ingredients) {
        r.Ingredients = ColumnText(raw, 3);
    }
    if (ColumnText(raw, 4) == r.Columns.Note)
        r.Note = ColumnText(raw, 5);
    if (sqlite3_column_type(raw, 6) != SQLITE_NULL) {
        if (std::vector<TRecipeLine> steps = StepsOf(ColumnText(raw, 6));
            MethodText(steps) == r.Columns.Method)
            r.Steps = std::move(steps);
    }
    r.Servings = sqlite3_column_double(raw, 7);
    r.ServingsUnit = ColumnText(raw, 8);
    r.PrepTime = ColumnText(raw, 9);
    r.CookTime = ColumnText(raw, 10);
    r.TotalTime = ColumnText(raw, 11);
    r.Source = ColumnText(raw, 12);
    r.Favourite = sqlite3_column_int(raw, 13) != 0;
    r.Added = DateOf(ColumnText(raw, 14));
    r.Changed = DateOf(ColumnText(raw, 15));
    s.reset();

    s = PrepareOrRaise(connection, "select kind, text from mycook_label where recipe = ?"
                                   " order by kind, position");
    raw = s.get();
    sqlite3_bind_int64(raw, 1, rowId);
    int step;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW)
        (sqlite3_column_int(raw, 0) == 0 ? r.Categories : r.Keywords).append(ColumnText(raw, 1));
    if (step != SQLITE_DONE)
        connection.RaiseEngineError();
    s.reset();

    s = PrepareOrRaise(connection, "select jpeg, step, caption from mycook_picture where recipe = ?"
                                   " order by position");
    raw = s.get();
    sqlite3_bind_int64(raw, 1, rowId);
    while ((step = sqlite3_step(raw)) == SQLITE_ROW)
        r.Pictures.push_back({ColumnBytes(raw, 0), sqlite3_column_int(raw, 1), ColumnText(raw, 2)});
    if (step != SQLITE_DONE)
        connection.RaiseEngineError();
    return r;
}

namespace {
void StoreColumns(TADOQuery& query, const TRecipe& recipe) {
    query.Edit();
    query.FieldByName(NameColumn).SetAsString(recipe.Columns.Name);
    query.FieldByName(QStringLiteral("原料")).SetAsString(recipe.Columns.Ingredients);
    query.FieldByName(QStringLiteral("做法")).SetAsString(recipe.Columns.Method);
    query.FieldByName(QStringLiteral("说明")).SetAsString(recipe.Columns.Note);
    query.Post();
}

// As the designed save stores a picture: into the current row, JPEG bytes unchanged.
void StoreCover(TADOQuery& query, const QByteArray& jpeg) {
    if (jpeg.isEmpty())
        return;
    QBuffer stream;
    stream.setData(jpeg);
    stream.open(QIODevice::ReadOnly);
    query.Edit();
    query.FieldByName(QStringLiteral("img")).LoadFromStream(stream);
    query.Post();
}
} // namespace

namespace {
// A transaction of its own only when the caller has none: an import's savepoint
// per file already makes each recipe whole or nothing, and a savepoint per
// recipe would halve its speed.
void OwnTransaction(std::optional<TTransactionGuard>& guard, TADOConnection& connection) {
    if (!connection.InTransaction())
        guard.emplace(connection);
}
} // namespace

void TRecipeStore::Append(TADOQuery& query, TRecipe& recipe) {
    std::optional<TTransactionGuard> transaction;
    OwnTransaction(transaction, FImpl->Connection);
    // The cover goes in with the texts where img follows them, as in the designed
    // table: storing it afterwards would write the row and its picture twice.
    if (!recipe.Cover.isEmpty() && query.FieldIndex(QStringLiteral("img")) == 4) {
        query.AppendRecord({recipe.Columns.Name, recipe.Columns.Ingredients, recipe.Columns.Method,
                            recipe.Columns.Note, recipe.Cover});
    } else {
        query.AppendRecord({recipe.Columns.Name, recipe.Columns.Ingredients, recipe.Columns.Method,
                            recipe.Columns.Note});
        StoreCover(query, recipe.Cover);
    }
    recipe.RowId = query.RowId();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!recipe.Added.isValid())
        recipe.Added = now;
    if (!recipe.Changed.isValid())
        recipe.Changed = recipe.Added;
    WriteExtras(recipe.RowId, recipe, true);
    if (transaction)
        transaction->Commit();
}

void TRecipeStore::Overwrite(TADOQuery& query, TRecipe& recipe) {
    std::optional<TTransactionGuard> transaction;
    OwnTransaction(transaction, FImpl->Connection);
    const qint64 row = query.RowId();
    const TRecipe before = Read(row);
    StoreColumns(query, recipe);
    StoreCover(query, recipe.Cover);
    recipe.RowId = row;
    recipe.Added = before.Added.isValid() ? before.Added : QDateTime::currentDateTimeUtc();
    recipe.Changed = QDateTime::currentDateTimeUtc();
    WriteExtras(row, recipe);
    if (transaction)
        transaction->Commit();
}

void TRecipeStore::Replace(TADOQuery& query, TRecipe& recipe) {
    std::optional<TTransactionGuard> transaction;
    OwnTransaction(transaction, FImpl->Connection);
    StoreColumns(query, recipe);
    if (recipe.Cover.isEmpty()) {
        query.Edit();
        query.FieldByName(QStringLiteral("img")).Clear();
        query.Post();
    }
    StoreCover(query, recipe.Cover);
    recipe.RowId = query.RowId();
    WriteExtras(recipe.RowId, recipe);
    if (transaction)
        transaction->Commit();
}

void TRecipeStore::WriteExtras(qint64 rowId, const TRecipe& recipe) {
    WriteExtras(rowId, recipe, false);
}

void TRecipeStore::WriteExtras(qint64 rowId, const TRecipe& recipe, bool fresh) {
    TADOConnection& connection = FImpl->Connection;
    if (FImpl->ReadyAt != connection.Rollbacks()) {
        EnsureRecipeTables(connection);
        FImpl->ReadyAt = connection.Rollbacks();
    }
    std::optional<TTransactionGuard> transaction;
    OwnTransaction(transaction, connection);
    sqlite3_stmt* s = FImpl->Prepare(
        FImpl->Upsert,
        "insert or replace into mycook_recipe(recipe, name_column, name, ingredients_column,"
        " ingredients, note_column, note, steps, servings, servings_unit, prep_time, cook_time,"
        " total_time, source, favourite, added, changed)"
        " values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    {
        sqlite3_bind_int64(s, 1, rowId);
        BindText(s, 2, recipe.Columns.Name.isNull() ? QStringLiteral("") : recipe.Columns.Name);
        BindText(s, 3, recipe.Name);
        BindText(s, 4, recipe.Columns.Ingredients);
        BindText(s, 5, recipe.Ingredients);
        BindText(s, 6, recipe.Columns.Note);
        BindText(s, 7, recipe.Note);
        // Steps that 做法 gives back as they are need no copy of their own.
        if (!StepsReadBack(recipe))
            BindText(s, 8, StepsJson(recipe.Steps));
        if (recipe.Servings > 0)
            sqlite3_bind_double(s, 9, recipe.Servings);
        BindText(s, 10, recipe.ServingsUnit);
        BindText(s, 11, recipe.PrepTime);
        BindText(s, 12, recipe.CookTime);
        BindText(s, 13, recipe.TotalTime);
        BindText(s, 14, recipe.Source);
        sqlite3_bind_int(s, 15, recipe.Favourite ? 1 : 0);
        BindText(s, 16, DateText(recipe.Added));
        BindText(s, 17, DateText(recipe.Changed));
        FImpl->Step(s);
    }
    for (TStatement* clear : {&FImpl->ClearLabels, &FImpl->ClearPictures}) {
        if (fresh)
            break;
        s = FImpl->Prepare(*clear, clear == &FImpl->ClearLabels
                                       ? "delete from mycook_label where recipe = ?"
                                       : "delete from mycook_picture where recipe = ?");
        sqlite3_bind_int64(s, 1, rowId);
        FImpl->Step(s);
    }
    // The whole texts a keyword search looks at beside the cut columns.
    const bool cutName = recipe.Name != recipe.Columns.Name.trimmed();
    const bool cutIngredients = recipe.Ingredients != recipe.Columns.Ingredients;
    if (cutName || cutIngredients) {
        s = FImpl->Prepare(FImpl->SetWhole, "insert or replace into mycook_whole(recipe, name,"
                                            " ingredients) values(?, ?, ?)");
        sqlite3_bind_int64(s, 1, rowId);
        BindText(s, 2, cutName ? recipe.Name : QString());
        BindText(s, 3, cutIngredients ? recipe.Ingredients : QString());
        FImpl->Step(s);
    } else if (!fresh) {
        s = FImpl->Prepare(FImpl->ClearWhole, "delete from mycook_whole where recipe = ?");
        sqlite3_bind_int64(s, 1, rowId);
        FImpl->Step(s);
    }
    s = FImpl->Prepare(FImpl->AddLabel,
                       "insert into mycook_label(recipe, kind, position, text) values(?, ?, ?, ?)");
    for (int kind = 0; kind < 2; ++kind) {
        const QStringList& labels = kind == 0 ? recipe.Categories : recipe.Keywords;
        for (int i = 0; i < labels.size(); ++i) {
            sqlite3_bind_int64(s, 1, rowId);
            sqlite3_bind_int(s, 2, kind);
            sqlite3_bind_int(s, 3, i);
            BindText(s, 4, labels[i]);
            FImpl->Step(s);
        }
    }
    s = FImpl->Prepare(FImpl->AddPicture, "insert into mycook_picture(recipe, position, step,"
                                          " caption, jpeg) values(?, ?, ?, ?, ?)");
    for (size_t i = 0; i < recipe.Pictures.size(); ++i) {
        const TRecipePicture& p = recipe.Pictures[i];
        sqlite3_bind_int64(s, 1, rowId);
        sqlite3_bind_int(s, 2, int(i));
        sqlite3_bind_int(s, 3, std::max(0, p.Step));
        BindText(s, 4, p.Caption);
        sqlite3_bind_blob64(s, 5, p.Jpeg.constData(), sqlite3_uint64(p.Jpeg.size()),
                            SQLITE_TRANSIENT);
        FImpl->Step(s);
    }
    if (transaction)
        transaction->Commit();
}

QStringList RecipeCategories(TADOConnection& connection) {
    QStringList out;
    if (!HasRecipeTables(connection))
        return out;
    TStatement s =
        PrepareOrRaise(connection, "select text from mycook_label where kind = 0 group by text"
                                   " order by count(*) desc, text");
    sqlite3_stmt* raw = s.get();
    int step;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW)
        out.append(ColumnText(raw, 0));
    if (step != SQLITE_DONE)
        connection.RaiseEngineError();
    return out;
}
