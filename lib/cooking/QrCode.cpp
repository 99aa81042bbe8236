#include "QrCode.h"

#include "SysUtils.h"

#include <qrencode.h>

#include <QRegularExpression>
#include <algorithm>
#include <memory>

namespace {
struct TInputFree {
    void operator()(QRinput* input) const { QRinput_free(input); }
};
struct TQrFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

// A piece's place, "(2/5)" and its line end.
QString PlaceLine(int index, int count) {
    return QStringLiteral("(%1/%2)\n").arg(index).arg(count);
}

} // namespace

TQrCode EncodeQr(const QByteArray& bytes) {
    // ECI 26 says the bytes are UTF-8; without it readers guess, and take
    // Chinese text for Shift JIS.
    std::unique_ptr<QRinput, TInputFree> input(QRinput_new2(0, QR_ECLEVEL_M));
    if (!input || QRinput_appendECIheader(input.get(), 26) != 0 ||
        QRinput_append(input.get(), QR_MODE_8, int(bytes.size()),
                       reinterpret_cast<const unsigned char*>(bytes.constData())) != 0)
        throw Exception(QStringLiteral("无法生成二维码"));
    std::unique_ptr<QRcode, TQrFree> code(QRcode_encodeInput(input.get()));
    if (!code)
        throw Exception(QStringLiteral("清单太长，无法生成二维码"));
    TQrCode out;
    out.Width = code->width;
    out.Dark.resize(size_t(code->width) * size_t(code->width));
    for (size_t i = 0; i < out.Dark.size(); ++i)
        out.Dark[i] = code->data[i] & 1;
    return out;
}

QStringList QrPieces(const QString& text, int maxBytes) {
    if (text.toUtf8().size() <= maxBytes)
        return {text};
    // Room for the place line, "(99/99)\n"
    const qsizetype room = std::max(16, maxBytes - 12);
    QStringList pieces;
    qsizetype from = 0;
    while (from < text.size()) {
        // As far as the bytes allow, then back to the last line end in it.
        qsizetype to = from, bytes = 0, lineEnd = -1;
        while (to < text.size()) {
            const qsizetype step = text[to].isHighSurrogate() && to + 1 < text.size() ? 2 : 1;
            const qsizetype size = QStringView(text).sliced(to, step).toUtf8().size();
            if (bytes + size > room)
                break;
            bytes += size;
            to += step;
            if (text[to - 1] == u'\n')
                lineEnd = to;
        }
        if (to < text.size() && lineEnd > from)
            to = lineEnd;
        if (to == from)
            to = from + 1;
        pieces.append(text.mid(from, to - from));
        from = to;
    }
    for (qsizetype i = 0; i < pieces.size(); ++i)
        pieces[i].prepend(PlaceLine(int(i + 1), int(pieces.size())));
    return pieces;
}

QString JoinQrPieces(const QStringList& pieces) {
    if (pieces.size() == 1)
        return pieces.front();
    static const QRegularExpression place(QStringLiteral("^\\((\\d+)/(\\d+)\\)\n"));
    std::vector<std::pair<int, QString>> ordered;
    for (const QString& piece : pieces) {
        const auto m = place.match(piece);
        if (!m.hasMatch())
            return QString();
        ordered.push_back({m.captured(1).toInt(), piece.mid(m.capturedLength())});
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QString text;
    for (const auto& [index, body] : ordered)
        text += body;
    return text;
}
