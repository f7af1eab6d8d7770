// The encrypted blob (word-rotated AES or DES ciphertext, nothing else) and the whole-file
// operations of the passwords and text documents.
#pragma once

#include "base/AtomicFileWriter.h"
#include "crypto/Ciphers.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

enum class BlobForm { Current, Legacy };

namespace strong {
class Key;
class Writer;
} // namespace strong

// Passwords are byte strings in the program's code page; a NUL ends them.
bool EncryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out);
bool DecryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out);
// The same in place: `buffer` holds the plaintext and receives the blob, or the reverse. Room
// for the padding block is best reserved by the caller; without it the buffer moves once.
bool EncryptBufferInPlace(Bytes& buffer, std::string_view password);
bool DecryptBufferInPlace(Bytes& buffer, std::string_view password);
bool EncryptBufferLegacy(const uint8_t* data, size_t length, std::string_view password, Bytes& out);
bool DecryptBufferLegacy(const uint8_t* data, size_t length, std::string_view password, Bytes& out);

// Converts the code-page text to UTF-16LE, encrypts and writes it. Nothing is written when
// the text is empty or encryption fails. With a strong key the file is the same bytes inside
// the strong envelope (crypto/StrongEnvelope.h) under that key.
bool SaveEncryptedText(const std::string& path, std::string_view text, std::string_view password,
                       BlobForm form, int* error = nullptr, const strong::Key* strong = nullptr);

// A file that starts with the strong envelope's magic is opened through it whatever its
// extension; inside is the form `form` names. With `strong` given, a key there that fits the
// file is used instead of deriving one; otherwise the key derived is left there, and for a
// file without the envelope the key is cleared. A failure of the envelope is DecryptFailed
// with `error` set to its code (strong::StatusOfError tells it).
enum class LoadTextStatus { Text, Unreadable, DecryptFailed };
LoadTextStatus LoadEncryptedText(const std::string& path, std::string_view password, BlobForm form,
                                 std::string& text, int* error = nullptr,
                                 strong::Key* strong = nullptr);

// The same with the stored form itself, for callers that hold text as UTF-16: `plain` is
// UTF-16LE text, encrypted in place (and wiped) and written; or it receives the decrypted
// UTF-16LE text, whole, which the caller wipes.
bool SaveEncryptedUtf16(const std::string& path, Bytes& plain, std::string_view password,
                        BlobForm form, int* error = nullptr, const strong::Key* strong = nullptr);
LoadTextStatus LoadEncryptedUtf16(const std::string& path, std::string_view password, BlobForm form,
                                  Bytes& plain, int* error = nullptr,
                                  strong::Key* strong = nullptr);
// The blob of a whole-file document as read from disk, with the strong envelope taken off
// when there is one (see LoadEncryptedText for `strong` and the failures).
LoadTextStatus ReadStoredBlob(const std::string& path, std::string_view password, Bytes& blob,
                              int* error = nullptr, strong::Key* strong = nullptr);

// Writes a current-form encrypted file from plaintext handed over piece by piece, so that a
// large text is never held whole in its stored form nor whole encrypted: the plaintext goes
// into one buffer of a megabyte, which is encrypted and written each time it fills, and the
// file replaces the target atomically on Commit (see AtomicFileWriter). Until then, and after
// any failure, the target is untouched.
//
//     EncryptedFileStream stream;
//     bool ok = stream.Open(path, password);
//     while (ok && more) {
//         const std::span<uint8_t> room = stream.Room();   // at least kMinRoom bytes
//         ok = stream.Advance(Fill(room));                 // the bytes put at its start
//     }
//     ok = ok && stream.Commit();                          // else stream.LastError()
class EncryptedFileStream {
public:
    static constexpr size_t kMinRoom = 64;

    EncryptedFileStream();
    EncryptedFileStream(const EncryptedFileStream&) = delete;
    EncryptedFileStream& operator=(const EncryptedFileStream&) = delete;
    // Drops whatever was written and wipes the plaintext still held.
    ~EncryptedFileStream();

    // With a strong key the file is written inside the strong envelope under it.
    bool Open(const std::string& path, std::string_view password,
              const strong::Key* strong = nullptr);
    // Where the next plaintext bytes go; Advance says how many were put there.
    std::span<uint8_t> Room();
    bool Advance(size_t length);
    bool Append(const uint8_t* data, size_t length);
    // Pads and encrypts the last piece and puts the file in place. Without any plaintext
    // nothing is written and it fails with EINVAL, as an empty text cannot be encrypted.
    bool Commit();

    int LastError() const { return error_; }

private:
    bool Fail(int error);
    bool EncryptAndWrite(bool last);
    bool Put(const uint8_t* data, size_t length);

    AtomicFileWriter writer_;
    std::unique_ptr<strong::Writer> sealer_;
    AesKey key_{};
    Bytes buffer_;
    size_t filled_ = 0;
    uint64_t total_ = 0;
    int error_ = 0;
};
