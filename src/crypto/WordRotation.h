// Range forms of the word-rotation scramble, so callers can rotate a long buffer slice by
// slice while the slice is still in cache. `firstWord` is the index of the slice's first
// 32-bit word within the whole buffer.
#pragma once

#include <cstddef>
#include <cstdint>

void RotateWordRangeLeft(uint8_t* buffer, size_t words, size_t firstWord);
// Reads `words` words from `in`, rotates them right and writes them to `out` (which may be
// `in`).
void RotateWordRangeRight(const uint8_t* in, uint8_t* out, size_t words, size_t firstWord);
