#include "RecipeExtrasEditor.h"

#include "ADODB.h"
#include "Controls.h"
#include "Dialogs.h"
#include "ErrorDisplay.h"
#include "Graphics.h"
#include "ImageControl.h"
#include "KindControls.h"
#include "PictureDrop.h"
#include "PictureIo.h"
#include "RecipeStore.h"
#include "RecipeText.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDropEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStringListModel>

namespace {
// Where the cook may part one category from the next.
const QRegularExpression& CategorySeparators() {
    static const QRegularExpression separators(QStringLiteral("[、,，;；\\n]"));
    return separators;
}

QByteArray JpegOf(const TGraphic& graphic) {
    TJPEGImage jpeg;
    jpeg.Assign(graphic);
    return jpeg.Data();
}

QString StoredTime(const QString& typed) {
    const QString text = typed.trimmed();
    const QString iso = IsoDuration(text);
    return iso.isEmpty() ? text : iso;
}

QString PictureText(const TRecipePicture& picture) {
    QString text = picture.Caption.isEmpty() ? QStringLiteral("（无说明）") : picture.Caption;
    if (picture.Step > 0)
        text += QStringLiteral("\n第%1步").arg(picture.Step);
    return text;
}

template <class T> T* Place(QWidget* parent, int x, int y, int w, int h) {
    auto* control = new T(parent);
    control->setGeometry(x, y, w, h);
    return control;
}

TLabel* LabelFor(QWidget* parent, const QString& text, int x, int y, int w, QWidget* buddy) {
    auto* label = Place<TLabel>(parent, x, y, w, 24);
    label->setText(text);
    label->setBuddy(buddy);
    return label;
}
} // namespace

TRecipeExtrasEditor::TRecipeExtrasEditor(const TWindowSite& site) : FSite(site) {
    Build();
    Connect();
}

TRecipeExtrasEditor::~TRecipeExtrasEditor() {
    PictureList->removeEventFilter(this);
    PictureList->viewport()->removeEventFilter(this);
}

