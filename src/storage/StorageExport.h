// Writing items out of a storage as plain files: the bytes an item exports as, safe and
// unique file names for item names, and the plan of a folder export (every item below a
// folder with the file or directory it goes to).
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "storage/StorageItem.h"

// The bytes an exported non-folder item holds: data as stored, a note's text or an account's
// XML without the NUL; nothing for an unknown type.
std::string_view ExportBytes(const StorageItem& item);
// The same for a file on disk: an account's XML then declares the program's code page as its
// encoding, in a text kept in `scratch` (the view points into it or into the item).
std::string_view ExportBytes(const StorageItem& item, std::string& scratch);

// An item name as a file name in UTF-8: no slashes, never "." or "..", never empty.
std::string SafeFileName(const std::string& name);

// `name`, or "name (2).ext", "name (3).ext", ... when `taken` already holds it; the result
// is added to `taken`.
std::string UniqueIn(std::set<std::string>& taken, const std::string& name);

struct StorageExportTarget {
    int32_t item = 0;
    std::string path; // the file, or the directory for a folder
};

// Every item below `folder` (kRootParent: the whole storage) in the order of `tree`
// (pre-order), each with its path under the directory `out`; folders before what they hold.
// Items of unknown type are left out.
std::vector<StorageExportTarget> PlanFolderExport(const StorageItemTable& table,
                                                  const StorageTree& tree, int32_t folder,
                                                  const std::string& out);

// Writes a planned export: creates `out` and the folders, writes each item. On the first
// failure stops and returns false with the path that failed and the errno value.
bool WriteFolderExport(const StorageItemTable& table, const std::string& out,
                       const std::vector<StorageExportTarget>& targets, std::string& failedPath,
                       int& error);
