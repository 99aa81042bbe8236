// The record set over the recipe table: opening, look-ups, appends, edits, walking,
// column widths and the picture column.

#include "../common/RawBook.h"
#include "BookTestUtil.h"

#include <QBuffer>
#include <functional>
#include <sqlite3.h>

#include "../common/FailingDevice.h"

namespace {

class TRecordSetTest : public TBookTest {};

TEST_F(TRecordSetTest, OpenCloseAndStatementsThatCannotBeOpened) {
    EXPECT_TRUE(FQuery.Active());
    FQuery.Open(); // already open: nothing happens
    EXPECT_TRUE(FQuery.Active());
    TField& name = FQuery.FieldByName(Name);
    FQuery.Close();
    EXPECT_THROW(name.FieldName(), EDatabaseError);
    EXPECT_THROW(name.AsString(), EDatabaseError);
    EXPECT_FALSE(FQuery.Active());
    EXPECT_TRUE(FQuery.Eof());
    EXPECT_THROW(FQuery.RecordCount(), EDatabaseError);
    EXPECT_THROW(FQuery.FieldByName(Name), EDatabaseError);
    EXPECT_THROW(FQuery.AppendRecord({QStringLiteral("x")}), EDatabaseError);
    EXPECT_THROW(FQuery.First(), EDatabaseError);
    EXPECT_THROW(FQuery.Locate(Name, QStringLiteral("x")), EDatabaseError);

    const char* const refused[] = {
        "select * from  nosuchtable",   "select * from mycook where 1",
        "select 菜名 from mycook",      "",
        "select * from \"unterminated",
    };
    for (const char* sql : refused) {
        FQuery.SQL = QStringList{QString::fromUtf8(sql)};
        EXPECT_THROW(FQuery.Open(), EDatabaseError) << sql;
        EXPECT_FALSE(FQuery.Active()) << sql;
    }
    // Missing table: an error naming the book.
    FQuery.SQL = QStringList{QStringLiteral("select * from nosuchtable")};
    try {
        FQuery.Open();
        ADD_FAILURE() << "opened a missing table";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("处理菜谱库“%1”时出错").arg(FPath)))
            << e.what();
    }
    // Other spellings of the same statement open.
    for (const char* sql :
         {"SELECT * FROM mycook", "select * from \"mycook\";", "select *\nfrom [mycook]"}) {
        FQuery.Close();
        FQuery.SQL = QStringList{QString::fromUtf8(sql)};
        FQuery.Open();
        EXPECT_TRUE(FQuery.Active()) << sql;
    }
}

TEST_F(TRecordSetTest, OpensOtherTablesGenerally) {
    FQuery.SQL =
        QStringList{QStringLiteral("create table other(n integer, t text, \"odd \"\"name\" text)"),
                    QStringLiteral("; insert into other values(5, 'five', 'q')")};
    FQuery.ExecSQL();
    EXPECT_TRUE(FQuery.Active()); // still on its own statement
    FQuery.SQL = QStringList{QStringLiteral("select * from other")};
    FQuery.Open(); // no effect while open
    EXPECT_EQ(FQuery.FieldByName(Name).FieldName(), Name);
    FQuery.Close();
    FQuery.Open();
    ASSERT_EQ(FQuery.RecordCount(), 1);
    EXPECT_EQ(FQuery.FieldByName(QStringLiteral("N")).AsString(), QStringLiteral("5"));
    EXPECT_EQ(FQuery.FieldByName(QStringLiteral("odd \"name")).AsString(), QStringLiteral("q"));
    FQuery.SetFilter(QStringLiteral("n >= 5 and t like 'f*'"));
    FQuery.SetFiltered(true);
    EXPECT_EQ(FQuery.RecordCount(), 1);
    EXPECT_TRUE(FQuery.Locate(QStringLiteral("t"), QStringLiteral("five")));
    EXPECT_FALSE(FQuery.Locate(QStringLiteral("t"), QStringLiteral("Five")));
}

