#include "HtmlDom.h"

#include "ImportTypes.h"

#include <QEventLoop>
#include <QThread>
#include <gumbo.h>

#include <exception>
#include <vector>

namespace {
constexpr qsizetype InlineParseBytes = 64 * 1024;
constexpr uint DeepStackBytes = 512u * 1024 * 1024;

bool IsBlock(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
        return true;
    default:
        return false;
    }
}

bool NameIs(const char* name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (qstrcmp(name, n) == 0)
            return true;
    return false;
}

// The tree builder looks through the open elements for most start tags, so a
// page nesting elements thousands deep costs its square. A quick pass over
// the tags (not a parse: it only counts) refuses such a page first.
void CheckNesting(const QByteArray& html) {
    constexpr qint64 MaxDepth = 4096;
    constexpr qint64 MaxWork = 50'000'000; // sum of the depths at each start tag
    qint64 depth = 0, work = 0;
    const char* p = html.constData();
    const char* end = p + html.size();
    char name[16];
    while ((p = static_cast<const char*>(memchr(p, '<', size_t(end - p))))) {
        ++p;
        if (end - p >= 3 && memcmp(p, "!--", 3) == 0) {
            const QByteArrayView rest(p + 3, end - p - 3);
            const qsizetype close = rest.indexOf("-->");
            if (close < 0)
                return;
            p += 3 + close + 3;
            continue;
        }
        const bool closing = p < end && *p == '/';
        if (closing)
            ++p;
        int n = 0;
        while (p < end && n < 15 && (std::isalnum(static_cast<unsigned char>(*p)) || *p == '-'))
            name[n++] = char(std::tolower(static_cast<unsigned char>(*p++)));
        name[n] = 0;
        if (n == 0)
            continue;
        const char* gt = static_cast<const char*>(memchr(p, '>', size_t(end - p)));
        const bool selfClosing = gt && gt > p && gt[-1] == '/';
        const bool flat =
            NameIs(name, {"area",   "base",     "br",      "col",   "embed",  "hr",    "img",
                          "input",  "link",     "meta",    "param", "source", "track", "wbr",
                          "p",      "li",       "dt",      "dd",    "tr",     "td",    "th",
                          "option", "optgroup", "rb",      "rt",    "rp",     "thead", "tbody",
                          "tfoot",  "colgroup", "caption", "html",  "head",   "body"});
        if (closing) {
            if (!flat && depth > 0)
                --depth;
            continue;
        }
        if (NameIs(name, {"script", "style", "textarea", "title", "xmp"})) {
            const QByteArray endTag = QByteArray("</") + name;
            const QByteArrayView rest(p, end - p);
            qsizetype close = -1;
            for (qsizetype from = 0; (close = rest.indexOf(endTag.at(0), from)) >= 0;
                 from = close + 1)
                if (rest.sliced(close).size() >= endTag.size() &&
                    qstrnicmp(rest.sliced(close).data(), endTag.constData(), endTag.size()) == 0)
                    break;
            if (close < 0)
                return;
            p += close + endTag.size();
            continue;
        }
        work += depth;
        if (!flat && !selfClosing)
            ++depth;
        if (depth > MaxDepth || work > MaxWork)
            throw EImportError(QStringLiteral("网页的元素嵌套太深，无法读取"));
    }
}

GumboOutput* Parse(const QByteArray& utf8) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // errors are not collected: we only read the tree
    return gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
}
} // namespace

void RunWithDeepStack(const std::function<void()>& work, bool serveEvents) {
    std::exception_ptr error;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
    }));
    thread->setStackSize(DeepStackBytes);
    if (serveEvents) {
        QEventLoop loop;
        QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
        thread->start();
        loop.exec();
    } else {
        thread->start();
    }
    thread->wait();
    if (error)
        std::rethrow_exception(error);
}

THtmlDocument::THtmlDocument(QByteArray utf8) : FUtf8(std::move(utf8)) {
    if (FUtf8.size() > MaxHtmlBytes)
        throw EImportError(QStringLiteral("网页太大（超过 %1 MB）").arg(MaxHtmlBytes >> 20));
    CheckNesting(FUtf8);
    if (FUtf8.size() <= InlineParseBytes)
        FOutput = Parse(FUtf8);
    else
        RunWithDeepStack([this] { FOutput = Parse(FUtf8); });
}

THtmlDocument::~THtmlDocument() {
    if (!FOutput)
        return;
    GumboOutput* output = FOutput;
    if (FUtf8.size() <= InlineParseBytes)
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    else
        RunWithDeepStack([output] { gumbo_destroy_output(&kGumboDefaultOptions, output); });
}

const GumboNode* THtmlDocument::Root() const {
    return FOutput->document;
}

