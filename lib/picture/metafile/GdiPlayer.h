#pragma once
// The state of a GDI device context and the drawing primitives that the WMF and
// EMF record players share, rendered onto a QPainter. Coordinates given to the
// primitives are logical; the player maps them through the window/viewport
// (and, for EMF, world) transform to device units, and those to the target.

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QTransform>
#include <memory>
#include <vector>

class QPainter;

namespace Metafile {

enum TMapMode {
    MmText = 1,
    MmLoMetric = 2,
    MmHiMetric = 3,
    MmLoEnglish = 4,
    MmHiEnglish = 5,
    MmTwips = 6,
    MmIsotropic = 7,
    MmAnisotropic = 8
};

enum : int { BkTransparent = 1, BkOpaque = 2 };
enum : int { FillAlternate = 1, FillWinding = 2 };
enum : int { ArcCounterClockwise = 1, ArcClockwise = 2 };
enum : int { StretchHalftone = 4 };
enum : quint32 { TaUpdateCp = 1, TaRight = 2, TaCenter = 6, TaBottom = 8, TaBaseline = 24 };
enum : quint32 { EtoOpaque = 2, EtoClipped = 4, EtoGlyphIndex = 0x10, EtoPdy = 0x2000 };
enum : int { RgnAnd = 1, RgnOr = 2, RgnXor = 3, RgnDiff = 4, RgnCopy = 5 };
enum : int { PsSolid = 0, PsDash, PsDot, PsDashDot, PsDashDotDot, PsNull, PsInsideFrame };
enum : int {
    BsSolid = 0,
    BsNull = 1,
    BsHatched = 2,
    BsPattern = 3,
    BsDibPattern = 5,
    BsDibPatternPt = 6
};

struct TGdiPen {
    int Style = PsSolid;
    double Width = 0; // logical units; 0 draws one device pixel wide
    QColor Color = Qt::black;
    Qt::PenCapStyle Cap = Qt::RoundCap;
    Qt::PenJoinStyle Join = Qt::RoundJoin;
};

struct TGdiBrush {
    int Style = BsSolid;
    QColor Color = Qt::white;
    int Hatch = 0;
    QImage Pattern;
};

struct TGdiFont {
    double Height = 0; // < 0: em height, > 0: cell height, 0: default
    double Width = 0;
    double Escapement = 0; // tenths of a degree, counter-clockwise
    int Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    int Charset = 1;
    QString Face;
};

enum class TObjectKind { Pen, Brush, Font, Other };

struct TGdiObject {
    TObjectKind Kind = TObjectKind::Other;
    TGdiPen Pen;
    TGdiBrush Brush;
    TGdiFont Font;
};

struct TDcState {
    int MapMode = MmText;
    QPointF WindowOrg{0, 0};
    QSizeF WindowExt{1, 1};
    QPointF ViewportOrg{0, 0};
    QSizeF ViewportExt{1, 1};
    QTransform World;

    TGdiPen Pen;
    TGdiBrush Brush;
    TGdiFont Font;
    QColor TextColor = Qt::black;
    QColor BkColor = Qt::white;
    int BkMode = BkOpaque;
    quint32 TextAlign = 0;
    int PolyFillMode = FillAlternate;
    int ArcDirection = ArcCounterClockwise;
    int StretchMode = 1;
    int Rop2 = 13; // R2_COPYPEN
    QPointF CurrentPos{0, 0};

    bool HasClip = false;
    QRegion Clip; // target pixels: exact per pixel and cheap to combine
};

struct TTextRun {
    QPointF Reference;
    QString Text;
    QList<double> Dx; // logical advance per UTF-16 unit, may be empty
    quint32 Options = 0;
    bool HasRect = false;
    QRectF Rect;
};

enum class TArcKind { Arc, Chord, Pie, ArcTo };

class TGdiPlayer {
public:
    // With a null painter nothing is drawn; the device-unit bounds of what would
    // be drawn are gathered instead. deviceDpi serves the fixed mapping modes.
    TGdiPlayer(QPainter* painter, const QTransform& deviceToTarget, const QRectF& target,
               QSizeF deviceDpi);
    ~TGdiPlayer();
    TGdiPlayer(const TGdiPlayer&) = delete;
    TGdiPlayer& operator=(const TGdiPlayer&) = delete;

