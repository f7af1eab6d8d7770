// A password as the documents use it: bytes in the program's code page, at most 259 of them
// (cut at a character boundary), NUL-terminated in a 260-byte buffer that is wiped when the
// buffer goes away or is overwritten.
#pragma once

#include <array>
#include <string_view>

#include <QString>

#include "crypto/Ciphers.h"

class PasswordBuffer {
public:
    static constexpr size_t kCapacity = 260;
    static constexpr size_t kMaxLength = kCapacity - 1;
    static_assert(kMaxLength == kMaxPasswordBytes, "the command-line tool cuts passwords alike");

    PasswordBuffer();
    ~PasswordBuffer();
    PasswordBuffer(const PasswordBuffer&) = delete;
    PasswordBuffer& operator=(const PasswordBuffer&) = delete;

    // Converts typed text to the program's code page and keeps at most kMaxLength bytes.
    void SetText(const QString& text);
    void SetBytes(std::string_view bytes);
    void Clear();

    std::string_view View() const { return {bytes_.data(), length_}; }
    const char* CStr() const { return bytes_.data(); }
    bool Empty() const { return length_ == 0; }
    // The password as text for an edit box.
    QString ToText() const;

    // The code-page bytes of typed text, cut as SetText cuts them.
    static std::string Encode(const QString& text);

private:
    std::array<char, kCapacity> bytes_;
    size_t length_ = 0;
};
