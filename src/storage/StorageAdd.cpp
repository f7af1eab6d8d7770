#include "storage/StorageAdd.h"

#include "base/FileNames.h"
#include "base/WholeFile.h"
#include "image/ImageType.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

StorageItemType StorageItemTypeForPath(std::string_view path) {
    static constexpr std::string_view kImages[] = {".jpg",  ".jpeg", ".bmp", ".gif", ".png", ".tif",
                                                   ".tiff", ".ico",  ".tga", ".pcx", ".psd"};
    for (std::string_view ext : kImages) {
        if (HasExtension(path, ext)) {
            return StorageItemType::Image;
        }
    }
    if (HasExtension(path, ".pdf")) {
        return StorageItemType::Pdf;
    }
    if (HasExtension(path, ".txt")) {
        return StorageItemType::Text;
    }
    return StorageItemType::File;
}

std::unique_ptr<StorageItem> MakeItemFromFile(std::string_view path, Bytes bytes) {
    auto item = std::make_unique<StorageItem>();
    const StorageItemType type = StorageItemTypeForPath(path);
    item->type = static_cast<int32_t>(type);
    item->name = BoundedName(FileNameOf(path));
    item->size = static_cast<int64_t>(bytes.size());
    if (type == StorageItemType::Text) {
        if (!bytes.empty()) { // an empty note has no buffer to measure or wipe
            const auto* begin = reinterpret_cast<const char*>(bytes.data());
            item->text.assign(begin, strnlen(begin, bytes.size()));
            SecureWipe(bytes.data(), bytes.size());
        }
        return item;
    }
    if (type == StorageItemType::Image) {
        item->imageType = ImageTypeFromPath(path);
        item->fitToView = 1;
    }
    item->data = std::move(bytes);
    return item;
}

std::unique_ptr<StorageItem> MakeItemFromOpenFile(std::string_view path, int fd, uint64_t size,
                                                  int& error) {
    ItemData data(std::make_shared<const OutsideFile>(fd, size));
    if (StorageItemTypeForPath(path) == StorageItemType::Text) {
        ItemData text;
        const ItemDataRead read = data.Load(text);
        if (read != ItemDataRead::Ok) {
            error = read == ItemDataRead::NoMemory ? ENOMEM : EIO;
            return nullptr;
        }
        return MakeItemFromFile(path, Bytes(text.begin(), text.end()));
    }
    auto item = MakeItemFromFile(path, Bytes());
    item->size = static_cast<int64_t>(size);
    item->data = std::move(data);
    return item;
}

std::unique_ptr<StorageItem> MakeItemFromPath(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        error = EISDIR;
        return nullptr;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size > kAddInMemoryBytes && StorageItemTypeForPath(path) != StorageItemType::Text) {
        return MakeItemFromOpenFile(path, fd, size, error);
    }
    ::close(fd);
    Bytes bytes;
    if (!ReadWholeFile(path, bytes, &error)) {
        return nullptr;
    }
    return MakeItemFromFile(path, std::move(bytes));
}

std::unique_ptr<StorageItem> MakeItemFromClosedFile(std::string_view path, uint64_t size,
                                                    uint64_t device, uint64_t inode) {
    auto item = MakeItemFromFile(path, Bytes());
    item->size = static_cast<int64_t>(size);
    item->data =
        ItemData(std::make_shared<const OutsideFile>(std::string(path), size, device, inode));
    return item;
}
