// A small element-only XML document: one text string plus an index of element positions in it.
// The passwords document and the storage's account items are written and read through it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CodePage;

// One entry of the element index. Offsets are byte offsets into the document text.
struct ElemPos {
    int32_t startTagStart = 0; // the '<' that opens the start tag
    int32_t startTagEnd = 0;   // the '>' that closes the start tag
    int32_t endTagStart = 0;   // the '<' of the end tag; the '/' of an empty element
    int32_t endTagEnd = 0;     // the '>' of the end tag; startTagEnd for an empty element
    int32_t parent = 0;        // enclosing element, 0 for the root
    int32_t firstChild = 0;    // 0 when there is none
    int32_t nextSibling = 0;   // 0 when there is none

    bool IsEmptyElement() const { return startTagEnd == endTagStart + 1; }
};

class CMarkup {
public:
    // Text is handled in the program's code page; a double-byte code page keeps its characters
    // whole in tag names, escaping and entity decoding.
    CMarkup();
    explicit CMarkup(const CodePage& codePage);
    CMarkup(const CMarkup&) = default;
    CMarkup& operator=(const CMarkup&) = default;
    virtual ~CMarkup();

    // Replaces the text and parses it. True when a root element was parsed; a document with any
    // error keeps its text but has no elements. The position is reset in every case.
    bool SetText(const char* text);
    bool SetText(std::string_view text);
    std::string GetText() const { return text_; }
    // The last parse error, empty when the last parse found no fault.
    const std::string& GetError() const { return error_; }

    // A null or empty name matches any element.
    bool FindNextElement(const char* name = nullptr);
    bool FindNextChildElement(const char* name = nullptr);
    bool EnterElement();
    bool LeaveElement();
    // Adds an element after the current one (or as the parent's last child when none is
    // current) and makes it current. Fails for a second root and for a name that is not a
    // single tag-name token.
    bool AppendElement(const char* name, const char* data = nullptr);
    bool AppendElement(const char* name, std::string_view data);
    std::string GetChildText() const;
    bool HasRoot() const;

    // Tag names at the current and child positions; empty when there is no element there.
    std::string GetTagName() const;
    std::string GetChildTagName() const;

    // The element index, for checks of its consistency: entries 1 .. IndexUsed() - 1 are
    // elements, entry 0 stands for the document.
    const std::vector<ElemPos>& Index() const { return index_; }
    int IndexUsed() const { return static_cast<int>(index_.size()); }

private:
    struct Token {
        size_t start = 0;
        size_t end = 0; // one past the last byte; a quoted token includes its quotes
        bool quoted = false;
        bool closed = false; // a quoted token found its closing quote
        bool found = false;
    };

    void Init(const CodePage* codePage);
    bool Valid(int i) const { return i > 0 && static_cast<size_t>(i) < index_.size(); }
    bool ValidOrDocument(int i) const { return i == 0 || Valid(i); }
    bool IsLead(uint8_t byte) const { return leadBytes_[byte] != 0; }
    // Reads one token at `pos` (skipping whitespace first), never past `limit`.
    Token ReadToken(size_t pos, size_t limit) const;
    std::string_view TagNameOf(int i) const;
    bool NameMatches(int i, const char* name) const;
    int FindSibling(int i, const char* name) const;
    std::string TextOf(int i) const;

    bool Parse();
    bool SkipMarkup(size_t lt, size_t& after) const;
    bool ReadEndTag(std::string_view name, size_t lt, size_t& gt);
    int AddParsedElement(size_t lt, size_t gt, int parent, int& last);
    int NewEntry();

    // What AppendElement puts into the text (in scratch_): `replaced` bytes at the insertion
    // point give way to it; the element itself starts at `elemOffset` and is `elemLength`
    // bytes long, its escaped content `escapedLength`.
    struct Insertion {
        size_t replaced = 0;
        size_t elemOffset = 0;
        size_t elemLength = 0;
        size_t escapedLength = 0;
    };
    // A single tag-name token: no quote at its start, no delimiter in it.
    bool IsTagName(std::string_view tag) const;
    // Where a new element under `parent` goes; false when the index points past the text.
    bool InsertionPoint(const ElemPos& parent, bool split, size_t& insertAt) const;
    Insertion ComposeInsertion(std::string_view tag, std::string_view data, const ElemPos& parent,
                               bool split, size_t insertAt);
    // Links entry `i` into the tree as the child of parent_ after current_ (or last).
    void LinkAsChild(int i);
    void Escape(std::string_view data, std::string& out) const;
    void ShiftFollowing(int elem, int32_t delta);
    void ShiftSubtree(int top, int32_t delta);

    std::string text_;
    std::string error_;
    std::vector<ElemPos> index_;
    int parent_ = 0;
    int current_ = 0;
    int child_ = 0;
    std::array<uint8_t, 256> leadBytes_{};
    bool doubleByte_ = false;
    std::string scratch_;
};
