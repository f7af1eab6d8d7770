#include "crypto/PassphraseWords.h"

#include <vector>

// The list's text exactly as shipped, written into a source file when the project is
// configured.
extern const char kPassphraseWordListText[];
extern const unsigned long kPassphraseWordListSize;

namespace {

// Each line is "DDDDD<TAB>word"; the dice digits are not needed, the position says as much.
std::vector<std::string_view> ParseWordList(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (const size_t tab = line.find('\t'); tab != std::string_view::npos) {
            line = line.substr(tab + 1);
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            words.push_back(line);
        }
    }
    return words;
}

} // namespace

std::span<const std::string_view> PassphraseWords() {
    static const std::vector<std::string_view> words =
        ParseWordList(std::string_view(kPassphraseWordListText, kPassphraseWordListSize));
    return words;
}
