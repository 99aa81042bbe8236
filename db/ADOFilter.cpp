#include "ADOFilter.h"

#include <algorithm>
#include <bit>
#include <emmintrin.h>
#include <immintrin.h>

namespace {

// Deep nesting would only come from hostile text; it must not exhaust the stack.
constexpr int MaxDepth = 64;
constexpr qsizetype MaxFilterLength = 1 << 20;

inline char16_t Fold(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

bool EqualFolded(const char16_t* text, const char16_t* folded, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (Fold(text[i]) != folded[i]) {
            return false;
        }
    }
    return true;
}

inline char16_t Upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

[[noreturn]] void Invalid(const QString& what) {
    throw EDatabaseError(QStringLiteral("筛选条件无效：%1").arg(what));
}

enum class TTok { End, LParen, RParen, Op, String, Word, Bracketed };

struct TToken {
    TTok Kind = TTok::End;
    QString Text;
    qsizetype Pos = 0;
};

bool IsOpChar(QChar c) {
    return c == u'<' || c == u'>' || c == u'=';
}

std::vector<TToken> Tokenize(const QString& s) {
    std::vector<TToken> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        TToken t;
        t.Pos = i;
        if (c == u'(' || c == u')') {
            t.Kind = c == u'(' ? TTok::LParen : TTok::RParen;
            t.Text = c;
            ++i;
        } else if (c == u'\'') {
            t.Kind = TTok::String;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        t.Text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                t.Text += s[i++];
            }
            if (!closed) {
                Invalid(QStringLiteral("第 %1 个字符处的引号没有配对").arg(t.Pos + 1));
            }
        } else if (c == u'[') {
            t.Kind = TTok::Bracketed;
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0) {
                Invalid(QStringLiteral("第 %1 个字符之后缺少“]”").arg(i + 1));
            }
            t.Text = s.mid(i + 1, close - i - 1);
            i = close + 1;
        } else if (IsOpChar(c)) {
            t.Kind = TTok::Op;
            t.Text = c;
            ++i;
            if (i < n &&
                ((c == u'<' && (s[i] == u'=' || s[i] == u'>')) || (c == u'>' && s[i] == u'='))) {
                t.Text += s[i++];
            }
        } else {
            t.Kind = TTok::Word;
            while (i < n && !s[i].isSpace() && s[i] != u'(' && s[i] != u')' && s[i] != u'\'' &&
                   s[i] != u'[' && !IsOpChar(s[i])) {
                t.Text += s[i++];
            }
        }
        out.push_back(std::move(t));
    }
    TToken end;
    end.Pos = n;
    out.push_back(end);
    return out;
}

bool IsKeyword(const TToken& t, const char* word) {
    return t.Kind == TTok::Word && t.Text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------

namespace {

// The first place of a compare's mask (two bits a place, from `at` on) that holds
// the literal whole; -1 when none does.
qsizetype FirstInMask(const char16_t* t, size_t at, unsigned mask, std::u16string_view literal) {
    for (; mask; mask &= mask - 1) {
        const size_t k = at + size_t(std::countr_zero(mask)) / 2;
        mask &= mask - 1; // each place has two bits
        if (EqualFolded(t + k, literal.data(), literal.size())) {
            return qsizetype(k);
        }
    }
    return -1;
}

// The places left after the last full step, one at a time.
qsizetype FindFrom(const char16_t* t, size_t i, size_t last, std::u16string_view literal) {
    for (; i <= last; ++i) {
        if (EqualFolded(t + i, literal.data(), literal.size())) {
            return qsizetype(i);
        }
    }
    return -1;
}

// Sixteen places a step where the processor has AVX2: the walk over a large book's
// texts is bound by these compares, not by the memory.
[[gnu::target("avx2")]] qsizetype FindFoldedWide(const char16_t* t, size_t n, size_t from,
                                                 std::u16string_view literal) {
    const size_t m = literal.size();
    const size_t last = n - m;
    const __m256i first = _mm256_set1_epi16(short(literal[0]));
    const __m256i firstUpper = _mm256_set1_epi16(short(Upper(literal[0])));
    const __m256i end = _mm256_set1_epi16(short(literal[m - 1]));
    const __m256i endUpper = _mm256_set1_epi16(short(Upper(literal[m - 1])));
    size_t i = from;
    for (; i + 16 <= last + 1; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + m - 1));
        const __m256i both = _mm256_and_si256(
            _mm256_or_si256(_mm256_cmpeq_epi16(a, first), _mm256_cmpeq_epi16(a, firstUpper)),
            _mm256_or_si256(_mm256_cmpeq_epi16(b, end), _mm256_cmpeq_epi16(b, endUpper)));
        if (const qsizetype k = FirstInMask(t, i, unsigned(_mm256_movemask_epi8(both)), literal);
            k >= 0) {
            return k;
        }
    }
    return FindFrom(t, i, last, literal);
}

