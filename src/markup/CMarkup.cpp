#include "markup/CMarkup.h"
#include "markup/MarkupBytes.h"

#include "base/CodePage.h"
#include "crypto/Ciphers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {

using namespace markup_detail;

size_t Find(const std::string& text, std::string_view what, size_t from) {
    return from > text.size() ? kNpos : text.find(what, from);
}

struct Entity {
    std::string_view text;
    char value;
};
constexpr Entity kEntities[] = {
    {"&lt;", '<'}, {"&amp;", '&'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'},
};

} // namespace

CMarkup::CMarkup() {
    Init(CodePage::Program().get());
}

CMarkup::CMarkup(const CodePage& codePage) {
    Init(&codePage);
}

CMarkup::~CMarkup() {
    // The text of a passwords document holds every secret in it.
    SecureWipe(text_.data(), text_.size());
    SecureWipe(scratch_.data(), scratch_.size());
}

void CMarkup::Init(const CodePage* codePage) {
    index_.reserve(8);
    index_.emplace_back();
    if (codePage != nullptr && codePage->IsDoubleByte()) {
        doubleByte_ = true;
        for (int b = 0x80; b < 0x100; ++b) {
            leadBytes_[b] = codePage->IsLeadByte(static_cast<uint8_t>(b)) ? 1 : 0;
        }
    }
}

CMarkup::Token CMarkup::ReadToken(size_t pos, size_t limit) const {
    Token token;
    limit = std::min(limit, text_.size());
    const auto* t = reinterpret_cast<const uint8_t*>(text_.data());
    while (pos < limit && IsSpace(t[pos])) {
        ++pos;
    }
    if (pos >= limit) {
        return token;
    }
    token.found = true;
    token.start = pos;
    uint8_t c = t[pos];
    if (IsQuote(c)) {
        token.quoted = true;
        const void* close = std::memchr(t + pos + 1, c, limit - pos - 1);
        token.closed = close != nullptr;
        token.end = close ? static_cast<size_t>(static_cast<const uint8_t*>(close) - t) + 1 : limit;
        return token;
    }
    if (IsDelimiter(c)) {
        token.end = pos + 1;
        return token;
    }
    while (pos < limit && !IsDelimiter(t[pos])) {
        pos += (IsLead(t[pos]) && pos + 1 < limit) ? 2 : 1;
    }
    token.end = pos;
    return token;
}

std::string_view CMarkup::TagNameOf(int i) const {
    if (!Valid(i)) {
        return {};
    }
    const ElemPos& e = index_[i];
    Token token =
        ReadToken(static_cast<size_t>(e.startTagStart) + 1, static_cast<size_t>(e.startTagEnd));
    if (!token.found) {
        return {};
    }
    return std::string_view(text_).substr(token.start, token.end - token.start);
}

bool CMarkup::NameMatches(int i, const char* name) const {
    return name == nullptr || *name == '\0' || TagNameOf(i) == name;
}

// ---------------------------------------------------------------------------------------------
// Parsing

bool CMarkup::SetText(const char* text) {
    return SetText(text ? std::string_view(text) : std::string_view());
}

bool CMarkup::SetText(std::string_view text) {
    index_.resize(1);
    parent_ = current_ = child_ = 0;
    error_.clear();
    text_.assign(text.data(), text.size());
    index_[0] = ElemPos{};
    if (text_.size() > kMaxText) {
        error_ = "Document too large";
        return false;
    }
    // Every element starts with a '<' that no '/', '!' or '?' follows, so counting those bounds
    // the index exactly enough that a large document never copies its index while parsing.
    // Reserved but unused entries cost address space only.
    size_t wanted = 8;
    for (size_t p = text_.find('<'); p != kNpos; p = text_.find('<', p + 1)) {
        const char next = p + 1 < text_.size() ? text_[p + 1] : '\0';
        wanted += (next != '/' && next != '!' && next != '?') ? 1 : 0;
    }
    if (index_.capacity() < wanted) {
        index_.reserve(wanted);
    }
    if (text_.empty()) {
        return false;
    }
    if (!Parse()) {
        index_.resize(1);
        index_[0] = ElemPos{};
        return false;
    }
    return true;
}

int CMarkup::NewEntry() {
    if (index_.size() == index_.capacity()) {
        index_.reserve(index_.size() + index_.size() / 2 + 1);
    }
    index_.emplace_back();
    return static_cast<int>(index_.size()) - 1;
}