TEST_F(TRecordSetTest, AppendLocateAndCount) {
    Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉"), QStringLiteral("炖"),
        QStringLiteral("甜"));
    FQuery.AppendRecord({QStringLiteral("Fish"), QStringLiteral("鱼")}); // 做法 stays NULL
    Add(QStringLiteral(""), QStringLiteral("empty name"));
    EXPECT_EQ(FQuery.RecordCount(), 3);
    EXPECT_EQ(FQuery.RecNo(), 3); // the appended row is current

    struct TCase {
        QString Value;
        bool Found;
        int RecNo;
    };
    const TCase cases[] = {
        {QStringLiteral("红烧肉"), true, 1}, {QStringLiteral("Fish"), true, 2},
        {QStringLiteral("fish"), false, 0},  // case-sensitive
        {QStringLiteral("Fis"), false, 0},   // whole value only
        {QStringLiteral("Fish "), false, 0}, // no trimming or padding
        {QStringLiteral(""), true, 3},       // an empty dish name is a name
        {QStringLiteral("红烧"), false, 0},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(FQuery.Locate(Name, c.Value), c.Found) << c.Value.toStdString();
        if (c.Found) {
            EXPECT_EQ(FQuery.RecNo(), c.RecNo);
            EXPECT_EQ(FQuery.FieldByName(Name).AsString(), c.Value);
        }
    }
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("红烧肉")));
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("五花肉"));
    EXPECT_EQ(FQuery.FieldByName(Method).AsString(), QStringLiteral("炖"));
    EXPECT_EQ(FQuery.FieldByName(Note).AsString(), QStringLiteral("甜"));
    EXPECT_TRUE(FQuery.FieldByName(QStringLiteral("img")).IsNull());
    EXPECT_EQ(FQuery.FieldByName(QStringLiteral("img")).AsString(), QString());
    // Locate on non-cached columns, and on NULL.
    EXPECT_TRUE(FQuery.Locate(Method, QStringLiteral("炖")));
    EXPECT_EQ(FQuery.RecNo(), 1);
    EXPECT_TRUE(FQuery.Locate(Method, QVariant()));
    EXPECT_EQ(FQuery.RecNo(), 2);
    EXPECT_THROW(FQuery.Locate(QStringLiteral("价格"), QStringLiteral("1")), EDatabaseError);
    EXPECT_THROW(FQuery.FieldByName(QStringLiteral("价格")), EDatabaseError);

    // Duplicates: the first in row order wins; everything survives a reopen.
    Add(QStringLiteral("Fish"), QStringLiteral("second"));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("Fish")));
    EXPECT_EQ(FQuery.RecNo(), 2);
    OpenBook();
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("红烧肉"), QStringLiteral("Fish"), QString(),
                                    QStringLiteral("Fish")}));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("")));
    EXPECT_FALSE(FQuery.FieldByName(Name).IsNull());
}

TEST_F(TRecordSetTest, AppendRecordFillsLeadingColumnsOnly) {
    FQuery.AppendRecord({QStringLiteral("a")});
    EXPECT_TRUE(FQuery.FieldByName(Ingredients).IsNull());
    FQuery.AppendRecord({QStringLiteral("b"), QVariant(), QStringLiteral("m")});
    EXPECT_TRUE(FQuery.FieldByName(Ingredients).IsNull());
    EXPECT_EQ(FQuery.FieldByName(Method).AsString(), QStringLiteral("m"));
    EXPECT_THROW(FQuery.AppendRecord({1, 2, 3, 4, 5, 6}), EDatabaseError);
    EXPECT_EQ(FQuery.RecordCount(), 2);
}

