// Writing a folder of a storage out as plain files, only ever inside the folder the user
// chose: the plan (every item below a folder with its name in its own folder, kept per level
// so memory grows with the number of items, not with their depth), the folder written into,
// and the writer, which opens every folder relative to its parent without following links.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "storage/StorageExportNames.h"
#include "storage/StorageItem.h"

// The parent of the targets that go straight into the folder written into.
inline constexpr uint32_t kExportTop = UINT32_MAX;

struct StorageExportTarget {
    int32_t item = 0;
    uint32_t parent = kExportTop; // the index of the folder's own target in the plan
    std::string name;             // the file or folder name inside that folder
};

// Every item below `folder` (kRootParent: the whole storage) in the order of `tree`
// (pre-order), folders before what they hold; names are safe and unique within each folder.
// Items of unknown type are left out.
std::vector<StorageExportTarget> PlanFolderExport(const StorageItemTable& table,
                                                  const StorageTree& tree, int32_t folder);

// The path of target `index` below `out`, for messages.
std::string ExportTargetPath(const std::vector<StorageExportTarget>& targets, size_t index,
                             const std::string& out);

struct FolderExportResult {
    bool ok = true;
    std::string path; // what failed
    int error = 0;    // errno value or file-layer code (FileErrors.h)
};

// The folder an export writes into, held open.
struct ExportRoot {
    FileDescriptor fd;
    std::string path;          // as given, for messages and the paths below it
    size_t absoluteLength = 0; // the length of its absolute path
};

// The folder the user named, made with its parents when missing. The path is the user's
// own choice, so links on it are followed; below it no link ever is.
FolderExportResult OpenExportRoot(const std::string& path, ExportRoot& root);
// The name a new folder `name` would get inside `parent`: `name`, or the first of
// "name (2)", "name (3)", ... that nothing in `parent` is called.
std::string NewExportFolderName(const std::string& parent, const std::string& name);
// Makes that new folder (a fresh one, never one that exists) inside the user's `parent`.
FolderExportResult CreateExportRoot(const std::string& parent, const std::string& name,
                                    ExportRoot& root);

enum class ExistingFiles { Refuse, Replace };

// Writes what an export of the non-folder `item` holds into `writer` (opened by the caller)
// piece by piece and commits it. 0, or the error (kErrorDamagedSource for data that cannot
// be read from the storage).
int WriteItemFile(const StorageItem& item, AtomicFileWriter& writer);
// The same into a new file at `path`, replacing one there.
int WriteItemFile(const StorageItem& item, const std::string& path);

// Writes the plan into `root`. The whole plan is checked against the disk before anything
// is written: a link where a folder or file of the export goes (kErrorSymbolicLink),
// anything but a folder where a folder goes (ENOTDIR), anything but a regular file where a
// file goes, an existing file under ExistingFiles::Refuse (EEXIST), and a path longer than
// a path can be (kErrorPathTooLong) each stop the export with nothing written. Existing
// folders are written into. While writing, folders are made and opened relative to their
// parent (O_NOFOLLOW) and files created or replaced relative to their folder, so a link
// planted meanwhile stops the export instead of leading it elsewhere.
//
// Every file is first written under a hidden temporary name in its folder (".NAME.<hex>.tmp");
// when all are written, the file systems written to are flushed once, every file is renamed
// to its name (under Refuse never over a file that appeared meanwhile), and the file systems
// are flushed once more. No name therefore ever stands for a half-written file, and a failure
// (a damaged item, a full disk, a folder that cannot be written) removes the temporary files
// still there; files already renamed by then are whole and stay. Folders made stay too.
FolderExportResult WriteFolderExport(const StorageItemTable& table,
                                     const std::vector<StorageExportTarget>& targets,
                                     const ExportRoot& root, ExistingFiles existing);
