#include "browser/BrowserHistory.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/WholeFile.h"

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    return lower;
}

constexpr std::array<std::string_view, 5> kSchemes = {"http://", "https://", "ftp://", "file://",
                                                      "res://"};

// A history left readable by others (written by hand, say) becomes owner-only before it is
// rewritten, and the rewrite keeps that. Links are not followed.
void RestrictToOwner(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0) {
        ::fchmod(fd, st.st_mode & 0700);
    }
    ::close(fd);
}

} // namespace

bool SameAddress(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string HistoryForm(std::string_view typed, bool* schemeAdded) {
    std::string lower = ToLowerAscii(typed);
    const bool hasScheme = std::any_of(kSchemes.begin(), kSchemes.end(), [&](std::string_view s) {
        return lower.find(s) != std::string::npos;
    });
    if (schemeAdded != nullptr) {
        *schemeAdded = !hasScheme;
    }
    if (!hasScheme) {
        return "http://" + std::string(typed);
    }
    return lower;
}

bool HiddenFromAddressBar(std::string_view address) {
    return address.find("res://") != std::string_view::npos;
}

ptrdiff_t BrowserHistory::Find(std::string_view address) const {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const std::string& e) { return SameAddress(e, address); });
    return it == entries_.end() ? -1 : it - entries_.begin();
}

void BrowserHistory::PutOnTop(const std::string& address, Change& change, ptrdiff_t removed) {
    if (removed >= 0) {
        entries_.erase(entries_.begin() + removed);
        change.removed = removed;
    }
    entries_.insert(entries_.begin(), address);
}

BrowserHistory::Change BrowserHistory::AddTyped(const std::string& form) {
    Change change;
    ptrdiff_t removed = -1;
    if (!entries_.empty()) {
        std::string bare = form;
        while (!bare.empty() && bare.back() == '/') {
            bare.pop_back();
        }
        removed = Find(bare);
        if (removed < 0) {
            removed = Find(bare + '/');
        }
    }
    PutOnTop(form, change, removed);
    return change;
}

BrowserHistory::Change BrowserHistory::AddChosen(const std::string& address) {
    Change change;
    PutOnTop(address, change, Find(address));
    return change;
}

std::string BrowserHistory::Serialize() const {
    size_t total = 0;
    for (const std::string& e : entries_) {
        total += e.size() + 1;
    }
    std::string text;
    text.reserve(total);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        text += *it;
        text += '\n';
    }
    return text;
}

void BrowserHistory::Parse(std::string_view text) {
    entries_.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        // One read: up to the piece length, or up to and including the next line feed.
        const size_t limit = std::min(kHistoryPieceLength, text.size() - pos);
        const size_t lf = text.substr(pos, limit).find('\n');
        const size_t length = lf == std::string_view::npos ? limit : lf + 1;
        std::string_view piece = text.substr(pos, length);
        pos += length;
        piece = piece.substr(0, piece.find('\0'));
        std::string entry;
        entry.reserve(piece.size());
        for (char c : piece) {
            if (c != '\n' && c != '\r' && c != ' ') {
                entry += c;
            }
        }
        if (!entry.empty()) {
            entries_.push_back(std::move(entry));
        }
    }
    // Each line read goes to the top, so the file's last line is the most recent entry.
    std::reverse(entries_.begin(), entries_.end());
}

std::string HistoryFileIn(const std::string& folder) {
    return folder + "/h.dat";
}

void BrowserHistory::Load(const std::string& path) {
    Bytes bytes;
    if (!ReadWholeFile(path, bytes)) {
        entries_.clear();
        return;
    }
    Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool BrowserHistory::Save(const std::string& path) const {
    // The folder holds what only this user may read: created owner-only when missing.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(folder.parent_path(), ignored);
        ::mkdir(folder.c_str(), 0700);
    }
    RestrictToOwner(path);
    const std::string text = Serialize();
    return WriteWholeFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}