void TRecipeExtrasEditor::Build() {
    QWidget* page = &FSite.TabSheet2;
    // Over the whole page: the designed controls stay where they are beneath it,
    // and "保存" stays above it, so the cook saves from either side.
    // The page takes its size from the page set only when first shown.
    const QSize pageSize = page->parentWidget() ? page->parentWidget()->size() : page->size();
    Panel = Place<TPanel>(page, 0, 0, pageSize.width(), pageSize.height());
    Panel->setObjectName(QStringLiteral("ExtrasPanel"));
    Panel->setFrameShape(QFrame::NoFrame);
    Panel->setAutoFillBackground(true);
    Panel->hide();

    const int field = 100, fieldWidth = 240, row = 36;
    int y = 14;
    auto line = [&](TEdit*& edit, const QString& label, const QString& hint, int width) {
        edit = Place<TEdit>(Panel, field, y, width, 24);
        edit->setPlaceholderText(hint);
        LabelFor(Panel, label, 14, y, field - 18, edit);
        y += row;
    };
    line(WholeName, QStringLiteral("完整菜名"), QStringLiteral("菜名超过30字时写在这里"),
         fieldWidth);
    line(Categories, QStringLiteral("分类"), QStringLiteral("如 川菜、家常菜"), fieldWidth - 34);
    ChooseCategory = Place<TBitBtn>(Panel, field + fieldWidth - 30, 14 + row, 30, 24);
    ChooseCategory->setText(QStringLiteral("…"));
    ChooseCategory->setToolTip(QStringLiteral("从菜谱库已有的分类中选择"));
    Servings = Place<QSpinBox>(Panel, field, y, 90, 24);
    Servings->setRange(0, 9999);
    Servings->setSpecialValueText(QStringLiteral("未填"));
    Servings->setAccessibleName(QStringLiteral("份量"));
    ServingsUnit = Place<TEdit>(Panel, field + 96, y, fieldWidth - 96, 24);
    ServingsUnit->setPlaceholderText(QStringLiteral("单位，如 人份、个"));
    ServingsUnit->setAccessibleName(QStringLiteral("份量单位"));
    LabelFor(Panel, QStringLiteral("份量"), 14, y, field - 18, Servings);
    y += row;
    line(PrepTime, QStringLiteral("准备时间"), QStringLiteral("如 20分钟"), fieldWidth);
    line(CookTime, QStringLiteral("烹饪时间"), QStringLiteral("如 1小时30分钟"), fieldWidth);
    line(TotalTime, QStringLiteral("总共用时"), QStringLiteral("如 2小时"), fieldWidth);
    line(Source, QStringLiteral("来源"), QStringLiteral("网址、书名或人名"), fieldWidth);
    Favourite = Place<QCheckBox>(Panel, field, y, fieldWidth, 24);
    Favourite->setText(QStringLiteral("收藏这道菜"));

    const int right = 360, rightWidth = 326;
    auto* picturesLabel = LabelFor(Panel, QStringLiteral("更多图片（可把图片文件拖到下面）"), right,
                                   14, rightWidth, nullptr);
    PictureList = Place<QListWidget>(Panel, right, 40, rightWidth, 246);
    PictureList->setIconSize(QSize(64, 48));
    PictureList->setAcceptDrops(true);
    PictureList->setAccessibleName(QStringLiteral("更多图片"));
    picturesLabel->setBuddy(PictureList);
    const std::pair<TBitBtn**, QString> buttons[] = {
        {&OpenPicture, QStringLiteral("打开")},   {&PastePicture, QStringLiteral("粘贴")},
        {&RemovePicture, QStringLiteral("删除")}, {&MoveUp, QStringLiteral("上移")},
        {&MoveDown, QStringLiteral("下移")},
    };
    int x = right;
    for (const auto& [button, text] : buttons) {
        *button = Place<TBitBtn>(Panel, x, 292, 62, 32);
        (*button)->setText(text);
        x += 66;
    }
    OpenPicture->setToolTip(QStringLiteral("从文件添加图片"));
    PastePicture->setToolTip(QStringLiteral("添加剪贴板上的图片"));
    Caption = Place<TEdit>(Panel, right + 90, 334, rightWidth - 90, 24);
    Caption->setPlaceholderText(QStringLiteral("这张图片的说明"));
    LabelFor(Panel, QStringLiteral("图片说明"), right, 334, 86, Caption);
    Step = Place<QSpinBox>(Panel, right + 90, 368, rightWidth - 90, 24);
    Step->setRange(0, 999);
    Step->setPrefix(QStringLiteral("第"));
    Step->setSuffix(QStringLiteral("步"));
    Step->setSpecialValueText(QStringLiteral("成品图（不对应步骤）"));
    LabelFor(Panel, QStringLiteral("对应步骤"), right, 368, 86, Step);

    More = Place<TBitBtn>(page, 360, 432, 120, 44);
    More->setText(QStringLiteral("更多信息"));
    More->setToolTip(QStringLiteral("分类、份量、时间、来源、收藏和更多图片"));
    NameHint = Place<TLabel>(page, 8, 61, 330, 18);
    QFont small = NameHint->font();
    small.setPixelSize(12);
    NameHint->setFont(small);
    NameHint->setText(QStringLiteral("菜名超过30字？点“更多信息”写完整菜名"));
    NameHint->hide();

    FCategoryModel = new QStringListModel(this);
    FCompleter = new QCompleter(FCategoryModel, this);
    FCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    FCompleter->setFilterMode(Qt::MatchContains);
    FCompleter->setWidget(Categories);
    ShowCurrentPicture();
}

