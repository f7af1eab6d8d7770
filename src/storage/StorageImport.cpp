#include "storage/StorageImport.h"

#include "base/CodePage.h"
#include "base/WholeFile.h"
#include "storage/StorageAdd.h"

#include <filesystem>

namespace fs = std::filesystem;

void WalkImportDirectory(const std::string& path, const StorageImportSink& send) {
    std::vector<StorageImportEntry> batch;
    uint64_t batchBytes = 0;
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
            Bytes bytes;
            const bool read = ReadWholeFile(file, bytes);
            const StorageItemType type = StorageItemTypeForPath(file);
            if ((!read || bytes.empty()) && type != StorageItemType::Text) {
                continue;
            }
            batchBytes += bytes.size();
            batch.push_back({-1, number, MakeItemFromFile(file, std::move(bytes))});
            if (batch.size() >= kImportBatchEntries || batchBytes >= kImportBatchBytes) {
                stopped = !hand(false);
            }
        }
    }
    hand(true);
}
