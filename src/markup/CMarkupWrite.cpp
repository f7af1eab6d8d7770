// CMarkup's writing side: escaping and appending elements, and moving the index entries
// that follow an insertion.
#include "markup/CMarkup.h"
#include "markup/MarkupBytes.h"

#include <algorithm>

using namespace markup_detail;

// ---------------------------------------------------------------------------------------------
// Building

void CMarkup::Escape(std::string_view data, std::string& out) const {
    out.reserve(out.size() + data.size() + data.size() / 10 + 7);
    const auto* d = reinterpret_cast<const uint8_t*>(data.data());
    size_t run = 0;
    size_t i = 0;
    while (i < data.size()) {
        uint8_t c = d[i];
        if (c != '<' && c != '&' && c != '>') {
            i += (doubleByte_ && IsLead(c) && i + 1 < data.size()) ? 2 : 1;
            continue;
        }
        const char* entity = c == '<' ? "&lt;" : c == '&' ? "&amp;" : c == '>' ? "&gt;" : nullptr;
        if (entity != nullptr) {
            out.append(data.data() + run, i - run);
            out.append(entity);
            run = i + 1;
        }
        ++i;
    }
    out.append(data.data() + run, data.size() - run);
}

bool CMarkup::AppendElement(const char* name, const char* data) {
    return AppendElement(name, data ? std::string_view(data) : std::string_view());
}

bool CMarkup::IsTagName(std::string_view tag) const {
    if (tag.empty() || IsQuote(static_cast<uint8_t>(tag[0]))) {
        return false;
    }
    for (size_t k = 0; k < tag.size(); ++k) {
        auto c = static_cast<uint8_t>(tag[k]);
        if (IsDelimiter(c)) {
            return false;
        }
        if (IsLead(c) && k + 1 < tag.size()) {
            ++k;
        }
    }
    return true;
}

bool CMarkup::InsertionPoint(const ElemPos& parent, bool split, size_t& insertAt) const {
    if (current_ != 0) {
        insertAt = static_cast<size_t>(index_[current_].endTagEnd) + 1;
    } else if (parent_ == 0) {
        insertAt = text_.size();
    } else {
        // Before the parent's end tag, or at the slash of an empty parent, which is replaced.
        insertAt = static_cast<size_t>(parent.endTagStart);
    }
    if (insertAt > text_.size()) {
        return false;
    }
    if (!split) {
        // Blanks up to the next tag (or the end) stay before the new element.
        size_t p = insertAt;
        while (p < text_.size() && IsSpace(static_cast<uint8_t>(text_[p]))) {
            ++p;
        }
        if (p == text_.size() || text_[p] == '<') {
            insertAt = p;
        }
    }
    return true;
}

CMarkup::Insertion CMarkup::ComposeInsertion(std::string_view tag, std::string_view data,
                                             const ElemPos& parent, bool split, size_t insertAt) {
    // The inserted bytes: an optional lead (the split parent's new start-tag close, or the line
    // break after a start tag that its end tag follows directly), the element, an optional tail.
    Insertion result;
    std::string& ins = scratch_;
    ins.clear();
    if (split) {
        ins.append(">\r\n");
        result.replaced = 1;
    } else if (parent_ != 0 && current_ == 0 && parent.endTagStart == parent.startTagEnd + 1 &&
               insertAt == static_cast<size_t>(parent.endTagStart)) {
        ins.append("\r\n");
    }
    result.elemOffset = ins.size();
    ins.push_back('<');
    ins.append(tag);
    if (data.empty()) {
        ins.append("/>\r\n");
    } else {
        ins.push_back('>');
        size_t before = ins.size();
        Escape(data, ins);
        result.escapedLength = ins.size() - before;
        ins.append("</");
        ins.append(tag);
        ins.append(">\r\n");
    }
    result.elemLength = ins.size() - result.elemOffset;
    if (split) {
        ins.append("</");
        ins.append(TagNameOf(parent_));
    }
    return result;
}