void TRecipeExtrasEditor::Connect() {
    auto guarded = [](auto action) {
        return [action] {
            RunGuarded(action);
        };
    };
    connect(More, &QPushButton::clicked, this, guarded([this] { ShowPanel(Panel->isHidden()); }));
    connect(WholeName, &QLineEdit::textEdited, this, [this](const QString& text) {
        FSite.Edit1.setText(CutToFit(text, NameColumnChars));
        Changed(PartName);
        UpdateNameHint();
    });
    connect(&FSite.Edit1, &QLineEdit::textEdited, this, [this](const QString& text) {
        // The whole name follows when the cook gives the dish another name.
        if (!WholeName->text().isEmpty() && CutToFit(WholeName->text(), NameColumnChars) != text)
            WholeName->setText(text);
    });
    connect(&FSite.Edit1, &QLineEdit::textChanged, this, [this] { UpdateNameHint(); });
    connect(Categories, &QLineEdit::textEdited, this, [this] {
        Changed(PartCategories);
        CompleteCategory();
    });
    connect(FCompleter, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& chosen) {
                QString text = Categories->text();
                const qsizetype cut = text.lastIndexOf(CategorySeparators()) + 1;
                text = text.left(cut) + chosen + QStringLiteral("、");
                Categories->setText(text);
                Changed(PartCategories);
            });
    connect(ChooseCategory, &QPushButton::clicked, this, guarded([this] { ChooseFromBook(); }));
    connect(Servings, &QSpinBox::valueChanged, this, [this] {
        if (!FFilling)
            Changed(PartServings);
    });
    connect(ServingsUnit, &QLineEdit::textEdited, this, [this] { Changed(PartServings); });
    for (TEdit* time : {PrepTime, CookTime, TotalTime})
        connect(time, &QLineEdit::textEdited, this, [this] { Changed(PartTimes); });
    connect(Source, &QLineEdit::textEdited, this, [this] { Changed(PartSource); });
    connect(Favourite, &QCheckBox::toggled, this, [this] {
        if (!FFilling)
            Changed(PartFavourite);
    });

    connect(OpenPicture, &QPushButton::clicked, this, guarded([this] {
                TOpenPictureDialog dialog(&FSite.Window);
                if (dialog.Execute())
                    AddPictureFile(dialog.FileName());
            }));
    connect(PastePicture, &QPushButton::clicked, this, guarded([this] { AddPastedPicture(); }));
    connect(RemovePicture, &QPushButton::clicked, this,
            guarded([this] { RemoveCurrentPicture(); }));
    connect(MoveUp, &QPushButton::clicked, this, guarded([this] { MoveCurrentPicture(-1); }));
    connect(MoveDown, &QPushButton::clicked, this, guarded([this] { MoveCurrentPicture(1); }));
    connect(PictureList, &QListWidget::currentRowChanged, this, [this] { ShowCurrentPicture(); });
    connect(Caption, &QLineEdit::textEdited, this, [this](const QString& text) {
        const int i = CurrentPicture();
        if (i < 0)
            return;
        FPictures[size_t(i)].Caption = text.trimmed();
        PictureList->item(i)->setText(PictureText(FPictures[size_t(i)]));
        Changed(PartPictures);
    });
    connect(Step, &QSpinBox::valueChanged, this, [this](int step) {
        const int i = CurrentPicture();
        if (FFilling || i < 0)
            return;
        FPictures[size_t(i)].Step = step;
        PictureList->item(i)->setText(PictureText(FPictures[size_t(i)]));
        Changed(PartPictures);
    });
    PictureList->installEventFilter(this);
    PictureList->viewport()->installEventFilter(this);
}

void TRecipeExtrasEditor::ShowPanel(bool show) {
    if (show) {
        ReadBookCategories();
        Panel->show();
        Panel->raise();
        // The designed save stays reachable, and so does the way back.
        FSite.BitBtn5.raise();
        More->raise();
        More->setText(QStringLiteral("返回菜谱"));
        // A full name box: the cook goes on typing the name here.
        if (WholeName->text().isEmpty() && FSite.Edit1.text().size() >= NameColumnChars)
            WholeName->setText(FSite.Edit1.text());
        WholeName->setFocus();
        WholeName->end(false);
    } else {
        Panel->hide();
        More->setText(QStringLiteral("更多信息"));
    }
}

void TRecipeExtrasEditor::UpdateNameHint() {
    const bool full =
        FSite.Edit1.text().size() >= NameColumnChars && WholeName->text().size() <= NameColumnChars;
    NameHint->setVisible(full);
}

QStringList TRecipeExtrasEditor::CategoryList() const {
    QStringList out;
    for (const QString& part : Categories->text().split(CategorySeparators())) {
        const QString category = part.trimmed();
        if (!category.isEmpty() && !out.contains(category))
            out.append(category);
    }
    return out;
}

void TRecipeExtrasEditor::ReadBookCategories() {
    FBookCategories = FSite.Query.Active() ? RecipeCategories(FSite.Connection) : QStringList();
    FCategoryModel->setStringList(FBookCategories);
}

void TRecipeExtrasEditor::BookCategoriesChanged() {
    // Counting a large book's labels takes tens of milliseconds: only for the open
    // panel; opening it, or the menu of the book's categories, reads them anyway.
    if (!Panel->isHidden())
        ReadBookCategories();
}

