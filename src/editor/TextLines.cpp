#include "editor/TextLines.h"

namespace {

// Copies `text`, writing `separator` for each line break.
std::string ReplaceLineBreaks(std::string_view text, std::string_view separator) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out.append(separator);
        } else if (c == '\n') {
            out.append(separator);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

std::string LinesFromStoredText(std::string_view stored) {
    return ReplaceLineBreaks(stored, "\n");
}

std::string LinesToStoredText(std::string_view text) {
    return ReplaceLineBreaks(text, "\r\n");
}
