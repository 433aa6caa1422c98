#include "formats/xml_check.h"

#include <new>
#include <vector>

namespace bq {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

struct Span {
    std::size_t start = 0;
    std::size_t size = 0;
};

class Checker {
  public:
    explicit Checker(std::string_view text) : text_(text) {}

    std::optional<XmlFault> run() {
        if (text_.starts_with("\xFF\xFE") || text_.starts_with("\xFE\xFF")) {
            return fault("UTF-16 text, by its byte order mark (save it as UTF-8)", 0);
        }
        if (const std::size_t nul = text_.find('\0'); nul != std::string_view::npos) {
            return fault("a NUL byte, as in UTF-16 text (save it as UTF-8)", nul);
        }
        if (text_.starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;
        }
        try {
            open_.reserve(kMaxXmlDepth);
        } catch (const std::bad_alloc&) {
            return fault("not enough memory to check it", 0);
        }
        while (pos_ < text_.size() && !fault_) {
            if (text_[pos_] == '<') {
                markup();
            } else if (!open_.empty()) {
                const std::size_t next = text_.find('<', pos_);
                pos_ = next == std::string_view::npos ? text_.size() : next;
            } else if (isSpace(text_[pos_])) {
                ++pos_;
            } else {
                fail(rootClosed_ ? "text after the root element" : "text before the root element",
                     pos_);
            }
        }
        if (!fault_ && !open_.empty()) {
            const Span& name = open_.back();
            fail("unexpected end of data: <" + std::string(text_.substr(name.start, name.size)) +
                     "> is not closed",
                 text_.size());
        }
        if (!fault_ && !rootClosed_) {
            fail("no root element", text_.size());
        }
        return fault_;
    }

  private:
    XmlFault fault(std::string what, std::size_t offset) const {
        XmlFault f{std::move(what), offset, 1, 1};
        for (std::size_t i = 0; i < offset && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++f.line;
                f.column = 1;
            } else {
                ++f.column;
            }
        }
        return f;
    }

    void fail(std::string what, std::size_t offset) {
        if (!fault_) {
            fault_ = fault(std::move(what), offset);
        }
    }

    bool at(std::string_view s) const { return text_.substr(pos_).starts_with(s); }

