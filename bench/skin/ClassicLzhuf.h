#pragma once
// A plain port of the classic public-domain LZHUF coder, written from the
// algorithm's description: byte-at-a-time getc/putc, 16-bit bit buffers, one
// bit per call. It is the yardstick for our coder's speed and a second,
// independent implementation for checking that streams agree.

#include <cstdint>
#include <cstring>
#include <vector>

namespace classic {

class TLzhuf {
public:
    static constexpr int N = 4096, F = 60, THRESHOLD = 2, NIL = N;
    static constexpr int N_CHAR = 256 - THRESHOLD + F, T = N_CHAR * 2 - 1, R = T - 1;
    static constexpr unsigned MAX_FREQ = 0x8000;

    // Packs in into the bare bit stream.
    std::vector<uint8_t> Encode(const std::vector<uint8_t>& in) {
        Reset(&in, nullptr);
        int i, c, len, r, s, last_match_length;
        InitTree();
        StartHuff();
        s = 0;
        r = N - F;
        for (i = s; i < r; i++)
            text_buf[i] = ' ';
        for (len = 0; len < F && (c = Getc()) != -1; len++)
            text_buf[r + len] = static_cast<uint8_t>(c);
        if (len == 0)
            return out;
        for (i = 1; i <= F; i++)
            InsertNode(r - i);
        InsertNode(r);
        do {
            if (match_length > len)
                match_length = len;
            if (match_length <= THRESHOLD) {
                match_length = 1;
                EncodeChar(text_buf[r]);
            } else {
                EncodeChar(255 - THRESHOLD + match_length);
                EncodePosition(match_position);
            }
            last_match_length = match_length;
            for (i = 0; i < last_match_length && (c = Getc()) != -1; i++) {
                DeleteNode(s);
                text_buf[s] = static_cast<uint8_t>(c);
                if (s < F - 1)
                    text_buf[s + N] = static_cast<uint8_t>(c);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                InsertNode(r);
            }
            while (i++ < last_match_length) {
                DeleteNode(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len)
                    InsertNode(r);
            }
        } while (len > 0);
        if (putlen)
            Putc(putbuf >> 8);
        return out;
    }

    // Unpacks textsize bytes from the bare bit stream.
    std::vector<uint8_t> Decode(const std::vector<uint8_t>& in, long textsize) {
        Reset(&in, nullptr);
        int i, j, k, r, c;
        long count;
        if (textsize == 0)
            return out;
        StartHuff();
        for (i = 0; i < N - F; i++)
            text_buf[i] = ' ';
        r = N - F;
        for (count = 0; count < textsize;) {
            c = DecodeChar();
            if (c < 256) {
                Putc(c);
                text_buf[r++] = static_cast<uint8_t>(c);
                r &= (N - 1);
                count++;
            } else {
                i = (r - DecodePosition() - 1) & (N - 1);
                j = c - 255 + THRESHOLD;
                for (k = 0; k < j; k++) {
                    c = text_buf[(i + k) & (N - 1)];
                    Putc(c);
                    text_buf[r++] = static_cast<uint8_t>(c);
                    r &= (N - 1);
                    count++;
                }
            }
        }
        out.resize(static_cast<size_t>(textsize));
        return out;
    }

private:
    void Reset(const std::vector<uint8_t>* in, void*) {
        src = in;
        pos = 0;
        out.clear();
        getbuf = 0;
        getlen = 0;
        putbuf = 0;
        putlen = 0;
        std::memset(text_buf, 0, sizeof text_buf);
        match_position = match_length = 0;
    }
    int Getc() { return pos < src->size() ? (*src)[pos++] : -1; }
    void Putc(int c) { out.push_back(static_cast<uint8_t>(c)); }

    void InitTree() {
        for (int i = N + 1; i <= N + 256; i++)
            rson[i] = NIL;
        for (int i = 0; i < N; i++)
            dad[i] = NIL;
    }

