// Zips read through their central directory as other zippers and damaged
// downloads make them: leftovers of other systems, names in other encodings, bytes
// before the archive, zip64 records, members cut short, damaged or lying about
// their size, and members sharing their bytes. Built by hand so that every field
// can be what a real archive or a forged one has.
#include "Archive.h"
#include "ArchiveDirectory.h"
#include "ArchiveFormats.h"
#include "BookTestUtil.h"
#include "ImportBudget.h"
#include "ImportTestUtil.h"
#include "TextDecode.h"

#include <QTemporaryDir>
#include <functional>

namespace {
void Put16(QByteArray& out, quint32 v) {
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray& out, quint32 v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Put64(QByteArray& out, quint64 v) {
    Put32(out, quint32(v));
    Put32(out, quint32(v >> 32));
}

// The CRC-32 and raw deflate stream of bytes, from the gzip of them.
quint32 Crc(const QByteArray& bytes) {
    const QByteArray gz = Gzip(bytes);
    return quint32(quint8(gz[gz.size() - 8])) | quint32(quint8(gz[gz.size() - 7])) << 8 |
           quint32(quint8(gz[gz.size() - 6])) << 16 | quint32(quint8(gz[gz.size() - 5])) << 24;
}
QByteArray Deflated(const QByteArray& bytes) {
    const QByteArray gz = Gzip(bytes);
    return gz.mid(10, gz.size() - 18);
}

struct THandMember {
    QByteArray Name;  // as stored
    QByteArray Bytes; // unpacked
    bool Deflate = false;
    quint16 Flags = 0x800;   // UTF-8 names
    quint16 MadeBy = 0x031E; // on Unix
    quint32 Attributes = 0100644u << 16;
    QByteArray Extra;
    // What the directory says where it differs from the truth.
    std::optional<quint32> Crc;
    std::optional<quint64> Size, Packed;
    std::optional<int> SameHeaderAs; // points at another member's header
    qsizetype CutPacked = 0;         // packed bytes left out of the file
    bool Wide = false;               // sizes and offset in the zip64 field
};

struct THandZip {
    std::vector<THandMember> Members;
    QByteArray Before;  // a stub ahead of the archive
    bool Zip64 = false; // zip64 end records
    QByteArray Comment;

    QByteArray Bytes() const {
        QByteArray out = Before;
        std::vector<quint64> headers;
        std::vector<QByteArray> packed;
        for (const THandMember& m : Members) {
            headers.push_back(quint64(out.size() - Before.size()));
            QByteArray data = m.Deflate ? Deflated(m.Bytes) : m.Bytes;
            packed.push_back(data);
            Put32(out, 0x04034b50);
            Put16(out, 20);
            Put16(out, m.Flags);
            Put16(out, m.Deflate ? 8 : 0);
            Put32(out, 0);
            Put32(out, Crc(m.Bytes));
            Put32(out, quint32(data.size()));
            Put32(out, quint32(m.Bytes.size()));
            Put16(out, quint32(m.Name.size()));
            Put16(out, 0);
            out.append(m.Name);
            out.append(data.left(data.size() - m.CutPacked));
        }
        const quint64 start = quint64(out.size() - Before.size());
        for (size_t i = 0; i < Members.size(); ++i) {
            const THandMember& m = Members[i];
            const quint64 size = m.Size.value_or(quint64(m.Bytes.size()));
            const quint64 packedSize = m.Packed.value_or(quint64(packed[i].size()));
            const quint64 header = m.SameHeaderAs ? headers[size_t(*m.SameHeaderAs)] : headers[i];
            QByteArray extra = m.Extra;
            if (m.Wide) {
                Put16(extra, 1);
                Put16(extra, 24);
                Put64(extra, size);
                Put64(extra, packedSize);
                Put64(extra, header);
            }
            Put32(out, 0x02014b50);
            Put16(out, m.MadeBy);
            Put16(out, m.Wide ? 45 : 20);
            Put16(out, m.Flags);
            Put16(out, m.Deflate ? 8 : 0);
            Put32(out, 0);
            Put32(out, m.Crc.value_or(Crc(m.Bytes)));
            Put32(out, m.Wide ? 0xFFFFFFFF : quint32(packedSize));
            Put32(out, m.Wide ? 0xFFFFFFFF : quint32(size));
            Put16(out, quint32(m.Name.size()));
            Put16(out, quint32(extra.size()));
            Put16(out, 0);
            Put16(out, 0);
            Put16(out, 0);
            Put32(out, m.Attributes);
            Put32(out, m.Wide ? 0xFFFFFFFF : quint32(header));
            out.append(m.Name).append(extra);
        }
        const quint64 directory = quint64(out.size() - Before.size()) - start;
        if (Zip64) {
            const quint64 record = quint64(out.size() - Before.size());
            Put32(out, 0x06064b50);
            Put64(out, 44);
            Put16(out, 45);
            Put16(out, 45);
            Put32(out, 0);
            Put32(out, 0);
            Put64(out, Members.size());
            Put64(out, Members.size());
            Put64(out, directory);
            Put64(out, start);
            Put32(out, 0x07064b50);
            Put32(out, 0);
            Put64(out, record);
            Put32(out, 1);
        }
        Put32(out, 0x06054b50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, Zip64 ? 0xFFFF : quint32(Members.size()));
        Put16(out, Zip64 ? 0xFFFF : quint32(Members.size()));
        Put32(out, Zip64 ? 0xFFFFFFFF : quint32(directory));
        Put32(out, Zip64 ? 0xFFFFFFFF : quint32(start));
        Put16(out, quint32(Comment.size()));
        out.append(Comment);
        return out;
    }
};

QByteArray RecipeJson(const char* name, const char* images = "\"full.jpg\"") {
    return QByteArray("{\"@type\":\"Recipe\",\"name\":\"") + name +
           "\",\"recipeIngredient\":[\"水\"],\"recipeInstructions\":\"煮\",\"image\":[" + images +
           "]}";
}

QByteArray Picture(char tail) {
    QByteArray bytes = FixtureBytes("dish.jpg");
    bytes.append(tail);
    return bytes;
}

struct TRead {
    std::vector<TImportedRecipe> Recipes;
    QString Error;
    int Members = -1;
};

TRead Read(const QByteArray& zip) {
    TRead out;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hand.zip"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(zip);
    f.close();
    TImportBudget budget;
    try {
        ReadNextcloudZip(
            path, [&](TImportedRecipe&& r) { out.Recipes.push_back(std::move(r)); }, budget);
    } catch (const EImportError& e) {
        out.Error = e.Message();
    }
    out.Members = budget.Members();
    return out;
}

QStringList Names(const TRead& read) {
    QStringList names;
    for (const TImportedRecipe& r : read.Recipes)
        names << r.Name;
    return names;
}

// Archives as other systems and zippers leave them: read as the recipes they hold.
TEST(ZipDirectory, ArchivesAsOtherZippersWriteThem) {
    const QByteArray cover = Picture('a'), step = Picture('b');
    auto plain = [&](const QByteArray& folder) {
        return std::vector<THandMember>{
            {folder + "/recipe.json", RecipeJson("汤", "\"full.jpg\",\"step.jpg\""), true},
            {folder + "/full.jpg", cover},
            {folder + "/step.jpg", step, true}};
    };
    const QByteArray gbFolder("\xBA\xEC\xC9\xD5\xC8\xE2"); // 红烧肉 in GB18030
    struct TCase {
        const char* What;
        THandZip Zip;
        QStringList Names;
        QString CoverFrom; // the cover's member, as named
        int Members;
    };
    std::vector<TCase> cases;
    cases.push_back({"plain", {plain("汤")}, {"汤"}, "汤/full.jpg", 3});
    {
        // A Mac's zip: resource forks and Finder files beside the recipe, one a
        // recipe.json of its own under __MACOSX/; a folder entry; a link.
        THandZip z{plain("汤")};
        z.Members.insert(z.Members.begin(), {"汤/", {}, false, 0x800, 0x031E, 040755u << 16});
        z.Members.push_back({"__MACOSX/汤/._recipe.json", "\0\5\26\7junk"});
        z.Members.push_back({"__MACOSX/汤/recipe.json", RecipeJson("幽灵")});
        z.Members.push_back({"汤/.DS_Store", "Bud1"});
        z.Members.push_back({"汤/._full.jpg", "junk"});
        z.Members.push_back(
            {"链接/recipe.json", "../汤/recipe.json", false, 0x800, 0x031E, 0120777u << 16});
        z.Members.push_back({"文件夹/recipe.json", {}, false, 0x800, 0x0014, 0x10});
        cases.push_back({"Mac leftovers, folders and links", z, {"汤"}, "汤/full.jpg", 10});
    }
    {
        // Chinese Windows' zipper: GB18030 names without the UTF-8 flag.
        THandZip z{plain(gbFolder)};
        for (THandMember& m : z.Members) {
            m.Flags = 0;
            m.MadeBy = 0x0014;
            m.Attributes = 0x20;
        }
        cases.push_back({"GB18030 names", z, {"汤"}, "红烧肉/full.jpg", 3});
    }
    {
        // Info-ZIP's Unicode path field names the file where the name does not.
        THandZip z{plain("x")};
        for (THandMember& m : z.Members) {
            const QByteArray utf8 = QByteArray("菜") + m.Name.mid(1);
            m.Name = QByteArray("\x81") + m.Name.mid(1); // no name in any encoding
            m.Flags = 0;
            QByteArray field;
            field.append(char(1));
            Put32(field, Crc(m.Name));
            field.append(utf8);
            Put16(m.Extra, 0x7075);
            Put16(m.Extra, quint32(field.size()));
            m.Extra.append(field);
        }
        cases.push_back({"Unicode path field", z, {"汤"}, "菜/full.jpg", 3});
    }
    {
        THandZip z{plain("汤")};
        z.Before = QByteArray(5000, 'S'); // a stub that unpacks the rest
        z.Comment = "made by hand";
        cases.push_back({"a stub before it, a comment after", z, {"汤"}, "汤/full.jpg", 3});
    }
    {
        THandZip z{plain("汤")};
        z.Zip64 = true;
        for (THandMember& m : z.Members)
            m.Wide = true;
        cases.push_back({"zip64 records", z, {"汤"}, "汤/full.jpg", 3});
    }
    {
        // A picture recipe.json names that the archive lacks: the recipe without it.
        THandZip z{plain("汤")};
        z.Members.pop_back();
        z.Members.push_back({"汤/other.jpg", step});
        cases.push_back({"a named picture missing", z, {"汤"}, "汤/full.jpg", 3});
    }
    for (const TCase& c : cases) {
        const TRead read = Read(c.Zip.Bytes());
        EXPECT_TRUE(read.Error.isEmpty()) << c.What << ": " << read.Error.toStdString();
        EXPECT_EQ(Names(read), c.Names) << c.What;
        EXPECT_EQ(read.Members, c.Members) << c.What;
        if (read.Recipes.empty())
            continue;
        const TImportedRecipe& r = read.Recipes.front();
        EXPECT_EQ(r.Picture, cover) << c.What;
        EXPECT_EQ(r.PictureOrigin, c.CoverFrom) << c.What;
        const bool stepThere = qstrcmp(c.What, "a named picture missing") != 0;
        ASSERT_EQ(r.Pictures.size(), stepThere ? 1u : 0u) << c.What;
        if (stepThere)
            EXPECT_EQ(r.Pictures[0].Bytes, step) << c.What;
    }
}

// Damaged, cut and forged archives: refused whole, in Chinese, saying what is wrong.
TEST(ZipDirectory, BrokenArchivesAreRefusedSayingWhy) {
    const QByteArray json = RecipeJson("汤");
    const QByteArray cover = Picture('a');
    auto base = [&] {
        return THandZip{{{"汤/recipe.json", json, true}, {"汤/full.jpg", cover}}};
    };
    struct TCase {
        const char* What;
        std::function<QByteArray()> Zip;
        QString Says;
    };
    const TCase cases[] = {
        {"the file cut in the middle",
         [&] {
             const QByteArray z = base().Bytes();
             return z.left(z.size() / 2);
         },
         QStringLiteral("压缩包")},
        {"a member's bytes cut short",
         [&] {
             THandZip z = base();
             z.Members[1].CutPacked = 100;
             return z.Bytes();
         },
         QStringLiteral("“汤/full.jpg”无法解开")},
        {"deflated bytes damaged",
         [&] {
             THandZip z = base();
             QByteArray bytes = z.Bytes();
             for (qsizetype i = 60; i < 80; ++i)
                 bytes[i] = char(bytes[i] ^ 0x5A);
             return bytes;
         },
         QStringLiteral("“汤/recipe.json”无法解开")},
        {"stored bytes damaged",
         [&] {
             THandZip z = base();
             z.Members[1].Crc = Crc(cover) ^ 1;
             return z.Bytes();
         },
         QStringLiteral("校验不符")},
        {"more bytes than the directory says",
         [&] {
             THandZip z = base();
             z.Members[0].Size = quint64(json.size() - 10);
             return z.Bytes();
         },
         QStringLiteral("大小与压缩包所记的不符")},
        {"fewer bytes than the directory says",
         [&] {
             THandZip z = base();
             z.Members[0].Size = quint64(json.size() + 10);
             return z.Bytes();
         },
         QStringLiteral("大小与压缩包所记的不符")},
        {"a packed size past the directory",
         [&] {
             THandZip z = base();
             z.Members[1].Packed = quint64(cover.size()) + 100000;
             return z.Bytes();
         },
         QStringLiteral("“汤/full.jpg”无法解开：数据不完整")},
        {"members sharing their bytes",
         [&] {
             THandZip z = base();
             for (int i = 0; i < 3; ++i) {
                 THandMember again = z.Members[0];
                 again.Name = QStringLiteral("汤%1/recipe.json").arg(i).toUtf8();
                 again.SameHeaderAs = 0;
                 z.Members.push_back(again);
             }
             return z.Bytes();
         },
         QStringLiteral("数据互相重叠")},
        {"a directory record damaged",
         [&] {
             QByteArray bytes = base().Bytes();
             bytes[bytes.indexOf("PK\x01\x02") + 1] = 'X';
             return bytes;
         },
         QStringLiteral("目录不完整")},
        {"a local header damaged",
         [&] {
             QByteArray bytes = base().Bytes();
             bytes[1] = 'X';
             return bytes;
         },
         QStringLiteral("文件头不对")},
        {"a password",
         [&] {
             THandZip z = base();
             z.Members[0].Flags |= 1;
             return z.Bytes();
         },
         QStringLiteral("密码")},
    };
    for (const TCase& c : cases) {
        const TRead read = Read(c.Zip());
        EXPECT_TRUE(read.Error.contains(c.Says)) << c.What << ": " << read.Error.toStdString();
        EXPECT_TRUE(read.Recipes.empty()) << c.What;
    }
}

// A member damaged in the middle of a book's import leaves the book as it was:
// the recipes read before it go with the rest of the file, the cook is told.
class TZipImportTest : public TBookTest {};

TEST_F(TZipImportTest, ADamagedMemberLeavesNothingOfItsFile) {
    THandZip z;
    for (int i = 0; i < 5; ++i) {
        const QByteArray folder = QStringLiteral("菜%1").arg(i).toUtf8();
        z.Members.push_back(
            {folder + "/recipe.json", RecipeJson(folder.constData(), "\"full.jpg\""), true});
        z.Members.push_back({folder + "/full.jpg", Picture(char('a' + i))});
    }
    z.Members[7].Crc = 0; // the fourth recipe's picture damaged
    const QString path = FDir.filePath(QStringLiteral("cut.zip"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(z.Bytes());
    }
    Add(QStringLiteral("原有的菜"));
    const TImportSummary s = ImportRecipeFiles(FConnection, {path}, {});
    OpenBook();
    EXPECT_EQ(s.Imported, 0);
    EXPECT_EQ(s.FailedFiles, 1);
    ASSERT_EQ(s.Details.size(), 1);
    EXPECT_TRUE(s.Details[0].contains(QStringLiteral("“菜3/full.jpg”无法解开")))
        << s.Details[0].toStdString();
    EXPECT_EQ(Names(), QStringList{QStringLiteral("原有的菜")});
}
} // namespace
