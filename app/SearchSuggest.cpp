#include "SearchSuggest.h"

#include "ADODB.h"
#include "AccessDb.h"
#include "WholeTexts.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {
const QString NameField = QStringLiteral("菜名");
const QString IngredientsField = QStringLiteral("原料");
const QString IngredientMark = QStringLiteral("（配料）");
const QString CategoryMark = QStringLiteral("（分类）");
constexpr int NameRole = Qt::UserRole;
constexpr int CategoryRole = Qt::UserRole + 1;
// Categories go first but leave room for the dishes.
constexpr int MaxCategorySuggestions = 3;

} // namespace

TSearchSuggest::TSearchSuggest(QWidget& window, QLineEdit& edit, TADOQuery& query,
                               std::function<void()> runSearch)
    : FWindow(window), FEdit(edit), FQuery(query), FRunSearch(std::move(runSearch)),
      FList(new QListWidget(&window)) {
    // A reading of the changed book tells the window's thread when it is in.
    FFeed = std::make_unique<TSuggestFeed>([this] {
        QMetaObject::invokeMethod(
            this, [this] { Arrived(); }, Qt::QueuedConnection);
    });
    FList->setObjectName(QStringLiteral("SuggestList1"));
    FList->setAccessibleName(QStringLiteral("查找提示"));
    FList->setFocusPolicy(Qt::NoFocus);
    FList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->hide();
    connect(FList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { Take(FList->row(item)); });
    connect(&edit, &QLineEdit::textEdited, this, [this](const QString& text) { Update(text); });
    edit.installEventFilter(this);

    // Every reading of the rows (at start-up on its own thread) gives an index; the
    // whole texts are read there too, on a connection of that thread's own. The book
    // is connected later, but before any reading of its rows begins; the query waits
    // for that reading before the connection goes.
    const TADOConnection* connection = FQuery.Connection();
    FQuery.SetOnRowsLoaded(TSuggestFeed::RowsHook(
        *FFeed, [connection] { return connection ? connection->DatabasePath() : QString(); }));
}

TSearchSuggest::~TSearchSuggest() {
    FQuery.SetOnRowsLoaded({});
    FFeed.reset(); // its thread posts no more
    delete FList.data();
}

bool TSearchSuggest::Take() {
    bool settled = false;
    const bool changed = FFeed->Collect(FCurrent, settled);
    // The changed book's reading may have begun before these saves.
    if (changed)
        for (const qint64 rowId : FChangedSince)
            Apply(rowId);
    if (settled)
        FChangedSince.clear();
    return changed;
}

const TSuggestIndex& TSearchSuggest::Current() {
    if (FQuery.Active())
        FQuery.WaitForRows();
    Take();
    if (FBookChangedMeanwhile) {
        FBookChangedMeanwhile = false;
        FChangedMeanwhile.clear(); // the book is read after them
        BookChanged();
    }
    for (const qint64 rowId : std::exchange(FChangedMeanwhile, {}))
        RecipeChanged(rowId);
    return *FCurrent.Index;
}

const TSuggestIndex& TSearchSuggest::Index() {
    Current();
    FFeed->Wait();
    Take();
    return *FCurrent.Index;
}

void TSearchSuggest::SetOnRebuild(std::function<void(TFeedStep)> observer) {
    FFeed->SetObserver(std::move(observer));
}

void TSearchSuggest::Arrived() {
    try {
        if (!Take())
            return;
    } catch (const Exception&) {
        return; // the book cannot be read; the designed search will say why
    }
    // What the cook is typing is answered again by the book as it now is.
    if (!FAnswered.isEmpty() && FEdit.hasFocus())
        Update(FAnswered);
}

std::vector<TSuggestion> TSearchSuggest::Suggest(const QString& typed) {
    const TSuggestIndex& index = Current();
    if (!FQuery.Active())
        return {};
    const TRowReader& rows = FQuery.Rows();
    const int col = FQuery.FieldIndex(IngredientsField);
    return index.Suggest(typed, [this, &rows, col](qint64 rowId, QString& scratch) {
        const auto& whole = FCurrent.WholeIngredients;
        if (!whole.empty())
            if (const auto w = whole.find(rowId); w != whole.end())
                return QStringView(w->second);
        const qsizetype row = rows.Find(rowId);
        return row < 0 || col < 0 ? QStringView() : rows.Text(row, col, scratch);
    });
}

