#include "SuggestFeed.h"

#include "ADODB.h"
#include "WholeTexts.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sqlite3.h>
#include <system_error>
#include <utility>
#include <vector>

namespace {
const QString NameField = QStringLiteral("菜名");
const QString IngredientsField = QStringLiteral("原料");
constexpr size_t RowsBetweenLooks = 4096; // how often a reading asks whether it is still wanted
constexpr int BusyTimeoutMs = 5000;

// An index of the whole book and what it was made from.
struct TBookIndex {
    std::unique_ptr<TSuggestIndex> Index; // null: the rows' index of reading SameAs
    std::unordered_map<qint64, QString> WholeIngredients;
    quint64 Digest = 0;
    quint64 Reading = 0;  // the rows' reading, or the request, it answers
    quint64 SameAs = 0;   // a fresh reading that found the rows' texts
    quint64 RowsSeen = 0; // a fresh reading: the rows' readings in before it began
    bool Failed = false;
};

// Tells two series of texts apart: equal digests, equal texts (a 64-bit hash of
// every identity and text with its length).
class TDigest {
public:
    void Add(qint64 id, QStringView name, QStringView ingredients) {
        Mix(&id, sizeof id);
        Mix(name.utf16(), size_t(name.size()) * 2);
        Mix(ingredients.utf16(), size_t(ingredients.size()) * 2);
    }
    quint64 Value() const { return H; }

private:
    void Mix(const void* p, size_t bytes) {
        H = qHashBits(&bytes, sizeof bytes, H);
        if (bytes > 0)
            H = qHashBits(p, bytes, H);
    }
    size_t H = 0x243F6A8885A308D3u;
};

// Each recipe's name and ingredients, whole where the columns hold them cut:
// `row(r, id, name, ingredients)` gives the columns of row r, in row identity order
// as `whole` is. `f` returns false to stop.
template <class Row, class F>
bool EachRecipe(size_t count, Row&& row, const std::vector<TWholeText>& whole, F&& f) {
    auto next = whole.begin();
    for (size_t r = 0; r < count; ++r) {
        qint64 id = -1;
        QStringView name, ingredients;
        row(r, id, name, ingredients);
        while (next != whole.end() && next->RowId < id)
            ++next;
        if (next != whole.end() && next->RowId == id) {
            if (!next->Name.isNull())
                name = next->Name;
            if (!next->Ingredients.isNull())
                ingredients = next->Ingredients;
        }
        if (!f(r, id, name, ingredients))
            return false;
    }
    return true;
}

std::unordered_map<qint64, QString> WholeIngredients(const std::vector<TWholeText>& whole) {
    std::unordered_map<qint64, QString> out;
    for (const TWholeText& w : whole)
        if (!w.Ingredients.isNull())
            out.emplace(w.RowId, w.Ingredients);
    return out;
}

// The index and digest of a reading of the window's rows.
std::unique_ptr<TBookIndex> IndexOfRows(const TRowReader& rows,
                                        const std::vector<TWholeText>& whole) {
    auto out = std::make_unique<TBookIndex>();
    out->Index = std::make_unique<TSuggestIndex>();
    const int nameCol = rows.Column(NameField);
    const int ingredientsCol = rows.Column(IngredientsField);
    if (nameCol < 0)
        return out;
    TDigest digest;
    QString a, b;
    out->Index->BeginBulk(rows.Count());
    EachRecipe(
        size_t(rows.Count()),
        [&](size_t r, qint64& id, QStringView& name, QStringView& ingredients) {
            id = rows.RowId(qsizetype(r));
            name = rows.Text(qsizetype(r), nameCol, a);
            ingredients =
                ingredientsCol >= 0 ? rows.Text(qsizetype(r), ingredientsCol, b) : QStringView();
        },
        whole,
        [&](size_t, qint64 id, QStringView name, QStringView ingredients) {
            digest.Add(id, name, ingredients);
            out->Index->Put(id, name, ingredients);
            return true;
        });
    out->Index->EndBulk();
    out->Digest = digest.Value();
    out->WholeIngredients = WholeIngredients(whole);
    return out;
}

// The book's names and ingredients read afresh, in row identity order.
struct TBookTexts {
    struct TRow {
        qint64 Id = -1;
        quint32 NameOff = 0, NameLen = 0, IngredientsOff = 0, IngredientsLen = 0;
    };
    std::vector<TRow> Rows;
    std::vector<char16_t> Pool;

