#include "ScaleControl.h"

#include "Controls.h"
#include "ErrorDisplay.h"
#include "Ingredient.h"
#include "KindControls.h"
#include "RecipeText.h"

#include <QComboBox>
#include <QEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

namespace {
// The text as the view's cursor put it in: every line end one paragraph end.
QString AsInserted(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

QString DocumentText(QTextDocument& document, int start, int length) {
    QTextCursor cursor(&document);
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

QString FactorText(double factor) {
    if (std::abs(factor - 0.25) < 1e-9)
        return QStringLiteral("×¼");
    if (std::abs(factor - 1.0 / 3) < 1e-9)
        return QStringLiteral("×⅓");
    if (std::abs(factor - 0.5) < 1e-9)
        return QStringLiteral("×½");
    return QStringLiteral("×") + QString::number(factor, 'g', 3);
}

bool WholeServings(double servings) {
    return servings >= 1 && servings <= 999 && std::floor(servings) == servings;
}
} // namespace

TScaleControl::TScaleControl(const TWindowSite& site) : FSite(site) {
    // In the tool bar's free right half, beside the view's page buttons.
    QWidget& w = FSite.Window;
    FLabel = new TLabel(&w);
    FLabel->setText(QStringLiteral("份量"));
    FLabel->setGeometry(392, 22, 36, 22);
    Servings = new QSpinBox(&w);
    Servings->setRange(1, 999);
    Servings->setGeometry(430, 19, 58, 28);
    Servings->setToolTip(QStringLiteral("按份数换算原料"));
    Factors = new QComboBox(&w);
    for (double f : ScaleFactors)
        Factors->addItem(FactorText(f), f);
    Factors->setGeometry(430, 19, 70, 28);
    Factors->setToolTip(QStringLiteral("按倍数换算原料"));
    FUnit = new TLabel(&w);
    FUnit->setGeometry(492, 22, 46, 22);
    ResetButton = new TBitBtn(&w);
    ResetButton->setText(QStringLiteral("还原"));
    ResetButton->setGeometry(540, 17, 52, 32);
    CookButton = new TBitBtn(&w);
    CookButton->setText(QStringLiteral("开始做菜"));
    CookButton->setGeometry(598, 13, 92, 40);
    for (QWidget* control :
         std::initializer_list<QWidget*>{FLabel, Servings, Factors, FUnit, ResetButton, CookButton})
        control->hide();

    connect(Servings, &QSpinBox::valueChanged, this,
            [this](int value) { RunGuarded([&] { SetServings(value); }); });
    connect(Factors, &QComboBox::activated, this, [this](int index) {
        RunGuarded([&] { SetFactor(Factors->itemData(index).toDouble()); });
    });
    connect(ResetButton, &QPushButton::clicked, this, [this] { RunGuarded([this] { Reset(); }); });
    connect(CookButton, &QPushButton::clicked, this, [this] {
        if (OnCook)
            RunGuarded([this] { OnCook(); });
    });
    FSite.RichEdit1.installEventFilter(this);
}

TScaleControl::~TScaleControl() {
    FSite.RichEdit1.removeEventFilter(this);
}

bool TScaleControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &FSite.RichEdit1 &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        UpdateVisibility();
    return false;
}

bool TScaleControl::ByServings() const {
    return WholeServings(FRecipe.Servings);
}

void TScaleControl::UpdateVisibility() {
    const bool shown = FRecipe.RowId >= 0 && FSite.RichEdit1.isVisible();
    const bool byServings = ByServings();
    FLabel->setVisible(shown);
    Servings->setVisible(shown && byServings);
    FUnit->setVisible(shown && byServings);
    Factors->setVisible(shown && !byServings);
    ResetButton->setVisible(shown);
    CookButton->setVisible(shown);
}

void TScaleControl::Shown(const TRecipe& recipe) {
    FRecipe = recipe;
    FFactor = 1;
    FRegions.clear();
    {
        const QSignalBlocker a(Servings), b(Factors);
        if (ByServings())
            Servings->setValue(int(FRecipe.Servings));
        Factors->setCurrentIndex(Factors->findData(1.0));
    }
    const QString unit = FRecipe.ServingsUnit.trimmed();
    FUnit->setText(unit.isEmpty() ? QStringLiteral("份") : unit);
    ResetButton->setEnabled(false);
    if (FRecipe.RowId >= 0)
        FindRegions();
    UpdateVisibility();
}

void TScaleControl::SetServings(int servings) {
    if (!ByServings() || servings < 1)
        return;
    Apply(servings / FRecipe.Servings);
}

void TScaleControl::SetFactor(double factor) {
    if (FRecipe.RowId < 0 || !(factor > 0))
        return;
    Apply(factor);
}

// Where the view shows what scaling changes: "原料:" and the designed lines under
// it, the whole ingredients where the column cut them, the servings line. Only
// text that is exactly what was put in counts; anything else is left alone.
void TScaleControl::FindRegions() {
    QTextDocument& document = *FSite.RichEdit1.document();
    const QTextBlock heading = document.begin().next();
    if (!heading.isValid() || heading.text() != QStringLiteral("原料:"))
        return;
    FRegions.push_back(
        {TRegion::Heading, heading.position(), int(heading.length() - 1), heading.text()});
    int searchFrom = heading.position() + heading.length();
    const QString designed = AsInserted(TrimText(FRecipe.Columns.Ingredients));
    if (!designed.isEmpty() &&
        DocumentText(document, searchFrom, int(designed.size())) == designed) {
        FRegions.push_back({TRegion::Lines, searchFrom, int(designed.size()), designed});
        searchFrom += int(designed.size());
    }
    const QString servings =
        QStringLiteral("份量：") + YieldText(FRecipe.Servings, FRecipe.ServingsUnit.trimmed());
    const QString whole = AsInserted(FRecipe.Ingredients.trimmed());
    bool servingsFound = false;
    for (QTextBlock block = document.findBlock(searchFrom); block.isValid(); block = block.next()) {
        if (!servingsFound && ByServings() && block.text() == servings) {
            FRegions.push_back(
                {TRegion::ServingsLine, block.position(), int(block.length() - 1), servings});
            servingsFound = true;
        } else if (block.text() == QStringLiteral("完整原料:") && block.next().isValid()) {
            const int start = block.next().position();
            if (!whole.isEmpty() && DocumentText(document, start, int(whole.size())) == whole)
                FRegions.push_back({TRegion::Lines, start, int(whole.size()), whole});
            break;
        }
    }
}

QString TScaleControl::HeadingText(double factor) const {
    if (factor == 1)
        return QStringLiteral("原料:");
    if (ByServings())
        return QStringLiteral("原料（按 %1换算）:")
            .arg(YieldText(std::round(FRecipe.Servings * factor), FUnit->text()));
    return QStringLiteral("原料（按 %1 换算）:").arg(FactorText(factor));
}

QString TScaleControl::ServingsText(double factor) const {
    const QString unit = FRecipe.ServingsUnit.trimmed();
    if (factor == 1)
        return QStringLiteral("份量：") + YieldText(FRecipe.Servings, unit);
    return QStringLiteral("份量：%1（原为 %2）")
        .arg(YieldText(std::round(FRecipe.Servings * factor), unit),
             YieldText(FRecipe.Servings, unit));
}

void TScaleControl::Apply(double factor) {
    if (FRegions.empty() || factor == FFactor)
        return;
    QTextDocument& document = *FSite.RichEdit1.document();
    QScrollBar& scroll = *FSite.RichEdit1.verticalScrollBar();
    const int scrolled = scroll.value();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    const QTextCharFormat plain;
    QTextCharFormat marked;
    marked.setForeground(QColor(128, 128, 128));
    // From the last, so the earlier ones keep their places; then move the later.
    std::vector<int> deltas(FRegions.size(), 0);
    for (size_t i = FRegions.size(); i-- > 0;) {
        TRegion& region = FRegions[i];
        cursor.setPosition(region.Start);
        cursor.setPosition(region.Start + region.Length, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        switch (region.Kind) {
        case TRegion::Heading:
            cursor.insertText(HeadingText(factor), plain);
            break;
        case TRegion::ServingsLine:
            cursor.insertText(ServingsText(factor), plain);
            break;
        case TRegion::Lines: {
            const auto lines = ScaleIngredients(region.Original, factor);
            for (size_t l = 0; l < lines.size(); ++l) {
                if (l > 0)
                    cursor.insertBlock();
                cursor.insertText(lines[l].Text, plain);
                if (lines[l].Unscaled)
                    cursor.insertText(QString::fromUtf16(UnscaledMark), marked);
            }
            break;
        }
        }
        const int length = cursor.position() - region.Start;
        deltas[i] = length - region.Length;
        region.Length = length;
    }
    cursor.endEditBlock();
    int shift = 0;
    for (size_t i = 0; i < FRegions.size(); ++i) {
        FRegions[i].Start += shift;
        shift += deltas[i];
    }
    FFactor = factor;
    ResetButton->setEnabled(factor != 1);
    {
        const QSignalBlocker a(Servings), b(Factors);
        if (ByServings())
            Servings->setValue(int(std::lround(FRecipe.Servings * factor)));
        const int at = Factors->findData(factor);
        if (at >= 0)
            Factors->setCurrentIndex(at);
    }
    scroll.setValue(scrolled);
}