void TRecipeExtrasEditor::CompleteCategory() {
    const QString text = Categories->text();
    const QString typed = text.mid(text.lastIndexOf(CategorySeparators()) + 1).trimmed();
    if (typed.isEmpty()) {
        FCompleter->popup()->hide();
        return;
    }
    FCompleter->setCompletionPrefix(typed);
    if (FCompleter->completionCount() > 0)
        FCompleter->complete();
    else
        FCompleter->popup()->hide();
}

void TRecipeExtrasEditor::AddCategory(const QString& category, bool add) {
    QStringList list = CategoryList();
    if (add == list.contains(category))
        return;
    if (add)
        list.append(category);
    else
        list.removeAll(category);
    Categories->setText(list.join(QStringLiteral("、")));
    Changed(PartCategories);
}

void TRecipeExtrasEditor::ChooseFromBook() {
    ReadBookCategories();
    QMenu menu(&FSite.Window);
    const QStringList chosen = CategoryList();
    if (FBookCategories.isEmpty())
        menu.addAction(QStringLiteral("（菜谱库里还没有分类）"))->setEnabled(false);
    for (const QString& category : FBookCategories) {
        QAction* action = menu.addAction(category);
        action->setCheckable(true);
        action->setChecked(chosen.contains(category));
        connect(action, &QAction::toggled, this,
                [this, category](bool on) { AddCategory(category, on); });
    }
    menu.exec(ChooseCategory->mapToGlobal(QPoint(0, ChooseCategory->height())));
}

int TRecipeExtrasEditor::CurrentPicture() const {
    const int i = PictureList->currentRow();
    return i >= 0 && i < int(FPictures.size()) ? i : -1;
}

void TRecipeExtrasEditor::SetCurrentPicture(int index) {
    PictureList->setCurrentRow(index);
}

void TRecipeExtrasEditor::ShowPictures(int current) {
    PictureList->clear();
    for (const TRecipePicture& picture : FPictures) {
        TJPEGImage jpeg;
        jpeg.SetData(picture.Jpeg);
        QImage thumb;
        try {
            thumb = jpeg.ToImage().scaled(PictureList->iconSize(), Qt::KeepAspectRatio,
                                          Qt::SmoothTransformation);
        } catch (const Exception&) {
            // Listed without its thumbnail; it is stored as it came.
        }
        PictureList->addItem(
            new QListWidgetItem(QIcon(QPixmap::fromImage(thumb)), PictureText(picture)));
    }
    PictureList->setCurrentRow(std::min(current, int(FPictures.size()) - 1));
    ShowCurrentPicture();
}

void TRecipeExtrasEditor::ShowCurrentPicture() {
    const int i = CurrentPicture();
    FFilling = true;
    Caption->setText(i < 0 ? QString() : FPictures[size_t(i)].Caption);
    Step->setValue(i < 0 ? 0 : FPictures[size_t(i)].Step);
    FFilling = false;
    for (QWidget* control : {static_cast<QWidget*>(Caption), static_cast<QWidget*>(Step),
                             static_cast<QWidget*>(RemovePicture)})
        control->setEnabled(i >= 0);
    MoveUp->setEnabled(i > 0);
    MoveDown->setEnabled(i >= 0 && i + 1 < int(FPictures.size()));
}

void TRecipeExtrasEditor::AddPictureJpeg(QByteArray jpeg) {
    FPictures.push_back({std::move(jpeg), 0, QString()});
    Changed(PartPictures);
    ShowPictures(int(FPictures.size()) - 1);
}

void TRecipeExtrasEditor::AddPictureFile(const QString& path) {
    TPicture picture;
    picture.LoadFromFile(path);
    if (const TGraphic* graphic = picture.Graphic())
        AddPictureJpeg(JpegOf(*graphic));
}

void TRecipeExtrasEditor::AddPastedPicture() {
    TImage scratch;
    ::PastePicture(scratch);
    if (const TGraphic* graphic = scratch.Picture().Graphic(); graphic && !graphic->Empty())
        AddPictureJpeg(JpegOf(*graphic));
}

bool TRecipeExtrasEditor::PicturesAccept(const QMimeData& data) const {
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls())
            if (url.isLocalFile() && IsPictureFileName(url.toLocalFile()))
                return true;
        return false;
    }
    return data.hasImage();
}

void TRecipeExtrasEditor::DropPictures(const QMimeData& data) {
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls())
            if (url.isLocalFile() && IsPictureFileName(url.toLocalFile()))
                AddPictureFile(url.toLocalFile());
        return;
    }
    TDroppedBitmap dropped(qvariant_cast<QImage>(data.imageData()));
    TClipboardSwap swap(dropped);
    AddPastedPicture();
}

