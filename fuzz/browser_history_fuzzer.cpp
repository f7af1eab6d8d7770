// Arbitrary bytes as the browser's history file: every entry is a non-empty piece of at most
// the piece length without line breaks, blanks or NUL bytes, and writing the list then
// reading it back gives the same list.
#include "browser/BrowserHistory.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BrowserHistory history;
    history.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& entry : history.Entries()) {
        if (entry.empty() || entry.size() > kHistoryPieceLength ||
            entry.find_first_of(std::string_view("\n\r \0", 4)) != std::string::npos) {
            std::abort();
        }
    }
    BrowserHistory again;
    again.Parse(history.Serialize());
    if (again.Entries() != history.Entries()) {
        std::abort();
    }
    return 0;
}
