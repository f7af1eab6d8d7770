// The encrypted blob (word-rotated AES or DES ciphertext, nothing else) and the whole-file
// operations of the passwords and text documents.
#pragma once

#include "crypto/Ciphers.h"

#include <cstdint>
#include <string>
#include <string_view>

enum class BlobForm { Current, Legacy };

// Passwords are byte strings in the program's code page; a NUL ends them.
bool EncryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out);
bool DecryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out);
// The same in place: `buffer` holds the plaintext and receives the blob, or the reverse. Room
// for the padding block is best reserved by the caller; without it the buffer moves once.
bool EncryptBufferInPlace(Bytes& buffer, std::string_view password);
bool DecryptBufferInPlace(Bytes& buffer, std::string_view password);
bool EncryptBufferLegacy(const uint8_t* data, size_t length, std::string_view password, Bytes& out);
bool DecryptBufferLegacy(const uint8_t* data, size_t length, std::string_view password, Bytes& out);

// `error`, when given, receives the errno or file-layer code of a failure (see FileErrors.h;
// FileErrorMessage() explains it). Reading shares the file with other readers and refuses
// anything that is not a regular file.
bool ReadWholeFile(const std::string& path, Bytes& out, int* error = nullptr);
// Replaces the file atomically through AtomicFileWriter (see there for which targets are
// refused, how links are followed and which mode and owner the file gets). On failure the
// previous file is untouched and nothing is left behind.
bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t length,
                    int* error = nullptr);
bool GetFileSizeByName(const std::string& path, uint64_t& size);

// Converts the code-page text to UTF-16LE, encrypts and writes it. Nothing is written when
// the text is empty or encryption fails.
bool SaveEncryptedText(const std::string& path, std::string_view text, std::string_view password,
                       BlobForm form, int* error = nullptr);

enum class LoadTextStatus { Text, Unreadable, DecryptFailed };
LoadTextStatus LoadEncryptedText(const std::string& path, std::string_view password, BlobForm form,
                                 std::string& text, int* error = nullptr);

// The same with the stored form itself, for callers that hold text as UTF-16: `plain` is
// UTF-16LE text, encrypted in place (and wiped) and written; or it receives the decrypted
// UTF-16LE text, whole, which the caller wipes.
bool SaveEncryptedUtf16(const std::string& path, Bytes& plain, std::string_view password,
                        BlobForm form, int* error = nullptr);
LoadTextStatus LoadEncryptedUtf16(const std::string& path, std::string_view password, BlobForm form,
                                  Bytes& plain, int* error = nullptr);

// Extension test without regard to case; `extension` includes the dot (".ovd").
bool HasExtension(std::string_view path, std::string_view extension);
// The part of a path after its last slash (or backslash).
std::string FileNameOf(std::string_view path);
