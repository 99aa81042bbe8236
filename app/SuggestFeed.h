#pragma once
// Where the suggestion index of the whole book is made, and how it reaches the
// window's thread: from each reading of the window's rows, on the thread that read
// them, and, after an import or a sync, from the book read afresh on a thread of
// its own, never on the window's thread. Every index carries a digest of the texts
// it was made from: a fresh reading that finds the texts the rows' latest index was
// made from takes that index instead of making the same again, and one that finds
// other texts (the rows were read before the change) makes its own.

#include "SuggestIndex.h"

#include <QString>
#include <functional>
#include <memory>
#include <thread>
#include <unordered_map>

class TRowReader;

// The index in the window's hands, and which reading it stands for.
struct TCurrentIndex {
    std::unique_ptr<TSuggestIndex> Index = std::make_unique<TSuggestIndex>();
    // The ingredients the index holds where the column holds them cut.
    std::unordered_map<qint64, QString> WholeIngredients;
    quint64 RowsReading = 0; // the rows' reading it was made from; 0: none of them
    quint64 Seen = 0;        // rows' readings no newer than it
};

// What a fresh reading does, for a test to watch (on the reading's thread): it is
// about to read the book, has read it, and then takes the rows' index, makes its
// own, or fails.
enum class TFeedStep { Reading, Read, TookRowsIndex, Built, Failed };

class TSuggestFeed {
public:
    // `arrived` runs on the reading's thread whenever a fresh reading is in.
    explicit TSuggestFeed(std::function<void()> arrived);
    ~TSuggestFeed(); // gives up a reading under way and waits for its thread

    // Indexes a reading of the rows (whole texts read from the book at `bookPath`),
    // on the thread that read them; holds only a weak hold on the feed.
    static std::function<void(const TRowReader&)> RowsHook(const TSuggestFeed& feed,
                                                           std::function<QString()> bookPath);

    // The book at `bookPath` changed: it is read afresh on a thread of its own; what
    // an earlier request would still hand over is dropped.
    void Request(const QString& bookPath);
    // No book: every request is dropped.
    void Forget();
    // Whether a request has not been handed over yet.
    bool Requested() const;
    // Puts in place what arrived (the window's thread; quick). True when the index
    // changed; `settled`: no request is left, the index stands for the book.
    bool Collect(TCurrentIndex& current, bool& settled);
    // Waits until every request is handed over.
    void Wait();

    void SetObserver(std::function<void(TFeedStep)> observer);

    struct TShared;

private:
    void Start();
    std::shared_ptr<TShared> FShared;
    std::thread FThread;
};
