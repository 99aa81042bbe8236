// Ingredient lists and steps come from any imported file: reading, scaling,
// summing and splitting any text must end in a result, never a crash or a hang,
// and what the QR pieces carry must join back to the text.
// Input: UTF-8 text; its lines are ingredients and steps alike.

#include "Durations.h"
#include "Ingredient.h"
#include "QrCode.h"
#include "ShoppingList.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (QStringView line : QStringView(text).tokenize(u'\n')) {
        const TIngredient ing = ReadIngredient(line);
        if (ing.Kind == TLineKind::Amount) {
            const TAmount& a = ing.Amount;
            if (!a.Unit || !(a.Low > 0) || a.High < a.Low || a.Start < 0 ||
                a.Start + a.Length > ing.Text.size())
                __builtin_trap();
        }
        for (double factor : {1.0 / 3, 2.0, 1e9})
            if (ScaledText(ing, factor).isNull() && !ing.Text.isNull())
                __builtin_trap();
        if (ScaledText(ing, 1) != ing.Text)
            __builtin_trap();
        for (const TStepDuration& d : DurationsIn(line))
            if (d.Seconds <= 0 || d.Seconds > MaxTimerSeconds || d.Start < 0 ||
                d.Start + d.Length > line.size())
                __builtin_trap();
    }
    const auto items =
        MakeShoppingList({{QStringLiteral("a"), text, 2}, {QStringLiteral("b"), text, 0.5}});
    const QString list = ShoppingText(items, {QStringLiteral("a")});
    const QStringList pieces = QrPieces(text, 64);
    if (JoinQrPieces(pieces) != text)
        __builtin_trap();
    // Encoding is slow: only now and then, when the input asks for it.
    if (size > 0 && data[0] == 'Q' && list.toUtf8().size() < 300)
        EncodeQr(list.toUtf8());
    return 0;
}
