// The folders of an export, opened relative to their parent without following links: the
// one function that opens a folder so, and the stack of folders from the export's root down
// to the one being filled.
#pragma once

#include "storage/StorageExport.h"

#include <cerrno>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Opens the folder `name` inside `parent` without following a link: -1 and the reason when
// it is a link, not a folder, or cannot be opened.
int OpenFolderAt(int parent, const std::string& name, int& error);

// The length `path` has written out from the root of the file system (its own length when it
// cannot be resolved).
size_t AbsoluteLength(const std::string& path);
// `folder` and `name` with one slash between them.
std::string Join(const std::string& folder, const std::string& name);

// The folders from the export's root down to the current one. The deepest sixteen are held
// open; a folder further up is opened again through ".." from the one below it and
// must still be the same folder.
class ExportFolderStack {
public:
    int Start(const ExportRoot& root);

    // Goes up until the folder of target `parent` is the current one.
    int GoUpTo(uint32_t parent) {
        while (levels_.size() > 1 && levels_.back().target != parent) {
            if (const int error = Pop(); error != 0) {
                return error;
            }
        }
        return levels_.back().target == parent ? 0 : EINVAL;
    }

    int Fd() const { return levels_.back().fd.Get(); }
    dev_t Device() const { return levels_.back().dev; }
    // The current folder does not exist yet (only while checking).
    bool Missing() const { return levels_.back().missing; }

    int PushFolder(uint32_t target, int fd) {
        Level level;
        level.target = target;
        level.fd.Reset(fd);
        return Push(std::move(level));
    }
    void PushMissing(uint32_t target) {
        Level level;
        level.target = target;
        level.missing = true;
        levels_.push_back(std::move(level));
    }

private:
    struct Level {
        uint32_t target = kExportTop;
        FileDescriptor fd;
        bool missing = false;
        dev_t dev = 0;
        ino_t ino = 0;
    };

    int Push(Level level);
    int Pop();

    std::vector<Level> levels_;
};
