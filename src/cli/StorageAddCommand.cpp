// add: files and folders put into an encrypted storage, which is created when missing.
#include "cli/StorageCli.h"

#include "base/CodePage.h"
#include "base/FileErrors.h"
#include "base/WholeFile.h"
#include "storage/StorageAdd.h"
#include "storage/StorageImport.h"
#include "storage/StorageSave.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <iterator>
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

// What one argument adds: a file (one record into the target folder) or a folder with
// everything below it (the records of its walk, numbered by the walk).
using AddedRecords = std::vector<StorageImportEntry>;

// The file at `path`, held open and read in pieces when the storage is written.
int TakeFile(const std::string& path, int fd, const struct stat& st, AddedRecords& records) {
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileFail(path, kErrorNotRegularFile, "read");
    }
    if (st.st_size == 0) {
        ::close(fd);
        return Fail(kExitFile, "cannot add " + path + ": the file is empty");
    }
    int error = 0;
    auto item = MakeItemFromOpenFile(CodePage::Program()->FromUtf8(path), fd,
                                     static_cast<uint64_t>(st.st_size), error);
    if (item == nullptr) {
        return FileFail(path, error, "read");
    }
    records.push_back({-1, -1, std::move(item)});
    return kExitOk;
}

// The folder at `path` and everything below it, walked as the window walks a dropped
// folder. The files are left closed on disk and read when the storage is written, so a tree
// of any number of files needs neither their bytes in memory nor a descriptor each.
int TakeFolder(const std::string& path, AddedRecords& records) {
    std::error_code ec;
    // The folder's own name names the new folder, also for "." or "dir/..".
    const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec) {
        return FileFail(path, ec.value(), "read");
    }
    WalkImportDirectory(
        absolute,
        [&](std::vector<StorageImportEntry>& batch, bool) {
            std::move(batch.begin(), batch.end(), std::back_inserter(records));
            return true;
        },
        {}, StorageImportFiles::LeftOnDisk);
    if (records.empty()) {
        return Fail(kExitFile, "cannot add " + path + ": the new folder would have no name");
    }
    return kExitOk;
}

// Puts the records of one argument into the folder `target`.
void PutRecords(AddedRecords& records, int32_t target, StorageItemTable& table, StorageTree& tree) {
    std::vector<int32_t> folders; // table index by the walk's folder number
    for (StorageImportEntry& record : records) {
        const int32_t parent =
            record.parent < 0 ? target : folders.at(static_cast<size_t>(record.parent));
        const int32_t index = table.Add(std::move(record.item));
        tree.push_back({index, parent});
        if (record.folder >= 0) {
            folders.resize(std::max(folders.size(), static_cast<size_t>(record.folder) + 1));
            folders[static_cast<size_t>(record.folder)] = index;
        }
    }
}

int Add(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> folderPath;
    if (!TakeOption(args, "--folder", folderPath)) {
        return kExitUsage;
    }
    if (args.size() < 2) {
        return UsageFail("add takes FILE.ovs and at least one FILE or FOLDER");
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
    // Every argument is looked at before the storage is touched: one bad name changes
    // nothing. Files are held open, and the files of folders left closed, until the storage
    // is written, which reads them in pieces.
    std::vector<AddedRecords> added(args.size() - 1);
    for (size_t i = 1; i < args.size(); ++i) {
        const int fd = ::open(args[i].c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            const int error = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            return FileFail(args[i], error, "read");
        }
        int code = kExitOk;
        if (S_ISDIR(st.st_mode)) {
            ::close(fd);
            code = TakeFolder(args[i], added[i - 1]);
        } else {
            code = TakeFile(args[i], fd, st, added[i - 1]);
        }
        if (code != kExitOk) {
            return code;
        }
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
    for (AddedRecords& records : added) {
        PutRecords(records, folder, storage.table, tree);
    }
    // An existing storage is still open here, and its lock keeps other writers out.
    StorageSaveOptions saveOptions;
    saveOptions.fileHeldByCaller = storage.reader->IsOpen();
    // A strong storage stays strong, under the key it was opened with.
    saveOptions.strongKey = storage.sealed != nullptr ? &storage.key : nullptr;
    const StorageSaveResult saved =
        SaveStorage(path, password.View(), storage.table, tree, {}, saveOptions);
    password.Clear();
    return saved.ok ? kExitOk : Fail(kExitFile, saved.message);
}

} // namespace

const CliCommand kAddCommand = {
    "add", "[--password-file F | --password-stdin] add FILE.ovs [--folder PATH] FILE|FOLDER...",
    Add};
