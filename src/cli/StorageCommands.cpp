// ls, export, add and check: the items of an encrypted storage from the command line, and a
// check that every part of any of the program's files decrypts.
#include "cli/CliCommon.h"

#include "base/CodePage.h"
#include "base/FileNames.h"
#include "base/WholeFile.h"
#include "crypto/EncryptedFile.h"
#include "crypto/StrongFile.h"
#include "documents/DocumentKinds.h"
#include "passwords/PasswordsFile.h"
#include "storage/StorageAdd.h"
#include "storage/StorageExport.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What `check` knows how to open, by extension, from the table of document kinds.
enum class FileKind { Storage, Text, Passwords, Unknown };

FileKind KindOf(const std::string& path) {
    const DocumentKind* kind = DocumentKindOfPath(path);
    switch (kind != nullptr ? kind->documentClass : DocumentClass::Browser) {
    case DocumentClass::Storage:
        return FileKind::Storage;
    case DocumentClass::Text:
        return FileKind::Text;
    case DocumentClass::Passwords:
        return FileKind::Passwords;
    case DocumentClass::Browser:
        break;
    }
    return FileKind::Unknown;
}

std::optional<BlobForm> TextFormOf(const std::string& path) {
    return BlobFormOf(DocumentClass::Text, path);
}

bool IsStoragePath(const std::string& path) {
    return KindOf(path) == FileKind::Storage;
}

// A storage read into memory; the reader keeps the file locked while the command runs.
struct OpenStorage {
    CompoundReader reader;
    StorageItemTable table;
    StorageTree readOrder; // as read, the order it is written back in
    StorageTree tree;      // display order
    StorageReadResult read;
    std::map<int32_t, std::string> paths; // item -> path as `ls` prints it
};

// One name as `ls` prints it: escaped as OneLine does, and "/" as "\\/", so that a path names
// one place and a name cannot send the terminal anything.
std::string PathComponent(const std::string& name) {
    std::string out;
    for (char c : OneLine(name)) {
        if (c == '/') {
            out += "\\/";
        } else {
            out += c;
        }
    }
    return out;
}

// The components of a path as typed, escapes kept as they are; empty components (leading,
// trailing or doubled slashes) are dropped.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size()) {
            parts.back() += path.substr(i++, 2);
        } else if (path[i] == '/') {
            parts.emplace_back();
        } else {
            parts.back() += path[i];
        }
    }
    std::erase(parts, std::string());
    return parts;
}

// A path as `ls` would print it, for comparing with the printed paths.
std::string JoinPath(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        out += (out.empty() ? "" : "/") + p;
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The UTF-8 name a path component stands for: the escapes of PathComponent undone.
std::string Unescape(const std::string& part) {
    std::string out;
    for (size_t i = 0; i < part.size(); ++i) {
        if (part[i] != '\\' || i + 1 >= part.size()) {
            out += part[i];
            continue;
        }
        const char n = part[++i];
        const bool hex2 = n == 'x' && i + 2 < part.size() && HexDigit(part[i + 1]) >= 0 &&
                          HexDigit(part[i + 2]) >= 0;
        const bool c1 = n == 'u' && i + 4 < part.size() && part.compare(i + 1, 2, "00") == 0 &&
                        HexDigit(part[i + 3]) >= 0 && HexDigit(part[i + 4]) >= 0;
        if (hex2) {
            out += static_cast<char>(HexDigit(part[i + 1]) * 16 + HexDigit(part[i + 2]));
            i += 2;
        } else if (c1) {
            out += static_cast<char>(0xC2);
            out += static_cast<char>(HexDigit(part[i + 3]) * 16 + HexDigit(part[i + 4]));
            i += 4;
        } else {
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        }
    }
    return out;
}

// Exit code and message of a storage that could not be opened under the password.
int PasswordFail(const std::string& path, const StoragePasswordCheck& check, bool forCheck) {
    switch (check.status) {
    case StoragePasswordStatus::Ok:
        return kExitOk;
    case StoragePasswordStatus::OpenFailed: {
        std::string text = StorageOpenErrorText(path, check.openResult);
        std::replace(text.begin(), text.end(), '\n', ' ');
        const bool damaged = check.openResult == CompoundResult::NotCompoundFile;
        return Fail(damaged ? (forCheck ? kExitDamaged : kExitDecryptFailed) : kExitFile, text);
    }
    case StoragePasswordStatus::NoInfoStream:
        return Fail(forCheck ? kExitDamaged : kExitDecryptFailed,
                    path + " is not an encrypted storage: it has no info stream");
    case StoragePasswordStatus::DecryptFailed:
    case StoragePasswordStatus::WrongName:
        break;
    }
    return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path));
}