// Processing instructions, comments, CDATA sections and declarations carry no elements; `at`
// is the '?' or '!' after the '<'.
bool CMarkup::SkipMarkup(size_t at, size_t& after) const {
    const std::string& t = text_;
    size_t end = kNpos;
    size_t length = 0;
    if (t[at] == '?') {
        end = Find(t, "?>", at + 1);
        length = 2;
    } else if (t.compare(at, 3, "!--") == 0) {
        end = Find(t, "-->", at + 3);
        length = 3;
    } else if (t.compare(at, 8, "![CDATA[") == 0) {
        end = Find(t, "]]>", at + 8);
        length = 3;
    } else {
        // A declaration ends at the first '>' outside brackets and quoted tokens.
        int depth = 0;
        bool tokenStart = true;
        size_t pos = at + 1;
        while (pos < t.size()) {
            auto c = static_cast<uint8_t>(t[pos]);
            if (tokenStart && IsQuote(c)) {
                size_t close = t.find(static_cast<char>(c), pos + 1);
                if (close == kNpos) {
                    return false;
                }
                pos = close + 1;
                continue;
            }
            if (c == '>' && depth == 0) {
                end = pos;
                length = 1;
                break;
            }
            if (c == '[') {
                ++depth;
            } else if (c == ']' && depth > 0) {
                --depth;
            }
            tokenStart = IsDelimiter(c);
            pos += (IsLead(c) && pos + 1 < t.size()) ? 2 : 1;
        }
    }
    if (end == kNpos) {
        return false;
    }
    after = end + length;
    return true;
}

// Reads the end tag of the element `name` whose '<' is at `lt`; on success `gt` is its
// closing '>'.
bool CMarkup::ReadEndTag(std::string_view name, size_t lt, size_t& gt) {
    Token slash = ReadToken(lt + 1, text_.size());
    if (!slash.found || slash.quoted || text_[slash.start] != '/' || slash.end != slash.start + 1) {
        error_ = "Expecting end tag of element " + std::string(name);
        return false;
    }
    Token tag = ReadToken(slash.end, text_.size());
    if (!tag.found) {
        error_ = "End tag not completed for element " + std::string(name);
        return false;
    }
    if (std::string_view(text_).substr(tag.start, tag.end - tag.start) != name) {
        error_ = "End tag does not correspond to " + std::string(name);
        return false;
    }
    size_t pos = tag.end;
    for (;;) {
        Token next = ReadToken(pos, text_.size());
        if (!next.found || (next.quoted && !next.closed)) {
            error_ = "End tag not completed for element " + std::string(name);
            return false;
        }
        if (!next.quoted && text_[next.start] == '>') {
            gt = next.start;
            return true;
        }
        pos = next.end;
    }
}

// Adds the element whose start tag runs from `lt` to `gt` as the child of `parent` after
// `last` (its last child so far, 0 for none), and makes it the last child. An empty element
// ("<A/>") is complete at once.
int CMarkup::AddParsedElement(size_t lt, size_t gt, int parent, int& last) {
    const int i = NewEntry();
    ElemPos& e = index_[i];
    e.startTagStart = static_cast<int32_t>(lt);
    e.startTagEnd = static_cast<int32_t>(gt);
    e.parent = parent;
    if (last != 0) {
        index_[last].nextSibling = i;
    } else {
        index_[parent].firstChild = i;
    }
    last = i;
    if (text_[gt - 1] == '/') {
        e.endTagStart = static_cast<int32_t>(gt - 1);
        e.endTagEnd = static_cast<int32_t>(gt);
    }
    return i;
}

// Walks the text once, keeping the open elements on a stack of their own rather than on the
// call stack, so that deep nesting in a hostile file cannot exhaust it.
bool CMarkup::Parse() {
    struct Open {
        int elem;
        int lastChild;
        size_t nameStart;
        size_t nameLength;
    };
    std::vector<Open> open;
    const char* t = text_.data();
    const size_t n = text_.size();
    size_t pos = 0;
    int rootLast = 0;
    for (;;) {
        const void* found = pos < n ? std::memchr(t + pos, '<', n - pos) : nullptr;
        if (found == nullptr) {
            error_ = open.empty()
                         ? std::string("Element tag not found")
                         : "End tag of " +
                               text_.substr(open.back().nameStart, open.back().nameLength) +
                               " element not found";
            return false;
        }
        size_t lt = static_cast<size_t>(static_cast<const char*>(found) - t);
        int parent = open.empty() ? 0 : open.back().elem;
        index_[parent].endTagStart = static_cast<int32_t>(lt);

        Token token = ReadToken(lt + 1, n);
        if (!token.found) {
            error_ = "Abrupt end within tag";
            return false;
        }
        if (token.quoted) {
            error_ = "Tag starts with quote";
            return false;
        }
        char first = t[token.start];
        if (first == '!' || first == '?') {
            if (!SkipMarkup(token.start, pos)) {
                error_ = "Invalid node";
                return false;
            }
            continue;
        }
        if (IsDelimiter(static_cast<uint8_t>(first))) {
            // Not a tag name: the end of the enclosing element's children.
            if (open.empty()) {
                error_ = "Element tag not found";
                return false;
            }
            size_t gt = 0;
            const std::string_view name(t + open.back().nameStart, open.back().nameLength);
            if (!ReadEndTag(name, lt, gt)) {
                return false;
            }
            index_[parent].endTagStart = static_cast<int32_t>(lt);
            index_[parent].endTagEnd = static_cast<int32_t>(gt);
            open.pop_back();
            pos = gt + 1;
            if (open.empty()) {
                return true;
            }
            continue;
        }

        const void* close = std::memchr(t + token.end, '>', n - token.end);
        if (close == nullptr) {
            error_ = "End of tag not found";
            return false;
        }
        size_t gt = static_cast<size_t>(static_cast<const char*>(close) - t);
        const int i =
            AddParsedElement(lt, gt, parent, open.empty() ? rootLast : open.back().lastChild);
        pos = gt + 1;
        if (t[gt - 1] == '/') {
            if (open.empty()) {
                return true;
            }
            continue;
        }
        open.push_back({i, 0, token.start, token.end - token.start});
    }
}