    void InsertNode(int r) {
        int i, p, cmp;
        uint8_t* key;
        unsigned c;
        cmp = 1;
        key = &text_buf[r];
        p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        match_length = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL)
                    p = rson[p];
                else {
                    rson[p] = r;
                    dad[r] = p;
                    return;
                }
            } else {
                if (lson[p] != NIL)
                    p = lson[p];
                else {
                    lson[p] = r;
                    dad[r] = p;
                    return;
                }
            }
            for (i = 1; i < F; i++)
                if ((cmp = key[i] - text_buf[p + i]) != 0)
                    break;
            if (i > THRESHOLD) {
                if (i > match_length) {
                    match_position = ((r - p) & (N - 1)) - 1;
                    if ((match_length = i) >= F)
                        break;
                }
                if (i == match_length) {
                    if ((c = ((r - p) & (N - 1)) - 1) < static_cast<unsigned>(match_position))
                        match_position = static_cast<int>(c);
                }
            }
        }
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        if (rson[dad[p]] == p)
            rson[dad[p]] = r;
        else
            lson[dad[p]] = r;
        dad[p] = NIL;
    }

    void DeleteNode(int p) {
        int q;
        if (dad[p] == NIL)
            return;
        if (rson[p] == NIL)
            q = lson[p];
        else if (lson[p] == NIL)
            q = rson[p];
        else {
            q = lson[p];
            if (rson[q] != NIL) {
                do {
                    q = rson[q];
                } while (rson[q] != NIL);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p)
            rson[dad[p]] = q;
        else
            lson[dad[p]] = q;
        dad[p] = NIL;
    }

    int GetBit() {
        int i;
        while (getlen <= 8) {
            if ((i = Getc()) < 0)
                i = 0;
            getbuf |= static_cast<uint16_t>(i << (8 - getlen));
            getlen += 8;
        }
        i = getbuf;
        getbuf = static_cast<uint16_t>(getbuf << 1);
        getlen--;
        return (i >> 15) & 1;
    }

    int GetByte() {
        unsigned i;
        while (getlen <= 8) {
            int b = Getc();
            if (b < 0)
                b = 0;
            getbuf |= static_cast<uint16_t>(b << (8 - getlen));
            getlen += 8;
        }
        i = getbuf;
        getbuf = static_cast<uint16_t>(getbuf << 8);
        getlen -= 8;
        return static_cast<int>(i >> 8);
    }

    void Putcode(int l, unsigned c) {
        putbuf |= static_cast<uint16_t>(c >> putlen);
        if ((putlen += l) >= 8) {
            Putc(putbuf >> 8);
            if ((putlen -= 8) >= 8) {
                Putc(putbuf & 0xFF);
                putlen -= 8;
                putbuf = static_cast<uint16_t>(c << (l - putlen));
            } else {
                putbuf = static_cast<uint16_t>(putbuf << 8);
            }
        }
    }

    void StartHuff() {
        int i, j;
        for (i = 0; i < N_CHAR; i++) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        i = 0;
        j = N_CHAR;
        while (j <= R) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
            i += 2;
            j++;
        }
        freq[T] = 0xffff;
        prnt[R] = 0;
    }

    void reconst() {
        int i, j, k;
        unsigned f, l;
        j = 0;
        for (i = 0; i < T; i++) {
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                j++;
            }
        }
        for (i = 0, j = N_CHAR; j < T; i += 2, j++) {
            k = i + 1;
            f = freq[j] = freq[i] + freq[k];
            for (k = j - 1; f < freq[k]; k--)
                ;
            k++;
            l = static_cast<unsigned>(j - k) * sizeof(freq[0]);
            std::memmove(&freq[k + 1], &freq[k], l);
            freq[k] = f;
            l = static_cast<unsigned>(j - k) * sizeof(son[0]);
            std::memmove(&son[k + 1], &son[k], l);
            son[k] = i;
        }
        for (i = 0; i < T; i++) {
            if ((k = son[i]) >= T)
                prnt[k] = i;
            else
                prnt[k] = prnt[k + 1] = i;
        }
    }

    void update(int c) {
        int i, j, l;
        unsigned k;
        if (freq[R] == MAX_FREQ)
            reconst();
        c = prnt[c + T];
        do {
            k = ++freq[c];
            if (k > freq[l = c + 1]) {
                while (k > freq[++l])
                    ;
                l--;
                freq[c] = freq[l];
                freq[l] = k;
                i = son[c];
                prnt[i] = l;
                if (i < T)
                    prnt[i + 1] = l;
                j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T)
                    prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }

    void EncodeChar(unsigned c) {
        unsigned i = 0;
        int j = 0, k = prnt[c + T];
        do {
            i >>= 1;
            if (k & 1)
                i += 0x8000;
            j++;
        } while ((k = prnt[k]) != R);
        Putcode(j, i);
        update(static_cast<int>(c));
    }

    void EncodePosition(unsigned c) {
        unsigned i = c >> 6;
        Putcode(p_len[i], static_cast<unsigned>(p_code[i]) << 8);
        Putcode(6, (c & 0x3f) << 10);
    }

    int DecodeChar() {
        unsigned c = static_cast<unsigned>(son[R]);
        while (c < T) {
            c += static_cast<unsigned>(GetBit());
            c = static_cast<unsigned>(son[c]);
        }
        c -= T;
        update(static_cast<int>(c));
        return static_cast<int>(c);
    }

    int DecodePosition() {
        unsigned i, j, c;
        i = static_cast<unsigned>(GetByte());
        c = static_cast<unsigned>(d_code[i]) << 6;
        j = d_len[i];
        j -= 2;
        while (j--)
            i = (i << 1) + static_cast<unsigned>(GetBit());
        return static_cast<int>(c | (i & 0x3f));
    }

    // The published position tables, built from their code lengths.
    struct Tables {
        uint8_t p_len[64], p_code[64], d_code[256], d_len[256];
        Tables() {
            unsigned code = 0;
            int prev = 3;
            for (int v = 0; v < 64; v++) {
                int len = v == 0 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
                if (v)
                    code = (code + 1) << (len - prev);
                prev = len;
                p_len[v] = static_cast<uint8_t>(len);
                p_code[v] = static_cast<uint8_t>(code << (8 - len));
                for (unsigned k = 0; k < (1u << (8 - len)); k++) {
                    d_code[p_code[v] + k] = static_cast<uint8_t>(v);
                    d_len[p_code[v] + k] = static_cast<uint8_t>(len);
                }
            }
        }
    };
    static const Tables& Tab() {
        static const Tables t;
        return t;
    }
    const uint8_t* p_len = Tab().p_len;
    const uint8_t* p_code = Tab().p_code;
    const uint8_t* d_code = Tab().d_code;
    const uint8_t* d_len = Tab().d_len;

    const std::vector<uint8_t>* src = nullptr;
    size_t pos = 0;
    std::vector<uint8_t> out;
    uint8_t text_buf[N + F - 1];
    int match_position = 0, match_length = 0;
    int lson[N + 1], rson[N + 257], dad[N + 1];
    unsigned freq[T + 1];
    int prnt[T + N_CHAR];
    int son[T];
    uint16_t getbuf = 0;
    uint8_t getlen = 0;
    uint16_t putbuf = 0;
    uint8_t putlen = 0;
};

} // namespace classic
