// TGdiPlayer's text: byte strings in a font's character set, and text runs.
#include "GdiPlayer.h"
#include "GdiSupport.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>

namespace Metafile {

using namespace GdiSupport;

namespace {

const char* CodecForCharset(int charset) {
    switch (charset) {
    case 0:
        return "windows-1252";
    case 1:
        return "GBK"; // the system code page of this program's users
    case 2:
        return "ISO-8859-1";
    case 77:
        return "macintosh";
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 130:
        return "windows-1361";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    case 255:
        return "IBM437";
    default:
        return "windows-1252";
    }
}

} // namespace

// ---- text ------------------------------------------------------------------

QString TGdiPlayer::DecodeAnsi(const QByteArray& bytes, int charset) {
    bool ascii = true;
    for (char c : bytes)
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(CodecForCharset(charset));
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

void TGdiPlayer::TextOut(const TTextRun& run) {
    if (FInPath || run.Text.isEmpty() || !qGuiApp) // fonts need the GUI application
        return;
    if ((run.Options & EtoGlyphIndex) != 0)
        return; // glyph indices of an unknown font cannot be mapped back to characters
    const QTransform l2d = LogicalToDevice();
    const QTransform l2t = l2d * FDeviceToTarget;
    if (!Finite(l2t) || l2t.determinant() == 0)
        return;

    if (run.HasRect && (run.Options & EtoOpaque) != 0) {
        const TGdiBrush saved = FDc.Brush;
        const TGdiPen savedPen = FDc.Pen;
        FDc.Brush = TGdiBrush{BsSolid, FDc.BkColor, 0, {}};
        FDc.Pen.Style = PsNull;
        QPainterPath box;
        box.addRect(run.Rect.normalized());
        Paint(box, true, false);
        FDc.Brush = saved;
        FDc.Pen = savedPen;
    }

    const QPointF reference = (FDc.TextAlign & TaUpdateCp) ? FDc.CurrentPos : run.Reference;
    const QPointF origin = l2t.map(QPointF(0, 0));
    const QPointF xAxis = l2t.map(QPointF(1, 0)) - origin;
    const QPointF yAxis = l2t.map(QPointF(0, 1)) - origin;
    const double sx = Length(xAxis), sy = Length(yAxis);
    if (sx == 0 || sy == 0)
        return;

    const TGdiFont& f = FDc.Font;
    // An unset height is the system font's, about 16 device pixels.
    const double deviceScale = std::sqrt(std::abs(FDeviceToTarget.determinant()));
    double em = f.Height == 0 ? 16 * deviceScale : std::abs(f.Height) * sy;
    if (!std::isfinite(em) || em < MinTextPixels || em > MaxTextPixels)
        return;
    QFont font(f.Face.isEmpty() ? QStringLiteral("Arial") : f.Face);
    font.setPixelSize(std::max(1, int(std::lround(em))));
    if (f.Height > 0) { // a cell height includes the internal leading
        const QFontMetricsF probe(font);
        if (probe.height() > 0)
            font.setPixelSize(std::max(1, int(std::lround(em * em / probe.height()))));
    }
    font.setWeight(QFont::Weight(std::clamp(f.Weight == 0 ? 400 : f.Weight, 1, 1000)));
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    if (f.Width > 0) {
        const QFontMetricsF probe(font);
        const double wanted = f.Width * sx;
        if (probe.averageCharWidth() > 0) {
            const int stretch = int(std::lround(100 * wanted / probe.averageCharWidth()));
            font.setStretch(std::clamp(stretch, 1, 4000));
        }
    }
    const QFontMetricsF fm(font);

    // Advances: the record's own, else the font's.
    QList<double> positions;
    double width = 0;
    if (!run.Dx.isEmpty()) {
        positions.reserve(run.Text.size());
        for (qsizetype i = 0; i < run.Text.size(); ++i) {
            positions.append(width);
            width += (i < run.Dx.size() ? run.Dx[i] : 0) * sx;
        }
    } else {
        width = fm.horizontalAdvance(run.Text);
    }
    if (!std::isfinite(width))
        return;

    double x0 = 0;
    if ((FDc.TextAlign & TaCenter) == TaCenter)
        x0 = -width / 2;
    else if (FDc.TextAlign & TaRight)
        x0 = -width;
    double baseline = fm.ascent();
    if ((FDc.TextAlign & TaBaseline) == TaBaseline)
        baseline = 0;
    else if (FDc.TextAlign & TaBottom)
        baseline = -fm.descent();

    const double angle = std::atan2(xAxis.y(), xAxis.x()) * 180 / M_PI - f.Escapement / 10.0;
    const QPointF anchor = l2t.map(reference);
    QTransform local;
    local.translate(anchor.x(), anchor.y());
    local.rotate(angle);
    const QRectF box(x0, baseline - fm.ascent(), width, fm.ascent() + fm.descent());

    if (FDc.TextAlign & TaUpdateCp)
        FDc.CurrentPos = reference + QPointF(width / sx * (xAxis.x() < 0 ? -1 : 1), 0);

    if (!FPainter) {
        AddBounds(FDeviceToTarget.inverted().mapRect(local.mapRect(box)));
        return;
    }
    if (!Finite(local) || !Finite(local.mapRect(box)))
        return;
    ApplyClip();
    FPainter->save();
    if (run.HasRect && (run.Options & EtoClipped) != 0) {
        FPainter->setWorldTransform(l2t * FBase);
        FPainter->setClipRect(run.Rect.normalized(), Qt::IntersectClip);
    }
    FPainter->setWorldTransform(local * FBase);
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (FDc.BkMode == BkOpaque && !(run.HasRect && (run.Options & EtoOpaque)))
        FPainter->fillRect(box, FDc.BkColor);
    FPainter->setFont(font);
    FPainter->setPen(FDc.TextColor);
    if (positions.isEmpty()) {
        FPainter->drawText(QPointF(x0, baseline), run.Text);
    } else {
        for (qsizetype i = 0; i < run.Text.size(); ++i) {
            const bool pair = run.Text[i].isHighSurrogate() && i + 1 < run.Text.size();
            FPainter->drawText(QPointF(x0 + positions[i], baseline), run.Text.mid(i, pair ? 2 : 1));
            if (pair)
                ++i;
        }
    }
    FPainter->restore();
}

} // namespace Metafile
