// Constants and helpers shared by the compound-file reader and writer: the header layout,
// special sector numbers, and element names (UTF-8 <-> UTF-16, checks, the sort order).
#pragma once

#include "compound/CompoundFile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace compound {

inline constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr uint32_t kMaxRegSect = 0xFFFFFFFAu;
inline constexpr uint32_t kDifSect = 0xFFFFFFFCu;
inline constexpr uint32_t kFatSect = 0xFFFFFFFDu;
inline constexpr uint32_t kEndOfChain = 0xFFFFFFFEu;
inline constexpr uint32_t kFreeSect = 0xFFFFFFFFu;
inline constexpr uint32_t kNoStream = 0xFFFFFFFFu;
inline constexpr uint32_t kMiniCutoff = 4096;
inline constexpr uint32_t kMiniSectorSize = 64;
inline constexpr uint32_t kDirEntrySize = 128;
inline constexpr uint32_t kHeaderDifatCount = 109;
inline constexpr size_t kMaxNameUnits = 31;
// The sector that covers file offsets 0x7FFFFF00-0x7FFFFFFF is reserved for byte-range
// locking by other implementations and never holds data.
inline constexpr uint64_t kRangeLockOffset = 0x7FFFFF00u;

inline uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) {
    return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void Put64(uint8_t* p, uint64_t v) {
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Sector number of the range-lock sector for a sector size (header sector not counted).
inline uint32_t RangeLockSector(uint32_t sectorSize) {
    return static_cast<uint32_t>(kRangeLockOffset / sectorSize) - 1;
}

// UTF-8 -> UTF-16; false for malformed UTF-8 (overlong forms, surrogates, bytes past U+10FFFF).
bool Utf8ToUtf16(std::string_view in, std::u16string& out);
// UTF-16 -> UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view in);
// A valid element name: 1 to 31 units, no NUL, '/', '\\', ':' or '!'.
bool IsValidElementName(std::u16string_view name);
// Upper case as the sort order uses it: ASCII and Latin-1 letters.
inline char16_t UpperUnit(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<char16_t>(c - 0x20);
    }
    return c == 0xFF ? char16_t{0x178} : c;
}
// The format's order of names in one storage: shorter first, then by upper-cased unit.
int CompareNames(std::u16string_view a, std::u16string_view b);

} // namespace compound
