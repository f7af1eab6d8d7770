#include "storage/StorageImport.h"

#include "base/CodePage.h"
#include "base/WholeFile.h"
#include "storage/StorageAdd.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The item of one file, read into memory (`held`: its bytes); null for a file left out:
// unreadable or empty, unless it is a note.
std::unique_ptr<StorageItem> ReadFileItem(const std::string& file, uint64_t& held) {
    Bytes bytes;
    const bool read = ReadWholeFile(file, bytes);
    if ((!read || bytes.empty()) && StorageItemTypeForPath(file) != StorageItemType::Text) {
        return nullptr;
    }
    held = bytes.size();
    return MakeItemFromFile(file, std::move(bytes));
}

// The same with the bytes left on disk: the file is looked at now and read when the item is
// written (only a note's text is read now).
std::unique_ptr<StorageItem> LeaveFileItem(const std::string& file) {
    const bool note = StorageItemTypeForPath(file) == StorageItemType::Text;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return note ? MakeItemFromFile(file, Bytes()) : nullptr;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (note) {
        int error = 0;
        auto item = MakeItemFromOpenFile(file, fd, size, error); // takes the descriptor
        return item != nullptr ? std::move(item) : MakeItemFromFile(file, Bytes());
    }
    ::close(fd);
    return MakeItemFromClosedFile(file, size, static_cast<uint64_t>(st.st_dev),
                                  static_cast<uint64_t>(st.st_ino));
}

} // namespace

void WalkImportDirectory(const std::string& path, const StorageImportSink& send,
                         const StorageImportProgress& progress, StorageImportFiles files) {
    std::vector<StorageImportEntry> batch;
    uint64_t batchBytes = 0;
    uint64_t count = 0;
    uint64_t bytesRead = 0;
    auto hand = [&](bool last) {
        const bool goOn = send(batch, last);
        batch.clear();
        batchBytes = 0;
        return goOn;
    };
    std::string top = path;
    while (top.size() > 1 && top.back() == '/') {
        top.pop_back();
    }
    const size_t slash = top.rfind('/');
    const std::string name = slash == std::string::npos ? std::string() : top.substr(slash + 1);
    if (name.empty()) {
        hand(true);
        return;
    }
    int32_t folders = 0;
    auto addFolder = [&](const std::string& folderName, int32_t parent) {
        auto record = std::make_unique<StorageItem>();
        record->type = static_cast<int32_t>(StorageItemType::Folder);
        record->name = BoundedName(CodePage::Program()->FromUtf8(folderName));
        batch.push_back({folders, parent, std::move(record)});
        return folders++;
    };
    std::vector<std::pair<std::string, int32_t>> pending{{top, addFolder(name, -1)}};
    bool stopped = false;
    while (!pending.empty() && !stopped) {
        auto [dir, number] = pending.back();
        pending.pop_back();
        std::error_code ec;
        for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end && !stopped; it.increment(ec)) {
            const fs::file_status status = it->symlink_status(ec);
            if (ec) {
                ec.clear();
                continue;
            }
            const std::string file = it->path().string();
            if (fs::is_directory(status)) {
                // Linked directories are not followed, so a loop of links cannot recur.
                pending.emplace_back(file, addFolder(it->path().filename().string(), number));
                continue;
            }
            uint64_t held = 0;
            std::unique_ptr<StorageItem> item =
                files == StorageImportFiles::Read ? ReadFileItem(file, held) : LeaveFileItem(file);
            ++count;
            bytesRead += item != nullptr ? static_cast<uint64_t>(item->size) : 0;
            if (progress && !progress(count, bytesRead)) {
                stopped = true;
            }
            if (item == nullptr) {
                continue;
            }
            batchBytes += held;
            batch.push_back({-1, number, std::move(item)});
            if (!stopped &&
                (batch.size() >= kImportBatchEntries || batchBytes >= kImportBatchBytes)) {
                stopped = !hand(false);
            }
        }
    }
    hand(true);
}
