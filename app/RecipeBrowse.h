#pragma once
// Narrowing the browse page's list by category and to favourites, beside the
// designed keyword: a combo box of the book's categories with their counts and a
// check box "只看收藏" in the search group. A choice narrows the query's view and
// runs the designed search, so the list, the count and the view's look-up all see
// the narrowed rows.

#include "WindowSite.h"

#include <QCheckBox>
#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <map>
#include <optional>
#include <vector>

struct TCategoryCount;

class TRecipeBrowse final : public QObject {
public:
    explicit TRecipeBrowse(const TWindowSite& site);
    ~TRecipeBrowse() override;

    QComboBox& CategoryBox() { return *FCategory; }
    QCheckBox& FavouriteBox() { return *FFavourite; }

    // The book's categories by name (read again after a change of the book). The same
    // list, shared, until then: a keystroke compares it with what it indexed.
    QStringList Categories();
    // The category chosen, empty for all.
    QString Category() const;
    // Chooses the category (empty: all) and runs the search.
    void ChooseCategory(const QString& name);
    // The book changed: counts and the narrowed rows are read again when next needed.
    void BookChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();
    void Narrow();
    void Search();

    const TWindowSite& FSite;
    QPointer<QComboBox> FCategory;
    QPointer<QCheckBox> FFavourite;
    std::vector<TCategoryCount> FCounts;
    QStringList FNames; // of FCounts
    // Read once per change of the book.
    std::map<QString, std::vector<qint64>> FRowsOf;
    std::optional<std::vector<qint64>> FFavourites;
    bool FStale = true;
    bool FFilling = false;
};
