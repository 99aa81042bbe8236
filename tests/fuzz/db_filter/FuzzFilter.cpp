// Filter texts come from the user's search keyword: parsing and evaluating any text
// must end in a result or an EDatabaseError, never a crash or a hang.
// Input: the filter text (UTF-8); its first line is also tried as a like-pattern
// against the rest.

#include "ADOFilter.h"

#include <cstddef>
#include <cstdint>

namespace {

class TFuzzRow : public TFilterRow {
public:
    explicit TFuzzRow(QStringView extra) : FExtra(extra) {}
    bool Text(int column, QStringView& out, QString&) const override {
        switch (column) {
        case 0:
            out = u"红烧肉 Fish";
            return true;
        case 1:
            out = u"";
            return true;
        case 2:
            return false; // NULL
        case 3:
            out = u"12.5";
            return true;
        default:
            out = FExtra;
            return true;
        }
    }

private:
    QStringView FExtra;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) {
        return 0;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = text.indexOf(u'\n');
    if (newline >= 0) {
        const TLikePattern pattern(QStringView(text).left(newline));
        pattern.Matches(QStringView(text).mid(newline + 1));
    }
    static const QStringList columns{QStringLiteral("菜名"), QStringLiteral("原料"),
                                     QStringLiteral("做法"), QStringLiteral("说明"),
                                     QStringLiteral("img")};
    try {
        const auto expr = TFilterExpr::Parse(text, columns);
        expr->Matches(TFuzzRow(text));
        for (int c : expr->UsedColumns()) {
            if (c < 0 || c >= columns.size()) {
                __builtin_trap();
            }
        }
    } catch (const EDatabaseError&) {
    }
    return 0;
}
