#include "dialogs/PasswordBuffer.h"

#include <cstring>
#include <string>

#include <openssl/crypto.h>

#include "crypto/CodePage.h"

namespace {
void Wipe(std::string& s) {
    if (!s.empty()) {
        OPENSSL_cleanse(s.data(), s.size());
    }
}
} // namespace

PasswordBuffer::PasswordBuffer() {
    bytes_.fill('\0');
}

PasswordBuffer::~PasswordBuffer() {
    OPENSSL_cleanse(bytes_.data(), bytes_.size());
}

std::string PasswordBuffer::Encode(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    const auto codePage = CodePage::Program();
    std::string bytes = codePage->FromUtf8(std::string_view(utf8.constData(), utf8.size()));
    OPENSSL_cleanse(utf8.data(), utf8.size());
    // The buffer ends at the first NUL, as the stored password does.
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos) {
        bytes.resize(nul);
    }
    const size_t keep = codePage->CharacterBoundaryAtMost(bytes, kMaxLength);
    if (keep < bytes.size()) {
        OPENSSL_cleanse(bytes.data() + keep, bytes.size() - keep);
        bytes.resize(keep);
    }
    return bytes;
}

void PasswordBuffer::SetText(const QString& text) {
    std::string bytes = Encode(text);
    SetBytes(bytes);
    Wipe(bytes);
}

void PasswordBuffer::SetBytes(std::string_view bytes) {
    Clear();
    length_ = std::min(bytes.size(), kMaxLength);
    std::memcpy(bytes_.data(), bytes.data(), length_);
}

void PasswordBuffer::Clear() {
    OPENSSL_cleanse(bytes_.data(), bytes_.size());
    length_ = 0;
}

QString PasswordBuffer::ToText() const {
    std::string utf8 = CodePage::Program()->ToUtf8(View());
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    Wipe(utf8);
    return text;
}
