// Test layouts of compound files and three ways to read and write them: our library,
// libgsf and Python's olefile. Every reader describes a file by the same sorted lines,
// "PATH<TAB>storage<TAB>0<TAB>-" or "PATH<TAB>stream<TAB>SIZE<TAB>SHA1", so the files can
// be compared element by element and byte by byte.
#pragma once

#include "compound/CompoundFile.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Results print by name in test messages.
inline void PrintTo(CompoundResult result, std::ostream* out) {
    *out << CompoundResultName(result);
}

struct LayoutElement {
    std::string path; // "a/b/c", parents listed before their children
    bool storage = false;
    uint64_t size = 0; // streams: length of the generated content
};
using Layout = std::vector<LayoutElement>;

// Deterministic content of a stream, different for each path.
void FillContent(const std::string& path, uint64_t offset, uint8_t* out, size_t size);
std::vector<uint8_t> Content(const LayoutElement& element);

// The description lines a correct reader gives for the layout.
std::vector<std::string> Describe(const Layout& layout);

CompoundResult WriteOurs(const std::string& file, const Layout& layout,
                         const CompoundWriteOptions& options = {});
// Lines read back with our reader; a failure appears as a line "ERROR <where> <result>".
std::vector<std::string> ReadOurs(const std::string& file);

bool WriteGsf(const std::string& file, const Layout& layout, bool bigSectors = false);
std::vector<std::string> ReadGsf(const std::string& file);

// Runs the olefile script; its output lines, or "ERROR ..." lines with its complaint.
std::vector<std::string> ReadOlefile(const std::string& file);

// The built-in layout shared by the oracle tests: nested, empty storages, edge sizes.
Layout MixedLayout();