TEST_F(TRecordSetTest, MemoTextThatLooksLikeANumberComesBackUnchanged) {
    // The memo column has no text affinity; the engine alone would store 7 for "007".
    const QString values[] = {QStringLiteral("007"),  QStringLiteral(" 12 "),
                              QStringLiteral("1.50"), QStringLiteral("3e5"),
                              QStringLiteral("-0"),   QStringLiteral("12 个")};
    for (const QString& v : values) {
        Add(v, QString(), v, v);
    }
    FQuery.SetFilter(QStringLiteral("做法 = '1.50'"));
    FQuery.SetFiltered(true);
    EXPECT_EQ(FQuery.RecordCount(), 1);
    FQuery.SetFiltered(false);
    OpenBook();
    for (const QString& v : values) {
        ASSERT_TRUE(FQuery.Locate(Name, v));
        EXPECT_EQ(FQuery.FieldByName(Method).AsString(), v);
        EXPECT_EQ(FQuery.FieldByName(Note).AsString(), v);
        ASSERT_TRUE(FQuery.Locate(Method, v)) << v.toStdString();
        EXPECT_EQ(FQuery.FieldByName(Name).AsString(), v);
    }
    // Edited the same way.
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("007")));
    FQuery.Edit();
    FQuery.FieldByName(Method).SetAsString(QStringLiteral("0010"));
    FQuery.Post();
    OpenBook();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("007")));
    EXPECT_EQ(FQuery.FieldByName(Method).AsString(), QStringLiteral("0010"));
}

TEST_F(TRecordSetTest, EditPostAndCancel) {
    Add(QStringLiteral("A"), QStringLiteral("a1"), QStringLiteral("m1"), QStringLiteral("n1"));
    Add(QStringLiteral("B"), QStringLiteral("b1"));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("A")));
    EXPECT_THROW(FQuery.FieldByName(Method).SetAsString(QStringLiteral("x")), EDatabaseError);

    FQuery.Edit();
    FQuery.FieldByName(Name).SetAsString(QStringLiteral("A2"));
    FQuery.FieldByName(Method).SetAsString(QStringLiteral("m2"));
    FQuery.FieldByName(Note).Clear();
    // Pending values are what the fields show until posted.
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QStringLiteral("A2"));
    EXPECT_TRUE(FQuery.FieldByName(Note).IsNull());
    FQuery.Post();
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("A")));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("A2")));
    EXPECT_EQ(FQuery.FieldByName(Method).AsString(), QStringLiteral("m2"));

    FQuery.Edit();
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("dropped"));
    FQuery.Cancel();
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("a1"));

    // Moving away posts a pending edit, as a record set does.
    FQuery.Edit();
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("kept"));
    FQuery.First();
    OpenBook();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("A2")));
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("kept"));
    EXPECT_TRUE(FQuery.FieldByName(Note).IsNull());
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("B")));
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("b1"));

    // No current row: edit and reads refuse.
    FQuery.First();
    FQuery.Next();
    FQuery.Next();
    ASSERT_TRUE(FQuery.Eof());
    EXPECT_THROW(FQuery.Edit(), EDatabaseError);
    EXPECT_THROW(FQuery.FieldByName(Name).AsString(), EDatabaseError);
}

struct TWidthCase {
    const char* Column;
    int Length;
    bool Accepted;
};

class TColumnWidthTest : public TBookTest, public ::testing::WithParamInterface<TWidthCase> {};

TEST_P(TColumnWidthTest, OverlongTextIsRefusedNotCut) {
    const TWidthCase& c = GetParam();
    const QString column = QString::fromUtf8(c.Column);
    const QString text(c.Length, QChar(0x9c7c)); // 鱼: one UTF-16 unit, three UTF-8 bytes
    QList<QVariant> values{QStringLiteral("name"), QString(), QString(), QString()};
    const int index = column == Name ? 0 : column == Ingredients ? 1 : 3;
    values[index] = text;
    if (c.Accepted) {
        FQuery.AppendRecord(values);
        OpenBook();
        ASSERT_EQ(FQuery.RecordCount(), 1);
        EXPECT_EQ(FQuery.FieldByName(column).AsString(), text);
    } else {
        try {
            FQuery.AppendRecord(values);
            FAIL() << "accepted " << c.Length << " characters for " << c.Column;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(column)) << e.what();
        }
        EXPECT_EQ(FQuery.RecordCount(), 0);
    }
    // The same limit applies to an edit; a refused post writes nothing and stays pending.
    FQuery.AppendRecord({QStringLiteral("edit me")});
    FQuery.Edit();
    FQuery.FieldByName(Method).SetAsString(QStringLiteral("changed"));
    FQuery.FieldByName(column).SetAsString(text);
    if (c.Accepted) {
        FQuery.Post();
    } else {
        EXPECT_THROW(FQuery.Post(), EDatabaseError);
        FQuery.Cancel();
        OpenBook();
        ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("edit me")));
        EXPECT_TRUE(FQuery.FieldByName(Method).IsNull());
    }
}