void CMarkup::LinkAsChild(int i) {
    index_[i].parent = parent_;
    if (current_ != 0) {
        index_[i].nextSibling = index_[current_].nextSibling;
        index_[current_].nextSibling = i;
    } else if (index_[parent_].firstChild == 0) {
        index_[parent_].firstChild = i;
    } else {
        int last = index_[parent_].firstChild;
        while (Valid(index_[last].nextSibling)) {
            last = index_[last].nextSibling;
        }
        index_[last].nextSibling = i;
    }
}

bool CMarkup::AppendElement(const char* name, std::string_view data) {
    if (name == nullptr || !IsTagName(name)) {
        return false;
    }
    const std::string_view tag(name);
    if (!ValidOrDocument(parent_) || (current_ != 0 && !Valid(current_))) {
        return false;
    }
    if (parent_ == 0) {
        if (HasRoot()) {
            return false;
        }
        index_[0].endTagStart = static_cast<int32_t>(text_.size());
    }

    const ElemPos parent = index_[parent_];
    const bool split = parent_ != 0 && parent.IsEmptyElement();
    size_t insertAt = 0;
    if (!InsertionPoint(parent, split, insertAt)) {
        return false;
    }
    const Insertion ins = ComposeInsertion(tag, data, parent, split, insertAt);
    if (text_.size() - ins.replaced + scratch_.size() > kMaxText) {
        return false;
    }
    const auto delta = static_cast<int32_t>(scratch_.size()) - static_cast<int32_t>(ins.replaced);

    // Grow geometrically so that building a document in order copies the text only a
    // logarithmic number of times.
    size_t needed = text_.size() - ins.replaced + scratch_.size();
    if (needed > text_.capacity()) {
        text_.reserve(std::max(needed, text_.capacity() * 2));
    }
    text_.replace(insertAt, ins.replaced, scratch_);

    const int i = NewEntry();
    ElemPos& e = index_[i];
    const auto start = static_cast<int32_t>(insertAt + ins.elemOffset);
    const auto nameLength = static_cast<int32_t>(tag.size());
    e.startTagStart = start;
    if (data.empty()) {
        e.startTagEnd = start + nameLength + 2;
        e.endTagStart = e.startTagEnd - 1;
        e.endTagEnd = e.startTagEnd;
    } else {
        e.startTagEnd = start + nameLength + 1;
        e.endTagStart = e.startTagEnd + 1 + static_cast<int32_t>(ins.escapedLength);
        e.endTagEnd = e.endTagStart + 2 + nameLength;
    }
    LinkAsChild(i);

    ShiftFollowing(i, delta);
    if (split) {
        ElemPos& p = index_[parent_];
        p.startTagEnd = static_cast<int32_t>(insertAt);
        p.endTagStart = start + static_cast<int32_t>(ins.elemLength);
    }
    current_ = i;
    child_ = 0;
    return true;
}

// Everything after the new element in document order moves by `delta`: its following
// siblings with their subtrees, then for each enclosing element its end tag and its own
// following siblings. Nothing before the insertion point is touched.
void CMarkup::ShiftFollowing(int elem, int32_t delta) {
    int x = elem;
    while (Valid(x)) {
        for (int s = index_[x].nextSibling; Valid(s); s = index_[s].nextSibling) {
            ShiftSubtree(s, delta);
        }
        int p = index_[x].parent;
        if (Valid(p)) {
            index_[p].endTagStart += delta;
            index_[p].endTagEnd += delta;
        }
        x = p;
    }
}

void CMarkup::ShiftSubtree(int top, int32_t delta) {
    int i = top;
    for (;;) {
        ElemPos& e = index_[i];
        e.startTagStart += delta;
        e.startTagEnd += delta;
        e.endTagStart += delta;
        e.endTagEnd += delta;
        if (Valid(e.firstChild)) {
            i = e.firstChild;
            continue;
        }
        while (i != top && !Valid(index_[i].nextSibling)) {
            i = index_[i].parent;
        }
        if (i == top) {
            return;
        }
        i = index_[i].nextSibling;
    }
}
