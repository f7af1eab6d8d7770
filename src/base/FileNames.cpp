#include "base/FileNames.h"

#include <cctype>

bool HasExtension(std::string_view path, std::string_view extension) {
    if (path.size() < extension.size()) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - extension.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        const auto a = static_cast<unsigned char>(tail[i]);
        const auto b = static_cast<unsigned char>(extension[i]);
        if (std::tolower(a) != std::tolower(b)) {
            return false;
        }
    }
    return true;
}

std::string FileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