const TWidthCase WidthCases[] = {
    {"菜名", 30, true},  {"菜名", 31, false},  {"原料", 255, true}, {"原料", 256, false},
    {"说明", 255, true}, {"说明", 256, false}, {"菜名", 0, true},
};

INSTANTIATE_TEST_SUITE_P(Widths, TColumnWidthTest, ::testing::ValuesIn(WidthCases));

TEST_F(TRecordSetTest, WidthCountsUtf16UnitsSoAnAstralCharacterCountsTwice) {
    QString name;
    for (int i = 0; i < 15; ++i) {
        name += QString::fromUcs4(U"\U0001F41F"); // two units each: 30 in all
    }
    Add(name);
    EXPECT_THROW(Add(name + QStringLiteral("x")), EDatabaseError);
    OpenBook();
    ASSERT_TRUE(FQuery.Locate(Name, name));
}

TEST_F(TRecordSetTest, WalkingTheViewAndRecordNumbers) {
    const QStringList names{QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")};
    for (const QString& n : names) {
        Add(n);
    }
    EXPECT_EQ(Names(), names);
    EXPECT_TRUE(FQuery.Eof());
    EXPECT_EQ(FQuery.RecNo(), -1);
    FQuery.Next(); // past the end stays there
    EXPECT_TRUE(FQuery.Eof());
    FQuery.First();
    EXPECT_EQ(FQuery.RecNo(), 1);
    FQuery.Next();
    EXPECT_EQ(FQuery.RecNo(), 2);
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), names[1]);
}

TEST_F(TRecordSetTest, PictureRoundTripNullAndLimits) {
    Add(QStringLiteral("pic"));
    QByteArray bytes(300000, '\0');
    for (int i = 0; i < bytes.size(); ++i) {
        bytes[i] = char(i * 7 + (i >> 9));
    }
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    TField& img = FQuery.FieldByName(QStringLiteral("img"));
    EXPECT_THROW(img.LoadFromStream(source), EDatabaseError); // not in edit mode
    FQuery.Edit();
    img.LoadFromStream(source);
    FQuery.Post();
    OpenBook();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("pic")));
    TField& again = FQuery.FieldByName(QStringLiteral("img"));
    EXPECT_FALSE(again.IsNull());
    EXPECT_EQ(again.AsBytes(), bytes);
    QBuffer dest;
    dest.open(QIODevice::WriteOnly);
    again.SaveToStream(dest);
    EXPECT_EQ(dest.data(), bytes);

    // A device that fails midway: reading reports it and changes nothing.
    FQuery.Edit();
    TFailingDevice failingSource(1000, bytes);
    EXPECT_THROW(again.LoadFromStream(failingSource), EDatabaseError);
    FQuery.Post();
    EXPECT_EQ(again.AsBytes(), bytes);
    TFailingDevice failingDest(4096);
    EXPECT_THROW(again.SaveToStream(failingDest), EDatabaseError);

    // An empty stream stores an empty (not null) picture; Clear stores null.
    FQuery.Edit();
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    again.LoadFromStream(empty);
    FQuery.Post();
    EXPECT_FALSE(again.IsNull());
    EXPECT_TRUE(again.AsBytes().isEmpty());
    FQuery.Edit();
    again.Clear();
    FQuery.Post();
    EXPECT_TRUE(again.IsNull());
}

