#include "base/WholeFile.h"

#include "base/AtomicFileWriter.h"
#include "base/SimpleFile.h"

#include <algorithm>
#include <cerrno>

namespace {

// Reads and writes go in slices of this size: large enough that the calls cost nothing,
// small enough that the kernel writes back while we go on and that a read buffer is cleared
// in cache just before the read fills it.
constexpr size_t kIoSlice = size_t{1} << 20;

void Fail(int* error, int code) {
    if (error != nullptr) {
        *error = code;
    }
}

} // namespace

bool ReadWholeFile(const std::string& path, Bytes& out, int* error) {
    out.clear();
    SimpleFile file;
    if (!file.Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        Fail(error, file.LastError());
        return false;
    }
    const int64_t length = file.GetLength();
    if (length < 0) {
        Fail(error, file.LastError());
        return false;
    }
    const auto total = static_cast<size_t>(length);
    ReserveLarge(out, total);
    size_t done = 0;
    while (done < total) {
        // The buffer grows by a slice per read, so it is cleared in cache just before the
        // read fills it rather than all at once.
        const auto want = static_cast<uint32_t>(std::min(kIoSlice, total - done));
        out.resize(done + want);
        const int64_t n = file.Read(out.data() + done, want);
        if (n < 0) {
            Fail(error, file.LastError());
            out.clear();
            return false;
        }
        if (n == 0) {
            break; // the file shrank while we read it
        }
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return true;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t length, int* error) {
    if (data == nullptr && length > 0) {
        Fail(error, EINVAL);
        return false;
    }
    AtomicFileWriter writer;
    bool ok = writer.Open(path);
    for (size_t done = 0; ok && done < length; done += kIoSlice) {
        ok = writer.Write(data + done, std::min(kIoSlice, length - done));
    }
    if (!ok || !writer.Commit()) {
        Fail(error, writer.LastError());
        return false;
    }
    return true;
}

bool GetFileSizeByName(const std::string& path, uint64_t& size) {
    SimpleFile file;
    if (!file.Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }
    const int64_t length = file.GetLength();
    if (length < 0) {
        return false;
    }
    size = static_cast<uint64_t>(length);
    return true;
}
