#include "crypto/StrongFile.h"

#include "base/AtomicFileWriter.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace strong {

namespace {

constexpr int kLastStatus = static_cast<int>(Status::WriteFailed);

void SetError(int* error, int code) {
    if (error != nullptr) {
        *error = code;
    }
}

// Seals into `writer`, then puts the file in place (with the backup when asked).
class SealedFile {
public:
    explicit SealedFile(AtomicFileWriter& writer, uint32_t chunkBytes = kDefaultChunkBytes)
        : writer_(writer),
          sealer_([this](const uint8_t* p, size_t n) { return writer_.Write(p, n); }, chunkBytes) {}

    Writer& Sealer() { return sealer_; }

    // The file layer's error for a status that came from writing, else the envelope's code.
    int ErrorFor(Status status) const {
        return status == Status::WriteFailed ? writer_.LastError() : ErrorCode(status);
    }

    bool Commit(const std::string* backupPath) {
        return backupPath != nullptr ? writer_.CommitWithBackup(*backupPath) : writer_.Commit();
    }

private:
    AtomicFileWriter& writer_;
    Writer sealer_;
};

} // namespace

int ErrorCode(Status status) {
    return kErrorCodeBase + static_cast<int>(status);
}

Status StatusOfError(int error) {
    if (error <= kErrorCodeBase || error > kErrorCodeBase + kLastStatus) {
        return Status::Ok;
    }
    return static_cast<Status>(error - kErrorCodeBase);
}

bool FileHasMagic(const std::string& path) {
    FileSource source;
    uint8_t magic[kMagic.size()] = {};
    return source.Open(path) && source.Size() >= sizeof magic &&
           source.ReadAt(0, magic, sizeof magic) && HasMagic(magic, sizeof magic);
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t length, const Key& key,
               int* error, const std::string* backupPath) {
    AtomicFileWriter writer;
    if (!writer.Open(path)) {
        SetError(error, writer.LastError());
        return false;
    }
    SealedFile file(writer);
    Status s = file.Sealer().Begin(key);
    if (s == Status::Ok) {
        s = file.Sealer().Append(data, length);
    }
    if (s == Status::Ok) {
        s = file.Sealer().Finish();
    }
    if (s != Status::Ok) {
        SetError(error, file.ErrorFor(s));
        writer.Abort();
        return false;
    }
    if (!file.Commit(backupPath)) {
        SetError(error, writer.LastError());
        return false;
    }
    return true;
}

Status WrapFile(const std::string& in, const std::string& out, const Key& key, int* error,
                const std::string* backupPath) {
    FileSource source;
    if (!source.Open(in)) {
        SetError(error, source.LastError());
        return Status::ReadFailed;
    }
    AtomicFileWriter writer;
    // The source is read through its own descriptor while its replacement is written.
    if (!writer.Open(out, 0600, 0700, AtomicFileWriter::Locking::None)) {
        SetError(error, writer.LastError());
        return Status::WriteFailed;
    }
    SealedFile file(writer);
    Status s = file.Sealer().Begin(key);
    std::vector<uint8_t> buffer(kDefaultChunkBytes);
    for (uint64_t done = 0; s == Status::Ok && done < source.Size();) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(buffer.size(), source.Size() - done));
        if (!source.ReadAt(done, buffer.data(), n)) {
            SetError(error, source.LastError());
            s = Status::ReadFailed;
            break;
        }
        s = file.Sealer().Append(buffer.data(), n);
        done += n;
    }
    if (s == Status::Ok) {
        s = file.Sealer().Finish();
    }
    sodium_memzero(buffer.data(), buffer.size());
    if (s != Status::Ok) {
        if (s != Status::ReadFailed) {
            SetError(error, file.ErrorFor(s));
        }
        writer.Abort();
        return s;
    }
    if (!file.Commit(backupPath)) {
        SetError(error, writer.LastError());
        return Status::WriteFailed;
    }
    return Status::Ok;
}

Status UnwrapFile(const std::string& in, const std::string& out, std::string_view password,
                  int* error, const std::string* backupPath) {
    FileSource source;
    if (!source.Open(in)) {
        SetError(error, source.LastError());
        return Status::ReadFailed;
    }
    Reader reader;
    Status s = reader.Open(source);
    if (s == Status::Ok) {
        s = reader.Unlock(password);
    }
    if (s != Status::Ok) {
        SetError(error, s == Status::ReadFailed ? source.LastError() : ErrorCode(s));
        return s;
    }
    AtomicFileWriter writer;
    if (!writer.Open(out, 0600, 0700, AtomicFileWriter::Locking::None)) {
        SetError(error, writer.LastError());
        return Status::WriteFailed;
    }
    s = reader.ReadAll([&](const uint8_t* p, size_t n) { return writer.Write(p, n); });
    if (s != Status::Ok) {
        SetError(error, s == Status::WriteFailed  ? writer.LastError()
                        : s == Status::ReadFailed ? source.LastError()
                                                  : ErrorCode(s));
        writer.Abort();
        return s;
    }
    const bool committed =
        backupPath != nullptr ? writer.CommitWithBackup(*backupPath) : writer.Commit();
    if (!committed) {
        SetError(error, writer.LastError());
        return Status::WriteFailed;
    }
    return Status::Ok;
}

} // namespace strong
