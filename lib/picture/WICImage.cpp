#include "Graphics.h"
#include "PictureUtils.h"

#include <cstdarg>
#include <cstring>
#include <tiffio.h>

namespace {

EInvalidGraphic InvalidTiff() {
    return EInvalidGraphic(QStringLiteral("TIFF 图像无效"));
}

// What the libtiff callbacks see: the file in memory and whether it complained.
struct TTiffSource {
    const char* Data;
    toff_t Size;
    toff_t Pos;
    int Errors;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t count) {
    auto* src = static_cast<TTiffSource*>(handle);
    if (count <= 0 || src->Pos >= src->Size)
        return 0;
    const toff_t n = std::min<toff_t>(static_cast<toff_t>(count), src->Size - src->Pos);
    std::memcpy(buffer, src->Data + src->Pos, n);
    src->Pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* src = static_cast<TTiffSource*>(handle);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = src->Pos;
    else if (whence == SEEK_END)
        base = src->Size;
    // Offsets are unsigned; a wrap-around means a seek before the start.
    const toff_t target = base + offset;
    if ((whence != SEEK_SET && static_cast<int64_t>(offset) < 0 && target > base) ||
        (whence != SEEK_SET && static_cast<int64_t>(offset) > 0 && target < base))
        return static_cast<toff_t>(-1);
    src->Pos = target;
    return target;
}

int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t handle) {
    return static_cast<TTiffSource*>(handle)->Size;
}

int MapProc(thandle_t handle, void** base, toff_t* size) {
    auto* src = static_cast<TTiffSource*>(handle);
    *base = const_cast<char*>(src->Data); // mapped read-only: libtiff never writes to it
    *size = src->Size;
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

int RecordError(TIFF*, void* userData, const char*, const char*, va_list) {
    ++static_cast<TTiffSource*>(userData)->Errors;
    return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

void SilenceGlobalHandlers() {
    // Some messages bypass the per-file handlers; they must not reach stderr either.
    static const bool once = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)once;
}

struct TTiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct TOptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

QImage DecodeTiff(const QByteArray& data) {
    SilenceGlobalHandlers();
    TTiffSource src{data.constData(), static_cast<toff_t>(data.size()), 0, 0};
    std::unique_ptr<TIFFOpenOptions, TOptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options)
        return {};
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), MaxPictureBytes);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), RecordError, &src);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, &src);
    std::unique_ptr<TIFF, TTiffCloser> tif(
        TIFFClientOpenExt("picture", "r", &src, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                          MapProc, UnmapProc, options.get()));
    if (!tif || src.Errors != 0)
        return {};
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        return {};
    if (width == 0 || height == 0 || qint64(width) * height > MaxPicturePixels)
        return {};
    char message[1024];
    if (!TIFFRGBAImageOK(tif.get(), message))
        return {};
    // libtiff hands out premultiplied R,G,B,A bytes, which is this format.
    QImage image(int(width), int(height), QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return {};
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height,
                                   reinterpret_cast<uint32_t*>(image.bits()), ORIENTATION_TOPLEFT,
                                   1) ||
        src.Errors != 0)
        return {};
    bool opaque = true;
    for (int y = 0; y < image.height() && opaque; ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            if (row[4 * x + 3] != 0xFF) {
                opaque = false;
                break;
            }
    }
    if (opaque)
        image.reinterpretAsFormat(QImage::Format_RGBX8888);
    return image;
}

} // namespace

void TWICImage::LoadFromStream(QIODevice& source) {
    QByteArray data = PictureUtils::ReadAllBounded(source);
    QImage image = DecodeTiff(data);
    if (image.isNull())
        throw InvalidTiff();
    FData = std::move(data);
    FImage = std::move(image);
}

std::unique_ptr<TGraphic> TWICImage::Clone() const {
    return std::make_unique<TWICImage>(*this);
}