    QStringView Text(quint32 off, quint32 len) const {
        return len == 0 ? QStringView(u"", 0) : QStringView(Pool.data() + off, qsizetype(len));
    }
    // As the window's rows hold a cell: null as empty, text kept as bytes as UTF-8.
    bool Append(sqlite3_stmt* s, int col, quint32& off, quint32& len) {
        off = quint32(Pool.size());
        len = 0;
        QString scratch;
        const char16_t* p = nullptr;
        size_t n = 0;
        switch (sqlite3_column_type(s, col)) {
        case SQLITE_NULL:
            return true;
        case SQLITE_BLOB:
            scratch = QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(s, col)),
                                        sqlite3_column_bytes(s, col));
            p = reinterpret_cast<const char16_t*>(scratch.utf16());
            n = size_t(scratch.size());
            break;
        default:
            p = static_cast<const char16_t*>(sqlite3_column_text16(s, col));
            n = size_t(sqlite3_column_bytes16(s, col)) / 2;
        }
        if (!p || Pool.size() + n > UINT32_MAX)
            return p != nullptr || n == 0;
        Pool.insert(Pool.end(), p, p + n);
        len = quint32(n);
        return true;
    }
};

enum class TRead { Done, Failed, GivenUp };

TRead ReadBook(const QString& path, TBookTexts& out, const std::function<bool()>& wanted) {
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (opened != SQLITE_OK)
        return TRead::Failed;
    sqlite3_busy_timeout(raw, BusyTimeoutMs);
    sqlite3_stmt* s = nullptr;
    const QByteArray sql = QStringLiteral("select rowid, %1, %2 from mycook")
                               .arg(NameField, IngredientsField)
                               .toUtf8();
    if (sqlite3_prepare_v2(raw, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return TRead::Failed;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(s, sqlite3_finalize);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        if (out.Rows.size() % RowsBetweenLooks == 0 && !wanted())
            return TRead::GivenUp;
        TBookTexts::TRow row;
        row.Id = sqlite3_column_int64(s, 0);
        if (!out.Append(s, 1, row.NameOff, row.NameLen) ||
            !out.Append(s, 2, row.IngredientsOff, row.IngredientsLen))
            return TRead::Failed;
        out.Rows.push_back(row);
    }
    if (rc != SQLITE_DONE)
        return TRead::Failed;
    // The engine reads the names through their index, not in row order.
    std::sort(out.Rows.begin(), out.Rows.end(),
              [](const TBookTexts::TRow& a, const TBookTexts::TRow& b) { return a.Id < b.Id; });
    return TRead::Done;
}

template <class F>
bool EachBookRecipe(const TBookTexts& texts, const std::vector<TWholeText>& whole, F&& f) {
    return EachRecipe(
        texts.Rows.size(),
        [&](size_t r, qint64& id, QStringView& name, QStringView& ingredients) {
            const TBookTexts::TRow& row = texts.Rows[r];
            id = row.Id;
            name = texts.Text(row.NameOff, row.NameLen);
            ingredients = texts.Text(row.IngredientsOff, row.IngredientsLen);
        },
        whole, std::forward<F>(f));
}
} // namespace

// Shared by the window's thread, the rows' reading thread (the hook) and the fresh
// readings' thread. Every member is read and written under Lock, except Arrived,
// set before any thread starts and never changed. An index is made by one thread
// alone and passes to another only through Rows or Fresh under the lock; the
// window's index (TCurrentIndex) is touched by the window's thread alone. The
// readings' thread never touches the window: it tells it through Arrived (a queued
// call), and the feed's owner joins that thread before it goes.
struct TSuggestFeed::TShared {
    std::mutex Lock;
    std::condition_variable Changed; // a request handed over, or the thread ended
    std::function<void()> Arrived;
    std::function<void(TFeedStep)> Observer;
    // The rows' readings so far; the latest one's index until it is taken, and its digest.
    quint64 RowsReadings = 0;
    quint64 RowsDigest = 0;
    std::unique_ptr<TBookIndex> Rows;
    // Fresh readings: asked for, handed over, the latest one's index until taken.
    quint64 Asked = 0;
    quint64 Handed = 0;
    QString Path;
    bool ForceBuild = false;
    std::unique_ptr<TBookIndex> Fresh;
    bool Running = false;
    bool Stop = false;

