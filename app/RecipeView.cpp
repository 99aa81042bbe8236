#include "RecipeView.h"

#include "ADODB.h"
#include "ErrorDisplay.h"
#include "KindControls.h"
#include "MsgShell.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "RtfProperties.h"

#include <QBuffer>
#include <QImageReader>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <atomic>
#include <cmath>
#include <mutex>

namespace {
// Further pictures are shown at most this large; print and RTF take the same size.
constexpr int PictureBox = 320;
const QString Separator = QStringLiteral(" · ");

QString Joined(const QStringList& labels) {
    QStringList kept;
    for (const QString& label : labels)
        if (!label.trimmed().isEmpty())
            kept.append(label.trimmed());
    return kept.join(QStringLiteral("、"));
}

QString StepText(const TRecipeLine& step) {
    const QString text = CollapseWhitespace(WithoutStepNumber(step.Text));
    return step.Title.isEmpty() ? text : step.Title.trimmed() + QStringLiteral("：") + text;
}

// The picture's size in the view, from its header alone.
QSize ShownSize(const QByteArray& jpeg) {
    QByteArray bytes = jpeg; // shared, not copied
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return QSize(PictureBox, PictureBox * 3 / 4); // shown as an empty frame
    return size.boundedTo(QSize(PictureBox, PictureBox)) == size
               ? size
               : size.scaled(PictureBox, PictureBox, Qt::KeepAspectRatio);
}
} // namespace

