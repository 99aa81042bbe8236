#include "RtfReader.h"

#include <cctype>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct TState {
    int Uc = 1;
    bool Skip = false; // inside a destination whose text is not document text
    TRtfPicture* Pict = nullptr;
};

} // namespace

TRtfContent ReadRtf(const QByteArray& rtf) {
    TRtfContent result;
    std::vector<TState> stack;
    TState state;
    int pendingSkip = 0; // fallback bytes still to drop after a \uN
    int depth = 0;
    bool closedOuter = false;
    QString& text = result.Text;
    auto put = [&](QChar c) {
        if (!state.Skip)
            text += c;
    };
    auto fallback = [&](char c) {
        if (!state.Skip)
            result.Fallback += c;
    };
    qsizetype i = 0;
    const qsizetype n = rtf.size();
    while (i < n) {
        const char c = rtf[i];
        if (closedOuter && c != '\n' && c != '\r')
            return result; // content after the document
        if (c == '{') {
            stack.push_back(state);
            ++depth;
            ++i;
            if (i + 1 < n && rtf[i] == '\\' && rtf[i + 1] == '*')
                state.Skip = true;
            continue;
        }
        if (c == '}') {
            if (stack.empty())
                return result;
            state = stack.back();
            stack.pop_back();
            if (--depth == 0)
                closedOuter = true;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (state.Pict) {
            // picture data: hex digits until the group closes
            const int hi = HexValue(c);
            if (hi >= 0 && i + 1 < n && HexValue(rtf[i + 1]) >= 0) {
                state.Pict->Data += char(hi << 4 | HexValue(rtf[i + 1]));
                i += 2;
                continue;
            }
            if (c != '\\')
                return result; // stray character in hex data
        }
        if (c != '\\') {
            if (pendingSkip > 0)
                --pendingSkip;
            else
                put(QLatin1Char(c));
            fallback(c);
            ++i;
            continue;
        }
        // control symbol or word
        if (i + 1 >= n)
            return result;
        const char s = rtf[i + 1];
        if (s == '\\' || s == '{' || s == '}' || s == '~') {
            if (pendingSkip > 0)
                --pendingSkip;
            else
                put(s == '~' ? QChar(0x00A0) : QChar(QLatin1Char(s)));
            fallback(s == '~' ? ' ' : s);
            i += 2;
            continue;
        }
        if (s == '\'') {
            if (i + 3 >= n || HexValue(rtf[i + 2]) < 0 || HexValue(rtf[i + 3]) < 0)
                return result;
            const char byte = char(HexValue(rtf[i + 2]) << 4 | HexValue(rtf[i + 3]));
            if (pendingSkip > 0)
                --pendingSkip;
            else
                put(QChar(0xFFFD)); // only fallback text may use \'hh here
            fallback(byte);
            i += 4;
            continue;
        }
        if (s == '*') {
            i += 2;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(s))) {
            i += 2;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && std::isalpha(static_cast<unsigned char>(rtf[j])))
            ++j;
        const QByteArray word = rtf.mid(i + 1, j - i - 1);
        bool hasParam = false;
        long long param = 0;
        qsizetype k = j;
        if (k < n && (rtf[k] == '-' || std::isdigit(static_cast<unsigned char>(rtf[k])))) {
            const bool negative = rtf[k] == '-';
            if (negative)
                ++k;
            while (k < n && std::isdigit(static_cast<unsigned char>(rtf[k])))
                param = param * 10 + (rtf[k++] - '0');
            if (negative)
                param = -param;
            hasParam = true;
        }
        if (k < n && rtf[k] == ' ')
            ++k; // the delimiting space belongs to the word
        i = k;
        result.Words.push_back(word);
        pendingSkip = 0;
        if (word == "u" && hasParam) {
            put(QChar(char16_t(static_cast<std::int16_t>(param))));
            pendingSkip = state.Uc;
        } else if (word == "uc" && hasParam) {
            state.Uc = int(param);
        } else if (word == "par") {
            put(QLatin1Char('\n'));
            fallback('\n');
        } else if (word == "line") {
            put(QChar(0x2028));
            fallback('\n');
        } else if (word == "tab") {
            put(QLatin1Char('\t'));
            fallback('\t');
        } else if (word == "fonttbl") {
            state.Skip = true;
        } else if (word == "pict") {
            state.Skip = true;
            result.Pictures.emplace_back();
            state.Pict = &result.Pictures.back();
        } else if (state.Pict) {
            if (word == "picw")
                state.Pict->PicW = int(param);
            else if (word == "pich")
                state.Pict->PicH = int(param);
            else if (word == "picwgoal")
                state.Pict->GoalW = int(param);
            else if (word == "pichgoal")
                state.Pict->GoalH = int(param);
            else if (word.endsWith("blip"))
                state.Pict->Kind = word;
        }
    }
    result.WellFormed = closedOuter && stack.empty();
    return result;
}