    bool Wanted(quint64 request) {
        const std::lock_guard<std::mutex> hold(Lock);
        return !Stop && request == Asked;
    }
    // Hands a fresh reading's index over, unless another request came meanwhile.
    bool HandOver(std::unique_ptr<TBookIndex>& fresh) {
        {
            const std::lock_guard<std::mutex> hold(Lock);
            if (Stop || fresh->Reading != Asked)
                return false;
            Handed = fresh->Reading;
            Fresh = std::move(fresh);
        }
        Changed.notify_all();
        if (Arrived)
            Arrived();
        return true;
    }
};

namespace {
void Observe(const std::function<void(TFeedStep)>& observer, TFeedStep step) {
    if (observer)
        observer(step);
}

// The thread of the fresh readings: one after another while requests are left.
void ReadFresh(const std::shared_ptr<TSuggestFeed::TShared>& s) {
    for (;;) {
        auto fresh = std::make_unique<TBookIndex>();
        QString path;
        std::function<void(TFeedStep)> observer;
        bool force = false;
        {
            const std::lock_guard<std::mutex> hold(s->Lock);
            if (s->Stop || s->Handed >= s->Asked) {
                s->Running = false;
                s->Changed.notify_all();
                return;
            }
            fresh->Reading = s->Asked;
            fresh->RowsSeen = s->RowsReadings;
            path = s->Path;
            observer = s->Observer;
            force = std::exchange(s->ForceBuild, false);
        }
        const quint64 request = fresh->Reading;
        auto wanted = [&s, request] {
            return s->Wanted(request);
        };
        Observe(observer, TFeedStep::Reading);
        TBookTexts texts;
        const TRead read = ReadBook(path, texts, wanted);
        if (read == TRead::GivenUp)
            continue;
        if (read == TRead::Failed) {
            fresh->Failed = true;
            Observe(observer, TFeedStep::Failed);
            s->HandOver(fresh);
            continue;
        }
        const std::vector<TWholeText> whole = ReadWholeTexts(path);
        Observe(observer, TFeedStep::Read);
        TDigest digest;
        EachBookRecipe(texts, whole,
                       [&](size_t, qint64 id, QStringView name, QStringView ingredients) {
                           digest.Add(id, name, ingredients);
                           return true;
                       });
        fresh->Digest = digest.Value();
        {
            // The rows read last found the same texts: their index stands for these.
            std::unique_lock<std::mutex> hold(s->Lock);
            if (!force && s->RowsReadings > 0 && s->RowsDigest == fresh->Digest) {
                fresh->SameAs = s->RowsReadings;
                hold.unlock();
                Observe(observer, TFeedStep::TookRowsIndex);
                s->HandOver(fresh);
                continue;
            }
        }
        fresh->Index = std::make_unique<TSuggestIndex>();
        fresh->Index->BeginBulk(qsizetype(texts.Rows.size()));
        const bool built = EachBookRecipe(
            texts, whole, [&](size_t r, qint64 id, QStringView name, QStringView ingredients) {
                fresh->Index->Put(id, name, ingredients);
                return (r + 1) % RowsBetweenLooks != 0 || wanted();
            });
        if (!built)
            continue;
        fresh->Index->EndBulk();
        fresh->WholeIngredients = WholeIngredients(whole);
        Observe(observer, TFeedStep::Built);
        s->HandOver(fresh);
    }
}

// The index put aside goes to `old`, to be let go of outside the lock.
void Install(TCurrentIndex& current, TBookIndex& made, quint64 rowsReading, TBookIndex& old) {
    old.Index = std::exchange(current.Index, std::move(made.Index));
    old.WholeIngredients =
        std::exchange(current.WholeIngredients, std::move(made.WholeIngredients));
    current.RowsReading = rowsReading;
}
} // namespace

TSuggestFeed::TSuggestFeed(std::function<void()> arrived) : FShared(std::make_shared<TShared>()) {
    FShared->Arrived = std::move(arrived);
}

