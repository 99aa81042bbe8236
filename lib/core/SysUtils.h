#pragma once
// Error types shared by every layer. Each carries the text the user sees in
// the default error display, exactly as the program words it.

#include <QString>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(QString message)
        : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

#define MYCOOK_DECLARE_EXCEPTION(Name, Base)                                                       \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
    };

// Database layer failures; the text is the engine's own message.
MYCOOK_DECLARE_EXCEPTION(EDatabaseError, Exception)
// A file that cannot be opened: 无法打开文件“<full name>”：<reason>
MYCOOK_DECLARE_EXCEPTION(EFOpenError, Exception)
// Write failures of files we produce.
MYCOOK_DECLARE_EXCEPTION(EWriteError, Exception)
// Picture content a graphic kind cannot decode, or an unknown extension.
MYCOOK_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
MYCOOK_DECLARE_EXCEPTION(EJPEG, EInvalidGraphic)
// A graphic that cannot take another kind's content.
MYCOOK_DECLARE_EXCEPTION(EConvertError, Exception)
// Clipboard cannot be opened or read.
MYCOOK_DECLARE_EXCEPTION(EClipboardException, Exception)
// Failed assertion, text "%s (%s, line %d)".
MYCOOK_DECLARE_EXCEPTION(EAssertionFailed, Exception)
// Failure of the picture-embedding substitute, carrying a result code.
class EOleSysError : public Exception {
public:
    explicit EOleSysError(quint32 code)
        : Exception(QString::asprintf("OLE error %.8x", code)), FErrorCode(code) {}
    quint32 ErrorCode() const noexcept { return FErrorCode; }

private:
    quint32 FErrorCode;
};

// Builds the text of a failed assertion the way the program reports it.
inline QString AssertionText(const QString& message, const QString& unit, int line) {
    return QStringLiteral("%1 (%2, line %3)").arg(message, unit).arg(line);
}

// The file-open error text for a path and the system's reason.
inline QString FOpenErrorText(const QString& fullName, const QString& reason) {
    return QStringLiteral("无法打开文件“%1”：%2").arg(fullName, reason);
}
