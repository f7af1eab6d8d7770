// Whole files read into memory and written atomically.
#pragma once

#include "base/Bytes.h"

#include <cstdint>
#include <string>

// `error`, when given, receives the errno or file-layer code of a failure (see FileErrors.h;
// FileErrorMessage() explains it). Reading shares the file with other readers and refuses
// anything that is not a regular file.
bool ReadWholeFile(const std::string& path, Bytes& out, int* error = nullptr);
// Replaces the file atomically through AtomicFileWriter (see there for which targets are
// refused, how links are followed and which mode and owner the file gets). On failure the
// previous file is untouched and nothing is left behind.
bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t length,
                    int* error = nullptr);
bool GetFileSizeByName(const std::string& path, uint64_t& size);
