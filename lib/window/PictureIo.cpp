#include "PictureIo.h"

#include "ADODB.h"
#include "Clipboard.h"
#include "ImageControl.h"

#include <QBuffer>
#include <cmath>
#include <cstdint>

bool LoadPictureFromBlob(TImage& image, const QString& fieldName, TADOQuery& query) {
    try {
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        TField& field = query.FieldByName(fieldName);
        if (field.IsNull()) {
            image.Picture().Clear();
            image.PictureChanged();
            return true;
        }
        field.SaveToStream(stream);
        image.Picture().Clear();
        auto jpeg = std::make_unique<TJPEGImage>();
        stream.seek(0);
        jpeg->LoadFromStream(stream);
        image.Picture().SetGraphic(std::move(jpeg));
        image.PictureChanged();
        return true;
    } catch (...) {
        image.PictureChanged();
        return false;
    }
}

bool SavePictureToBlob(TImage& image, const QString& fieldName, TADOQuery& query) {
    const TGraphic* graphic = image.Picture().Graphic();
    if (!graphic)
        return false;
    TJPEGImage jpeg;
    jpeg.Assign(*graphic);
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    jpeg.SaveToStream(stream);
    stream.seek(0);
    query.Edit();
    query.FieldByName(fieldName).LoadFromStream(stream);
    query.Post();
    return true;
}

namespace {
// Nearest integer, halfway cases to the even one.
int RoundHalfEven(long double value) {
    const long double floor = std::floor(value);
    const long double diff = value - floor;
    long double result = floor;
    if (diff > 0.5L || (diff == 0.5L && std::fmod(floor, 2.0L) != 0))
        result = floor + 1;
    return static_cast<int>(result);
}

// The product is a 32-bit one, wrapping as such a product does.
int32_t Product32(int a, int b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
} // namespace

TFitResult FitSize(int w, int h, int boxWidth, int boxHeight) {
    const long double ratioH = static_cast<long double>(h) / boxHeight;
    const long double ratioW = static_cast<long double>(w) / boxWidth;
    if (ratioH >= ratioW)
        return {RoundHalfEven(static_cast<long double>(Product32(boxHeight, w)) / h), boxHeight};
    return {boxWidth, RoundHalfEven(static_cast<long double>(Product32(boxWidth, h)) / w)};
}

void FitImageToBox(TImage& image, int boxWidth, int boxHeight) {
    image.SetStretch(true);
    const int w = image.Picture().Width();
    const int h = image.Picture().Height();
    // Nothing to fit: 0/0 has no proportions, so the box keeps its size.
    if ((w == 0 && h == 0) || boxWidth <= 0 || boxHeight <= 0)
        return;
    const TFitResult fit = FitSize(w, h, boxWidth, boxHeight);
    image.resize(fit.Width, fit.Height);
}

bool PastePicture(TImage& image) {
    TPicture& picture = image.Picture();
    try {
        TClipboard& clipboard = Clipboard();
        if (clipboard.HasBitmap()) {
            if (!dynamic_cast<TBitmap*>(picture.Graphic()))
                picture.SetGraphic(std::make_unique<TBitmap>());
            image.PictureChanged();
            static_cast<TBitmap*>(picture.Graphic())->SetImage(clipboard.Bitmap());
            image.PictureChanged();
        } else if (clipboard.HasFormat(MimePrivatePicture) || clipboard.HasFormat(MimeWmf) ||
                   clipboard.HasFormat(MimeEmf)) {
            TGraphic* held = picture.Graphic();
            if (!held)
                return true; // nothing to load into
            if (!dynamic_cast<TMetafile*>(held))
                throw EInvalidGraphic(QStringLiteral("不支持的剪贴板格式"));
            const QString format = clipboard.HasFormat(MimeWmf) ? MimeWmf : MimeEmf;
            QByteArray bytes = clipboard.Data(format);
            QBuffer stream(&bytes);
            stream.open(QIODevice::ReadOnly);
            auto metafile = std::make_unique<TMetafile>();
            metafile->LoadFromStream(stream);
            picture.SetGraphic(std::move(metafile));
            image.PictureChanged();
        }
        return true;
    } catch (...) {
        return false;
    }
}
