#include "storage/StorageExport.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "base/CodePage.h"
#include "base/WholeFile.h"

namespace fs = std::filesystem;

std::string_view ExportBytes(const StorageItem& item) {
    if (IsBinaryType(item.type)) {
        return {reinterpret_cast<const char*>(item.data.data()), item.data.size()};
    }
    if (IsTextLikeType(item.type)) {
        return item.text;
    }
    return {};
}

std::string SafeFileName(const std::string& name) {
    std::string out = CodePage::Program()->ToUtf8(name);
    std::replace(out.begin(), out.end(), '/', '_');
    if (out.empty() || out == "." || out == "..") {
        out = "_" + out;
    }
    return out;
}

std::string UniqueIn(std::set<std::string>& taken, const std::string& name) {
    if (taken.insert(name).second) {
        return name;
    }
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        const std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
        if (taken.insert(candidate).second) {
            return candidate;
        }
    }
}

std::vector<StorageExportTarget> PlanFolderExport(const StorageItemTable& table,
                                                  const StorageTree& tree, int32_t folder,
                                                  const std::string& out) {
    std::vector<StorageExportTarget> targets;
    std::map<int32_t, std::string> dirs{{folder, out}};
    std::map<int32_t, std::set<std::string>> taken;
    for (const StorageTreeEntry& entry : tree) {
        const auto dir = dirs.find(entry.parent);
        const StorageItem* item = table.Get(entry.item);
        if (dir == dirs.end() || item == nullptr) {
            continue; // outside the exported folder
        }
        if (!item->IsFolder() && !IsKnownItemType(item->type)) {
            continue;
        }
        const std::string path =
            dir->second + "/" + UniqueIn(taken[entry.parent], SafeFileName(item->name));
        if (item->IsFolder()) {
            dirs[entry.item] = path;
        }
        targets.push_back({entry.item, path});
    }
    return targets;
}

namespace {

bool MakeDirectory(const std::string& path, std::string& failedPath, int& error) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path)) {
        failedPath = path;
        error = ec ? ec.value() : ENOTDIR;
        return false;
    }
    return true;
}

} // namespace

bool WriteFolderExport(const StorageItemTable& table, const std::string& out,
                       const std::vector<StorageExportTarget>& targets, std::string& failedPath,
                       int& error) {
    if (!MakeDirectory(out, failedPath, error)) {
        return false;
    }
    for (const StorageExportTarget& t : targets) {
        const StorageItem* item = table.Get(t.item);
        if (item == nullptr) {
            continue;
        }
        if (item->IsFolder()) {
            if (!MakeDirectory(t.path, failedPath, error)) {
                return false;
            }
            continue;
        }
        const std::string_view bytes = ExportBytes(*item);
        if (!WriteWholeFile(t.path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                            &error)) {
            failedPath = t.path;
            return false;
        }
    }
    return true;
}
