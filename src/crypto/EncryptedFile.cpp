#include "crypto/EncryptedFile.h"

#include "base/WholeFile.h"

#include "base/AtomicFileWriter.h"
#include "base/CodePage.h"
#include "base/SimpleFile.h"
#include "crypto/AesSlices.h"
#include "crypto/StrongFile.h"
#include "crypto/WordRotation.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads and writes go in slices of this size: large enough that the calls cost nothing,
// small enough that the kernel writes back while we go on (one call of hundreds of megabytes
// was three times slower to reach the disk) and that a read buffer is cleared in cache.
constexpr size_t kIoSlice = size_t{1} << 20;

// A password ends at its first NUL, like the fixed buffer it comes from.
std::string_view PasswordBytes(std::string_view password) {
    return password.substr(0, password.find('\0'));
}

void Fail(int* error, int code) {
    if (error != nullptr) {
        *error = code;
    }
}

} // namespace

bool EncryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out) {
    AesKey key = DeriveAesKey(PasswordBytes(password));
    const bool ok = AesEncryptRotated(data, length, key, out);
    SecureWipe(key.data(), key.size());
    return ok;
}

bool DecryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out) {
    AesKey key = DeriveAesKey(PasswordBytes(password));
    const bool ok = AesDecryptRotated(data, length, key, out);
    SecureWipe(key.data(), key.size());
    return ok;
}

bool EncryptBufferInPlace(Bytes& buffer, std::string_view password) {
    if (!buffer.empty() && buffer.capacity() < buffer.size() + kAesBlockBytes) {
        Bytes roomier;
        ReserveLarge(roomier, buffer.size() + kAesBlockBytes);
        roomier.assign(buffer.begin(), buffer.end());
        SecureWipe(buffer.data(), buffer.size());
        buffer.swap(roomier);
    }
    // The cipher reads each period before it writes it, and the output needs no more room.
    return EncryptBuffer(buffer.data(), buffer.size(), password, buffer);
}

bool DecryptBufferInPlace(Bytes& buffer, std::string_view password) {
    return DecryptBuffer(buffer.data(), buffer.size(), password, buffer);
}

bool EncryptBufferLegacy(const uint8_t* data, size_t length, std::string_view password,
                         Bytes& out) {
    const std::string pw(PasswordBytes(password));
    DesKey key = DeriveDesKey(pw.c_str());
    const bool ok = DesEncryptPadded(data, length, key, out);
    SecureWipe(key.data(), key.size());
    if (ok) {
        RotateWordsLeft(out.data(), out.size());
    }
    return ok;
}

bool DecryptBufferLegacy(const uint8_t* data, size_t length, std::string_view password,
                         Bytes& out) {
    out.clear();
    if (data == nullptr || length == 0) {
        return false;
    }
    Bytes plain(data, data + length);
    RotateWordsRight(plain.data(), plain.size());
    const std::string pw(PasswordBytes(password));
    DesKey key = DeriveDesKey(pw.c_str());
    const bool ok = DesDecryptPadded(plain.data(), plain.size(), key, out);
    SecureWipe(key.data(), key.size());
    SecureWipe(plain.data(), plain.size());
    return ok;
}

bool SaveEncryptedText(const std::string& path, std::string_view text, std::string_view password,
                       BlobForm form, int* error, const strong::Key* strong) {
    // The text becomes UTF-16LE in one pass, into a buffer with room for the padding that is
    // then encrypted in place.
    Bytes plain;
    ReserveLarge(plain, 2 * text.size() + kAesBlockBytes);
    CodePage::Program()->AppendUtf16Le(text, plain);
    return SaveEncryptedUtf16(path, plain, password, form, error, strong);
}

bool SaveEncryptedUtf16(const std::string& path, Bytes& plain, std::string_view password,
                        BlobForm form, int* error, const strong::Key* strong) {
    bool encrypted = false;
    Bytes blob;
    if (form == BlobForm::Current) {
        encrypted = EncryptBufferInPlace(plain, password);
    } else {
        encrypted = EncryptBufferLegacy(plain.data(), plain.size(), password, blob);
    }
    if (!encrypted || form != BlobForm::Current) {
        SecureWipe(plain.data(), plain.size());
    }
    if (!encrypted) {
        Fail(error, EINVAL);
        return false;
    }
    const Bytes& out = form == BlobForm::Current ? plain : blob;
    if (strong != nullptr) {
        return strong::WriteFile(path, out.data(), out.size(), *strong, error);
    }
    return WriteWholeFile(path, out.data(), out.size(), error);
}

LoadTextStatus LoadEncryptedText(const std::string& path, std::string_view password, BlobForm form,
                                 std::string& text, int* error, strong::Key* strong) {
    text.clear();
    Bytes plain;
    const LoadTextStatus status = LoadEncryptedUtf16(path, password, form, plain, error, strong);
    if (status == LoadTextStatus::Text) {
        // The text is a NUL-terminated string: anything after an embedded NUL is not part
        // of it.
        text = CodePage::Program()->FromUtf16Le(plain.data(), plain.size());
        SecureWipe(plain.data(), plain.size());
    }
    return status;
}

LoadTextStatus ReadStoredBlob(const std::string& path, std::string_view password, Bytes& blob,
                              int* error, strong::Key* strong) {
    if (!ReadWholeFile(path, blob, error)) {
        return LoadTextStatus::Unreadable;
    }
    if (!strong::HasMagic(blob.data(), blob.size())) {
        if (strong != nullptr) {
            strong->Clear();
        }
        return LoadTextStatus::Text;
    }
    strong::Key own;
    Bytes inner;
    const strong::Status status =
        strong::Open(blob.data(), blob.size(), password, strong != nullptr ? *strong : own, inner);
    if (status != strong::Status::Ok) {
        Fail(error, strong::ErrorCode(status));
        return LoadTextStatus::DecryptFailed;
    }
    blob.swap(inner);
    return LoadTextStatus::Text;
}