void ReportDamage(const std::string& path, const OpenStorage& storage) {
    for (const StorageDamage& damage : storage.read.damaged) {
        const auto folder = storage.paths.find(damage.folder);
        const std::string where = damage.folder == kRootParent    ? std::string("the top level")
                                  : folder != storage.paths.end() ? "folder " + folder->second
                                                                  : "a folder";
        Fail(kExitDamaged, "damaged: " + FileNameOf(path) + ": element " + damage.element + " in " +
                               where + " does not decrypt; the rest of that folder is unread");
    }
}

// Opens and reads a storage with the password from the options, which stays in `password`
// for a save.
int LoadStorage(const CliOptions& options, const std::string& path, OpenStorage& storage,
                SecretBuffer& password, bool forCheck = false) {
    if (strong::FileHasMagic(path)) {
        return Fail(kExitFile, "cannot read " + path +
                                   ": it has strong protection, which this command does not read "
                                   "yet; \"weaken\" writes a copy without it");
    }
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    StoragePasswordCheck check;
    check.openResult = OpenStorageFile(path, storage.reader);
    if (check.openResult == CompoundResult::Ok) {
        check = CheckStoragePassword(storage.reader, password.View());
    }
    if (!check.ok()) {
        return PasswordFail(path, check, forCheck);
    }
    storage.read = ReadStorage(storage.reader, password.View(), storage.table, storage.readOrder);
    storage.tree = SortedTree(storage.readOrder, storage.table);
    for (const StorageTreeEntry& entry : storage.tree) {
        const std::string& parent =
            entry.parent == kRootParent ? std::string() : storage.paths[entry.parent];
        storage.paths[entry.item] = (parent.empty() ? "" : parent + "/") +
                                    PathComponent(storage.table.Get(entry.item)->name);
    }
    return kExitOk;
}

// The same for commands that only read.
int LoadStorage(const CliOptions& options, const std::string& path, OpenStorage& storage,
                bool forCheck = false) {
    SecretBuffer password;
    return LoadStorage(options, path, storage, password, forCheck);
}

const char* TypeWord(const StorageItem& item) {
    switch (static_cast<StorageItemType>(item.type)) {
    case StorageItemType::Folder:
        return "folder";
    case StorageItemType::Image:
        return "image";
    case StorageItemType::Text:
        return "text";
    case StorageItemType::WebAccount:
        return "web";
    case StorageItemType::OtherAccount:
        return "other";
    case StorageItemType::Pdf:
        return "pdf";
    case StorageItemType::File:
        return "file";
    }
    return "unknown";
}

int Ls(const CliOptions& options) {
    if (options.args.size() != 1) {
        return UsageFail("ls takes one FILE.ovs");
    }
    OpenStorage storage;
    if (const int code = LoadStorage(options, options.args[0], storage); code != kExitOk) {
        return code;
    }
    for (const StorageTreeEntry& entry : storage.tree) {
        const StorageItem& item = *storage.table.Get(entry.item);
        std::cout << storage.paths[entry.item] << '\t' << TypeWord(item) << '\t'
                  << (item.IsFolder() ? 0 : ExportBytes(item).size()) << '\n';
    }
    std::cout.flush();
    if (!std::cout) {
        return Fail(kExitFile, "cannot write to standard output");
    }
    ReportDamage(options.args[0], storage);
    return storage.read.damaged.empty() ? kExitOk : kExitDamaged;
}