void TRecipeExtrasEditor::RemoveCurrentPicture() {
    const int i = CurrentPicture();
    if (i < 0)
        return;
    FPictures.erase(FPictures.begin() + i);
    Changed(PartPictures);
    ShowPictures(i);
}

void TRecipeExtrasEditor::MoveCurrentPicture(int by) {
    const int i = CurrentPicture();
    const int to = i + by;
    if (i < 0 || to < 0 || to >= int(FPictures.size()))
        return;
    std::swap(FPictures[size_t(i)], FPictures[size_t(to)]);
    Changed(PartPictures);
    ShowPictures(to);
}

bool TRecipeExtrasEditor::eventFilter(QObject* watched, QEvent* event) {
    // Delete takes the chosen picture out, as it takes a recipe out of the list.
    if (watched == PictureList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && CurrentPicture() >= 0) {
        RunGuarded([this] { RemoveCurrentPicture(); });
        return true;
    }
    if (watched != PictureList->viewport())
        return false;
    return HandlePictureDrop(
        event, [this](const QMimeData& data) { return PicturesAccept(data); },
        [this](const QMimeData& data) { DropPictures(data); });
}

void TRecipeExtrasEditor::ApplyTo(TRecipe& recipe, bool overwritten) const {
    auto take = [&](TPart part) {
        return !overwritten || (FChanged & part) != 0;
    };
    if (take(PartName)) {
        const QString whole = WholeName->text().trimmed();
        const QString column = recipe.Columns.Name.trimmed();
        // The whole name counts only while the row holds its cut form.
        recipe.Name = !whole.isEmpty() && CutToFit(whole, NameColumnChars).trimmed() == column
                          ? whole
                          : column;
    }
    if (take(PartCategories))
        recipe.Categories = CategoryList();
    if (take(PartServings)) {
        recipe.Servings = Servings->value();
        recipe.ServingsUnit = ServingsUnit->text().trimmed();
    }
    if (take(PartTimes)) {
        recipe.PrepTime = StoredTime(PrepTime->text());
        recipe.CookTime = StoredTime(CookTime->text());
        recipe.TotalTime = StoredTime(TotalTime->text());
    }
    if (take(PartSource))
        recipe.Source = Source->text().trimmed();
    if (take(PartFavourite))
        recipe.Favourite = Favourite->isChecked();
    if (take(PartPictures))
        recipe.Pictures = FPictures;
}

void TRecipeExtrasEditor::Store(qint64 rowId, bool overwritten) {
    TRecipeStore store(FSite.Connection);
    TRecipe recipe = store.Read(rowId);
    ApplyTo(recipe, overwritten);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!recipe.Added.isValid())
        recipe.Added = now;
    recipe.Changed = now;
    store.WriteExtras(rowId, recipe);
}

void TRecipeExtrasEditor::Saved() {
    Clear();
    BookCategoriesChanged();
}

void TRecipeExtrasEditor::Clear() {
    FFilling = true;
    for (TEdit* edit : {WholeName, Categories, ServingsUnit, PrepTime, CookTime, TotalTime, Source})
        edit->clear();
    Servings->setValue(0);
    Favourite->setChecked(false);
    FFilling = false;
    FPictures.clear();
    ShowPictures(-1);
    FChanged = 0;
    UpdateNameHint();
}

void TRecipeExtrasEditor::Fill(const TRecipe& recipe) {
    FFilling = true;
    WholeName->setText(recipe.Name.trimmed() == recipe.Columns.Name.trimmed() ? QString()
                                                                              : recipe.Name);
    Categories->setText(recipe.Categories.join(QStringLiteral("、")));
    Servings->setValue(int(recipe.Servings));
    ServingsUnit->setText(recipe.ServingsUnit);
    PrepTime->setText(DurationText(recipe.PrepTime));
    CookTime->setText(DurationText(recipe.CookTime));
    TotalTime->setText(DurationText(recipe.TotalTime));
    Source->setText(recipe.Source);
    Favourite->setChecked(recipe.Favourite);
    FFilling = false;
    FPictures = recipe.Pictures;
    FChanged = PartName | PartCategories | PartServings | PartTimes | PartSource | PartFavourite |
               PartPictures;
    ShowPictures(FPictures.empty() ? -1 : 0);
    UpdateNameHint();
}
