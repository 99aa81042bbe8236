#include "CookingView.h"

#include "Durations.h"
#include "ErrorDisplay.h"
#include "Ingredient.h"
#include "KindControls.h"
#include "RecipeText.h"

#include <QApplication>
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
const QString ScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int BusTimeoutMs = 500; // a desktop that does not answer at once is not waited for

// A desktop notice with a sound, where the desktop offers them; silent otherwise.
void NotifyDesktop(const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface notify(QStringLiteral("org.freedesktop.Notifications"),
                          QStringLiteral("/org/freedesktop/Notifications"),
                          QStringLiteral("org.freedesktop.Notifications"), bus);
    if (!notify.isValid())
        return;
    notify.setTimeout(BusTimeoutMs);
    QVariantMap hints;
    hints.insert(QStringLiteral("sound-name"), QStringLiteral("alarm-clock-elapsed"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
    notify.asyncCall(QStringLiteral("Notify"), QStringLiteral("百味小筑"), uint(0), QString(),
                     QStringLiteral("计时到了"), text, QStringList(), hints, int(-1));
}

QImage StepPicture(const QByteArray& jpeg, int box) {
    QByteArray bytes = jpeg;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > box || size.height() > box))
        reader.setScaledSize(size.scaled(box, box, Qt::KeepAspectRatio));
    return reader.read();
}

QPushButton* Button(QWidget* parent, const QString& text) {
    auto* button = new TBitBtn(parent);
    button->setText(text);
    // Space and the arrows move between steps; no button takes them.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    return button;
}
} // namespace

TScreenAwake::TScreenAwake() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface saver(ScreenSaverService, ScreenSaverPath, ScreenSaverService, bus);
    if (!saver.isValid())
        return;
    saver.setTimeout(BusTimeoutMs);
    const QDBusReply<uint> reply = saver.call(QStringLiteral("Inhibit"), QStringLiteral("百味小筑"),
                                              QStringLiteral("正在做菜"));
    if (reply.isValid())
        FCookie = reply.value();
}

TScreenAwake::~TScreenAwake() {
    if (FCookie == 0)
        return;
    QDBusInterface saver(ScreenSaverService, ScreenSaverPath, ScreenSaverService,
                         QDBusConnection::sessionBus());
    if (saver.isValid()) {
        saver.setTimeout(BusTimeoutMs);
        saver.call(QDBus::NoBlock, QStringLiteral("UnInhibit"), FCookie);
    }
}

