// The fixed records of an encrypted storage file: the info record every storage carries, the
// header in front of every item, the item type numbers, and the bounded name fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Every storage, the root included, holds one stream of this name with its info record.
inline constexpr std::string_view kInfoStreamName = "BBC3709EB40C.INF";
inline constexpr size_t kNameFieldBytes = 260;
inline constexpr size_t kInfoRecordBytes = 268;
inline constexpr size_t kItemHeaderBytes = 292;
// Written at offset 264 of the root record; nothing reads it back.
inline constexpr int32_t kRootInfoMarker = 302;

// The stored type numbers. 2 is not an item type; any value not listed is read but carries no
// data.
enum class StorageItemType : int32_t {
    Folder = 0,
    Image = 1,
    Text = 3,
    WebAccount = 4,
    OtherAccount = 5,
    Pdf = 6,
    File = 7,
};

bool IsKnownItemType(int32_t type);
// Items whose content is a NUL-terminated text (a note or an account's XML).
bool IsTextLikeType(int32_t type);
// Items whose content is raw bytes (image, PDF, file).
bool IsBinaryType(int32_t type);

// A name as a fixed field keeps it: at most 259 bytes of the program's code page, cut at a
// character boundary, so the field always ends in a NUL.
std::string BoundedName(std::string_view name);
// The name read from a field: up to its first NUL or its 260 bytes.
std::string NameFromField(const uint8_t* field);

// The plaintext of every info stream. The root record names the info stream itself; a folder
// record carries the folder's name and whether it was expanded.
struct StorageInfoRecord {
    std::string name;
    int32_t expanded = 0;
    int32_t marker = 0;

    static StorageInfoRecord Root();
    static StorageInfoRecord Folder(std::string_view name, bool expanded);

    std::array<uint8_t, kInfoRecordBytes> ToBytes() const;
    // Null when fewer than 268 bytes are given.
    static std::optional<StorageInfoRecord> FromBytes(const uint8_t* data, size_t length);
    bool IsRoot() const { return name == kInfoStreamName; }
};

// The first 292 bytes of every item stream's plaintext.
struct StorageItemHeader {
    int32_t type = 0;
    int32_t imageType = 0;   // images only
    int32_t dataLength = 0;  // bytes after the header
    std::string name;        // display name, code page bytes
    int32_t imageLength = 0; // images only: the data length again
    int32_t fitToView = 0;   // images only

    std::array<uint8_t, kItemHeaderBytes> ToBytes() const;
    // Null when fewer than 292 bytes are given.
    static std::optional<StorageItemHeader> FromBytes(const uint8_t* data, size_t length);
};
