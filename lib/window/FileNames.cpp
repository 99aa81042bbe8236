#include "FileNames.h"

namespace {
// Compares ignoring the case of ASCII letters only.
bool SameTextAscii(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a.at(i).unicode();
        char16_t y = b.at(i).unicode();
        if (x >= u'A' && x <= u'Z')
            x += 32;
        if (y >= u'A' && y <= u'Z')
            y += 32;
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

QString ExtractFileExt(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype slash = name.lastIndexOf(u'/');
    return dot > slash ? name.mid(dot) : QString();
}

QString WithFileExt(const QString& name, const QString& ext) {
    return SameTextAscii(ExtractFileExt(name), ext) ? name : name + ext;
}
