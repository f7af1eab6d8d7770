// What the benchmarks that time whole operations by hand share: elapsed seconds, and a large
// text of mostly ASCII prose in lines of varying length.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

using BenchClock = std::chrono::steady_clock;

inline double SecondsSince(BenchClock::time_point start) {
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

// `bytes` of UTF-8 text: words, a few with accented letters or a symbol, CR LF between
// lines. It ends on a plain letter, so no multi-byte character is cut.
inline std::string MakeProseText(size_t bytes) {
    static const char* const kWords[] = {"the",
                                         "account",
                                         "secret",
                                         "Gr\xC3\xBC\xC3\x9F"
                                         "e",
                                         "note",
                                         "\xE2\x82\xAC"
                                         "12",
                                         "password",
                                         "line",
                                         "storage",
                                         "kept",
                                         "safe",
                                         "with",
                                         "care"};
    std::string text;
    text.reserve(bytes + 64);
    uint32_t seed = 12345;
    size_t lineLength = 0;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % (sizeof kWords / sizeof *kWords)];
        lineLength += 8;
        if (lineLength > 40 + (seed >> 8) % 60) {
            text += "\r\n";
            lineLength = 0;
        } else {
            text += ' ';
        }
    }
    text.resize(bytes);
    text.back() = '.';
    return text;
}
