#pragma once
// The skin's private messages, carried as Qt events under their original
// numbers so every skinned window and control answers the same ones.

#include <QEvent>

class QObject;

namespace SkinMsg {
// Posted to a window just taken over: finish skinning (controls, size, region).
constexpr QEvent::Type Finish = static_cast<QEvent::Type>(0x3503);
// Sent to a control skin: WParam > 0 turns its painting on, otherwise off.
constexpr QEvent::Type OnOff = static_cast<QEvent::Type>(0x3506);
// "Are you skinned?": a skinned window or control sets Result to 1 and swallows it.
constexpr QEvent::Type Query = static_cast<QEvent::Type>(0x3523);
// Posted by a skinned window to itself after a query and after its finish.
constexpr QEvent::Type Notify = static_cast<QEvent::Type>(0xBC4E);
} // namespace SkinMsg

class TSkinMessage : public QEvent {
public:
    explicit TSkinMessage(QEvent::Type type, qintptr wParam = 0, qintptr lParam = 0)
        : QEvent(type), WParam(wParam), LParam(lParam) {}
    qintptr WParam;
    qintptr LParam;
    qintptr Result = 0;
};

// Sends the query message; true when the object answers that it is skinned.
bool IsSkinnedObject(QObject* object);
