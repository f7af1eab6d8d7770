// Hostile blobs: decryption in both forms, then the UTF-16 conversion a document applies to
// whatever decrypts (also the one-pass forms), in a single-byte, a double-byte and the UTF-8 code
// page.
#include "base/CodePage.h"
#include "crypto/EncryptedFile.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool legacy = data[0] & 1;
    const size_t pwLength = std::min<size_t>(data[1] % 16, size - 2);
    const std::string password(reinterpret_cast<const char*>(data + 2), pwLength);
    const uint8_t* blob = data + 2 + pwLength;
    const size_t blobLength = size - 2 - pwLength;

    static const CodePage pages[] = {CodePage("UTF-8"), CodePage("CP1252"), CodePage("CP932")};
    const CodePage& page = pages[data[0] % 3];

    Bytes plain;
    const bool ok = legacy ? DecryptBufferLegacy(blob, blobLength, password, plain)
                           : DecryptBuffer(blob, blobLength, password, plain);
    // Whatever decrypts or not, the raw bytes also go through the text conversion, so the
    // converters see arbitrary input and not only what happens to pass the padding check.
    const Bytes& text = ok ? plain : Bytes(blob, blob + blobLength);
    const std::u16string wide = Utf16FromLeBytes(text.data(), text.size());
    const std::string narrow = page.FromUtf16(wide);
    const std::u16string again = page.ToUtf16(narrow);
    const std::string reversed = page.ReverseCharacters(narrow);
    if (reversed.size() != narrow.size() ||
        page.ReverseCharacters(reversed).size() != narrow.size()) {
        std::abort();
    }
    (void)again;
    // The one-pass conversions of the stored form agree with the composed ones.
    const size_t nul = wide.find(u'\0');
    if (page.FromUtf16Le(text.data(), text.size()) !=
        page.FromUtf16(std::u16string_view(wide).substr(0, nul))) {
        std::abort();
    }
    Bytes stored;
    page.AppendUtf16Le(narrow, stored);
    if (stored != Utf16ToLeBytes(page.ToUtf16(narrow))) {
        std::abort();
    }
    if (ok) {
        Bytes blobAgain;
        if (!legacy && !plain.empty() &&
            !EncryptBuffer(plain.data(), plain.size(), password, blobAgain)) {
            std::abort();
        }
        // In place, the same blob comes out and goes back.
        Bytes inPlace = plain;
        if (!legacy && !plain.empty() &&
            (!EncryptBufferInPlace(inPlace, password) || inPlace != blobAgain ||
             !DecryptBufferInPlace(inPlace, password) || inPlace != plain)) {
            std::abort();
        }
    }
    return 0;
}