// Produces `size` bytes without holding them.
class TZeroDevice : public QIODevice {
public:
    explicit TZeroDevice(qint64 size) : FLeft(size) { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min(maxSize, FLeft);
        std::fill_n(data, n, '\0');
        FLeft -= n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 FLeft;
};

TEST_F(TRecordSetTest, OversizedPictureIsRefusedBothWays) {
    Add(QStringLiteral("big"));
    FQuery.Edit();
    TZeroDevice huge(64 * 1024 * 1024 + 1);
    EXPECT_THROW(FQuery.FieldByName(QStringLiteral("img")).LoadFromStream(huge), EDatabaseError);
    FQuery.Cancel();
    // A book written by something else may hold more; reading it is refused, not attempted.
    sqlite3* db = FConnection.Handle();
    ASSERT_EQ(
        sqlite3_exec(db, "update mycook set img = zeroblob(67108865)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    OpenBook();
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("big")));
    EXPECT_THROW(FQuery.FieldByName(QStringLiteral("img")).AsBytes(), EDatabaseError);
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QStringLiteral("big"));
}

TEST_F(TRecordSetTest, TextWrittenByOthersIsReadAsStored) {
    sqlite3* db = FConnection.Handle();
    ASSERT_EQ(sqlite3_exec(db,
                           "insert into mycook values('padded   ', 12, 3.5, NULL, NULL);"
                           "insert into mycook(菜名) values(NULL);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    OpenBook();
    ASSERT_EQ(FQuery.RecordCount(), 2);
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QStringLiteral("padded   "));
    EXPECT_EQ(FQuery.FieldByName(Ingredients).AsString(), QStringLiteral("12"));
    EXPECT_EQ(FQuery.FieldByName(Method).AsString(), QStringLiteral("3.5"));
    FQuery.Next();
    EXPECT_TRUE(FQuery.FieldByName(Name).IsNull());
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QString());
    EXPECT_TRUE(FQuery.Locate(Name, QVariant()));
    EXPECT_EQ(FQuery.RecNo(), 2);
}

TEST_F(TRecordSetTest, ExecSqlChangesShowInTheOpenQuery) {
    Add(QStringLiteral("a"));
    TADOQuery other(&FConnection);
    other.SQL = QStringList{QStringLiteral("insert into mycook(菜名) values('b')")};
    other.ExecSQL();
    EXPECT_EQ(FQuery.RecordCount(), 2);
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("b")));
    other.SQL = QStringList{QStringLiteral("update mycook set 菜名='c' where 菜名='a'")};
    other.ExecSQL();
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("a")));
    EXPECT_TRUE(FQuery.Locate(Name, QStringLiteral("c")));
    other.SQL = QStringList{QStringLiteral("bogus statement")};
    EXPECT_THROW(other.ExecSQL(), EDatabaseError);
    other.SQL.clear();
    EXPECT_THROW(other.ExecSQL(), EDatabaseError);
}