void TSearchSuggest::SetCategories(std::function<QStringList()> categories,
                                   std::function<void(const QString&)> take) {
    FCategories = std::move(categories);
    FTakeCategory = std::move(take);
}

QStringList TSearchSuggest::SuggestCategories(const QString& typed) {
    if (!FCategories)
        return {};
    const QStringList categories = FCategories();
    if (categories != FIndexedCategories) {
        FCategoryIndex = TSuggestIndex();
        for (qsizetype i = 0; i < categories.size(); ++i)
            FCategoryIndex.Put(i, categories[i], QStringView());
        FIndexedCategories = categories;
    }
    const std::vector<qint64> rows = FCategoryIndex.SuggestRows(typed, MaxCategorySuggestions);
    QStringList found;
    found.reserve(qsizetype(rows.size()));
    for (const qint64 row : rows)
        if (row >= 0 && row < categories.size())
            found.append(categories[row]);
    return found;
}

QString TSearchSuggest::FilterOfSuggestions(const QString& typed) {
    const std::vector<TSuggestion> found = Suggest(typed);
    if (found.empty())
        return {};
    // By the names as stored: the suggestions show them trimmed.
    const TRowReader& rows = FQuery.Rows();
    const int col = FQuery.FieldIndex(NameField);
    QStringList terms;
    QString scratch;
    for (const TSuggestion& s : found) {
        const qsizetype row = rows.Find(s.RowId);
        if (row < 0 || col < 0)
            continue;
        const QString term =
            BuildFilterTerm(NameField, rows.Text(row, col, scratch).toString(), 0, true);
        if (!terms.contains(term))
            terms.append(term);
    }
    return terms.join(QStringLiteral(" or "));
}

void TSearchSuggest::RecipeChanged(qint64 rowId) {
    if (FFeed->Requested() || FBookChangedMeanwhile)
        FChangedSince.push_back(rowId);
    // A save while a large book's rows are read does not wait for them.
    if (FQuery.RowsLoading()) {
        FChangedMeanwhile.push_back(rowId);
        return;
    }
    Current();
    Apply(rowId);
}

void TSearchSuggest::Apply(qint64 rowId) {
    if (!FQuery.Active())
        return;
    TSuggestIndex& index = *FCurrent.Index;
    const TRowReader& rows = FQuery.Rows();
    const qsizetype row = rows.Find(rowId);
    if (row < 0) {
        index.Remove(rowId);
        return;
    }
    QString a, b;
    const int ingredients = FQuery.FieldIndex(IngredientsField);
    QStringView name = rows.Text(row, FQuery.FieldIndex(NameField), a);
    QStringView ingredientsText = ingredients >= 0 ? rows.Text(row, ingredients, b) : QStringView();
    auto& wholeIngredients = FCurrent.WholeIngredients;
    wholeIngredients.erase(rowId);
    const std::vector<TWholeText> whole = ReadWholeTexts(*FQuery.Connection(), rowId);
    if (!whole.empty()) {
        if (!whole.front().Name.isNull())
            name = whole.front().Name;
        if (!whole.front().Ingredients.isNull())
            ingredientsText =
                wholeIngredients.insert_or_assign(rowId, whole.front().Ingredients).first->second;
    }
    index.Put(rowId, name, ingredientsText);
}

void TSearchSuggest::BookChanged() {
    if (FQuery.RowsLoading()) {
        // Read after these rows, so that their index never passes for a newer one.
        FBookChangedMeanwhile = true;
        RequestWhenRowsAreIn();
        return;
    }
    Take();
    if (!FQuery.Active() || !FQuery.Connection()) {
        FFeed->Forget();
        FCurrent = TCurrentIndex();
        FChangedSince.clear();
        return;
    }
    FFeed->Request(FQuery.Connection()->DatabasePath());
}

void TSearchSuggest::RequestWhenRowsAreIn() {
    QTimer::singleShot(20, this, [this] {
        if (!FBookChangedMeanwhile)
            return; // taken care of by a look-up meanwhile
        if (FQuery.RowsLoading()) {
            RequestWhenRowsAreIn();
            return;
        }
        try {
            Current();
        } catch (const Exception&) {
            // The book cannot be read; whatever uses it next will say why.
        }
    });
}

bool TSearchSuggest::Shown() const {
    return FList && FList->isVisible();
}

