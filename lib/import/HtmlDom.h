#pragma once
// An HTML5 document parsed by gumbo, walked without recursion. Large input is
// parsed on a thread with a deep stack, since the parser frees its tree
// recursively and a hostile page may nest elements a million deep.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

struct GumboInternalNode;
struct GumboInternalOutput;

inline constexpr qint64 MaxHtmlBytes = 16LL * 1024 * 1024;

class THtmlDocument {
public:
    explicit THtmlDocument(QByteArray utf8); // raises EImportError when too large
    ~THtmlDocument();
    THtmlDocument(const THtmlDocument&) = delete;
    THtmlDocument& operator=(const THtmlDocument&) = delete;

    const GumboInternalNode* Root() const;

private:
    QByteArray FUtf8; // gumbo points into it
    GumboInternalOutput* FOutput = nullptr;
};

// Runs the work on a thread whose stack is deep enough for any tree of
// MaxHtmlBytes; an exception comes back to the caller. With serveEvents the
// caller's thread keeps handling its events meanwhile (a window stays answering).
void RunWithDeepStack(const std::function<void()>& work, bool serveEvents = false);

// Visits elements and text depth first; return false from enter to skip an
// element's children. leave is called after the children (may be empty).
struct THtmlVisitor {
    std::function<bool(const GumboInternalNode&)> Enter;
    std::function<void(const GumboInternalNode&)> Leave;
};
void WalkHtml(const GumboInternalNode& root, const THtmlVisitor& visitor);

// The text of a node: character references decoded, a line break for <br>
// and around block elements, scripts and styles left out.
QString NodeText(const GumboInternalNode& node);
struct TTextOptions {
    // false: only <br> and <li> begin a line; other blocks are parts of one line.
    bool BlocksBreak = true;
    // Leaves out an element whose whole text is a step's number ("1", "2.", "Step 3").
    bool DropStepNumbers = false;
    // false: a line break in the page's source is a blank, as a browser shows it.
    bool SourceLinesBreak = true;
};
QString NodeText(const GumboInternalNode& node, const TTextOptions& options);
// "1", "2.", "3)", "Step 4", "第5步": only the number of a step, no text.
bool IsStepNumber(QStringView text);
// The same for a string that may hold markup.
QString HtmlToText(const QString& html);
// Attribute value of an element, null when absent.
QString Attribute(const GumboInternalNode& node, const char* name);
// The element's tag name in lower case ("" for text).
QString TagName(const GumboInternalNode& node);
