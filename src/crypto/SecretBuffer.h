// The one type that holds a secret in memory: a password, a decrypted text, the plaintext of
// an account list. Its bytes are overwritten whenever they go away - when the buffer is
// destroyed, cleared, assigned anew or moved from - so no copy of a secret is left behind in
// freed memory by our own code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CodePage;

// Overwrites every byte a std::string that held a secret owns, its unused capacity included,
// and empties it: for secrets that must stay in a std::string (a line being read, an
// argument for a library call).
void WipeSecret(std::string& bytes) noexcept;

class SecretBuffer {
public:
    SecretBuffer() = default;
    // Takes the bytes over; what is left in `bytes` is wiped.
    explicit SecretBuffer(std::string&& bytes) noexcept;
    explicit SecretBuffer(std::string_view bytes);
    ~SecretBuffer();
    SecretBuffer(SecretBuffer&& other) noexcept;
    SecretBuffer& operator=(SecretBuffer&& other) noexcept;
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;

    // Wipes the old bytes, then holds a copy of `bytes`.
    void Assign(std::string_view bytes);
    // Wipes the bytes and empties the buffer.
    void Clear();
    // Makes room for `bytes` bytes up front, so that filling the buffer up to that size never
    // leaves an unwiped copy in a buffer given back by a reallocation.
    void Reserve(size_t bytes);

    // The bytes for a function that fills a std::string (a decryption, a conversion). What it
    // writes is wiped like everything else.
    std::string& Bytes() { return bytes_; }
    std::string_view View() const { return bytes_; }
    // The bytes followed by a NUL.
    const char* CStr() const { return bytes_.c_str(); }
    size_t Size() const { return bytes_.size(); }
    bool Empty() const { return bytes_.empty(); }

    // Ends the bytes at the first NUL, as a password stored as a C string ends.
    void CutAtNul();
    // Keeps at most `maxBytes` bytes, never splitting a character of `page`; the cut-off
    // bytes are wiped.
    void CutAtMost(size_t maxBytes, const CodePage& page);
    // Cuts a password to the longest length a document keeps (kMaxPasswordBytes), at a
    // character boundary of the program's code page.
    void CutToPasswordLength();

private:
    std::string bytes_;
};
