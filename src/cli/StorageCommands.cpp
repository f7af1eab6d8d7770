// ls and check: the items of an encrypted storage from the command line, and a check that
// every part of any of the program's files decrypts.
#include "cli/StorageCli.h"

#include "documents/DocumentKinds.h"
#include "passwords/PasswordsFile.h"
#include "storage/StorageExportNames.h"

#include <iostream>

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
    ForEachItemPath(storage, [&](const StorageTreeEntry& entry, const std::string& path) {
        const StorageItem& item = *storage.table.Get(entry.item);
        std::cout << path << '\t' << TypeWord(item) << '\t'
                  << (item.IsFolder() ? 0 : ExportLength(item)) << '\n';
    });
    std::cout.flush();
    if (!std::cout) {
        return Fail(kExitFile, "cannot write to standard output");
    }
    return ReportDamage(options.args[0], storage, "the rest of that folder is unread");
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
        if (ReportDamage(path, storage, "the rest of that folder is unread") != kExitOk) {
            return kExitDamaged;
        }
        // The item data is read on demand elsewhere; here every chunk must open.
        if (storage.sealed != nullptr) {
            if (const strong::Status s = storage.sealed->CheckAllChunks();
                s != strong::Status::Ok) {
                return Fail(kExitDamaged, path + ": " + strong::StatusMessage(s));
            }
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
const CliCommand kCheckCommand = {"check", "[--password-file F | --password-stdin] check FILE",
                                  CheckFile};
