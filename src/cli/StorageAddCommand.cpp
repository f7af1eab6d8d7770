// add: files put into an encrypted storage, which is created when missing.
#include "cli/StorageCli.h"

#include "base/CodePage.h"
#include "base/FileErrors.h"
#include "base/WholeFile.h"
#include "storage/StorageAdd.h"
#include "storage/StorageSave.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The new storage's password: typed twice on a terminal, once from a file or standard input.
int ReadNewPassword(const CliOptions& options, SecretBuffer& password) {
    if (const int code = ReadPassword(options, password); code != kExitOk) {
        return code;
    }
    if (options.passwordFile || options.passwordStdin) {
        return kExitOk;
    }
    SecretBuffer again;
    if (const int code = ReadPassword(options, again); code != kExitOk) {
        return code;
    }
    const bool same = again.View() == password.View();
    if (!same) {
        return Fail(kExitUsage, "the two passwords differ; nothing was written");
    }
    return kExitOk;
}

// The folder names of a --folder path (UTF-8, escapes undone). "." and ".." would read as
// a step within the path, which they are not here: they are refused.
int FolderNames(const std::string& typed, std::vector<std::string>& names) {
    for (const std::string& part : SplitPath(typed)) {
        names.push_back(Unescape(part));
        if (names.back() == "." || names.back() == "..") {
            return Fail(kExitUsage, "--folder " + typed + ": \"" + names.back() +
                                        "\" cannot be a folder name; give the folders from the "
                                        "top of the storage down, separated by /");
        }
    }
    return kExitOk;
}

// The folder at `names` under the root, made where missing; returns its index. Of equal
// names the first in reading order is taken, the one the sorted tree shows first.
int32_t FolderAt(StorageItemTable& table, StorageTree& tree,
                 const std::vector<std::string>& names) {
    int32_t folder = kRootParent;
    for (const std::string& utf8 : names) {
        const std::string name = BoundedName(CodePage::Program()->FromUtf8(utf8));
        int32_t next = kRootParent;
        for (const StorageTreeEntry& entry : tree) {
            const StorageItem* item = table.Get(entry.item);
            if (entry.parent == folder && item != nullptr && item->IsFolder() &&
                item->name == name) {
                next = entry.item;
                break;
            }
        }
        if (next == kRootParent) {
            auto item = std::make_unique<StorageItem>();
            item->type = static_cast<int32_t>(StorageItemType::Folder);
            item->name = name;
            item->expanded = 1;
            next = table.Add(std::move(item));
            tree.push_back({next, folder});
        }
        folder = next;
    }
    return folder;
}

int Add(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> folderPath;
    if (!TakeOption(args, "--folder", folderPath)) {
        return kExitUsage;
    }
    if (args.size() < 2) {
        return UsageFail("add takes FILE.ovs and at least one FILE");
    }
    const std::string path = args[0];
    if (!IsStoragePath(path)) {
        return UsageFail(path + " is not a .ovs file");
    }
    std::vector<std::string> folderNames;
    if (folderPath) {
        if (const int code = FolderNames(*folderPath, folderNames); code != kExitOk) {
            return code;
        }
    }
    // Every file is read before the storage is touched: one bad name changes nothing.
    // Each file is held open and read in pieces when the storage is written.
    std::vector<std::unique_ptr<StorageItem>> items;
    for (size_t i = 1; i < args.size(); ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(args[i], ec)) {
            return Fail(kExitFile, "cannot add " + args[i] + ": it is a folder");
        }
        const int fd = ::open(args[i].c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            const int error = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            return FileFail(args[i], error, "read");
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            return FileFail(args[i], kErrorNotRegularFile, "read");
        }
        if (st.st_size == 0) {
            ::close(fd);
            return Fail(kExitFile, "cannot add " + args[i] + ": the file is empty");
        }
        int error = 0;
        auto item = MakeItemFromOpenFile(CodePage::Program()->FromUtf8(args[i]), fd,
                                         static_cast<uint64_t>(st.st_size), error);
        if (item == nullptr) {
            return FileFail(args[i], error, "read");
        }
        items.push_back(std::move(item));
    }

    uint64_t size = 0;
    const bool exists = GetFileSizeByName(path, size) && size > 0;
    OpenStorage storage;
    SecretBuffer password;
    if (exists) {
        if (const int code = LoadStorage(options, path, storage, password); code != kExitOk) {
            return code;
        }
        if (ReportDamage(path, storage, "the rest of that folder is unread") != kExitOk) {
            return Fail(kExitDamaged, "nothing was added: saving would lose the damaged part");
        }
    } else if (const int code = ReadNewPassword(options, password); code != kExitOk) {
        return code;
    }
    StorageTree& tree = storage.readOrder;
    const int32_t folder = FolderAt(storage.table, tree, folderNames);
    for (auto& item : items) {
        tree.push_back({storage.table.Add(std::move(item)), folder});
    }
    // An existing storage is still open here, and its lock keeps other writers out.
    StorageSaveOptions saveOptions;
    saveOptions.fileHeldByCaller = storage.reader->IsOpen();
    const StorageSaveResult saved =
        SaveStorage(path, password.View(), storage.table, tree, {}, saveOptions);
    password.Clear();
    return saved.ok ? kExitOk : Fail(kExitFile, saved.message);
}

} // namespace

const CliCommand kAddCommand = {
    "add", "[--password-file F | --password-stdin] add FILE.ovs [--folder PATH] FILE...", Add};
