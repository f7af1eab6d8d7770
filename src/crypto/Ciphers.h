// Cipher primitives of the encrypted files: MD5, the two key derivations, AES-256-ECB and
// DES-CBC with block padding, and the word-rotation scramble applied to every ciphertext.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/Bytes.h"

class CodePage;

using Md5Hash = std::array<uint8_t, 16>;
using AesKey = std::array<uint8_t, 32>;
using DesKey = std::array<uint8_t, 8>;

inline constexpr size_t kMaxPasswordBytes = 259;

Md5Hash Md5Digest(const uint8_t* data, size_t length);

// Bytes 0-15: MD5 of the password; bytes 16-31: MD5 of the password reversed character by
// character in the given code page (the program's code page when none is given).
AesKey DeriveAesKey(std::string_view password);
AesKey DeriveAesKey(std::string_view password, const CodePage& codePage);

// DES string-to-key over the bytes up to the first NUL; every byte has odd parity.
DesKey DeriveDesKey(const char* password);

// Each returns false and leaves `out` empty on failure. Decryption fails on a length that is
// not a whole number of blocks or on padding that does not check out.
bool AesEncryptPadded(const uint8_t* data, size_t length, const AesKey& key, Bytes& out);
bool AesDecryptPadded(const uint8_t* data, size_t length, const AesKey& key, Bytes& out);
bool DesEncryptPadded(const uint8_t* data, size_t length, const DesKey& key, Bytes& out);
bool DesDecryptPadded(const uint8_t* data, size_t length, const DesKey& key, Bytes& out);

// Checks the block padding at the end of a decrypted buffer and cuts it off. On bad padding
// the buffer is wiped and emptied and false is returned.
bool TrimBlockPadding(Bytes& plain, size_t blockSize);

// Little-endian 32-bit word i is rotated by (i + 1) mod 32 bits; a tail of fewer than four
// bytes stays as it is. Both return the number of words rotated.
size_t RotateWordsLeft(uint8_t* buffer, size_t length);
size_t RotateWordsRight(uint8_t* buffer, size_t length);