void WalkHtml(const GumboNode& root, const THtmlVisitor& visitor) {
    struct TFrame {
        const GumboNode* Node;
        unsigned Next; // index of the next child to visit
    };
    std::vector<TFrame> stack;
    auto enter = [&](const GumboNode* node) {
        if (visitor.Enter && !visitor.Enter(*node))
            return;
        if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_DOCUMENT ||
            node->type == GUMBO_NODE_TEMPLATE)
            stack.push_back({node, 0});
    };
    enter(&root);
    while (!stack.empty()) {
        TFrame& frame = stack.back();
        const GumboVector& children = frame.Node->type == GUMBO_NODE_DOCUMENT
                                          ? frame.Node->v.document.children
                                          : frame.Node->v.element.children;
        if (frame.Next < children.length) {
            const auto* child = static_cast<const GumboNode*>(children.data[frame.Next++]);
            enter(child);
            continue;
        }
        const GumboNode* done = frame.Node;
        stack.pop_back();
        if (visitor.Leave)
            visitor.Leave(*done);
    }
}

bool IsStepNumber(QStringView text) {
    QStringView t = text.trimmed();
    for (const char* word : {"step", "étape", "paso", "schritt", "第"})
        if (t.startsWith(QString::fromUtf8(word), Qt::CaseInsensitive))
            t = t.sliced(QString::fromUtf8(word).size()).trimmed();
    qsizetype digits = 0;
    while (digits < t.size() && t[digits].isDigit())
        ++digits;
    if (digits == 0 || digits > 3)
        return false;
    t = t.sliced(digits).trimmed();
    return t.isEmpty() || (t.size() == 1 && QStringLiteral(".):、步．").contains(t[0]));
}

QString NodeText(const GumboNode& node, const TTextOptions& options) {
    QString text;
    auto newline = [&] {
        if (!text.isEmpty() && !text.endsWith(u'\n'))
            text.append(u'\n');
    };
    auto edge = [&](GumboTag tag) {
        if (options.BlocksBreak ? IsBlock(tag) : tag == GUMBO_TAG_LI)
            newline();
        else if (IsBlock(tag) && !text.isEmpty())
            text.append(u' ');
    };
    std::vector<qsizetype> starts; // where each open element's text began
    THtmlVisitor visitor;
    visitor.Enter = [&](const GumboNode& n) {
        switch (n.type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE: {
            QString piece = QString::fromUtf8(n.v.text.text);
            if (!options.SourceLinesBreak)
                piece.replace(u'\n', u' ');
            text.append(piece);
            return false;
        }
        case GUMBO_NODE_ELEMENT: {
            const GumboTag tag = n.v.element.tag;
            if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_NOSCRIPT ||
                tag == GUMBO_TAG_TEMPLATE)
                return false;
            if (tag == GUMBO_TAG_BR) {
                text.append(u'\n');
                return false;
            }
            edge(tag);
            starts.push_back(text.size());
            return true;
        }
        case GUMBO_NODE_DOCUMENT:
            return true;
        default:
            return false;
        }
    };
    visitor.Leave = [&](const GumboNode& n) {
        if (n.type != GUMBO_NODE_ELEMENT)
            return;
        const qsizetype start = starts.back();
        starts.pop_back();
        // Only a number that begins its line: "Add <b>2</b> eggs" keeps its 2.
        const qsizetype lineStart = start == 0 ? 0 : text.lastIndexOf(u'\n', start - 1) + 1;
        if (options.DropStepNumbers && &n != &node &&
            QStringView(text).sliced(lineStart, start - lineStart).trimmed().isEmpty() &&
            IsStepNumber(QStringView(text).sliced(start)))
            text.truncate(start);
        edge(n.v.element.tag);
    };
    WalkHtml(node, visitor);
    return text;
}

QString NodeText(const GumboNode& node) {
    return NodeText(node, TTextOptions{});
}

QString HtmlToText(const QString& html) {
    if (!html.contains(u'<') && !html.contains(u'&'))
        return html;
    const THtmlDocument document(html.toUtf8());
    return NodeText(*document.Root());
}

QString Attribute(const GumboNode& node, const char* name) {
    if (node.type != GUMBO_NODE_ELEMENT)
        return {};
    const GumboAttribute* attribute = gumbo_get_attribute(&node.v.element.attributes, name);
    return attribute ? QString::fromUtf8(attribute->value) : QString();
}

QString TagName(const GumboNode& node) {
    if (node.type != GUMBO_NODE_ELEMENT)
        return {};
    if (node.v.element.tag != GUMBO_TAG_UNKNOWN)
        return QString::fromUtf8(gumbo_normalized_tagname(node.v.element.tag));
    GumboStringPiece piece = node.v.element.original_tag;
    gumbo_tag_from_original_text(&piece);
    return QString::fromUtf8(piece.data, qsizetype(piece.length)).toLower();
}
