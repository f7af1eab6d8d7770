#include "dialogs/PasswordBuffer.h"

#include <algorithm>
#include <string>

#include "base/CodePage.h"

PasswordBuffer::PasswordBuffer() {
    // Room for the longest password and its NUL, so setting one never moves the bytes.
    bytes_.Reserve(kCapacity);
}

PasswordBuffer::~PasswordBuffer() = default;

SecretBuffer PasswordBuffer::Encode(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    const auto codePage = CodePage::Program();
    SecretBuffer bytes(codePage->FromUtf8(std::string_view(utf8.constData(), utf8.size())));
    SecureWipe(utf8.data(), static_cast<size_t>(utf8.size()));
    // The buffer ends at the first NUL, as the stored password does.
    bytes.CutAtNul();
    bytes.CutAtMost(kMaxLength, *codePage);
    return bytes;
}

void PasswordBuffer::SetText(const QString& text) {
    const SecretBuffer bytes = Encode(text);
    SetBytes(bytes.View());
}

void PasswordBuffer::SetBytes(std::string_view bytes) {
    bytes_.Assign(bytes.substr(0, std::min(bytes.size(), kMaxLength)));
}

void PasswordBuffer::Clear() {
    bytes_.Clear();
}

QString PasswordBuffer::ToText() const {
    const SecretBuffer utf8(CodePage::Program()->ToUtf8(View()));
    return QString::fromUtf8(utf8.CStr(), static_cast<qsizetype>(utf8.Size()));
}
