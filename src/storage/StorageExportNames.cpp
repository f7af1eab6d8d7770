#include "storage/StorageExportNames.h"

#include "base/CodePage.h"
#include "image/ImageType.h"
#include "storage/ItemXml.h"

namespace {

// Longer "extensions" are part of the name: a dot in a sentence is not a file type.
constexpr size_t kMaxExtensionBytes = 32;

// The largest length not above `maxBytes` that does not split a UTF-8 character of `text`.
size_t Utf8BoundaryAtMost(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text.size();
    }
    size_t cut = maxBytes;
    // A character has at most three continuation bytes; past that the text is not UTF-8.
    for (int back = 0; back < 3 && cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80;
         ++back) {
        --cut;
    }
    return cut;
}

size_t ExtensionStart(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kMaxExtensionBytes) {
        return name.size();
    }
    return dot;
}

} // namespace

std::string_view ExportBytes(const StorageItem& item) {
    if (IsTextLikeType(item.type)) {
        return item.text;
    }
    return {};
}

uint64_t ExportLength(const StorageItem& item) {
    return IsBinaryType(item.type) ? item.data.size() : ExportBytes(item).size();
}

ItemDataRead ExportPieces(const StorageItem& item, const ItemData::PieceSink& sink) {
    if (IsBinaryType(item.type)) {
        return item.data.ReadPieces(sink);
    }
    std::string scratch;
    const std::string_view bytes = ExportBytes(item, scratch);
    ItemDataRead result = ItemDataRead::Ok;
    for (size_t at = 0; at < bytes.size() && result == ItemDataRead::Ok; at += kItemPieceBytes) {
        if (!sink(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                  std::min(kItemPieceBytes, bytes.size() - at))) {
            result = ItemDataRead::Stopped;
        }
    }
    SecureWipe(scratch.data(), scratch.size());
    return result;
}

std::string_view ExportBytes(const StorageItem& item, std::string& scratch) {
    if (item.Is(StorageItemType::WebAccount) || item.Is(StorageItemType::OtherAccount)) {
        scratch = XmlDeclaringEncoding(item.text, CodePage::Program()->Name());
        return scratch;
    }
    return ExportBytes(item);
}

std::string SafeFileName(const std::string& name) {
    const std::string utf8 = CodePage::Program()->ToUtf8(name);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        // C0 controls, DEL and the C1 controls (U+0080..U+009F, which terminals obey too).
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() &&
                        static_cast<uint8_t>(utf8[i + 1]) >= 0x80 &&
                        static_cast<uint8_t>(utf8[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c == '/' || c1) {
            out += '_';
            i += c1 ? 1 : 0;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.empty() || out == "." || out == "..") {
        out = "_" + out;
    }
    return FitFileName(out, "");
}

std::string FitFileName(std::string_view name, std::string_view tag, size_t maxBytes) {
    const size_t ext = ExtensionStart(name);
    const std::string_view extension = name.substr(ext);
    std::string_view stem = name.substr(0, ext);
    const size_t fixed = tag.size() + extension.size();
    if (fixed < maxBytes) {
        stem = stem.substr(0, Utf8BoundaryAtMost(stem, maxBytes - fixed));
        std::string out;
        out.reserve(stem.size() + fixed);
        return out.append(stem).append(tag).append(extension);
    }
    // No room for the extension (a very long tag): the whole name is the stem.
    const std::string whole = std::string(name).append(tag);
    return whole.substr(0, Utf8BoundaryAtMost(whole, maxBytes));
}

std::string UniqueNames::Take(const std::string& name) {
    if (taken_.insert(name).second) {
        return name;
    }
    uint64_t& next = next_.try_emplace(name, 2).first->second;
    for (;; ++next) {
        std::string candidate = FitFileName(name, " (" + std::to_string(next) + ")");
        if (taken_.insert(candidate).second) {
            ++next;
            return candidate;
        }
    }
}

std::string ImageTypeExtension(int imageType) {
    // By image type 1 (BMP) to 9 (ICO).
    static const char* const kExtensions[] = {"bmp", "pcx", "jpg", "gif", "tga",
                                              "tif", "png", "psd", "ico"};
    return imageType >= ImageType::Bmp && imageType <= ImageType::Ico
               ? kExtensions[imageType - ImageType::Bmp]
               : std::string();
}