void TSearchSuggest::Update(const QString& typed) {
    FAnswered = typed;
    if (typed.isEmpty()) {
        Hide();
        return;
    }
    std::vector<TSuggestion> found;
    QStringList categories;
    try {
        categories = SuggestCategories(typed);
        found = Suggest(typed);
    } catch (const Exception&) {
        // The book cannot be read; the designed search will say why.
    }
    FList->clear();
    for (const QString& category : categories) {
        auto* item = new QListWidgetItem(category + CategoryMark, FList.data());
        item->setData(NameRole, category);
        item->setData(CategoryRole, true);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
    }
    for (const TSuggestion& s : found) {
        auto* item =
            new QListWidgetItem(s.ByIngredient ? s.Name + IngredientMark : s.Name, FList.data());
        item->setData(NameRole, s.Name);
        if (s.ByIngredient)
            item->setForeground(FList->palette().color(QPalette::Disabled, QPalette::Text));
    }
    if (FList->count() == 0) {
        Hide();
        return;
    }
    FList->setCurrentRow(-1);
    Place();
    if (!FList->isVisible()) {
        FList->show();
        qApp->installEventFilter(this);
    }
    FList->raise();
}

void TSearchSuggest::Place() {
    const int rows = FList->count();
    const int rowHeight = std::max(FList->sizeHintForRow(0), 1);
    const int frame = FList->frameWidth() * 2;
    // As wide as the box, or as the longest name when that is wider.
    int width = std::max(FEdit.width(), FList->sizeHintForColumn(0) + frame + 8);
    const QPoint at = FEdit.mapTo(&FWindow, QPoint(0, FEdit.height()));
    width = std::min(width, FWindow.width() - at.x());
    FList->setGeometry(at.x(), at.y(), width, rows * rowHeight + frame);
}

void TSearchSuggest::Dismiss() {
    FAnswered.clear();
    Hide();
}

void TSearchSuggest::Hide() {
    if (!FList || !FList->isVisible())
        return;
    FList->hide();
    FList->clearSelection();
    qApp->removeEventFilter(this);
}

void TSearchSuggest::Move(int step) {
    int row = FList->currentRow() + step;
    if (row < -1)
        row = FList->count() - 1;
    if (row >= FList->count())
        row = -1;
    FList->setCurrentRow(row);
    if (row < 0)
        FList->clearSelection();
}

void TSearchSuggest::Take(int row) {
    if (row < 0 || row >= FList->count())
        return;
    const QString name = FList->item(row)->data(NameRole).toString();
    Dismiss();
    if (FList->item(row)->data(CategoryRole).toBool() && FTakeCategory) {
        FEdit.clear();
        FTakeCategory(name);
        return;
    }
    FEdit.setText(name);
    FRunSearch();
}

QString TSearchSuggest::Typed(const QString& preedit) const {
    QString text = FEdit.text();
    return text.insert(FEdit.cursorPosition(), preedit);
}

bool TSearchSuggest::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &FEdit) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            if (!Shown())
                return false;
            switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Down:
                Move(1);
                return true;
            case Qt::Key_Up:
                Move(-1);
                return true;
            case Qt::Key_Escape:
                Dismiss();
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (FList->currentRow() >= 0 && FList->currentItem()->isSelected()) {
                    Take(FList->currentRow());
                    return true;
                }
                Dismiss();
                return false; // the box's own Enter: the designed search
            default:
                return false;
            }
        }
        case QEvent::InputMethod: {
            // What the input method is still composing counts as typed; the event
            // goes on to the box untouched.
            const auto* im = static_cast<QInputMethodEvent*>(event);
            if (!im->preeditString().isEmpty())
                Update(Typed(im->preeditString()));
            else if (!im->commitString().isEmpty() || im->replacementLength() != 0)
                QMetaObject::invokeMethod(
                    this, [this] { Update(FEdit.text()); }, Qt::QueuedConnection);
            return false;
        }
        case QEvent::FocusOut:
        case QEvent::Hide:
            Dismiss();
            return false;
        default:
            return false;
        }
    }
    if (event->type() == QEvent::MouseButtonPress && Shown()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget != FList && !FList->isAncestorOf(widget))
            Dismiss();
    }
    if ((event->type() == QEvent::WindowDeactivate && watched == &FWindow))
        Dismiss();
    return false;
}
