// Compound-file reader (being written).
#include "compound/CompoundFile.h"

struct CompoundReader::State {};

CompoundReader::CompoundReader() = default;
CompoundReader::~CompoundReader() = default;
CompoundResult CompoundReader::Open(const std::string&) {
    return CompoundResult::Unknown;
}
CompoundResult CompoundReader::OpenFd(int, bool) {
    return CompoundResult::Unknown;
}
CompoundResult CompoundReader::OpenBytes(std::vector<uint8_t>) {
    return CompoundResult::Unknown;
}
void CompoundReader::Close() {}
bool CompoundReader::IsOpen() const {
    return false;
}
int CompoundReader::Version() const {
    return 0;
}
CompoundResult CompoundReader::List(uint32_t, std::vector<CompoundEntry>&) const {
    return CompoundResult::InvalidState;
}
size_t CompoundReader::ChildCount(uint32_t) const {
    return 0;
}
CompoundResult CompoundReader::Find(uint32_t, std::string_view, CompoundEntry&) const {
    return CompoundResult::InvalidState;
}
CompoundResult CompoundReader::ReadStream(uint32_t, std::vector<uint8_t>&) const {
    return CompoundResult::InvalidState;
}
