#include "storage/StorageLayout.h"

#include "base/CodePage.h"

#include <algorithm>
#include <cstring>

namespace {

void PutInt32(uint8_t* at, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
}

int32_t GetInt32(const uint8_t* at) {
    return static_cast<int32_t>(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                                static_cast<uint32_t>(at[2]) << 16 |
                                static_cast<uint32_t>(at[3]) << 24);
}

void PutName(uint8_t* field, std::string_view name) {
    const std::string bounded = BoundedName(name);
    std::memcpy(field, bounded.data(), bounded.size());
}

} // namespace

bool IsKnownItemType(int32_t type) {
    switch (static_cast<StorageItemType>(type)) {
    case StorageItemType::Folder:
    case StorageItemType::Image:
    case StorageItemType::Text:
    case StorageItemType::WebAccount:
    case StorageItemType::OtherAccount:
    case StorageItemType::Pdf:
    case StorageItemType::File:
        return true;
    }
    return false;
}

bool IsTextLikeType(int32_t type) {
    return type == static_cast<int32_t>(StorageItemType::Text) ||
           type == static_cast<int32_t>(StorageItemType::WebAccount) ||
           type == static_cast<int32_t>(StorageItemType::OtherAccount);
}

bool IsBinaryType(int32_t type) {
    return type == static_cast<int32_t>(StorageItemType::Image) ||
           type == static_cast<int32_t>(StorageItemType::Pdf) ||
           type == static_cast<int32_t>(StorageItemType::File);
}

std::string BoundedName(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    if (name.size() < kNameFieldBytes) {
        return std::string(name);
    }
    return std::string(
        name.substr(0, CodePage::Program()->CharacterBoundaryAtMost(name, kNameFieldBytes - 1)));
}

std::string NameFromField(const uint8_t* field) {
    const auto* end = std::find(field, field + kNameFieldBytes, uint8_t{0});
    return std::string(reinterpret_cast<const char*>(field), static_cast<size_t>(end - field));
}

StorageInfoRecord StorageInfoRecord::Root() {
    StorageInfoRecord record;
    record.name = std::string(kInfoStreamName);
    record.marker = kRootInfoMarker;
    return record;
}

StorageInfoRecord StorageInfoRecord::Folder(std::string_view name, bool expanded) {
    StorageInfoRecord record;
    record.name = BoundedName(name);
    record.expanded = expanded ? 1 : 0;
    return record;
}

std::array<uint8_t, kInfoRecordBytes> StorageInfoRecord::ToBytes() const {
    std::array<uint8_t, kInfoRecordBytes> out{};
    PutName(out.data(), name);
    PutInt32(out.data() + 260, expanded);
    PutInt32(out.data() + 264, marker);
    return out;
}

std::optional<StorageInfoRecord> StorageInfoRecord::FromBytes(const uint8_t* data, size_t length) {
    if (data == nullptr || length < kInfoRecordBytes) {
        return std::nullopt;
    }
    StorageInfoRecord record;
    record.name = NameFromField(data);
    record.expanded = GetInt32(data + 260);
    record.marker = GetInt32(data + 264);
    return record;
}

std::array<uint8_t, kItemHeaderBytes> StorageItemHeader::ToBytes() const {
    std::array<uint8_t, kItemHeaderBytes> out{};
    PutInt32(out.data(), type);
    PutInt32(out.data() + 4, imageType);
    PutInt32(out.data() + 8, dataLength);
    PutName(out.data() + 12, name);
    PutInt32(out.data() + 272, imageLength);
    PutInt32(out.data() + 276, fitToView);
    return out;
}

std::optional<StorageItemHeader> StorageItemHeader::FromBytes(const uint8_t* data, size_t length) {
    if (data == nullptr || length < kItemHeaderBytes) {
        return std::nullopt;
    }
    StorageItemHeader header;
    header.type = GetInt32(data);
    header.imageType = GetInt32(data + 4);
    header.dataLength = GetInt32(data + 8);
    header.name = NameFromField(data + 12);
    header.imageLength = GetInt32(data + 272);
    header.fitToView = GetInt32(data + 276);
    return header;
}
