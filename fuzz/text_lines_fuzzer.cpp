// Arbitrary decrypted text through the line-break rules of the text document: what is read
// holds no CR, what is written has a CR before every LF and none elsewhere, and writing then
// reading gives back the same lines.
#include "editor/TextLines.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view stored(reinterpret_cast<const char*>(data), size);
    const std::string lines = LinesFromStoredText(stored);
    if (lines.find('\r') != std::string::npos || lines.size() > stored.size()) {
        std::abort();
    }
    const std::string written = LinesToStoredText(lines);
    for (size_t i = 0; i < written.size(); ++i) {
        const bool cr = written[i] == '\r';
        const bool lf = written[i] == '\n';
        if ((cr && (i + 1 == written.size() || written[i + 1] != '\n')) ||
            (lf && (i == 0 || written[i - 1] != '\r'))) {
            std::abort();
        }
    }
    if (LinesFromStoredText(written) != lines) {
        std::abort();
    }
    return 0;
}