int WriteExport(const std::string& target, std::string_view bytes, bool force) {
    struct stat st {};
    if (!force && ::lstat(target.c_str(), &st) == 0) {
        return Fail(kExitFile, target + " exists; give --force to overwrite it");
    }
    int error = 0;
    if (!WriteWholeFile(target, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                        &error)) {
        return FileFail(target, error, "write");
    }
    return kExitOk;
}

// Writes the subtree of `folder` (kRootParent: everything) into the directory `out`.
int ExportFolder(const OpenStorage& storage, int32_t folder, const std::string& out, bool force) {
    const std::vector<StorageExportTarget> targets =
        PlanFolderExport(storage.table, storage.tree, folder, out);
    // Refuse before anything is written, so a refused export changes nothing.
    if (!force) {
        for (const StorageExportTarget& t : targets) {
            if (!storage.table.Get(t.item)->IsFolder() && fs::exists(fs::symlink_status(t.path))) {
                return Fail(kExitFile, t.path + " exists; give --force to overwrite it");
            }
        }
    }
    std::string failed;
    int error = 0;
    if (!WriteFolderExport(storage.table, out, targets, failed, error)) {
        return FileFail(failed, error, "write");
    }
    return kExitOk;
}

int Export(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> out;
    if (!TakeOption(args, "-o", out)) {
        return kExitUsage;
    }
    const auto forceFlag = std::find(args.begin(), args.end(), "--force");
    const bool force = forceFlag != args.end();
    if (force) {
        args.erase(forceFlag);
    }
    if (args.size() != 2 || !out) {
        return UsageFail("export takes FILE.ovs ITEM -o OUT");
    }
    OpenStorage storage;
    if (const int code = LoadStorage(options, args[0], storage); code != kExitOk) {
        return code;
    }
    ReportDamage(args[0], storage);
    const std::string wanted = JoinPath(SplitPath(args[1]));
    if (wanted.empty()) {
        return ExportFolder(storage, kRootParent, *out, force);
    }
    std::vector<int32_t> found;
    for (const StorageTreeEntry& entry : storage.tree) {
        if (storage.paths[entry.item] == wanted) {
            found.push_back(entry.item);
        }
    }
    if (found.empty()) {
        return Fail(kExitFile, "no item " + args[1] + " in " + args[0]);
    }
    if (found.size() > 1) {
        return Fail(kExitFile, std::to_string(found.size()) + " items are called " + args[1] +
                                   " in " + args[0] + "; none was exported");
    }
    const StorageItem& item = *storage.table.Get(found[0]);
    if (item.IsFolder()) {
        return ExportFolder(storage, found[0], *out, force);
    }
    if (*out == "-") {
        const std::string_view bytes = ExportBytes(item);
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return std::cout ? kExitOk : Fail(kExitFile, "cannot write to standard output");
    }
    return WriteExport(*out, ExportBytes(item), force);
}

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

