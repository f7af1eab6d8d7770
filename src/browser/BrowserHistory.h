// The built-in browser's address history: the list behind the address bar, most recent
// first, the rules by which typed and chosen addresses enter it, and its file "h.dat" in the
// common data folder (plain text in the program's code page, one address per line, the
// oldest first, every line ended by a single LF, no header).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The longest piece of a history line read at once; a longer line comes back as several
// entries, as the Windows edition reads it.
inline constexpr size_t kHistoryPieceLength = 259;

// True when the two addresses are equal without regard to the case of ASCII letters, the
// address bar's notion of the same entry.
bool SameAddress(std::string_view a, std::string_view b);

// The form in which a typed address enters the history. An address in which none of
// "http://", "https://", "ftp://", "file://" and "res://" appears anywhere (without regard
// to case) gets "http://" in front and keeps its case; any other is stored in lower case.
// `schemeAdded` tells which of the two happened.
std::string HistoryForm(std::string_view typed, bool* schemeAdded = nullptr);

// True when the address bar shows `address` as an empty text: the engine's own resource and
// error pages ("res://", compared with case).
bool HiddenFromAddressBar(std::string_view address);

// The history file in `folder` (the common data folder of the program).
std::string HistoryFileIn(const std::string& folder);

class BrowserHistory {
public:
    // The entries, most recent first.
    const std::vector<std::string>& Entries() const { return entries_; }
    size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

    // The index of the first entry equal to `address` (ignoring case), or -1.
    ptrdiff_t Find(std::string_view address) const;

    // What a change did to the list, so that a view of it can follow: the index of the entry
    // removed (-1 for none); the new entry is always at index 0 afterwards.
    struct Change {
        ptrdiff_t removed = -1;
    };

    // A typed address in its history form (see HistoryForm): an entry equal to it with its
    // trailing slashes removed goes, or failing that one equal to that text with a single
    // slash appended; at most one entry is removed. Then the address goes to the top.
    Change AddTyped(const std::string& form);
    // An address chosen from the list or reported by a page: an entry equal to it goes, and
    // it goes to the top.
    Change AddChosen(const std::string& address);

    // The file's text: the entries from the oldest to the most recent, each followed by LF.
    std::string Serialize() const;
    // Replaces the entries by those of the file's text. The text is read in pieces of at most
    // kHistoryPieceLength bytes that end at a line feed; every LF, CR and space is removed
    // from a piece (a piece ends at a NUL byte), an empty piece is skipped, and the last
    // piece becomes the most recent entry.
    void Parse(std::string_view text);

    // A missing or unreadable file gives an empty list.
    void Load(const std::string& path);
    // Replaces the file atomically; the file is readable by its owner only (an existing one
    // readable by others is restricted first). The folder is created when missing. False when it
    // cannot be written (the old file stays as it was).
    bool Save(const std::string& path) const;

private:
    void PutOnTop(const std::string& address, Change& change, ptrdiff_t removed);

    std::vector<std::string> entries_;
};