const bool HasAvx2 = __builtin_cpu_supports("avx2");

} // namespace

qsizetype FindFolded(const char16_t* t, size_t n, size_t from, std::u16string_view literal) {
    const size_t m = literal.size();
    if (m == 0) {
        return from <= n ? qsizetype(from) : -1;
    }
    if (n < m || from > n - m) {
        return -1;
    }
    if (HasAvx2) {
        return FindFoldedWide(t, n, from, literal);
    }
    const size_t last = n - m; // the last place the literal can start
    // Eight places at a time: those whose first and last units could be the
    // literal's are checked whole.
    const __m128i first = _mm_set1_epi16(short(literal[0]));
    const __m128i firstUpper = _mm_set1_epi16(short(Upper(literal[0])));
    const __m128i end = _mm_set1_epi16(short(literal[m - 1]));
    const __m128i endUpper = _mm_set1_epi16(short(Upper(literal[m - 1])));
    size_t i = from;
    for (; i + 8 <= last + 1; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + m - 1));
        const __m128i both =
            _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi16(a, first), _mm_cmpeq_epi16(a, firstUpper)),
                          _mm_or_si128(_mm_cmpeq_epi16(b, end), _mm_cmpeq_epi16(b, endUpper)));
        if (const qsizetype k = FirstInMask(t, i, unsigned(_mm_movemask_epi8(both)), literal);
            k >= 0) {
            return k;
        }
    }
    return FindFrom(t, i, last, literal);
}

TLikePattern::TLikePattern(QStringView pattern) {
    const qsizetype length = pattern.size();
    for (qsizetype k = 0; k < length; ++k) {
        const char16_t c = pattern[k].unicode();
        if (c == u'[' && k + 2 < length && pattern[k + 2] == u']') {
            // "[x]" is x itself, so a wildcard character can be searched for.
            FPattern.push_back(Fold(pattern[k + 1].unicode()));
            FIsWild.push_back(0);
            k += 2;
        } else if (c == u'%' || c == u'*') {
            if (FIsWild.empty() || FIsWild.back() != 2) { // runs of stars are one star
                FPattern.push_back(c);
                FIsWild.push_back(2);
            }
        } else if (c == u'_' || c == u'?') {
            FPattern.push_back(c);
            FIsWild.push_back(1);
        } else {
            FPattern.push_back(Fold(c));
            FIsWild.push_back(0);
        }
    }
    const size_t n = FIsWild.size();
    const bool hasOne = std::find(FIsWild.begin(), FIsWild.end(), 1) != FIsWild.end();
    const size_t runs = size_t(std::count(FIsWild.begin(), FIsWild.end(), 2));
    if (hasOne) {
        return;
    }
    if (n == 1 && runs == 1) { // a lone "%" matches everything
        FShape = TShape::Contains;
        return;
    }
    const bool lead = n > 0 && FIsWild.front() == 2;
    const bool trail = n > 0 && FIsWild.back() == 2;
    if (runs != size_t(lead) + size_t(trail)) {
        return;
    }
    const size_t from = lead ? 1 : 0;
    const size_t to = trail ? n - 1 : n;
    FLiteral.assign(FPattern.begin() + ptrdiff_t(from), FPattern.begin() + ptrdiff_t(to));
    if (lead && trail) {
        FShape = TShape::Contains;
    } else if (lead) {
        FShape = TShape::Suffix;
    } else if (trail) {
        FShape = TShape::Prefix;
    } else {
        FShape = TShape::Exact;
    }
}

std::u16string_view TLikePattern::ContainedLiteral() const {
    return FShape == TShape::Contains ? std::u16string_view(FLiteral) : std::u16string_view();
}

