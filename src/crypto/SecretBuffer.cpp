#include "crypto/SecretBuffer.h"

#include <utility>

#include "base/CodePage.h"
#include "crypto/Ciphers.h"

void WipeSecret(std::string& bytes) noexcept {
    // Growing to the capacity never reallocates, and makes the whole buffer ours to write.
    bytes.resize(bytes.capacity());
    SecureWipe(bytes.data(), bytes.size());
    bytes.clear();
}

SecretBuffer::SecretBuffer(std::string&& bytes) noexcept : bytes_(std::move(bytes)) {
    // A short string moves by copying its inline bytes, which stay behind in `bytes`.
    WipeSecret(bytes);
}

SecretBuffer::SecretBuffer(std::string_view bytes) : bytes_(bytes) {}

SecretBuffer::~SecretBuffer() {
    WipeSecret(bytes_);
}

SecretBuffer::SecretBuffer(SecretBuffer&& other) noexcept : bytes_(std::move(other.bytes_)) {
    WipeSecret(other.bytes_);
}

SecretBuffer& SecretBuffer::operator=(SecretBuffer&& other) noexcept {
    if (this != &other) {
        WipeSecret(bytes_);
        bytes_ = std::move(other.bytes_);
        WipeSecret(other.bytes_);
    }
    return *this;
}

void SecretBuffer::Assign(std::string_view bytes) {
    WipeSecret(bytes_);
    // Reserving first means the copy lands in one allocation that this buffer wipes later.
    bytes_.reserve(bytes.size());
    bytes_.assign(bytes.data(), bytes.size());
}

void SecretBuffer::Clear() {
    WipeSecret(bytes_);
}

void SecretBuffer::Reserve(size_t bytes) {
    if (bytes <= bytes_.capacity()) {
        return;
    }
    std::string larger;
    larger.reserve(bytes);
    larger.assign(bytes_);
    WipeSecret(bytes_);
    bytes_.swap(larger);
}

void SecretBuffer::CutAtNul() {
    const size_t nul = bytes_.find('\0');
    if (nul != std::string::npos) {
        SecureWipe(bytes_.data() + nul, bytes_.size() - nul);
        bytes_.resize(nul);
    }
}

void SecretBuffer::CutAtMost(size_t maxBytes, const CodePage& page) {
    const size_t keep = page.CharacterBoundaryAtMost(bytes_, maxBytes);
    if (keep < bytes_.size()) {
        SecureWipe(bytes_.data() + keep, bytes_.size() - keep);
        bytes_.resize(keep);
    }
}

void SecretBuffer::CutToPasswordLength() {
    CutAtMost(kMaxPasswordBytes, *CodePage::Program());
}
