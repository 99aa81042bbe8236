#pragma once
// Builds small WMF and EMF files record by record for tests.

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <cstring>
#include <initializer_list>

namespace MetafileWriter {

inline void Put16(QByteArray& b, qint64 v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

inline void Put32(QByteArray& b, qint64 v) {
    Put16(b, v & 0xFFFF);
    Put16(b, (v >> 16) & 0xFFFF);
}

inline qint64 FloatBits(float f) {
    quint32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

inline qint64 ColorRef(QColor c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

// A BITMAPINFOHEADER, colour table and bits; rows are given bottom row first
// unless the height is negative.
inline QByteArray Dib(int width, int height, int bpp, const QList<QRgb>& palette,
                      const QByteArray& bits, quint32 compression = 0) {
    QByteArray b;
    Put32(b, 40);
    Put32(b, width);
    Put32(b, height);
    Put16(b, 1);
    Put16(b, bpp);
    Put32(b, compression);
    Put32(b, bits.size());
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, palette.size());
    Put32(b, 0);
    for (QRgb c : palette) {
        b.append(char(qBlue(c)));
        b.append(char(qGreen(c)));
        b.append(char(qRed(c)));
        b.append(char(0));
    }
    return b + bits;
}

class TWmf {
public:
    // Parameters are 16-bit words in file order (the GDI arguments reversed).
    TWmf& Rec(quint16 function, std::initializer_list<qint64> words, const QByteArray& tail = {}) {
        QByteArray params;
        for (qint64 w : words)
            Put16(params, w);
        params += tail;
        if (params.size() % 2)
            params.append(char(0));
        QByteArray rec;
        Put32(rec, 3 + params.size() / 2);
        Put16(rec, function);
        FRecords += rec + params;
        return *this;
    }
    TWmf& Raw(const QByteArray& bytes) {
        FRecords += bytes;
        return *this;
    }
    TWmf& WindowOrg(int x, int y) { return Rec(0x020B, {y, x}); }
    TWmf& WindowExt(int x, int y) { return Rec(0x020C, {y, x}); }
    TWmf& ViewportOrg(int x, int y) { return Rec(0x020D, {y, x}); }
    TWmf& ViewportExt(int x, int y) { return Rec(0x020E, {y, x}); }
    TWmf& MapMode(int mode) { return Rec(0x0103, {mode}); }
    TWmf& Pen(int style, int width, QColor c) {
        return Rec(0x02FA, {style, width, 0, ColorRef(c) & 0xFFFF, ColorRef(c) >> 16});
    }
    TWmf& Brush(int style, QColor c, int hatch = 0) {
        return Rec(0x02FC, {style, ColorRef(c) & 0xFFFF, ColorRef(c) >> 16, hatch});
    }
    TWmf& Select(int index) { return Rec(0x012D, {index}); }
    TWmf& Delete(int index) { return Rec(0x01F0, {index}); }
    TWmf& Rectangle(int l, int t, int r, int b) { return Rec(0x041B, {b, r, t, l}); }
    TWmf& Ellipse(int l, int t, int r, int b) { return Rec(0x0418, {b, r, t, l}); }
    TWmf& MoveTo(int x, int y) { return Rec(0x0214, {y, x}); }
    TWmf& LineTo(int x, int y) { return Rec(0x0213, {y, x}); }
    TWmf& SaveDc() { return Rec(0x001E, {}); }
    TWmf& RestoreDc(int n) { return Rec(0x0127, {n}); }
    TWmf& IntersectClip(int l, int t, int r, int b) { return Rec(0x0416, {b, r, t, l}); }
    TWmf& PolyFillMode(int mode) { return Rec(0x0106, {mode}); }
    TWmf& Polygon(std::initializer_list<QPoint> points) {
        QByteArray tail;
        for (QPoint p : points) {
            Put16(tail, p.x());
            Put16(tail, p.y());
        }
        return Rec(0x0324, {qint64(points.size())}, tail);
    }
    TWmf& TextOut(int x, int y, const QByteArray& text) {
        QByteArray tail = text;
        if (tail.size() % 2)
            tail.append(char(0));
        Put16(tail, y);
        Put16(tail, x);
        return Rec(0x0521, {text.size()}, tail);
    }
    TWmf& Font(int height, const QByteArray& face) {
        QByteArray tail;
        for (int i = 0; i < 8; ++i)
            tail.append(char(0));
        tail += face;
        tail.append(char(0));
        return Rec(0x02FB, {height, 0, 0, 0, 400}, tail);
    }
    TWmf& TextColor(QColor c) { return Rec(0x0209, {ColorRef(c) & 0xFFFF, ColorRef(c) >> 16}); }
    TWmf& BkMode(int mode) { return Rec(0x0102, {mode}); }
    TWmf& StretchDib(int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                     const QByteArray& dib) {
        return Rec(0x0F43, {0x0020, 0x00CC, 0, sh, sw, sy, sx, h, w, y, x}, dib);
    }

    QByteArray Bytes(bool placeable = false, QRect box = {}, int inch = 96,
                     int objects = 16) const {
        QByteArray out;
        if (placeable) {
            Put32(out, 0x9AC6CDD7);
            Put16(out, 0);
            Put16(out, box.left());
            Put16(out, box.top());
            Put16(out, box.left() + box.width());
            Put16(out, box.top() + box.height());
            Put16(out, inch);
            Put32(out, 0);
            Put16(out, 0);
        }
        QByteArray records = FRecords;
        Put32(records, 3); // EOF
        Put16(records, 0);
        Put16(out, 1);
        Put16(out, 9);
        Put16(out, 0x0300);
        Put32(out, 9 + records.size() / 2);
        Put16(out, objects);
        Put32(out, 0);
        Put16(out, 0);
        return out + records;
    }

private:
    QByteArray FRecords;
};

class TEmf {
public:
    // Parameters are 32-bit values after the type and size.
    TEmf& Rec(quint32 type, std::initializer_list<qint64> dwords, const QByteArray& tail = {}) {
        QByteArray params;
        for (qint64 d : dwords)
            Put32(params, d);
        params += tail;
        while (params.size() % 4)
            params.append(char(0));
        QByteArray rec;
        Put32(rec, type);
        Put32(rec, 8 + params.size());
        FRecords += rec + params;
        ++FCount;
        return *this;
    }
    TEmf& MapMode(int mode) { return Rec(17, {mode}); }
    TEmf& WindowExt(int x, int y) { return Rec(9, {x, y}); }
    TEmf& WindowOrg(int x, int y) { return Rec(10, {x, y}); }
    TEmf& ViewportExt(int x, int y) { return Rec(11, {x, y}); }
    TEmf& ViewportOrg(int x, int y) { return Rec(12, {x, y}); }
    TEmf& Brush(int index, int style, QColor c, int hatch = 0) {
        return Rec(39, {index, style, ColorRef(c), hatch});
    }
    TEmf& Pen(int index, int style, int width, QColor c) {
        return Rec(38, {index, style, width, 0, ColorRef(c)});
    }
    TEmf& Select(qint64 index) { return Rec(37, {index}); }
    TEmf& Rectangle(int l, int t, int r, int b) { return Rec(43, {l, t, r, b}); }
    TEmf& Ellipse(int l, int t, int r, int b) { return Rec(42, {l, t, r, b}); }
    TEmf& WorldTransform(float m11, float m12, float m21, float m22, float dx, float dy) {
        return Rec(35, {FloatBits(m11), FloatBits(m12), FloatBits(m21), FloatBits(m22),
                        FloatBits(dx), FloatBits(dy)});
    }
    TEmf& ModifyWorldTransform(float m11, float m22, float dx, float dy, int mode) {
        return Rec(36, {FloatBits(m11), 0, 0, FloatBits(m22), FloatBits(dx), FloatBits(dy), mode});
    }
    TEmf& TextOutW(int x, int y, const QString& text) {
        QByteArray tail;
        for (QChar c : text)
            Put16(tail, c.unicode());
        // bounds, graphics mode, scales, reference, count, offString, options, rect, offDx
        return Rec(84, {0, 0, -1, -1, 1, 0, 0, x, y, text.size(), 76, 0, 0, 0, -1, -1, 0}, tail);
    }
    TEmf& StretchDibits(int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                        const QByteArray& dib, int headerSize) {
        const qint64 bits = dib.size() - headerSize;
        return Rec(81,
                   {0, 0, -1, -1, x, y, sx, sy, sw, sh, 80, headerSize, 80 + headerSize, bits, 0,
                    0x00CC0020, w, h},
                   dib);
    }

    // frame in 0.01 mm, inclusive; the reference device is 96 dpi.
    QByteArray Bytes(QRect frame, int handles = 16) const {
        QByteArray records = FRecords;
        Put32(records, 14);
        Put32(records, 20);
        Put32(records, 0);
        Put32(records, 16);
        Put32(records, 20);
        QByteArray h;
        Put32(h, 1);
        Put32(h, 88);
        for (int v : {0, 0, 100, 100})
            Put32(h, v);
        for (int v : {frame.left(), frame.top(), frame.right(), frame.bottom()})
            Put32(h, v);
        Put32(h, 0x464D4520);
        Put32(h, 0x10000);
        Put32(h, 88 + records.size());
        Put32(h, FCount + 2);
        Put16(h, handles);
        Put16(h, 0);
        Put32(h, 0);
        Put32(h, 0);
        Put32(h, 0);
        Put32(h, 960); // 960 px over 254 mm: 96 dpi
        Put32(h, 960);
        Put32(h, 254);
        Put32(h, 254);
        return h + records;
    }

private:
    QByteArray FRecords;
    int FCount = 0;
};

} // namespace MetafileWriter
