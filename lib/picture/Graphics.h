#pragma once
// Graphic kinds a picture holder can keep, each with its own pixel size.
// Reading from a device treats the bytes as hostile: bounded, never crashing.

#include "PictureLimits.h"
#include "SysUtils.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>

class QPainter;

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual const char* ClassName() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const { return Width() == 0 || Height() == 0; }

    // Opens the file (EFOpenError) and reads it as this kind.
    virtual void LoadFromFile(const QString& path);
    virtual void LoadFromStream(QIODevice& source) = 0;
    virtual void SaveToStream(QIODevice& dest) const = 0;
    // Draws scaled into rect.
    virtual void Draw(QPainter& painter, const QRectF& rect) const = 0;
    // The picture as a bitmap of its own pixel size; images without
    // transparency support see transparent areas as white.
    virtual QImage ToImage() const = 0;
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
};

class TBitmap : public TGraphic {
public:
    const char* ClassName() const override { return "TBitmap"; }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    void LoadFromStream(QIODevice& source) override; // "Bitmap image is not valid"
    void SaveToStream(QIODevice& dest) const override;
    void Draw(QPainter& painter, const QRectF& rect) const override;
    QImage ToImage() const override { return FImage; }
    std::unique_ptr<TGraphic> Clone() const override;

    void Assign(const TGraphic& source); // any kind becomes pixels
    void SetImage(QImage image);
    const QImage& Image() const { return FImage; }
    // JPEG bytes this bitmap was decoded from, if any; lets exporters keep them unchanged.
    const QByteArray& SourceJpeg() const { return FSourceJpeg; }
    void SetSourceJpeg(QByteArray bytes) { FSourceJpeg = std::move(bytes); }

private:
    QImage FImage;
    QByteArray FSourceJpeg;
};

class TJPEGImage : public TGraphic {
public:
    const char* ClassName() const override { return "TJPEGImage"; }
    int Width() const override; // from the header, without decoding
    int Height() const override;
    // A file must at least have a readable header, or its error is raised here.
    void LoadFromFile(const QString& path) override;
    // Takes over the bytes; decoding waits until drawn or converted.
    void LoadFromStream(QIODevice& source) override;
    void SaveToStream(QIODevice& dest) const override; // the bytes unchanged
    void Draw(QPainter& painter, const QRectF& rect) const override;
    QImage ToImage() const override; // decodes; "JPEG error #%d"
    std::unique_ptr<TGraphic> Clone() const override;

    // Compresses any graphic at quality 90, baseline, 24-bit colour; a JPEG is taken unchanged.
    void Assign(const TGraphic& source);
    const QByteArray& Data() const { return FData; }
    void SetData(QByteArray bytes);

private:
    QByteArray FData;
    int FWidth = 0;
    int FHeight = 0;
    int FHeaderError = 0;
    mutable QImage FDecoded;
};

// A kind that keeps the file's bytes, written back unchanged, and the image it
// decoded from them when loading.
class TDecodedGraphic : public TGraphic {
public:
    const QByteArray& Data() const { return FData; }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    void SaveToStream(QIODevice& dest) const override;
    void Draw(QPainter& painter, const QRectF& rect) const override;
    QImage ToImage() const override { return FImage; }

protected:
    QByteArray FData;
    QImage FImage;
};

class TIcon : public TDecodedGraphic {
public:
    const char* ClassName() const override { return "TIcon"; }
    // Keeps the largest image of the icon.
    void LoadFromStream(QIODevice& source) override; // "Icon image is not valid"
    std::unique_ptr<TGraphic> Clone() const override;
};

class TMetafile : public TGraphic {
public:
    TMetafile();
    ~TMetafile() override;
    const char* ClassName() const override { return "TMetafile"; }
    int Width() const override; // the metafile's frame at 96 dpi
    int Height() const override;
    void LoadFromStream(QIODevice& source) override; // "图元文件无效"
    void SaveToStream(QIODevice& dest) const override;
    void Draw(QPainter& painter, const QRectF& rect) const override;
    QImage ToImage() const override;
    std::unique_ptr<TGraphic> Clone() const override;
    bool Enhanced() const;

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

class TWICImage : public TDecodedGraphic {
public:
    const char* ClassName() const override { return "TWICImage"; }
    void LoadFromStream(QIODevice& source) override; // "TIFF 图像无效"
    std::unique_ptr<TGraphic> Clone() const override;
};

// Holds at most one graphic of one kind.
class TPicture {
public:
    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic) { FGraphic = std::move(graphic); }
    void Clear() { FGraphic.reset(); }
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }
    // Kind from the extension, any case; replaces the graphic only on success.
    // "Unknown picture file extension (.%s)"
    void LoadFromFile(const QString& path);

private:
    std::unique_ptr<TGraphic> FGraphic;
};

// New empty graphic for a file extension without the dot, any case; null when unknown.
std::unique_ptr<TGraphic> GraphicForExtension(const QString& extension);
// Whether TPicture::LoadFromFile knows the kind of this file by its extension.
bool IsPictureFileName(const QString& path);
// One entry of the open-picture dialog's list of file types.
struct TPictureFileType {
    QString Label;        // e.g. "Bitmaps (*.bmp)"
    QStringList Patterns; // e.g. {"*.bmp"}
};
// The open-picture dialog's list of file types, "All (...)" first.
QList<TPictureFileType> PictureFileTypes();
