#include "FileNames.h"
#include "Graphics.h"

#include <gtest/gtest.h>

namespace {
// The save dialogs' rule: the extension is added unless the name already ends in
// it; only ASCII letters' case is ignored, and a dot in a folder is no extension.
TEST(WithFileExt, AddsTheExtensionOnlyWhereTheNameLacksIt) {
    for (const char16_t* name : {u"菜谱.rtf", u"菜谱.RTF", u"菜谱.Rtf", u"/home/cook/.rtf"})
        EXPECT_EQ(WithFileExt(QString::fromUtf16(name), QStringLiteral(".rtf")),
                  QString::fromUtf16(name));
    // Full-width letters are no ASCII letters: their case does not count.
    for (const char16_t* name : {u"菜谱", u"菜谱.rtf.txt", u"菜谱.rt", u"菜谱.rtff",
                                 u"dot.rtf/name", u"name.", u"", u"菜谱.ＲＴＦ", u"菜谱.ｒｔｆ"})
        EXPECT_EQ(WithFileExt(QString::fromUtf16(name), QStringLiteral(".rtf")),
                  QString::fromUtf16(name) + QStringLiteral(".rtf"));
}

TEST(ExtractFileExt, TakesFromTheLastDotAfterTheLastSeparator) {
    EXPECT_EQ(ExtractFileExt(QStringLiteral("a/b.c.pdf")), QStringLiteral(".pdf"));
    EXPECT_EQ(ExtractFileExt(QStringLiteral("a.b/c")), QString());
    EXPECT_EQ(ExtractFileExt(QStringLiteral("c.")), QStringLiteral("."));
}

// The picture drop and LoadFromFile share the rule: any case, a whole suffix only.
TEST(IsPictureFileName, KnowsTheKindsLoadFromFileReads) {
    for (const char* name : {"a.jpg", "a.JPEG", "b/c.Bmp", "x.tif", "x.TIFF", "i.ico", "m.emf",
                             "m.WMF", "dir.png/p.jpg"})
        EXPECT_TRUE(IsPictureFileName(QString::fromUtf8(name))) << name;
    for (const char* name :
         {"", "a", "a.png", "a.jpg.txt", "jpg", "a.jp", "a.jpgg", "dir.jpg/", "a.", ".jpgx"})
        EXPECT_FALSE(IsPictureFileName(QString::fromUtf8(name))) << name;
}
} // namespace