TSuggestFeed::~TSuggestFeed() {
    {
        const std::lock_guard<std::mutex> hold(FShared->Lock);
        FShared->Stop = true;
    }
    if (FThread.joinable())
        FThread.join();
}

std::function<void(const TRowReader&)> TSuggestFeed::RowsHook(const TSuggestFeed& feed,
                                                              std::function<QString()> bookPath) {
    std::weak_ptr<TShared> shared = feed.FShared;
    return [shared, bookPath = std::move(bookPath)](const TRowReader& rows) {
        const QString book = bookPath();
        const std::vector<TWholeText> whole =
            book.isEmpty() ? std::vector<TWholeText>() : ReadWholeTexts(book);
        std::unique_ptr<TBookIndex> index = IndexOfRows(rows, whole);
        if (const auto s = shared.lock()) {
            const std::lock_guard<std::mutex> hold(s->Lock);
            index->Reading = ++s->RowsReadings;
            s->RowsDigest = index->Digest;
            s->Rows = std::move(index);
        }
    };
}

void TSuggestFeed::Request(const QString& bookPath) {
    {
        const std::lock_guard<std::mutex> hold(FShared->Lock);
        ++FShared->Asked;
        FShared->Path = bookPath;
    }
    Start();
}

void TSuggestFeed::Start() {
    {
        const std::lock_guard<std::mutex> hold(FShared->Lock);
        if (FShared->Running || FShared->Handed >= FShared->Asked)
            return;
        FShared->Running = true;
    }
    // A thread that said it is done touches nothing shared any more.
    if (FThread.joinable())
        FThread.join();
    try {
        FThread = std::thread([s = FShared] { ReadFresh(s); });
    } catch (const std::system_error&) {
        // No thread to be had: the index stays as it is until the next change.
        const std::lock_guard<std::mutex> hold(FShared->Lock);
        FShared->Running = false;
        FShared->Handed = FShared->Asked;
    }
}

void TSuggestFeed::Forget() {
    const std::lock_guard<std::mutex> hold(FShared->Lock);
    FShared->Handed = ++FShared->Asked;
    FShared->Fresh.reset();
    FShared->Rows.reset();
}

bool TSuggestFeed::Requested() const {
    const std::lock_guard<std::mutex> hold(FShared->Lock);
    return FShared->Handed < FShared->Asked;
}

bool TSuggestFeed::Collect(TCurrentIndex& current, bool& settled) {
    bool changed = false;
    bool again = false;
    std::unique_ptr<TBookIndex> fresh, rows;
    TBookIndex old[2];
    {
        const std::lock_guard<std::mutex> hold(FShared->Lock);
        fresh = std::move(FShared->Fresh);
        rows = std::move(FShared->Rows);
        if (fresh && !fresh->Failed) {
            if (fresh->SameAs != 0) {
                if (rows && rows->Reading == fresh->SameAs) {
                    Install(current, *rows, rows->Reading, old[0]);
                    rows.reset();
                    changed = true;
                } else if (current.RowsReading != fresh->SameAs) {
                    // Not to be had any more: read again and make the index.
                    FShared->ForceBuild = true;
                    ++FShared->Asked;
                    again = true;
                }
            } else if (current.RowsReading <= fresh->RowsSeen) {
                Install(current, *fresh, 0, old[0]);
                changed = true;
            } // else the rows read since the change are newer still
            current.Seen = std::max(current.Seen, fresh->RowsSeen);
        }
        // The rows read after what the index stands for are newer: meanwhile, or for good.
        if (rows && rows->Reading > current.Seen) {
            Install(current, *rows, rows->Reading, old[1]);
            current.Seen = rows->Reading;
            changed = true;
        }
        settled = FShared->Handed >= FShared->Asked;
    }
    if (again)
        Start();
    return changed;
}

void TSuggestFeed::Wait() {
    std::unique_lock<std::mutex> hold(FShared->Lock);
    FShared->Changed.wait(
        hold, [this] { return FShared->Handed >= FShared->Asked || !FShared->Running; });
}

void TSuggestFeed::SetObserver(std::function<void(TFeedStep)> observer) {
    const std::lock_guard<std::mutex> hold(FShared->Lock);
    FShared->Observer = std::move(observer);
}
