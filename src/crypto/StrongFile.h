// Strong protection on disk: writing a file's bytes inside the envelope, taking them out
// again, and telling the reasons apart when a whole-file load fails.
#pragma once

#include "crypto/StrongEnvelope.h"

#include <cstdint>
#include <string>

namespace strong {

// A load that fails for a reason of the envelope reports it through the file layer's error
// number as one of these codes (above every errno value and every file-layer code), so that
// callers can say more than "failed to decrypt" where it helps.
inline constexpr int kErrorCodeBase = 0x4f560100;
int ErrorCode(Status status);
// The status an error code stands for; Status::Ok when `error` is no envelope code.
Status StatusOfError(int error);

// Whether the file at `path` starts with the magic. False when it cannot be read.
bool FileHasMagic(const std::string& path);

// Writes `length` bytes inside the envelope under `key` (with a new nonce base), replacing
// `path` atomically: the new file is complete on disk before it takes the old one's place.
// With a backup path the old file survives under it (see AtomicFileWriter). `error` receives
// the errno or file-layer code of a failure.
bool WriteFile(const std::string& path, const uint8_t* data, size_t length, const Key& key,
               int* error = nullptr, const std::string* backupPath = nullptr);

// Copies the file `in` into the envelope at `out` (which may be `in`), reading and writing a
// chunk at a time, so a file of any size needs no more memory than that.
Status WrapFile(const std::string& in, const std::string& out, const Key& key, int* error,
                const std::string* backupPath = nullptr);
// Writes the plaintext of the strong file `in` to `out` (which may be `in`), a chunk at a
// time, after checking the password.
Status UnwrapFile(const std::string& in, const std::string& out, std::string_view password,
                  int* error, const std::string* backupPath = nullptr);

} // namespace strong
