// Small tests and cuts on file names, without touching the file system.
#pragma once

#include <string>
#include <string_view>

// Extension test without regard to case; `extension` includes the dot (".ovd").
bool HasExtension(std::string_view path, std::string_view extension);
// The part of a path after its last slash (or backslash).
std::string FileNameOf(std::string_view path);