// ---------------------------------------------------------------------------------------------
// Navigation

bool CMarkup::HasRoot() const {
    return !index_.empty() && index_[0].firstChild != 0;
}

// The first element from `i` on along the sibling links whose name matches; 0 for none.
int CMarkup::FindSibling(int i, const char* name) const {
    for (; i != 0; i = index_[i].nextSibling) {
        if (!Valid(i)) {
            return 0;
        }
        if (NameMatches(i, name)) {
            return i;
        }
    }
    return 0;
}

bool CMarkup::FindNextElement(const char* name) {
    if (index_.size() <= 1 || !ValidOrDocument(parent_) || (current_ != 0 && !Valid(current_))) {
        return false;
    }
    const int start = current_ != 0 ? index_[current_].nextSibling : index_[parent_].firstChild;
    const int found = FindSibling(start, name);
    if (found == 0) {
        return false;
    }
    current_ = found;
    child_ = 0;
    return true;
}

bool CMarkup::FindNextChildElement(const char* name) {
    if (current_ == 0 && !FindNextElement(nullptr)) {
        return false;
    }
    if (!Valid(current_) || (child_ != 0 && !Valid(child_))) {
        return false;
    }
    const int start = child_ != 0 ? index_[child_].nextSibling : index_[current_].firstChild;
    const int found = FindSibling(start, name);
    if (found == 0) {
        return false;
    }
    child_ = found;
    return true;
}

bool CMarkup::EnterElement() {
    if (!Valid(current_)) {
        return false;
    }
    parent_ = current_;
    current_ = child_;
    child_ = 0;
    return true;
}

bool CMarkup::LeaveElement() {
    if (!Valid(parent_)) {
        return false;
    }
    child_ = current_;
    current_ = parent_;
    parent_ = index_[parent_].parent;
    return true;
}

std::string CMarkup::GetTagName() const {
    return std::string(TagNameOf(current_));
}

std::string CMarkup::GetChildTagName() const {
    return std::string(TagNameOf(child_));
}

// ---------------------------------------------------------------------------------------------
// Text content

std::string CMarkup::GetChildText() const {
    return TextOf(child_);
}

std::string CMarkup::TextOf(int i) const {
    std::string out;
    if (!Valid(i)) {
        return out;
    }
    const ElemPos& e = index_[i];
    if (e.firstChild != 0 || e.IsEmptyElement()) {
        return out;
    }
    const size_t begin = static_cast<size_t>(e.startTagEnd) + 1;
    const size_t end = static_cast<size_t>(e.endTagStart);
    if (begin > end || end > text_.size()) {
        return out;
    }
    const auto* t = reinterpret_cast<const uint8_t*>(text_.data());
    size_t p = begin;
    while (p < end && IsSpace(t[p])) {
        ++p;
    }
    constexpr std::string_view kCdata = "<![CDATA[";
    if (end - p > 11 && text_.compare(p, kCdata.size(), kCdata) == 0) {
        size_t from = p + kCdata.size();
        size_t close = text_.find("]]>", from);
        if (close != kNpos && close + 3 <= end) {
            return text_.substr(from, close - from);
        }
    }
    out.reserve(end - begin);
    p = begin;
    while (p < end) {
        if (!doubleByte_) {
            const void* amp = std::memchr(t + p, '&', end - p);
            size_t stop = amp ? static_cast<size_t>(static_cast<const uint8_t*>(amp) - t) : end;
            out.append(text_, p, stop - p);
            p = stop;
        } else {
            // Double-byte characters are copied whole, whatever their trail byte.
            while (p < end && t[p] != '&') {
                size_t length = (IsLead(t[p]) && p + 1 < end) ? 2 : 1;
                out.append(text_, p, length);
                p += length;
            }
        }
        if (p >= end) {
            break;
        }
        bool decoded = false;
        for (const Entity& entity : kEntities) {
            if (p + entity.text.size() <= end &&
                text_.compare(p, entity.text.size(), entity.text) == 0) {
                out.push_back(entity.value);
                p += entity.text.size();
                decoded = true;
                break;
            }
        }
        if (!decoded) {
            out.push_back('&');
            ++p;
        }
    }
    return out;
}