// The folder at `parts` under the root, made where missing; returns its index.
int32_t FolderAt(StorageItemTable& table, StorageTree& tree,
                 const std::vector<std::string>& parts) {
    int32_t folder = kRootParent;
    for (const std::string& part : parts) {
        const std::string name = BoundedName(CodePage::Program()->FromUtf8(Unescape(part)));
        int32_t next = kRootParent;
        for (const StorageTreeEntry& entry : SortedTree(tree, table)) {
            const StorageItem* item = table.Get(entry.item);
            if (entry.parent == folder && item->IsFolder() && item->name == name) {
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
    // Every file is read before the storage is touched: one bad name changes nothing.
    std::vector<std::unique_ptr<StorageItem>> items;
    for (size_t i = 1; i < args.size(); ++i) {
        Bytes bytes;
        int error = 0;
        if (fs::is_directory(args[i])) {
            return Fail(kExitFile, "cannot add " + args[i] + ": it is a folder");
        }
        if (!ReadWholeFile(args[i], bytes, &error)) {
            return FileFail(args[i], error, "read");
        }
        if (bytes.empty()) {
            return Fail(kExitFile, "cannot add " + args[i] + ": the file is empty");
        }
        items.push_back(MakeItemFromFile(CodePage::Program()->FromUtf8(args[i]), std::move(bytes)));
    }

    uint64_t size = 0;
    const bool exists = GetFileSizeByName(path, size) && size > 0;
    OpenStorage storage;
    SecretBuffer password;
    if (exists) {
        if (const int code = LoadStorage(options, path, storage, password); code != kExitOk) {
            return code;
        }
        if (!storage.read.damaged.empty()) {
            ReportDamage(path, storage);
            return Fail(kExitDamaged, "nothing was added: saving would lose the damaged part");
        }
    } else if (const int code = ReadNewPassword(options, password); code != kExitOk) {
        return code;
    }
    StorageTree& tree = storage.readOrder;
    const int32_t folder = FolderAt(
        storage.table, tree, folderPath ? SplitPath(*folderPath) : std::vector<std::string>());
    for (auto& item : items) {
        tree.push_back({storage.table.Add(std::move(item)), folder});
    }
    // An existing storage is still open here, and its lock keeps other writers out.
    StorageSaveOptions saveOptions;
    saveOptions.fileHeldByCaller = storage.reader.IsOpen();
    const StorageSaveResult saved =
        SaveStorage(path, password.View(), storage.table, tree, {}, saveOptions);
    password.Clear();
    return saved.ok ? kExitOk : Fail(kExitFile, saved.message);
}

int CheckFile(const CliOptions& options) {
    if (options.args.size() != 1) {
        return UsageFail("check takes one FILE");
    }
    const std::string& path = options.args[0];
    switch (KindOf(path)) {
    case FileKind::Storage: {
        OpenStorage storage;
        if (const int code = LoadStorage(options, path, storage, true); code != kExitOk) {
            return code;
        }
        ReportDamage(path, storage);
        if (!storage.read.damaged.empty()) {
            return kExitDamaged;
        }
        std::cout << path << ": " << storage.tree.size() << " items, all decrypt\n";
        return kExitOk;
    }
    case FileKind::Text: {
        SecretBuffer password;
        if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
            return code;
        }
        std::string text;
        int error = 0;
        const LoadTextStatus status =
            LoadEncryptedText(path, password.View(), *TextFormOf(path), text, &error);
        password.Clear();
        WipeSecret(text);
        if (status != LoadTextStatus::Text) {
            return LoadFail(path, status, error);
        }
        break;
    }
    case FileKind::Passwords: {
        SecretBuffer password;
        if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
            return code;
        }
        AccountLists lists;
        int error = 0;
        const PasswordsLoadStatus status = LoadPasswordsFile(path, password.View(), lists, &error);
        password.Clear();
        if (status != PasswordsLoadStatus::Loaded) {
            return LoadFail(path,
                            status == PasswordsLoadStatus::DecryptFailed
                                ? LoadTextStatus::DecryptFailed
                                : LoadTextStatus::Unreadable,
                            error);
        }
        break;
    }
    case FileKind::Unknown:
        return UsageFail(path + " is not a .ovs, .ovt, .etx, .ovd or .ovf file");
    }
    std::cout << path << ": decrypts\n";
    return kExitOk;
}

} // namespace

const CliCommand kLsCommand = {"ls", "[--password-file F | --password-stdin] ls FILE.ovs", Ls};
const CliCommand kExportCommand = {
    "export", "[--password-file F | --password-stdin] export FILE.ovs ITEM -o OUT [--force]",
    Export};
const CliCommand kAddCommand = {
    "add", "[--password-file F | --password-stdin] add FILE.ovs [--folder PATH] FILE...", Add};
const CliCommand kCheckCommand = {"check", "[--password-file F | --password-stdin] check FILE",
                                  CheckFile};