// Appends and posts reuse their statements: a refused write must leave them reset
// (no lock held on the book), and a changed table or a reopened query must not meet
// a statement prepared for the old one.
TEST_F(TRecordSetTest, WritesAfterARefusalATableChangeAndAReopen) {
    Add(QStringLiteral("a"));
    TADOQuery other(&FConnection);
    other.SQL = QStringList{
        QStringLiteral("create trigger no_bad before insert on mycook when new.菜名 = 'bad'"
                       " begin select raise(abort, 'refused'); end")};
    other.ExecSQL();
    other.SQL = QStringList{
        QStringLiteral("create trigger no_bad_edit before update on mycook when new.菜名 = 'bad'"
                       " begin select raise(abort, 'refused'); end")};
    other.ExecSQL();
    const struct {
        const char* Step;
        std::function<void()> Write;
        bool Refused;
    } steps[] = {
        {"append refused by the new trigger", [&] { Add(QStringLiteral("bad")); }, true},
        {"append after it", [&] { Add(QStringLiteral("b")); }, false},
        {"post refused",
         [&] {
             FQuery.Edit();
             FQuery.FieldByName(Name).SetAsString(QStringLiteral("bad"));
             FQuery.Post();
         },
         true},
        {"post after it",
         [&] {
             FQuery.Cancel();
             FQuery.Edit();
             FQuery.FieldByName(Name).SetAsString(QStringLiteral("b2"));
             FQuery.Post();
         },
         false},
        {"append after reopening",
         [&] {
             OpenBook();
             Add(QStringLiteral("c"));
         },
         false},
        {"append after a column is added",
         [&] {
             other.SQL = QStringList{QStringLiteral("alter table mycook add column extra text")};
             other.ExecSQL();
             Add(QStringLiteral("d"));
         },
         false},
    };
    for (const auto& step : steps) {
        if (step.Refused)
            EXPECT_THROW(step.Write(), EDatabaseError) << step.Step;
        else
            EXPECT_NO_THROW(step.Write()) << step.Step;
        // Nothing of ours is left stepped: another program may write at once.
        TRawBook book(FPath);
        EXPECT_EQ(book.Run("begin immediate; commit"), SQLITE_OK) << step.Step;
    }
    OpenBook();
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("a"), QStringLiteral("b2"), QStringLiteral("c"),
                                    QStringLiteral("d")}));
}

} // namespace

namespace {

// Another program deletes rows this query still shows; the engine then reuses row
// identities inside or at the end of the cached range.
class TStaleCacheTest : public TBookTest {
protected:
    void DeleteElsewhere(const char* sql) {
        TRawBook other(FPath);
        ASSERT_NE(other.Db(), nullptr);
        EXPECT_EQ(other.Run(sql), SQLITE_OK);
    }
};

TEST_F(TStaleCacheTest, ReusedIdentityInsideTheCachedRange) {
    for (const char* n : {"a1", "b2", "a3", "b4", "a5"}) {
        Add(QString::fromUtf8(n));
    }
    // Our own delete: the query re-reads (its statement, though SQL now holds another).
    FQuery.SQL = QStringList{QStringLiteral("delete from mycook where rowid in (3, 4)")};
    TADOQuery exec(&FConnection);
    exec.SQL = FQuery.SQL;
    exec.ExecSQL();
    ASSERT_TRUE(FQuery.Active());
    EXPECT_EQ(Names(), (QStringList{"a1", "b2", "a5"}));
    FQuery.SetFilter(QStringLiteral("菜名 like 'a*'"));
    FQuery.SetFiltered(true);
    ASSERT_EQ(Names(), (QStringList{"a1", "a5"}));
    DeleteElsewhere("delete from mycook where rowid = 5"); // unseen until the next walk
    Add(QStringLiteral("a-new"));                          // takes identity 3, between 2 and 5
    EXPECT_EQ(FQuery.FieldByName(Name).AsString(), QStringLiteral("a-new"));
    EXPECT_EQ(FQuery.RecordCount(), 3) << "a5 still cached, a-new shown";
    EXPECT_EQ(FQuery.RecNo(), 3);
    // A walk sees the book as it is now, in row order, under the same filter.
    EXPECT_EQ(Names(), (QStringList{"a1", "a-new"}));
    FQuery.SetFiltered(false);
    EXPECT_EQ(Names(), (QStringList{"a1", "b2", "a-new"}));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("b2")));
    EXPECT_EQ(FQuery.RecNo(), 2);
}

TEST_F(TStaleCacheTest, ReusedIdentityOfTheLastRow) {
    Add(QStringLiteral("x"));
    Add(QStringLiteral("gone"));
    DeleteElsewhere("delete from mycook where rowid = 2");
    Add(QStringLiteral("y")); // identity 2 again: replaces the stale row
    EXPECT_EQ(FQuery.RecordCount(), 2);
    EXPECT_EQ(Names(), (QStringList{"x", "y"}));
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("gone")));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("y")));
    EXPECT_EQ(FQuery.RecNo(), 2);
}

} // namespace