TCookingView::TCookingView(QWidget* owner) : QDialog(owner, Qt::Window) {
    setWindowTitle(QStringLiteral("开始做菜"));
    QFont large = font();
    large.setPixelSize(30);
    QFont middle = font();
    middle.setPixelSize(20);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    FTitle = new TLabel(this);
    FTitle->setFont(middle);
    FPlace = new TLabel(this);
    FPlace->setFont(middle);
    top->addWidget(FTitle, 1);
    top->addWidget(FPlace);
    layout->addLayout(top);

    FNotice = new TLabel(this);
    FNotice->setFont(middle);
    FNotice->setStyleSheet(
        QStringLiteral("background:#c0392b; color:white; padding:6px; border-radius:4px;"));
    FNotice->hide();
    layout->addWidget(FNotice);

    auto* body = new QHBoxLayout;
    layout->addLayout(body, 1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    FText = new QLabel(page);
    FText->setFont(large);
    FText->setWordWrap(true);
    FText->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    pageLayout->addWidget(FText);
    FOffers = new QVBoxLayout;
    pageLayout->addLayout(FOffers);
    FPictures = new QVBoxLayout;
    pageLayout->addLayout(FPictures);
    pageLayout->addStretch(1);
    scroll->setWidget(page);
    body->addWidget(scroll, 3);

    auto* side = new QVBoxLayout;
    body->addLayout(side, 1);
    auto* heading = new TLabel(this);
    heading->setText(QStringLiteral("原料"));
    heading->setFont(middle);
    side->addWidget(heading);
    FIngredientsLabel = new TLabel(this);
    QFont list = font();
    list.setPixelSize(17);
    FIngredientsLabel->setFont(list);
    FIngredientsLabel->setWordWrap(true);
    FIngredientsLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    side->addWidget(FIngredientsLabel, 1);
    auto* timersHeading = new TLabel(this);
    timersHeading->setText(QStringLiteral("计时"));
    timersHeading->setFont(middle);
    side->addWidget(timersHeading);
    FRunning = new QVBoxLayout;
    side->addLayout(FRunning);

    auto* buttons = new QHBoxLayout;
    FPrev = Button(this, QStringLiteral("← 上一步"));
    FNext = Button(this, QStringLiteral("下一步 →"));
    auto* close = Button(this, QStringLiteral("关闭"));
    buttons->addWidget(FPrev);
    buttons->addWidget(FNext);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(FPrev, &QPushButton::clicked, this, [this] { ShowStep(FStep - 1); });
    connect(FNext, &QPushButton::clicked, this, [this] { ShowStep(FStep + 1); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    FClock.setInterval(1000);
    connect(&FClock, &QTimer::timeout, this, [this] { RunGuarded([this] { Tick(); }); });
    resize(960, 640);
}

TCookingView::~TCookingView() = default;

void TCookingView::Start(const TRecipe& recipe, double factor) {
    StopAll();
    FRecipe = recipe;
    FSteps.clear();
    for (const TRecipeLine& step : recipe.Steps)
        if (!step.Heading && !step.Text.trimmed().isEmpty())
            FSteps.push_back(step);
    if (FSteps.empty())
        for (const TRecipeLine& step : ReadMethod(recipe.Columns.Method).Steps)
            if (!step.Heading && !step.Text.trimmed().isEmpty())
                FSteps.push_back(step);
    FIngredients.clear();
    const QString ingredients =
        recipe.Ingredients.trimmed().isEmpty() ? recipe.Columns.Ingredients : recipe.Ingredients;
    for (const TScaledLine& line : ScaleIngredients(ingredients, factor))
        if (!line.Text.trimmed().isEmpty())
            FIngredients.append(line.Text.trimmed());
    FIngredientsLabel->setText(FIngredients.join(u'\n'));
    const QString name = recipe.Name.trimmed().isEmpty() ? recipe.Columns.Name : recipe.Name;
    FTitle->setText(factor == 1 ? name.trimmed()
                                : QStringLiteral("%1（原料 ×%2）")
                                      .arg(name.trimmed(), QString::number(factor, 'g', 3)));
    setWindowTitle(QStringLiteral("开始做菜 - ") + name.trimmed());
    FNotice->hide();
    ShowStep(0);
    if (!FAwake)
        FAwake = std::make_unique<TScreenAwake>();
}

QString TCookingView::StepText() const {
    if (FSteps.empty())
        return QString();
    const TRecipeLine& step = FSteps[size_t(FStep)];
    const QString text = CollapseWhitespace(WithoutStepNumber(step.Text));
    return step.Title.trimmed().isEmpty() ? text
                                          : step.Title.trimmed() + QStringLiteral("：") + text;
}

QStringList TCookingView::Ingredients() const {
    return FIngredients;
}

std::vector<std::pair<QString, int>> TCookingView::Offered() const {
    std::vector<std::pair<QString, int>> out;
    for (const TStepDuration& d : DurationsIn(StepText()))
        out.push_back({QStringLiteral("第%1步 ").arg(FStep + 1) + d.Name, d.Seconds});
    return out;
}

void TCookingView::ShowStep(int step) {
    if (FSteps.empty()) {
        FStep = 0;
        FText->setText(QStringLiteral("这道菜没有写做法。"));
        FPlace->clear();
        FPrev->setEnabled(false);
        FNext->setEnabled(false);
        return;
    }
    FStep = std::clamp(step, 0, int(FSteps.size()) - 1);
    FText->setText(StepText());
    FPlace->setText(QStringLiteral("第 %1 / %2 步").arg(FStep + 1).arg(FSteps.size()));
    FPrev->setEnabled(FStep > 0);
    FNext->setEnabled(FStep + 1 < int(FSteps.size()));

    auto clear = [](QLayout* layout) {
        while (QLayoutItem* item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
    };
    clear(FOffers);
    const auto offered = Offered();
    for (size_t i = 0; i < offered.size(); ++i) {
        auto* button = Button(
            this, QStringLiteral("开始计时：%1（%2）")
                      .arg(offered[i].first.section(u' ', 1), CountdownText(offered[i].second)));
        connect(button, &QPushButton::clicked, this,
                [this, i] { RunGuarded([&] { StartTimer(int(i)); }); });
        FOffers->addWidget(button, 0, Qt::AlignLeft);
    }
    clear(FPictures);
    for (const TRecipePicture& picture : FRecipe.Pictures) {
        if (picture.Step != FStep + 1)
            continue;
        auto* label = new QLabel;
        const QImage image = StepPicture(picture.Jpeg, 360);
        if (image.isNull())
            continue;
        label->setPixmap(QPixmap::fromImage(image));
        FPictures->addWidget(label, 0, Qt::AlignLeft);
        if (!picture.Caption.trimmed().isEmpty()) {
            auto* caption = new QLabel(CollapseWhitespace(picture.Caption));
            FPictures->addWidget(caption, 0, Qt::AlignLeft);
        }
    }
}

void TCookingView::StartTimer(int index) {
    const auto offered = Offered();
    if (index < 0 || size_t(index) >= offered.size())
        return;
    TTimer timer;
    timer.Name = offered[size_t(index)].first;
    timer.Seconds = offered[size_t(index)].second;
    timer.Deadline = QDeadlineTimer(qint64(timer.Seconds) * 1000);
    timer.Label = new TLabel(this);
    QFont font = timer.Label->font();
    font.setPixelSize(17);
    timer.Label->setFont(font);
    timer.Button = Button(this, QStringLiteral("取消"));
    auto* row = new QHBoxLayout;
    row->addWidget(timer.Label, 1);
    row->addWidget(timer.Button);
    FRunning->addLayout(row);
    QLabel* label = timer.Label;
    connect(timer.Button, &QPushButton::clicked, this, [this, label] {
        for (size_t i = 0; i < FTimers.size(); ++i)
            if (FTimers[i].Label == label)
                RemoveTimer(i);
    });
    FTimers.push_back(timer);
    FClock.start();
    Tick();
}

int TCookingView::Remaining(size_t timer) const {
    if (timer >= FTimers.size() || FTimers[timer].Done)
        return 0;
    return int((FTimers[timer].Deadline.remainingTime() + 999) / 1000);
}

void TCookingView::Tick() {
    bool running = false;
    for (size_t i = 0; i < FTimers.size(); ++i) {
        TTimer& timer = FTimers[i];
        if (!timer.Done && timer.Deadline.hasExpired())
            Rang(timer);
        if (timer.Done) {
            timer.Label->setText(timer.Name + QStringLiteral("　时间到！"));
            continue;
        }
        running = true;
        timer.Label->setText(timer.Name + QStringLiteral("　") + CountdownText(Remaining(i)));
    }
    if (!running)
        FClock.stop();
}

void TCookingView::Rang(TTimer& timer) {
    timer.Done = true;
    timer.Button->setText(QStringLiteral("知道了"));
    timer.Label->setStyleSheet(QStringLiteral("color:#c0392b; font-weight:bold;"));
    const QString text = QStringLiteral("⏰ %1：时间到了").arg(timer.Name);
    FNotice->setText(text);
    FNotice->show();
    QApplication::beep();
    QApplication::alert(this);
    NotifyDesktop(text);
}

void TCookingView::EndTimerNow(size_t timer) {
    if (timer < FTimers.size())
        FTimers[timer].Deadline = QDeadlineTimer(0);
    Tick();
}

QString TCookingView::Notice() const {
    return FNotice->isVisible() || !FNotice->isHidden() ? FNotice->text() : QString();
}

void TCookingView::RemoveTimer(size_t timer) {
    if (timer >= FTimers.size())
        return;
    TTimer& t = FTimers[timer];
    for (int i = 0; i < FRunning->count(); ++i) {
        QLayout* row = FRunning->itemAt(i)->layout();
        if (row && row->indexOf(t.Label) >= 0) {
            delete FRunning->takeAt(i);
            break;
        }
    }
    t.Label->deleteLater();
    t.Button->deleteLater();
    FTimers.erase(FTimers.begin() + qsizetype(timer));
    bool anyDone = false;
    for (const TTimer& other : FTimers)
        anyDone = anyDone || other.Done;
    if (!anyDone)
        FNotice->hide();
}

void TCookingView::StopAll() {
    while (!FTimers.empty())
        RemoveTimer(FTimers.size() - 1);
    FClock.stop();
    FNotice->hide();
}

void TCookingView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        ShowStep(FStep - 1);
        return;
    case Qt::Key_Right:
    case Qt::Key_Space:
    case Qt::Key_PageDown:
        ShowStep(FStep + 1);
        return;
    default:
        QDialog::keyPressEvent(event); // Esc closes
    }
}

void TCookingView::closeEvent(QCloseEvent* event) {
    StopAll();
    FAwake.reset();
    QDialog::closeEvent(event);
}

void TCookingView::done(int result) {
    StopAll();
    FAwake.reset();
    QDialog::done(result);
}