    // Moves past the first `end` from `from`; a fault naming `what` when there is none.
    void skipPast(std::size_t from, std::string_view end, const char* what) {
        const std::size_t found = text_.find(end, from);
        if (found == std::string_view::npos) {
            fail(std::string("unclosed ") + what, pos_);
            return;
        }
        pos_ = found + end.size();
    }

    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) {
            ++pos_;
        }
    }

    Span name() {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && isNameStart(text_[pos_])) {
            ++pos_;
            while (pos_ < text_.size() && isNameChar(text_[pos_])) {
                ++pos_;
            }
        }
        return {start, pos_ - start};
    }

    bool countNode(std::size_t offset) {
        if (++nodes_ > kMaxXmlNodes) {
            fail("more than " + std::to_string(kMaxXmlNodes) + " elements and attributes", offset);
            return false;
        }
        return true;
    }

    void markup() {
        if (at("<?")) {
            skipPast(pos_ + 2, "?>", "processing instruction");
        } else if (at("<!--")) {
            skipPast(pos_ + 4, "-->", "comment");
        } else if (at("<![CDATA[")) {
            if (open_.empty()) {
                fail("CDATA outside the root element", pos_);
                return;
            }
            skipPast(pos_ + 9, "]]>", "CDATA section");
        } else if (at("<!DOCTYPE")) {
            doctype();
        } else if (at("</")) {
            endTag();
        } else if (at("<!")) {
            fail("unknown markup <!", pos_);
        } else {
            startTag();
        }
    }

    // Its internal subset, in brackets, may hold '>' in declarations, quotes and comments.
    void doctype() {
        const std::size_t start = pos_;
        if (seenDoctype_ || seenRoot_) {
            fail("a DOCTYPE that is not the only one before the root element", start);
            return;
        }
        seenDoctype_ = true;
        bool inSubset = false;
        pos_ += 9;
        while (pos_ < text_.size() && !fault_) {
            const char c = text_[pos_];
            if (c == '"' || c == '\'') {
                skipPast(pos_ + 1, std::string_view(&c, 1), "quoted value in the DOCTYPE");
            } else if (inSubset && at("<!--")) {
                skipPast(pos_ + 4, "-->", "comment");
            } else if (inSubset && at("<?")) {
                skipPast(pos_ + 2, "?>", "processing instruction");
            } else if (c == '[' || c == ']') {
                inSubset = c == '[';
                ++pos_;
            } else if (c == '>' && !inSubset) {
                ++pos_;
                return;
            } else {
                ++pos_;
            }
        }
        if (!fault_) {
            pos_ = start;
            fail("unclosed DOCTYPE", start);
        }
    }

    void endTag() {
        const std::size_t start = pos_;
        pos_ += 2;
        const Span closing = name();
        if (closing.size == 0) {
            fail("expected an element name", pos_);
            return;
        }
        const std::string_view closingName = text_.substr(closing.start, closing.size);
        if (open_.empty()) {
            fail("end tag </" + std::string(closingName) + "> with no element open", start);
            return;
        }
        const Span& opened = open_.back();
        const std::string_view openedName = text_.substr(opened.start, opened.size);
        if (closingName != openedName) {
            fail("end tag </" + std::string(closingName) + "> does not match <" +
                     std::string(openedName) + ">",
                 start);
            return;
        }
        skipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '>') {
            fail("expected >", pos_);
            return;
        }
        ++pos_;
        open_.pop_back();
        rootClosed_ = open_.empty();
    }

    void startTag() {
        const std::size_t start = pos_;
        if (rootClosed_) {
            fail("a second root element", start);
            return;
        }
        ++pos_;
        const Span element = name();
        if (element.size == 0) {
            fail("expected an element name", pos_);
            return;
        }
        if (open_.size() >= kMaxXmlDepth) {
            fail("elements nest more than " + std::to_string(kMaxXmlDepth) + " deep", start);
            return;
        }
        if (!countNode(start)) {
            return;
        }
        seenRoot_ = true;
        while (!fault_) {
            const std::size_t beforeSpace = pos_;
            skipSpace();
            if (pos_ >= text_.size()) {
                fail("unexpected end of data in a start tag", pos_);
            } else if (text_[pos_] == '>') {
                ++pos_;
                open_.push_back(element);
                return;
            } else if (text_[pos_] == '/') {
                if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>') {
                    fail("expected >", pos_ + 1);
                    return;
                }
                pos_ += 2;
                rootClosed_ = open_.empty();
                return;
            } else if (pos_ == beforeSpace) {
                fail("expected white space, > or />", pos_);
            } else {
                attribute();
            }
        }
    }

    void attribute() {
        const std::size_t start = pos_;
        if (name().size == 0) {
            fail("expected an attribute name", pos_);
            return;
        }
        if (!countNode(start)) {
            return;
        }
        skipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '=') {
            fail("expected =", pos_);
            return;
        }
        ++pos_;
        skipSpace();
        if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
            fail("expected a quoted attribute value", pos_);
            return;
        }
        const char quote = text_[pos_];
        const std::size_t end = text_.find(quote, pos_ + 1);
        if (end == std::string_view::npos) {
            fail("unclosed attribute value", pos_);
            return;
        }
        if (const std::size_t lt = text_.substr(pos_, end - pos_).find('<');
            lt != std::string_view::npos) {
            fail("< in an attribute value", pos_ + lt);
            return;
        }
        pos_ = end + 1;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::vector<Span> open_;  // the open elements' names, at most kMaxXmlDepth
    std::size_t nodes_ = 0;
    bool seenRoot_ = false;
    bool rootClosed_ = false;
    bool seenDoctype_ = false;
    std::optional<XmlFault> fault_;
};

}  // namespace

std::optional<XmlFault> checkXml(std::string_view text) {
    return Checker(text).run();
}

std::string xmlProblem(std::string_view text) {
    const std::optional<XmlFault> f = checkXml(text);
    if (!f) {
        return {};
    }
    return "not well-formed XML: " + f->what + " at offset " + std::to_string(f->offset) +
           " (line " + std::to_string(f->line) + ", column " + std::to_string(f->column) + ")";
}

}  // namespace bq
