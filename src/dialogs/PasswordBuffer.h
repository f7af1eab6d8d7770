// A password as the dialogs and documents hold it: bytes in the program's code page, at most
// 259 of them (cut at a character boundary), NUL-terminated, in a secret buffer that is wiped
// when it goes away or is overwritten. This is the dialogs' bridge between typed text and the
// core's SecretBuffer.
#pragma once

#include <string_view>

#include <QString>

#include "crypto/Ciphers.h"
#include "crypto/SecretBuffer.h"

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

    std::string_view View() const { return bytes_.View(); }
    const char* CStr() const { return bytes_.CStr(); }
    bool Empty() const { return bytes_.Empty(); }
    // The password as text for an edit box.
    QString ToText() const;

    // The code-page bytes of typed text, cut as SetText cuts them.
    static SecretBuffer Encode(const QString& text);

private:
    SecretBuffer bytes_;
};
