// A thin owner of one operating-system file descriptor with Windows-style open arguments, so
// the file layers keep the access, sharing and creation semantics of the stored formats.
#pragma once

#include "base/FileErrors.h"

#include <cstdint>
#include <string>

// Desired access.
inline constexpr uint32_t GENERIC_READ = 0x80000000u;
inline constexpr uint32_t GENERIC_WRITE = 0x40000000u;
// Share mode: accepted for the stored formats' sake; readers always share, writers exclude.
inline constexpr uint32_t FILE_SHARE_READ = 0x1u;
inline constexpr uint32_t FILE_SHARE_WRITE = 0x2u;
// Creation disposition.
inline constexpr uint32_t CREATE_NEW = 1;
inline constexpr uint32_t CREATE_ALWAYS = 2;
inline constexpr uint32_t OPEN_EXISTING = 3;
inline constexpr uint32_t OPEN_ALWAYS = 4;
inline constexpr uint32_t TRUNCATE_EXISTING = 5;
// Flags and attributes (accepted, no effect here).
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80u;

class SimpleFile {
public:
    enum Origin { Begin = 0, Current = 1, End = 2 };

    SimpleFile() = default;
    SimpleFile(const SimpleFile&) = delete;
    SimpleFile& operator=(const SimpleFile&) = delete;
    virtual ~SimpleFile();

    virtual bool GetPosition(int64_t& position);
    virtual int64_t Seek(int32_t distance, int origin);
    virtual bool SetLength(int64_t length);
    virtual int64_t GetLength();
    virtual int64_t Read(void* buffer, uint32_t count);
    virtual int64_t Write(const void* buffer, uint32_t count);
    virtual void Abort();
    virtual bool Flush();
    virtual bool Close();

    // Opens a regular file only: a directory fails with EISDIR, a device, pipe or socket with
    // kErrorNotRegularFile, and neither is opened (so a pipe cannot block us). Readers share
    // the file whatever their share mode; a writer excludes everyone else, and a file someone
    // else holds fails with kErrorSharingViolation before anything is truncated.
    bool Open(const std::string& name, uint32_t desiredAccess, uint32_t shareMode,
              uint32_t creationDisposition, uint32_t flagsAndAttributes,
              unsigned newFileMode = 0600);

    bool IsOpen() const { return open_; }
    int LastError() const { return lastError_; }
    const std::string& FileName() const { return fileName_; }
    int Handle() const { return handle_; }

private:
    int handle_ = -1;
    int lastError_ = 0;
    bool open_ = false;
    std::string fileName_;
};
