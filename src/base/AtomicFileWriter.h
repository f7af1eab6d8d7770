// Replaces a file so that readers see either the old file or the whole new one, never a part,
// and so that a failed or killed writer leaves nothing behind.
//
//     AtomicFileWriter writer;
//     if (!writer.Open(path)) ...                 // writer.LastError() says why
//     writer.Write(data, n); ...                  // or WriteAt(), or write(Handle(), ...)
//     if (!writer.Commit()) ...                   // or CommitWithBackup(path + ".BAK")
//
// Open(target):
//   - Only a regular file, or a name where there is none yet, is replaced. A directory fails
//     with EISDIR; a device, pipe or socket with kErrorNotRegularFile. Nothing is opened that
//     could block or have side effects.
//   - A symbolic link at the target is followed (the file it points to is replaced and the
//     link stays a link), except where the kernel's protected-symlinks rule would refuse it:
//     a link in a world-writable sticky folder (such as /tmp) is followed only when it belongs
//     to us or to the folder's owner; otherwise kErrorUntrustedLink. Target() is the file
//     that will be replaced.
//   - An existing target is locked against other writers and readers of this program
//     (kErrorSharingViolation when one holds it) until Commit or Abort. Pass
//     Locking::None when this process itself still reads the old file through a handle of
//     its own while writing the new one.
//   - The data goes to an unnamed temporary file (O_TMPFILE) in the target's folder; where
//     the file system refuses that, to a named hidden ".NAME.<hex>.tmp" beside the target,
//     removed on failure, Abort and destruction.
//
// OpenAt(folderFd, name, existing): as Open, for the file `name` directly inside the folder
// open at `folderFd` (the writer keeps a duplicate of the descriptor), and no link is ever
// followed: a symbolic link at `name`, dangling or not, fails with kErrorSymbolicLink. This is
// how files are written inside a folder the user chose, where a planted link must not lead
// the write elsewhere. With Existing::Refuse an existing file fails with EEXIST (at Open, or
// at Commit when one appeared meanwhile); with Existing::Replace it is replaced as by Open.
//
// Writing: Write() appends at the current position, WriteAt() writes at an offset without
// moving it (pwrite), Handle() is the file descriptor for callers that write themselves. A
// write that stops short reports kErrorDiskFull. Nothing is held in memory, so files of any
// size can be written sequentially.
//
// Commit(): flushes the data to disk, gives the file its mode and owner, links it into place
// in one step (a new file appears complete or not at all; an existing one is replaced by
// rename, after the unnamed file got a hidden name: a kill between those two calls is the
// one moment that can leave a ".NAME.<hex>.tmp" behind), then flushes the folder. Mode: a new file
// gets `newFileMode` (owner-only by default); a replaced file keeps the old file's permission bits
// masked with `keptModeMask` (owner-only by default, so a document never becomes readable to others
// through a save), and set-id bits are dropped. When we may (as root, say), the replaced file keeps
// its owner and group.
//
// CommitWithBackup(backupPath): as Commit, but the previous file survives under backupPath
// (replacing an older backup there) on the same file system. The new file is complete and
// flushed first; the old file then gets the backup name while still in place, and only then
// does the new file move into place. Any failure leaves the previous file at the target.
// Without a previous file it is a plain Commit.
//
// Abort() and the destructor drop the new data and leave the disk as it was. After Commit,
// CommitWithBackup or Abort the writer can be opened again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

class AtomicFileWriter {
public:
    enum class Locking { Exclusive, None };
    enum class Existing { Replace, Refuse };

    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter();

    bool Open(const std::string& targetPath, unsigned newFileMode = 0600,
              unsigned keptModeMask = 0700, Locking locking = Locking::Exclusive);
    bool OpenAt(int folderFd, const std::string& name, Existing existing = Existing::Replace,
                unsigned newFileMode = 0600, unsigned keptModeMask = 0700);
    bool IsOpen() const { return fd_ >= 0; }

    bool Write(const void* data, size_t length);
    bool WriteAt(const void* data, size_t length, uint64_t offset);
    int Handle() const { return fd_; }

    bool Commit();
    bool CommitWithBackup(const std::string& backupPath);
    void Abort();

    // The errno value or file-layer code (see FileErrors.h) of the last failure.
    int LastError() const { return lastError_; }
    // The file that Commit replaces or creates: the target with its links resolved.
    const std::string& Target() const { return target_; }

private:
    bool Fail(int error);
    bool Start(unsigned newFileMode, unsigned keptModeMask);
    bool OpenInFolder(Locking locking);
    bool Prepare();
    bool LinkTemporary(std::string& name);
    bool Finish(const std::string* backupPath);
    void Release();

    int fd_ = -1;
    int dirFd_ = -1;
    int oldFd_ = -1; // the file being replaced, held locked
    bool exists_ = false;
    struct stat old_ {};
    bool unnamed_ = false;
    bool noFollow_ = false;       // OpenAt: the leaf is never a link we follow
    bool refuseExisting_ = false; // OpenAt with Existing::Refuse
    std::string tempName_;        // within the folder: the named temporary file, when there is one
    std::string target_;
    std::string folder_;
    std::string leaf_;
    unsigned newFileMode_ = 0600;
    unsigned keptModeMask_ = 0700;
    int lastError_ = 0;
};