bool TLikePattern::Matches(QStringView text) const {
    const char16_t* t = text.utf16();
    const size_t n = size_t(text.size());
    const size_t m = FLiteral.size();
    switch (FShape) {
    case TShape::Contains:
        return FindFolded(t, n, 0, FLiteral) >= 0;
    case TShape::Prefix:
        return n >= m && EqualFolded(t, FLiteral.data(), m);
    case TShape::Suffix:
        return n >= m && EqualFolded(t + (n - m), FLiteral.data(), m);
    case TShape::Exact:
        return n == m && EqualFolded(t, FLiteral.data(), m);
    case TShape::General:
        break;
    }
    // Greedy match that backtracks only to the last run-wildcard: O(n*m), no recursion.
    const size_t pm = FPattern.size();
    size_t i = 0, j = 0, starJ = SIZE_MAX, mark = 0;
    while (i < n) {
        if (j < pm && (FIsWild[j] == 1 || (FIsWild[j] == 0 && FPattern[j] == Fold(t[i])))) {
            ++i;
            ++j;
        } else if (j < pm && FIsWild[j] == 2) {
            starJ = j++;
            mark = i;
        } else if (starJ != SIZE_MAX) {
            j = starJ + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < pm && FIsWild[j] == 2) {
        ++j;
    }
    return j == pm;
}

// ---------------------------------------------------------------------------------------

struct TFilterExpr::TNode {
    enum class TKind { Or, And, Compare, Like };
    enum class TOp { Eq, Ne, Lt, Le, Gt, Ge };
    TKind Kind = TKind::Compare;
    std::vector<std::unique_ptr<TNode>> Children;
    int Column = -1;
    TOp Op = TOp::Eq;
    bool Negate = false;
    QString Literal;
    bool IsNumber = false; // unquoted numeric literal: compares numerically when it can
    double Number = 0;
    std::unique_ptr<TLikePattern> Pattern;

    bool Eval(const TFilterRow& row, QString& scratch) const {
        switch (Kind) {
        case TKind::Or:
            for (const auto& c : Children) {
                if (c->Eval(row, scratch)) {
                    return true;
                }
            }
            return false;
        case TKind::And:
            for (const auto& c : Children) {
                if (!c->Eval(row, scratch)) {
                    return false;
                }
            }
            return true;
        case TKind::Like: {
            QStringView v;
            if (!row.Text(Column, v, scratch)) {
                return false; // NULL matches no pattern
            }
            return Pattern->Matches(v) != Negate;
        }
        case TKind::Compare:
            break;
        }
        QStringView v;
        if (!row.Text(Column, v, scratch)) {
            return false;
        }
        int cmp = 0;
        bool numeric = false;
        if (IsNumber) {
            bool ok = false;
            const double d = v.trimmed().toDouble(&ok);
            if (ok) {
                numeric = true;
                cmp = d < Number ? -1 : (d > Number ? 1 : 0);
            }
        }
        if (!numeric) {
            cmp = v.compare(Literal, Qt::CaseSensitive);
        }
        switch (Op) {
        case TOp::Eq:
            return cmp == 0;
        case TOp::Ne:
            return cmp != 0;
        case TOp::Lt:
            return cmp < 0;
        case TOp::Le:
            return cmp <= 0;
        case TOp::Gt:
            return cmp > 0;
        case TOp::Ge:
            return cmp >= 0;
        }
        return false;
    }
};

namespace {

class TParser {
public:
    TParser(std::vector<TToken> tokens, const QStringList& columns)
        : FTokens(std::move(tokens)), FColumns(columns) {}

    using TNode = TFilterExpr::TNode;

    std::unique_ptr<TNode> ParseAll(std::vector<int>& used) {
        auto root = ParseOr(0);
        if (Peek().Kind != TTok::End) {
            Invalid(QStringLiteral("第 %2 个字符处出现了意外的“%1”")
                        .arg(Peek().Text)
                        .arg(Peek().Pos + 1));
        }
        used = std::move(FUsed);
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
        return root;
    }

private:
    const TToken& Peek() const { return FTokens[FPos]; }
    TToken Take() {
        TToken t = FTokens[FPos];
        if (FPos + 1 < FTokens.size()) {
            ++FPos;
        }
        return t;
    }

    std::unique_ptr<TNode> ParseOr(int depth) {
        return ParseChain(depth, "or", TNode::TKind::Or, &TParser::ParseAnd);
    }

    std::unique_ptr<TNode> ParseAnd(int depth) {
        return ParseChain(depth, "and", TNode::TKind::And, &TParser::ParsePrimary);
    }

    // operand (keyword operand)...: the operand alone, or one node of them all.
    std::unique_ptr<TNode> ParseChain(int depth, const char* keyword, TNode::TKind kind,
                                      std::unique_ptr<TNode> (TParser::*operand)(int)) {
        auto first = (this->*operand)(depth);
        if (!IsKeyword(Peek(), keyword)) {
            return first;
        }
        auto node = std::make_unique<TNode>();
        node->Kind = kind;
        node->Children.push_back(std::move(first));
        while (IsKeyword(Peek(), keyword)) {
            Take();
            node->Children.push_back((this->*operand)(depth));
        }
        return node;
    }

    std::unique_ptr<TNode> ParsePrimary(int depth) {
        if (depth > MaxDepth) {
            Invalid(QStringLiteral("括号嵌套太深"));
        }
        const TToken t = Take();
        if (t.Kind == TTok::LParen) {
            auto inner = ParseOr(depth + 1);
            if (Peek().Kind != TTok::RParen) {
                Invalid(QStringLiteral("第 %1 个字符处缺少“)”").arg(Peek().Pos + 1));
            }
            Take();
            return inner;
        }
        if (t.Kind == TTok::End) {
            Invalid(QStringLiteral("末尾缺少条件"));
        }
        if ((t.Kind != TTok::Word && t.Kind != TTok::Bracketed) || IsKeyword(t, "and") ||
            IsKeyword(t, "or")) {
            Invalid(QStringLiteral("第 %1 个字符处应为字段名，却是“%2”")
                        .arg(t.Pos + 1)
                        .arg(t.Kind == TTok::String ? QStringLiteral("'") + t.Text : t.Text));
        }
        const int column = ColumnIndex(t.Text);
        if (column < 0) {
            Invalid(QStringLiteral("没有字段“%1”").arg(t.Text));
        }
        FUsed.push_back(column);
        auto node = std::make_unique<TNode>();
        node->Column = column;
        if (IsKeyword(Peek(), "not")) {
            Take();
            node->Negate = true;
            if (!IsKeyword(Peek(), "like")) {
                Invalid(QStringLiteral("第 %1 个字符处的“not”后面应为“like”").arg(Peek().Pos + 1));
            }
        }
        if (IsKeyword(Peek(), "like")) {
            Take();
            node->Kind = TNode::TKind::Like;
            const TToken v = TakeValue();
            node->Pattern = std::make_unique<TLikePattern>(v.Text);
            return node;
        }
        if (Peek().Kind != TTok::Op) {
            Invalid(QStringLiteral("第 %2 个字符处的“%1”后面应为比较运算")
                        .arg(t.Text)
                        .arg(Peek().Pos + 1));
        }
        const QString op = Take().Text;
        using TOp = TNode::TOp;
        node->Op = op == u"="    ? TOp::Eq
                   : op == u"<>" ? TOp::Ne
                   : op == u"<"  ? TOp::Lt
                   : op == u"<=" ? TOp::Le
                   : op == u">"  ? TOp::Gt
                   : op == u">=" ? TOp::Ge
                                 : (Invalid(QStringLiteral("未知的运算符“%1”").arg(op)), TOp::Eq);
        const TToken v = TakeValue();
        node->Literal = v.Text;
        if (v.Kind == TTok::Word) {
            bool ok = false;
            node->Number = v.Text.toDouble(&ok);
            node->IsNumber = ok;
        }
        return node;
    }

    TToken TakeValue() {
        const TToken v = Take();
        if (v.Kind == TTok::String) {
            return v;
        }
        if (v.Kind != TTok::Word || IsKeyword(v, "and") || IsKeyword(v, "or")) {
            Invalid(QStringLiteral("第 %1 个字符处缺少值").arg(v.Pos + 1));
        }
        return v;
    }

    int ColumnIndex(const QString& name) const {
        for (int i = 0; i < FColumns.size(); ++i) {
            if (FColumns[i].compare(name, Qt::CaseInsensitive) == 0) {
                return i;
            }
        }
        return -1;
    }

    std::vector<TToken> FTokens;
    size_t FPos = 0;
    const QStringList& FColumns;
    std::vector<int> FUsed;
};

} // namespace

TFilterExpr::TFilterExpr() = default;
TFilterExpr::~TFilterExpr() = default;

std::unique_ptr<TFilterExpr> TFilterExpr::Parse(const QString& text, const QStringList& columns) {
    if (text.size() > MaxFilterLength) {
        Invalid(QStringLiteral("筛选条件太长"));
    }
    std::unique_ptr<TFilterExpr> expr(new TFilterExpr());
    if (text.trimmed().isEmpty()) {
        return expr;
    }
    TParser parser(Tokenize(text), columns);
    expr->FRoot = parser.ParseAll(expr->FUsed);
    return expr;
}

bool TFilterExpr::Matches(const TFilterRow& row) const {
    if (!FRoot) {
        return true;
    }
    QString scratch;
    return FRoot->Eval(row, scratch);
}

std::optional<TContainsSearch> TFilterExpr::AsContainsSearch() const {
    if (!FRoot) {
        return std::nullopt;
    }
    TContainsSearch search;
    bool first = true;
    // Depth-first over "or" nodes; any other kind of node ends it.
    std::vector<const TNode*> pending{FRoot.get()};
    while (!pending.empty()) {
        const TNode* node = pending.back();
        pending.pop_back();
        if (node->Kind == TNode::TKind::Or) {
            for (const auto& c : node->Children) {
                pending.push_back(c.get());
            }
            continue;
        }
        if (node->Kind != TNode::TKind::Like || node->Negate) {
            return std::nullopt;
        }
        const std::u16string_view literal = node->Pattern->ContainedLiteral();
        if (literal.empty() || (!first && literal != search.Literal)) {
            return std::nullopt;
        }
        search.Literal = literal;
        first = false;
        search.Columns.push_back(node->Column);
    }
    std::sort(search.Columns.begin(), search.Columns.end());
    search.Columns.erase(std::unique(search.Columns.begin(), search.Columns.end()),
                         search.Columns.end());
    return search;
}
