#include "RecipeBrowse.h"

#include "ADODB.h"
#include "ErrorDisplay.h"
#include "KindControls.h"
#include "RecipeCategories.h"
#include "SysUtils.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <algorithm>
#include <iterator>

namespace {
const QString AllCategories = QStringLiteral("全部分类");

// Opens its list with the book's categories as they are now.
class TCategoryCombo final : public QComboBox {
public:
    TCategoryCombo(QWidget* parent, std::function<void()> beforePopup)
        : QComboBox(parent), FBeforePopup(std::move(beforePopup)) {}
    void showPopup() override {
        FBeforePopup();
        QComboBox::showPopup();
    }

private:
    std::function<void()> FBeforePopup;
};
} // namespace

TRecipeBrowse::TRecipeBrowse(const TWindowSite& site) : FSite(site) {
    QWidget* group = FSite.BitBtn6.parentWidget();
    // In the gap between "查找" and "导出菜谱", one above the other.
    FCategory = new TCategoryCombo(group, [this] { RunGuarded([this] { Refresh(); }); });
    FCategory->setObjectName(QStringLiteral("CategoryBox1"));
    FCategory->setAccessibleName(QStringLiteral("按分类查看"));
    FCategory->setToolTip(QStringLiteral("只列出这一分类的菜谱"));
    FCategory->setGeometry(468, 26, 100, 24);
    FCategory->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    FCategory->setMaxVisibleItems(16);
    FCategory->addItem(AllCategories, QString());
    FFavourite = new QCheckBox(QStringLiteral("只看收藏"), group);
    FFavourite->setObjectName(QStringLiteral("FavouriteBox1"));
    FFavourite->setToolTip(QStringLiteral("只列出收藏的菜谱"));
    FFavourite->setGeometry(468, 54, 100, 22);
    QWidget::setTabOrder(&FSite.BitBtn6, FCategory);
    QWidget::setTabOrder(FCategory, FFavourite);
    FCategory->installEventFilter(this);

    connect(FCategory, &QComboBox::currentIndexChanged, this, [this] {
        if (!FFilling)
            RunGuarded([this] { Search(); });
    });
    connect(FFavourite, &QCheckBox::toggled, this, [this] { RunGuarded([this] { Search(); }); });
    // Before the designed search (pressed comes before clicked, also for click()):
    // the narrowed rows as the book holds them now.
    connect(&FSite.BitBtn6, &QPushButton::pressed, this,
            [this] { RunGuarded([this] { Narrow(); }); });
}

TRecipeBrowse::~TRecipeBrowse() {
    if (FCategory)
        FCategory->removeEventFilter(this);
}

bool TRecipeBrowse::eventFilter(QObject* watched, QEvent* event) {
    // A key may change the choice without the list opening.
    if (watched == FCategory && event->type() == QEvent::FocusIn)
        RunGuarded([this] { Refresh(); });
    return false;
}

void TRecipeBrowse::Refresh() {
    if (!FStale)
        return;
    if (!FSite.Connection.Connected() && !FSite.Query.Active())
        return;
    FCounts = CategoryCounts(FSite.Connection);
    FStale = false;
    QStringList names;
    for (const TCategoryCount& c : FCounts)
        names.append(c.Name);
    if (names != FNames)
        FNames = names;
    const QString chosen = Category();
    FFilling = true;
    FCategory->clear();
    FCategory->addItem(AllCategories, QString());
    int at = 0;
    for (const TCategoryCount& c : FCounts) {
        FCategory->addItem(QStringLiteral("%1 (%2)").arg(c.Name).arg(c.Count), c.Name);
        if (c.Name == chosen)
            at = FCategory->count() - 1;
    }
    // A category no recipe carries any more stays chosen until the cook changes it.
    if (at == 0 && !chosen.isEmpty()) {
        FCategory->addItem(QStringLiteral("%1 (0)").arg(chosen), chosen);
        at = FCategory->count() - 1;
    }
    FCategory->setCurrentIndex(at);
    FFilling = false;
    FCategory->view()->setMinimumWidth(FCategory->view()->sizeHintForColumn(0) + 24);
}

QStringList TRecipeBrowse::Categories() {
    Refresh();
    return FNames;
}

QString TRecipeBrowse::Category() const {
    return FCategory->currentData().toString();
}

void TRecipeBrowse::ChooseCategory(const QString& name) {
    Refresh();
    int at = FCategory->findData(name);
    if (at < 0) {
        FFilling = true;
        FCategory->addItem(QStringLiteral("%1 (0)").arg(name), name);
        FFilling = false;
        at = FCategory->count() - 1;
    }
    if (at == FCategory->currentIndex())
        Search();
    else
        FCategory->setCurrentIndex(at); // searches
}

void TRecipeBrowse::BookChanged() {
    FStale = true;
    FRowsOf.clear();
    FFavourites.reset();
}

void TRecipeBrowse::Narrow() {
    const QString category = Category();
    const bool favourites = FFavourite->isChecked();
    if (category.isEmpty() && !favourites) {
        if (FSite.Query.Narrowed())
            FSite.Query.SetNarrowing(nullptr);
        return;
    }
    std::vector<qint64> rows;
    if (!category.isEmpty()) {
        auto at = FRowsOf.find(category);
        if (at == FRowsOf.end())
            at = FRowsOf.emplace(category, CategoryRows(FSite.Connection, category)).first;
        rows = at->second;
    }
    if (favourites) {
        if (!FFavourites)
            FFavourites = FavouriteRows(FSite.Connection);
        const std::vector<qint64>& liked = *FFavourites;
        if (category.isEmpty()) {
            rows = liked;
        } else {
            std::vector<qint64> both;
            std::set_intersection(rows.begin(), rows.end(), liked.begin(), liked.end(),
                                  std::back_inserter(both));
            rows = std::move(both);
        }
    }
    FSite.Query.SetNarrowing(std::make_shared<const std::vector<qint64>>(std::move(rows)));
}

void TRecipeBrowse::Search() {
    // The designed search, as "查找" runs it; Narrow runs first by its press.
    FSite.BitBtn6.click();
}