    TDcState& Dc() { return FDc; }
    QRectF Bounds() const { return FBounds; }
    // True once playing has taken longer than any sane picture needs; a hostile
    // file of cheap-to-store, costly-to-draw records then stops early.
    bool OutOfTime();

    void SaveDc();
    void RestoreDc(int which); // < 0: relative, > 0: absolute level

    // Mapping. Zero extents are refused as GDI refuses them.
    void SetMapMode(int mode);
    void SetWindowOrg(QPointF p) { FDc.WindowOrg = p; }
    void SetViewportOrg(QPointF p) { FDc.ViewportOrg = p; }
    void SetWindowExt(QSizeF s);
    void SetViewportExt(QSizeF s);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void SetWorldTransform(const QTransform& t);
    void ModifyWorldTransform(const QTransform& t, int mode);
    QTransform LogicalToDevice() const;

    // Object table.
    static constexpr int MaxObjects = 65536;
    int AddObject(TGdiObject object); // first free slot (WMF); -1 when full
    void PutObject(qint64 index, TGdiObject object);
    void SelectObject(qint64 index);
    void DeleteObject(qint64 index);
    void SelectStockObject(int id);

    // Figures.
    void MoveTo(QPointF p);
    void LineTo(QPointF p);
    void Polyline(const QPolygonF& points);
    void PolylineTo(const QPolygonF& points);
    void PolyBezier(const QPolygonF& points);
    void PolyBezierTo(const QPolygonF& points);
    void Polygon(const QPolygonF& points);
    void PolyPolygon(const QList<QPolygonF>& polygons);
    void PolyPolyline(const QList<QPolygonF>& polylines);
    void Rectangle(const QRectF& rect);
    void RoundRect(const QRectF& rect, QSizeF corner);
    void Ellipse(const QRectF& rect);
    void ArcFigure(TArcKind kind, const QRectF& rect, QPointF start, QPointF end);
    void AngleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void SetPixel(QPointF p, const QColor& color);

    void TextOut(const TTextRun& run);

    // Draws source (in image pixels) of image into dest (logical); either may be mirrored.
    void StretchImage(const QRectF& dest, const QImage& image, const QRectF& source, quint32 rop);
    // A blit without a source: pattern, black, white or inversion.
    void PatBlt(const QRectF& dest, quint32 rop);

    // Paths.
    void BeginPath();
    void EndPath() { FInPath = false; }
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(int mode);

    // Clipping.
    void IntersectClipRect(const QRectF& rect);
    void ExcludeClipRect(const QRectF& rect);
    void OffsetClip(QPointF logicalOffset);
    void SetClipRects(const QList<QRectF>& deviceRects, int mode);

    // The text of a byte string in a font's character set.
    static QString DecodeAnsi(const QByteArray& bytes, int charset);

private:
    QRegion TargetRegion(const QPainterPath& devicePath) const;
    void CombineClip(const QRegion& region, int mode);
    void AddFigure(const QPainterPath& path);
    void Paint(const QPainterPath& path, bool fill, bool stroke);
    void PaintShape(const QPainterPath& path, bool fill, bool stroke) {
        if (FInPath)
            AddFigure(path);
        else
            Paint(path, fill, stroke);
    }
    void ApplyClip();
    bool PrepareTransform(const QTransform& logicalToTarget);
    QPen MakePen(const QTransform& logicalToTarget) const;
    void AddBounds(const QRectF& deviceRect);
    void ArcPath(QPainterPath& path, const QRectF& rect, QPointF start, QPointF end, bool moveTo);

    QPainter* FPainter;
    QTransform FDeviceToTarget;
    QTransform FBase;
    QRectF FTarget;
    QSizeF FDeviceDpi;
    bool FEntryHadClip = false;
    QPainterPath FEntryClip;
    bool FClipDirty = true;
    bool FRasterOps = false;

    TDcState FDc;
    std::vector<TDcState> FSaved;
    std::vector<std::unique_ptr<TGdiObject>> FObjects;

    QElapsedTimer FClock;
    int FRecordsSinceCheck = 0;
    bool FOutOfTime = false;

    bool FInPath = false;
    QPainterPath FPath; // logical units
    QRectF FBounds;
};

} // namespace Metafile
