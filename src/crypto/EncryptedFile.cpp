#include "crypto/EncryptedFile.h"

#include "crypto/AesSlices.h"
#include "crypto/AtomicFileWriter.h"
#include "crypto/CodePage.h"
#include "crypto/SimpleFile.h"
#include "crypto/WordRotation.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// SimpleFile moves at most this much per call.
constexpr size_t kIoChunk = size_t{1} << 30;

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
    const bool ok =
        AesEncryptPaddedSlices(data, length, key, out, [](uint8_t* slice, size_t n, size_t offset) {
            RotateWordRangeLeft(slice, n / 4, offset / 4);
        });
    SecureWipe(key.data(), key.size());
    return ok;
}

bool DecryptBuffer(const uint8_t* data, size_t length, std::string_view password, Bytes& out) {
    AesKey key = DeriveAesKey(PasswordBytes(password));
    const bool ok = AesDecryptPaddedSlices(
        data, length, key, out, [](const uint8_t* in, uint8_t* slice, size_t n, size_t offset) {
            RotateWordRangeRight(in, slice, n / 4, offset / 4);
        });
    SecureWipe(key.data(), key.size());
    return ok;
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

bool ReadWholeFile(const std::string& path, Bytes& out, int* error) {
    out.clear();
    SimpleFile file;
    if (!file.Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        Fail(error, file.LastError());
        return false;
    }
    const int64_t length = file.GetLength();
    if (length < 0) {
        Fail(error, file.LastError());
        return false;
    }
    ReserveLarge(out, static_cast<size_t>(length));
    out.resize(static_cast<size_t>(length));
    size_t done = 0;
    while (done < out.size()) {
        const auto want = static_cast<uint32_t>(std::min(kIoChunk, out.size() - done));
        const int64_t n = file.Read(out.data() + done, want);
        if (n < 0) {
            Fail(error, file.LastError());
            out.clear();
            return false;
        }
        if (n == 0) {
            break; // the file shrank while we read it
        }
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return true;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t length, int* error) {
    if (data == nullptr && length > 0) {
        Fail(error, EINVAL);
        return false;
    }
    AtomicFileWriter writer;
    if (!writer.Open(path) || !writer.Write(data, length) || !writer.Commit()) {
        Fail(error, writer.LastError());
        return false;
    }
    return true;
}

bool GetFileSizeByName(const std::string& path, uint64_t& size) {
    SimpleFile file;
    if (!file.Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }
    const int64_t length = file.GetLength();
    if (length < 0) {
        return false;
    }
    size = static_cast<uint64_t>(length);
    return true;
}

bool SaveEncryptedText(const std::string& path, std::string_view text, std::string_view password,
                       BlobForm form, int* error) {
    Bytes plain = Utf16ToLeBytes(CodePage::Program()->ToUtf16(text));
    Bytes blob;
    const bool encrypted = form == BlobForm::Current
                               ? EncryptBuffer(plain.data(), plain.size(), password, blob)
                               : EncryptBufferLegacy(plain.data(), plain.size(), password, blob);
    SecureWipe(plain.data(), plain.size());
    if (!encrypted) {
        Fail(error, EINVAL);
        return false;
    }
    return WriteWholeFile(path, blob.data(), blob.size(), error);
}

LoadTextStatus LoadEncryptedText(const std::string& path, std::string_view password, BlobForm form,
                                 std::string& text, int* error) {
    text.clear();
    Bytes blob;
    if (!ReadWholeFile(path, blob, error)) {
        return LoadTextStatus::Unreadable;
    }
    // An empty legacy file fails quietly; an empty current file is a failed decryption.
    if (blob.empty() && form == BlobForm::Legacy) {
        Fail(error, 0);
        return LoadTextStatus::Unreadable;
    }
    Bytes plain;
    const bool ok = form == BlobForm::Current
                        ? DecryptBuffer(blob.data(), blob.size(), password, plain)
                        : DecryptBufferLegacy(blob.data(), blob.size(), password, plain);
    if (!ok) {
        return LoadTextStatus::DecryptFailed;
    }
    std::u16string wide = Utf16FromLeBytes(plain.data(), plain.size());
    SecureWipe(plain.data(), plain.size());
    // The text is a NUL-terminated string: anything after an embedded NUL is not part of it.
    const size_t nul = wide.find(u'\0');
    text = CodePage::Program()->FromUtf16(std::u16string_view(wide).substr(0, nul));
    SecureWipe(wide.data(), wide.size() * sizeof(char16_t));
    return LoadTextStatus::Text;
}

bool HasExtension(std::string_view path, std::string_view extension) {
    if (path.size() < extension.size()) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - extension.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        const auto a = static_cast<unsigned char>(tail[i]);
        const auto b = static_cast<unsigned char>(extension[i]);
        if (std::tolower(a) != std::tolower(b)) {
            return false;
        }
    }
    return true;
}

std::string FileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
