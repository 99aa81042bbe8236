#pragma once
// The drop-down of suggestions under the keyword box: dish names (whole where the
// column holds them cut) found by what is typed so far (characters, pinyin,
// initials, either script), kept up to date with the book, and the book's
// categories. It lies over the window as one of its controls, so the skin draws it,
// and it never takes the focus or the input method's text from the box.

#include "SuggestFeed.h"
#include "SuggestIndex.h"

#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <unordered_map>

class QLineEdit;
class TADOQuery;

class TSearchSuggest final : public QObject {
public:
    // runSearch: the designed search, run when a suggestion is taken.
    TSearchSuggest(QWidget& window, QLineEdit& edit, TADOQuery& query,
                   std::function<void()> runSearch);
    ~TSearchSuggest() override;

    // The recipe with this identity was saved, overwritten or removed.
    void RecipeChanged(qint64 rowId);
    // Anything may have changed (an import, a sync): the book is read again on a
    // thread of its own; meanwhile the index in hand answers, and saves reach both.
    void BookChanged();

    // The book's categories, offered before the dish names and marked as such;
    // taking one empties the box and hands the category to `take`.
    void SetCategories(std::function<QStringList()> categories,
                       std::function<void(const QString&)> take);
    // The categories matching what is typed, best first.
    QStringList SuggestCategories(const QString& typed);

    QListWidget& List() { return *FList; }
    bool Shown() const;
    // Waits for the book's rows when they are still being read, and for the index
    // a change of the book asked for.
    const TSuggestIndex& Index();
    // What is typed is answered at once by the index in hand.
    std::vector<TSuggestion> Suggest(const QString& typed);
    // A filter of the query that keeps the recipes the drop-down finds for this
    // text, empty when it finds none.
    QString FilterOfSuggestions(const QString& typed);
    // Watches what a reading of the changed book does, on its thread.
    void SetOnRebuild(std::function<void(TFeedStep)> observer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The index in hand, the rows waited for (not a reading of the changed book).
    const TSuggestIndex& Current();
    // Puts in place what the feed has; true when the index changed.
    bool Take();
    void Apply(qint64 rowId);
    void Arrived();
    void RequestWhenRowsAreIn();
    void Update(const QString& typed);
    void Dismiss();
    void Hide();
    void Move(int step);
    void Take(int row);
    void Place();
    QString Typed(const QString& preedit) const;

    QWidget& FWindow;
    QLineEdit& FEdit;
    TADOQuery& FQuery;
    std::function<void()> FRunSearch;
    TCurrentIndex FCurrent;
    std::unique_ptr<TSuggestFeed> FFeed;
    // Changes made while the rows are read, applied once they are in.
    std::vector<qint64> FChangedMeanwhile;
    bool FBookChangedMeanwhile = false;
    // Saves made while the changed book is read, applied again to its index.
    std::vector<qint64> FChangedSince;
    // What the shown (or empty) drop-down answers, until the cook dismisses it.
    QString FAnswered;
    QPointer<QListWidget> FList;
    std::function<QStringList()> FCategories;
    std::function<void(const QString&)> FTakeCategory;
    QStringList FIndexedCategories;
    TSuggestIndex FCategoryIndex;
};