QString ReadableDuration(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression iso(
        QStringLiteral(
            "^P(?:(\\d{1,6})D)?(?:T(?:(\\d{1,6}(?:\\.\\d+)?)H)?(?:(\\d{1,7}(?:\\.\\d+)?)M)?"
            "(?:(\\d{1,9}(?:\\.\\d+)?)S)?)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = iso.match(t);
    if (!m.hasMatch() || t.size() < 3 || t.endsWith(u'T', Qt::CaseInsensitive))
        return CollapseWhitespace(t);
    const double seconds = m.captured(1).toDouble() * 86400 + m.captured(2).toDouble() * 3600 +
                           m.captured(3).toDouble() * 60 + m.captured(4).toDouble();
    if (seconds <= 0)
        return QString();
    if (seconds < 60)
        return QStringLiteral("%1 秒").arg(std::llround(seconds));
    const qint64 minutes = std::llround(seconds / 60);
    QStringList parts;
    if (const qint64 days = minutes / 1440)
        parts.append(QStringLiteral("%1 天").arg(days));
    if (const qint64 hours = minutes % 1440 / 60)
        parts.append(QStringLiteral("%1 小时").arg(hours));
    if (const qint64 rest = minutes % 60)
        parts.append(QStringLiteral("%1 分钟").arg(rest));
    return parts.join(u' ');
}

QString TimesText(const TRecipe& recipe) {
    QStringList parts;
    const std::pair<const char16_t*, const QString*> times[] = {
        {u"准备", &recipe.PrepTime}, {u"烹饪", &recipe.CookTime}, {u"共", &recipe.TotalTime}};
    for (const auto& [label, value] : times) {
        const QString shown = ReadableDuration(*value);
        if (!shown.isEmpty())
            parts.append(QString::fromUtf16(label) + u' ' + shown);
    }
    return parts.join(Separator);
}

bool IsWebAddress(const QString& source) {
    const QString t = source.trimmed();
    if (t.contains(u' ') || t.contains(u'\n'))
        return false;
    const QUrl url(t, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

std::vector<TViewItem> RecipeViewItems(const TRecipe& recipe) {
    std::vector<TViewItem> items;
    auto line = [&](const QString& text) {
        items.push_back({TViewItem::Line, text});
    };
    if (const QString c = Joined(recipe.Categories); !c.isEmpty())
        line(QStringLiteral("分类：") + c);
    if (const QString k = Joined(recipe.Keywords); !k.isEmpty())
        line(QStringLiteral("标签：") + k);
    if (const QString y = YieldText(recipe.Servings, recipe.ServingsUnit.trimmed()); !y.isEmpty())
        line(QStringLiteral("份量：") + y);
    if (const QString t = TimesText(recipe); !t.isEmpty())
        line(QStringLiteral("时间：") + t);
    if (const QString source = recipe.Source.trimmed(); !source.isEmpty()) {
        if (IsWebAddress(source))
            items.push_back({TViewItem::Link, QStringLiteral("来源："), source});
        else
            line(QStringLiteral("来源：") + CollapseWhitespace(source));
    }
    if (recipe.Favourite)
        line(QStringLiteral("★ 已收藏"));

    // The whole texts where the designed lines above show them cut.
    const QString name = recipe.Name.trimmed();
    if (!name.isEmpty() && name != recipe.Columns.Name.trimmed())
        line(QStringLiteral("完整菜名：") + name);
    const QString ingredients = recipe.Ingredients.trimmed();
    if (!ingredients.isEmpty() && ingredients != recipe.Columns.Ingredients.trimmed()) {
        line(QStringLiteral("完整原料:"));
        line(ingredients);
    }
    const QString note = recipe.Note.trimmed();
    if (!note.isEmpty() && note != recipe.Columns.Note.trimmed()) {
        line(QStringLiteral("完整说明:"));
        line(note);
    }

    // Pictures under their steps, in the steps' order; the others after them.
    std::vector<const TRecipeLine*> steps;
    for (const TRecipeLine& step : recipe.Steps)
        if (!step.Heading)
            steps.push_back(&step);
    auto picture = [&](int i) {
        items.push_back({TViewItem::Image, QString(), QString(), i});
        if (const QString caption = CollapseWhitespace(recipe.Pictures[size_t(i)].Caption);
            !caption.isEmpty())
            line(caption);
    };
    bool stepHeading = false;
    for (size_t s = 0; s < steps.size(); ++s) {
        bool stepShown = false;
        for (size_t i = 0; i < recipe.Pictures.size(); ++i) {
            if (recipe.Pictures[i].Step != int(s) + 1)
                continue;
            if (!stepHeading) {
                line(QStringLiteral("步骤图片:"));
                stepHeading = true;
            }
            if (!stepShown) {
                line(QStringLiteral("第%1步　").arg(s + 1) + StepText(*steps[s]));
                stepShown = true;
            }
            picture(int(i));
        }
    }
    bool otherHeading = false;
    for (size_t i = 0; i < recipe.Pictures.size(); ++i) {
        const int step = recipe.Pictures[i].Step;
        if (step >= 1 && size_t(step) <= steps.size())
            continue;
        if (!otherHeading) {
            line(QStringLiteral("更多图片:"));
            otherHeading = true;
        }
        picture(int(i));
    }
    return items;
}

struct TRecipeView::TDecoded {
    std::atomic<int> Generation{0};
    std::mutex Lock;
    struct TResult {
        int Generation;
        QString Name;
        QImage Image;
    };
    std::vector<TResult> Done;
};

TRecipeView::TRecipeView(const TWindowSite& site)
    : FSite(site), FDecoded(std::make_shared<TDecoded>()) {
    // Two threads leave a core for the window on a small machine.
    FPool.setMaxThreadCount(2);
    FSite.RichEdit1.viewport()->installEventFilter(this);
    FSite.RichEdit1.viewport()->setMouseTracking(true);
}

TRecipeView::~TRecipeView() {
    Clear();
    FPool.waitForDone();
    FSite.RichEdit1.viewport()->removeEventFilter(this);
}

void TRecipeView::Clear() {
    ++FDecoded->Generation;
    FPool.clear();
    FPending = 0;
    FRecipe = TRecipe();
}

int TRecipeView::PendingPictures() const {
    return FPending;
}

void TRecipeView::Show(qint64 rowId) {
    Clear();
    if (rowId < 0)
        return;
    TRecipeStore store(FSite.Connection);
    FRecipe = store.Read(rowId);
    const TRecipe& recipe = FRecipe;
    const std::vector<TViewItem> items = RecipeViewItems(recipe);
    if (items.empty())
        return;
    QTextDocument& document = *FSite.RichEdit1.document();
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    const QTextCharFormat plain;
    QTextCharFormat link;
    link.setAnchor(true);
    link.setForeground(FSite.RichEdit1.palette().color(QPalette::Link));
    link.setFontUnderline(true);
    // A blank line after the cover; the designed view ends in an empty line
    // when there is none.
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock(QTextBlockFormat(), plain);
    const int generation = FDecoded->Generation;
    const qreal ratio = FSite.RichEdit1.devicePixelRatioF();
    for (const TViewItem& item : items) {
        cursor.insertBlock(QTextBlockFormat(), plain);
        switch (item.Kind) {
        case TViewItem::Blank:
            break;
        case TViewItem::Line:
            cursor.insertText(item.Text, plain);
            break;
        case TViewItem::Link:
            cursor.insertText(item.Text, plain);
            link.setAnchorHref(item.Url);
            cursor.insertText(item.Url, link);
            break;
        case TViewItem::Image: {
            const QByteArray& jpeg = recipe.Pictures[size_t(item.Picture)].Jpeg;
            const QSize shown = ShownSize(jpeg);
            const QString name =
                QStringLiteral("mycook-picture:%1/%2").arg(generation).arg(item.Picture);
            // An empty frame until the pixels come.
            QImage frame(shown, QImage::Format_RGB32);
            frame.fill(FSite.RichEdit1.palette().color(QPalette::Midlight));
            document.addResource(QTextDocument::ImageResource, QUrl(name), frame);
            QTextImageFormat format;
            format.setName(name);
            format.setWidth(shown.width());
            format.setHeight(shown.height());
            format.setProperty(RichExJpegProperty, jpeg); // export keeps the bytes
            cursor.insertImage(format);
            ++FPending;
            const QSize pixels = shown * ratio;
            FPool.start([decoded = FDecoded, jpeg, pixels, name, generation, receiver = this] {
                if (decoded->Generation != generation)
                    return;
                QByteArray bytes = jpeg;
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::ReadOnly);
                QImageReader reader(&buffer);
                reader.setScaledSize(pixels);
                // A picture that cannot be read keeps its empty frame.
                QImage image = reader.read();
                {
                    const std::lock_guard<std::mutex> hold(decoded->Lock);
                    decoded->Done.push_back({generation, name, std::move(image)});
                }
                QMetaObject::invokeMethod(
                    receiver, [receiver] { receiver->TakeDecoded(); }, Qt::QueuedConnection);
            });
            break;
        }
        }
    }
    // The reader starts at the name, as the designed view leaves it.
    FSite.RichEdit1.setTextCursor(QTextCursor(&document));
    FSite.RichEdit1.verticalScrollBar()->setValue(0);
}

void TRecipeView::TakeDecoded() {
    std::vector<TDecoded::TResult> done;
    {
        const std::lock_guard<std::mutex> hold(FDecoded->Lock);
        done.swap(FDecoded->Done);
    }
    QTextDocument& document = *FSite.RichEdit1.document();
    bool any = false;
    for (TDecoded::TResult& result : done) {
        if (result.Generation != FDecoded->Generation)
            continue;
        FPending = std::max(0, FPending - 1);
        if (result.Image.isNull())
            continue;
        result.Image.setDevicePixelRatio(FSite.RichEdit1.devicePixelRatioF());
        document.addResource(QTextDocument::ImageResource, QUrl(result.Name), result.Image);
        any = true;
    }
    if (any)
        FSite.RichEdit1.viewport()->update();
}

void TRecipeView::FinishPictures() {
    FPool.waitForDone();
    TakeDecoded();
}

bool TRecipeView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FSite.RichEdit1.viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* move = static_cast<QMouseEvent*>(event);
        const bool overLink = !FSite.RichEdit1.anchorAt(move->position().toPoint()).isEmpty();
        FSite.RichEdit1.viewport()->setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() != Qt::LeftButton || FSite.RichEdit1.textCursor().hasSelection())
            return false;
        const QString href = FSite.RichEdit1.anchorAt(release->position().toPoint());
        if (IsWebAddress(href))
            RunGuarded([&] { ShellOpen(href, QString()); });
        return false;
    }
    default:
        return false;
    }
}