LoadTextStatus LoadEncryptedUtf16(const std::string& path, std::string_view password, BlobForm form,
                                  Bytes& plain, int* error, strong::Key* strong) {
    plain.clear();
    Bytes blob;
    if (const LoadTextStatus read = ReadStoredBlob(path, password, blob, error, strong);
        read != LoadTextStatus::Text) {
        return read;
    }
    // An empty legacy file fails quietly; an empty current file is a failed decryption.
    if (blob.empty() && form == BlobForm::Legacy) {
        Fail(error, 0);
        return LoadTextStatus::Unreadable;
    }
    const bool ok = form == BlobForm::Current
                        ? DecryptBufferInPlace(blob, password)
                        : DecryptBufferLegacy(blob.data(), blob.size(), password, plain);
    if (!ok) {
        return LoadTextStatus::DecryptFailed;
    }
    if (form == BlobForm::Current) {
        plain.swap(blob);
    }
    return LoadTextStatus::Text;
}

// The buffer holds a slice of plaintext and room for the padding block that encrypting it in
// place adds. A slice of whole scramble periods encrypts to the same bytes alone as within the
// whole text: the cipher works block by block and the scramble repeats every period. So each
// full slice but the last is encrypted with the padding block of a last one, which is dropped.
EncryptedFileStream::EncryptedFileStream() : buffer_(kIoSlice + kAesBlockBytes) {}

EncryptedFileStream::~EncryptedFileStream() {
    SecureWipe(buffer_.data(), buffer_.size());
    SecureWipe(key_.data(), key_.size());
}

bool EncryptedFileStream::Fail(int error) {
    error_ = error;
    writer_.Abort();
    SecureWipe(buffer_.data(), buffer_.size());
    filled_ = 0;
    return false;
}

bool EncryptedFileStream::Open(const std::string& path, std::string_view password,
                               const strong::Key* strong) {
    SecureWipe(buffer_.data(), buffer_.size());
    filled_ = 0;
    total_ = 0;
    error_ = 0;
    if (!writer_.Open(path)) {
        return Fail(writer_.LastError());
    }
    sealer_.reset();
    if (strong != nullptr) {
        sealer_ = std::make_unique<strong::Writer>(
            [this](const uint8_t* data, size_t length) { return writer_.Write(data, length); });
        if (const strong::Status s = sealer_->Begin(*strong); s != strong::Status::Ok) {
            return Fail(s == strong::Status::WriteFailed ? writer_.LastError()
                                                         : strong::ErrorCode(s));
        }
    }
    SecureWipe(key_.data(), key_.size());
    key_ = DeriveAesKey(PasswordBytes(password));
    return true;
}

std::span<uint8_t> EncryptedFileStream::Room() {
    return {buffer_.data() + filled_, kIoSlice - filled_};
}

bool EncryptedFileStream::Advance(size_t length) {
    if (!writer_.IsOpen()) {
        return Fail(EBADF);
    }
    if (length > kIoSlice - filled_) {
        return Fail(EINVAL);
    }
    filled_ += length;
    total_ += length;
    return kIoSlice - filled_ >= kMinRoom || EncryptAndWrite(false);
}

bool EncryptedFileStream::Append(const uint8_t* data, size_t length) {
    while (length > 0) {
        const std::span<uint8_t> room = Room();
        const size_t n = std::min(length, room.size());
        std::memcpy(room.data(), data, n);
        if (!Advance(n)) {
            return false;
        }
        data += n;
        length -= n;
    }
    return true;
}

// Encrypts the whole periods of plaintext held (all of it on the last call) and writes them.
// At least one byte stays behind for the last call, which adds the padding.
bool EncryptedFileStream::EncryptAndWrite(bool last) {
    const size_t whole =
        last ? filled_ : (filled_ - 1) / kScramblePeriodBytes * kScramblePeriodBytes;
    const size_t restLength = filled_ - whole;
    uint8_t rest[kScramblePeriodBytes];
    std::memcpy(rest, buffer_.data() + whole, restLength);
    int error = 0;
    if (!AesEncryptRotated(buffer_.data(), whole, key_, buffer_)) {
        error = EINVAL;
    } else if (!Put(buffer_.data(), last ? buffer_.size() : whole)) {
        error = writer_.LastError();
    }
    buffer_.resize(kIoSlice + kAesBlockBytes);
    std::memcpy(buffer_.data(), rest, restLength);
    SecureWipe(rest, sizeof rest);
    filled_ = restLength;
    return error == 0 || Fail(error);
}

bool EncryptedFileStream::Put(const uint8_t* data, size_t length) {
    if (sealer_ == nullptr) {
        return writer_.Write(data, length);
    }
    return sealer_->Append(data, length) == strong::Status::Ok;
}

bool EncryptedFileStream::Commit() {
    if (!writer_.IsOpen()) {
        return Fail(EBADF);
    }
    if (total_ == 0) {
        return Fail(EINVAL);
    }
    if (!EncryptAndWrite(true)) {
        return false;
    }
    SecureWipe(buffer_.data(), buffer_.size());
    filled_ = 0;
    if (sealer_ != nullptr && sealer_->Finish() != strong::Status::Ok) {
        return Fail(writer_.LastError());
    }
    return writer_.Commit() || Fail(writer_.LastError());
}
