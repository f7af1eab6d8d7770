#include "cli/StorageCli.h"

#include "base/FileNames.h"
#include "crypto/StrongFile.h"
#include "documents/DocumentKinds.h"

#include <algorithm>
#include <iostream>

namespace {

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

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
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

// A strong storage whose envelope cannot be opened: a wrong password and a damaged file read
// as for the compatible form; what cannot even be tried says why.
int StrongFail(const std::string& path, strong::Status status) {
    switch (status) {
    case strong::Status::WrongPassword:
    case strong::Status::Damaged:
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path));
    case strong::Status::ReadFailed:
        return Fail(kExitFile, "cannot read " + path);
    default:
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path) + ": " +
                                            strong::StatusMessage(status));
    }
}

// Opens a storage with strong protection into `storage`: the envelope's header is checked
// before the password is asked, the key derived from it, and the compound file opened through
// the envelope (its result in `opened`). Returns kExitOk, or the command's failure.
int OpenThroughEnvelope(const CliOptions& options, const std::string& path, OpenStorage& storage,
                        SecretBuffer& password, bool forCheck, CompoundLock lock,
                        CompoundResult& opened) {
    storage.sealed = std::make_shared<StrongStorageFile>();
    opened = storage.sealed->Open(path, lock);
    const strong::Status header = storage.sealed->HeaderStatus();
    if (opened == CompoundResult::NotCompoundFile && header != strong::Status::Ok) {
        return StrongFail(path, header);
    }
    if (opened != CompoundResult::Ok) {
        return kExitOk; // said as for the compatible form
    }
    if (const int code = ReadPassword(options, password); code != kExitOk) {
        return code;
    }
    if (const strong::Status s = storage.sealed->Unlock(password.View(), storage.key);
        s != strong::Status::Ok) {
        return StrongFail(path, s);
    }
    opened = storage.reader->OpenSource(storage.sealed);
    if (opened != CompoundResult::Ok && storage.sealed->SawDamage()) {
        return Fail(forCheck ? kExitDamaged : kExitDecryptFailed,
                    "Failed to decrypt the file: " + FileNameOf(path) + ": " +
                        strong::StatusMessage(strong::Status::Damaged));
    }
    return kExitOk;
}

} // namespace

bool IsStoragePath(const std::string& path) {
    const DocumentKind* kind = DocumentKindOfPath(path);
    return kind != nullptr && kind->documentClass == DocumentClass::Storage;
}

int LoadStorage(const CliOptions& options, const std::string& path, OpenStorage& storage,
                SecretBuffer& password, bool forCheck, CompoundLock lock) {
    StoragePasswordCheck check;
    if (strong::FileHasMagic(path)) {
        if (const int code = OpenThroughEnvelope(options, path, storage, password, forCheck, lock,
                                                 check.openResult);
            code != kExitOk) {
            return code;
        }
    } else {
        check.openResult = OpenStorageFile(path, *storage.reader, lock);
        if (check.openResult == CompoundResult::Ok) {
            if (const int code = ReadPassword(options, password); code != kExitOk) {
                return code;
            }
        }
    }
    if (check.openResult == CompoundResult::Ok) {
        check = CheckStoragePassword(*storage.reader, password.View());
    }
    if (!check.ok()) {
        return PasswordFail(path, check, forCheck);
    }
    storage.read = ReadStorage(storage.reader, password.View(), storage.table, storage.readOrder);
    storage.tree = SortedTree(storage.readOrder, storage.table);
    return kExitOk;
}

int LoadStorage(const CliOptions& options, const std::string& path, OpenStorage& storage,
                bool forCheck) {
    SecretBuffer password;
    return LoadStorage(options, path, storage, password, forCheck, CompoundLock::None);
}

void ForEachItemPath(const OpenStorage& storage, const ItemPathVisitor& visit) {
    // The folders from the top down to the current one, each with the length of its path.
    std::vector<std::pair<int32_t, size_t>> open{{kRootParent, 0}};
    std::string path;
    for (const StorageTreeEntry& entry : storage.tree) {
        while (open.size() > 1 && open.back().first != entry.parent) {
            open.pop_back();
        }
        path.resize(open.back().second);
        if (!path.empty()) {
            path += '/';
        }
        const StorageItem& item = *storage.table.Get(entry.item);
        path += PathComponent(item.name);
        visit(entry, path);
        if (item.IsFolder()) {
            open.emplace_back(entry.item, path.size());
        }
    }
}

int ReportDamage(const std::string& path, const OpenStorage& storage,
                 const std::string& consequence) {
    if (storage.read.damaged.empty()) {
        return kExitOk;
    }
    const std::string file = FileNameOf(path);
    auto report = [&](const StorageDamage& damage, const std::string& where) {
        Fail(kExitDamaged, "damaged: " + file + ": element " + damage.element + " in " + where +
                               " does not decrypt; " + consequence);
    };
    // Folders are named as the walk reaches them: no path is kept for later.
    std::vector<const StorageDamage*> inFolders;
    for (const StorageDamage& damage : storage.read.damaged) {
        if (damage.folder == kRootParent) {
            report(damage, "the top level");
        } else {
            inFolders.push_back(&damage);
        }
    }
    if (inFolders.empty()) {
        return kExitDamaged;
    }
    std::sort(inFolders.begin(), inFolders.end(),
              [](const StorageDamage* a, const StorageDamage* b) { return a->folder < b->folder; });
    std::vector<bool> named(inFolders.size());
    ForEachItemPath(storage, [&](const StorageTreeEntry& entry, const std::string& itemPath) {
        const auto it = std::lower_bound(
            inFolders.begin(), inFolders.end(), entry.item,
            [](const StorageDamage* d, int32_t folder) { return d->folder < folder; });
        if (it != inFolders.end() && (*it)->folder == entry.item) {
            report(**it, "folder " + itemPath);
            named[static_cast<size_t>(it - inFolders.begin())] = true;
        }
    });
    // A damaged folder that the display tree does not hold still gets its line.
    for (size_t i = 0; i < inFolders.size(); ++i) {
        if (!named[i]) {
            report(*inFolders[i], "a folder");
        }
    }
    return kExitDamaged;
}

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

std::string JoinPath(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        out += (out.empty() ? "" : "/") + p;
    }
    return out;
}

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
