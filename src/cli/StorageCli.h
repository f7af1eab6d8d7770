// What the storage commands of ombrivault-cli share: a storage opened and read under the
// password, item paths as `ls` prints them (built while walking the tree, so memory follows
// one path rather than all of them), and the report of damaged parts.
#pragma once

#include "cli/CliCommon.h"

#include "compound/CompoundFile.h"
#include "storage/StorageFile.h"
#include "storage/StorageItem.h"
#include "storage/StrongStorage.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

bool IsStoragePath(const std::string& path);

// A storage read into memory, but for the data of images, PDFs and files, which the items
// read from the file when needed; the reader keeps the file open (and locked for a writer)
// while the command runs.
struct OpenStorage {
    std::shared_ptr<CompoundReader> reader = std::make_shared<CompoundReader>();
    // A storage with strong protection: its envelope, and the key it was opened with, which
    // a save reuses (with a new nonce base) so that it stays strong.
    std::shared_ptr<StrongStorageFile> sealed;
    strong::Key key;
    StorageItemTable table;
    StorageTree readOrder; // as read, the order it is written back in
    StorageTree tree;      // display order
    StorageReadResult read;
};

// Opens and reads a storage with the password from the options, which stays in `password`
// for a save. `forCheck`: a file that is not a storage counts as damaged (exit code 4). The
// file is opened before the password is asked (one that cannot be read costs no typing) and
// stays locked against other writers.
int LoadStorage(const CliOptions& options, const std::string& path, OpenStorage& storage,
                SecretBuffer& password, bool forCheck = false,
                CompoundLock lock = CompoundLock::Exclusive);
// The same for commands that only read: they take no lock, so they read a storage the program
// holds open (its saves replace the file whole, never change it in place).
int LoadStorage(const CliOptions& options, const std::string& path, OpenStorage& storage,
                bool forCheck = false);

// Calls `visit` for every item of the display tree, in its order, with the item's path as
// `ls` prints it.
using ItemPathVisitor = std::function<void(const StorageTreeEntry& entry, const std::string& path)>;
void ForEachItemPath(const OpenStorage& storage, const ItemPathVisitor& visit);

// Prints one line per damaged storage level, ending in `consequence` ("the rest of that
// folder is unread"); returns kExitDamaged when there was damage, else kExitOk.
int ReportDamage(const std::string& path, const OpenStorage& storage,
                 const std::string& consequence);

// The components of a path as typed, escapes kept as they are; empty components (leading,
// trailing or doubled slashes) are dropped.
std::vector<std::string> SplitPath(const std::string& path);
// A path as `ls` would print it, for comparing with the printed paths.
std::string JoinPath(const std::vector<std::string>& parts);
// The UTF-8 name a path component stands for: the escapes of `ls` undone.
std::string Unescape(const std::string& part);
