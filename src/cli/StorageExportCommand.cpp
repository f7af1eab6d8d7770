// export: items of an encrypted storage written out as plain files, a folder only ever
// inside the folder given with -o.
#include "cli/StorageCli.h"

#include "base/FileErrors.h"
#include "base/WholeFile.h"
#include "storage/StorageExport.h"

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <sys/stat.h>

namespace {

// What a damaged storage level means for an export.
constexpr const char* kNotExported = "the items after it in that folder were not exported";

int WriteExport(const std::string& target, const StorageItem& item, bool force) {
    struct stat st {};
    if (!force && ::lstat(target.c_str(), &st) == 0) {
        return Fail(kExitFile, target + " exists; give --force to overwrite it");
    }
    if (const int error = WriteItemFile(item, target); error != 0) {
        return FileFail(target, error, "write");
    }
    return kExitOk;
}

// Writes the subtree of `folder` (kRootParent: everything) into the directory `out`.
int ExportFolder(const OpenStorage& storage, int32_t folder, const std::string& out, bool force) {
    const std::vector<StorageExportTarget> targets =
        PlanFolderExport(storage.table, storage.tree, folder);
    ExportRoot root;
    FolderExportResult result = OpenExportRoot(out, root);
    if (result.ok) {
        result = WriteFolderExport(storage.table, targets, root,
                                   force ? ExistingFiles::Replace : ExistingFiles::Refuse);
    }
    if (result.ok) {
        return kExitOk;
    }
    if (result.error == EEXIST) {
        return Fail(kExitFile, result.path + " exists; give --force to overwrite it");
    }
    return FileFail(result.path, result.error, "write");
}

// The item at `wanted` (a path as `ls` prints it): its index, or the exit code of a path
// that names none or several.
int FindItem(const OpenStorage& storage, const std::string& file, const std::string& typed,
             int32_t& found) {
    const std::string wanted = JoinPath(SplitPath(typed));
    size_t count = 0;
    ForEachItemPath(storage, [&](const StorageTreeEntry& entry, const std::string& path) {
        if (path == wanted) {
            found = entry.item;
            ++count;
        }
    });
    if (count == 0) {
        return Fail(kExitFile, "no item " + typed + " in " + file);
    }
    if (count > 1) {
        return Fail(kExitFile, std::to_string(count) + " items are called " + typed + " in " +
                                   file + "; none was exported");
    }
    return kExitOk;
}

int ExportItem(const OpenStorage& storage, const std::string& file, const std::string& typed,
               const std::string& out, bool force) {
    if (JoinPath(SplitPath(typed)).empty()) {
        return ExportFolder(storage, kRootParent, out, force);
    }
    int32_t found = kRootParent;
    if (const int code = FindItem(storage, file, typed, found); code != kExitOk) {
        return code;
    }
    const StorageItem& item = *storage.table.Get(found);
    if (item.IsFolder()) {
        return ExportFolder(storage, found, out, force);
    }
    if (out == "-") {
        const ItemDataRead read = ExportPieces(item, [](const uint8_t* data, size_t length) {
            std::cout.write(reinterpret_cast<const char*>(data),
                            static_cast<std::streamsize>(length));
            return static_cast<bool>(std::cout);
        });
        std::cout.flush();
        if (read == ItemDataRead::Damaged) {
            return Fail(kExitDamaged, "damaged: " + typed + " in " + file + " cannot be read");
        }
        return std::cout && read == ItemDataRead::Ok
                   ? kExitOk
                   : Fail(kExitFile, "cannot write to standard output");
    }
    return WriteExport(out, item, force);
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
    const int code = ExportItem(storage, args[0], args[1], *out, force);
    // What does not decrypt was not exported: the export is incomplete, whatever it wrote.
    const int damaged = ReportDamage(args[0], storage, kNotExported);
    return code != kExitOk ? code : damaged;
}

} // namespace

const CliCommand kExportCommand = {
    "export", "[--password-file F | --password-stdin] export FILE.ovs ITEM -o OUT [--force]",
    Export};
