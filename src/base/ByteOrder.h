// Reading and writing little- and big-endian integers in file bytes.
#pragma once

#include <cstdint>

inline uint16_t Read16(const uint8_t* p, bool bigEndian = false) {
    return static_cast<uint16_t>(bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
}
inline uint32_t Read32(const uint8_t* p, bool bigEndian = false) {
    return bigEndian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                     : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}
inline void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}
