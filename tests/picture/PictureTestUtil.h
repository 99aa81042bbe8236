#pragma once
// Shared bits of the picture tests: sample and fixture paths, file helpers.

#include "../common/TestFiles.h"
#include "Graphics.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>

namespace PictureTest {

// Image plugins (ico) want an application object.
class TAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QGuiApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_picture";
            static char* argv[] = {name, nullptr};
            FApp = std::make_unique<QGuiApplication>(argc, argv);
        }
    }

    // Before exit: Qt's own globals are gone by the time gtest frees environments.
    void TearDown() override { FApp.reset(); }

private:
    std::unique_ptr<QGuiApplication> FApp;
};

inline const bool AppRegistered = (::testing::AddGlobalTestEnvironment(new TAppEnvironment), true);

// Folder of the shared sample pictures, empty when the samples are not there.
inline QString SamplesDir() {
    const QByteArray root = qgetenv("MYCOOK_TESTDATA");
    if (root.isEmpty())
        return {};
    const QString dir = QString::fromLocal8Bit(root) + QStringLiteral("/pictures");
    return QFile::exists(dir) ? dir : QString();
}

inline QString FixturesDir() {
    const QByteArray root = qgetenv("MYCOOK_SOURCE_DIR");
    return QString::fromLocal8Bit(root) + QStringLiteral("/tests/picture/fixtures");
}

// Feeds bytes to a graphic the way a blob or a file would.
inline void LoadBytes(TGraphic& graphic, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    graphic.LoadFromStream(buffer);
}

inline QByteArray SaveBytes(const TGraphic& graphic) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    graphic.SaveToStream(buffer);
    return buffer.data();
}

// Largest difference of any colour channel between two pictures of one size.
inline int MaxChannelDiff(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            worst = std::max({worst, std::abs(qRed(p[col]) - qRed(q[col])),
                              std::abs(qGreen(p[col]) - qGreen(q[col])),
                              std::abs(qBlue(p[col]) - qBlue(q[col]))});
        }
    }
    return worst;
}

// Mean absolute difference per channel.
inline double MeanChannelDiff(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) +
                   std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace PictureTest

#define SKIP_WITHOUT_SAMPLES()                                                                     \
    do {                                                                                           \
        if (PictureTest::SamplesDir().isEmpty())                                                   \
            GTEST_SKIP() << "MYCOOK_TESTDATA pictures not available";                              \
    } while (0)

// Test names from a case's file name: "gray-300x200.jpg" becomes "gray_300x200_jpg".
struct TFileParamName {
    template <class TInfo> std::string operator()(const TInfo& info) const {
        std::string name = info.param.File;
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    }
};
inline constexpr TFileParamName FileParamName{};
