// A book larger than the import may hold in memory comes back from its own export:
// 20,000 recipes, one in eight with a real photograph of about 100 KB (a zip of some
// 250 MB) and one in fifty with extras and a step picture. Every recipe and picture
// must come back byte for byte, the import staying within 200 MB of memory.
#include "BookExport.h"
#include "BookTestUtil.h"
#include "RecipeImporter.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "TransactionGuard.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <fstream>
#include <malloc.h>
#include <sqlite3.h>

namespace {
constexpr int Recipes = 20'000;
constexpr double MemoryBoundMiB = 200;

// A photograph-like JPEG (soft colour with grain) of about 100 KB; `index` makes its
// bytes its own through a comment segment.
QByteArray Photo(int index) {
    static const std::vector<QByteArray> pool = [] {
        std::vector<QByteArray> pictures;
        for (int k = 0; k < 16; ++k) {
            QRandomGenerator rng(quint32(k + 1));
            QImage image(360 + 16 * (k % 5), 270 + 12 * (k % 3), QImage::Format_RGB32);
            const int grain = 70 + 10 * (k % 4);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const int n = int(rng.bounded(grain)) - grain / 2;
                    image.setPixel(x, y,
                                   qRgb(std::clamp(40 * k % 200 + x / 3 + n, 0, 255),
                                        std::clamp(90 + y / 3 + n, 0, 255),
                                        std::clamp(200 - (x + y) / 6 + n, 0, 255)));
                }
            QByteArray jpeg;
            QBuffer out(&jpeg);
            out.open(QIODevice::WriteOnly);
            image.save(&out, "JPEG", 92);
            pictures.push_back(jpeg);
        }
        return pictures;
    }();
    const QByteArray& picture = pool[size_t(index) % pool.size()];
    const QByteArray text = "photo " + QByteArray::number(index);
    const int length = int(text.size()) + 2;
    QByteArray segment("\xFF\xFE", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(text);
    return picture.left(2) + segment + picture.mid(2);
}

double PeakRssMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

void ResetPeakRss() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

class TBigExportTest : public TBookTest {
protected:
    void Fill() {
        TRecipeStore store(FConnection);
        TTransactionGuard filling(FConnection);
        for (int i = 0; i < Recipes; ++i) {
            TRecipe r;
            r.Name = i % 3 ? QStringLiteral("红烧肉 %1").arg(i) : QStringLiteral("Dish %1").arg(i);
            r.Ingredients = QStringLiteral("五花肉 500 克\n冰糖 %1 克\n生抽、老抽").arg(i % 40);
            r.Steps = {{QStringLiteral("肉切块焯水。"), false},
                       {QStringLiteral("炒糖色，下肉翻炒。"), false},
                       {QStringLiteral("加水炖 %1 分钟。").arg(30 + i % 60), false}};
            r.Note = i % 2 ? QStringLiteral("第 %1 道").arg(i) : QString();
            if (i % 8 == 0)
                r.Cover = Photo(i);
            if (i % 50 == 1) {
                r.Categories = {QStringLiteral("家常菜"), QStringLiteral("肉菜")};
                r.Servings = 4;
                r.ServingsUnit = QStringLiteral("人份");
                r.Pictures.push_back({Photo(Recipes + i), 2, QStringLiteral("炒糖色")});
            }
            r.Columns = ColumnsFor(r);
            store.Append(FQuery, r);
        }
        filling.Commit();
    }
};

TEST_F(TBigExportTest, TwentyThousandRecipesComeBackWholeInBoundedMemory) {
    Fill();
    const QString zip = FDir.filePath(QStringLiteral("全部菜谱.zip"));
    const TExportSummary exported = ExportBook(FConnection, zip);
    ASSERT_EQ(exported.Recipes, Recipes);
    // The archive is larger than the bound: holding it would show.
    EXPECT_GT(QFileInfo(zip).size() / 1048576.0, MemoryBoundMiB);

    const QString copyPath = FDir.filePath(QStringLiteral("copy/cook.mdb"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(copyPath).path()));
    CreateDatabaseFile(CreationString(copyPath));
    TADOConnection copy;
    copy.SetLoginPrompt(false);
    copy.SetConnectionString(ConnectString(copyPath));
    copy.SetConnected(true);
    copy.Execute(CreateTableSql);

    ResetPeakRss();
    QElapsedTimer timer;
    timer.start();
    const TImportSummary s = ImportRecipeFiles(copy, {zip}, {});
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double peak = PeakRssMiB();
    std::printf("imported %d recipes in %.1f s (%.0f/s), peak memory %.0f MiB\n", s.Imported,
                seconds, s.Imported / seconds, peak);
    EXPECT_EQ(s.Imported, Recipes) << s.Details.mid(0, 5).join(u'\n').toStdString();
    EXPECT_EQ(s.FailedFiles, 0);
    EXPECT_LE(peak, MemoryBoundMiB);

    // Row by row in the same order: the designed columns and the cover exactly,
    // and the whole recipe where it has extras.
    TRecipeStore from(FConnection), to(copy);
    TADOQuery rows(&copy);
    rows.SQL = QStringList{QStringLiteral("select * from mycook")};
    rows.Open();
    ASSERT_EQ(rows.RecordCount(), Recipes);
    int i = 0, differing = 0;
    for (FQuery.First(), rows.First(); !FQuery.Eof() && !rows.Eof(); FQuery.Next(), rows.Next()) {
        const TRecipe a = from.Read(FQuery.RowId());
        TRecipe b = to.Read(rows.RowId());
        const bool same = a.Columns == b.Columns && a.Cover == b.Cover && a.Name == b.Name &&
                          a.Categories == b.Categories && a.Servings == b.Servings &&
                          a.Pictures == b.Pictures;
        if (!same && ++differing <= 3)
            ADD_FAILURE() << "recipe " << i << " differs: " << a.Name.toStdString();
        ++i;
    }
    EXPECT_EQ(i, Recipes);
    EXPECT_EQ(differing, 0);
}
} // namespace
