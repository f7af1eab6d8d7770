// Compound-file reader, opening: checks the whole structure once (every table, every chain,
// the directory tree, all without recursion) and claims every sector it finds in use, so that
// no two chains, tables or cycles can share one.
#include "compound/CompoundReaderState.h"

#include <algorithm>
#include <bit>

using namespace compound;

CompoundResult CompoundReader::State::Parse() {
    uint8_t h[512];
    if (!ReadHeader(h) || !ReadFat(h) || !ReadDirectory(h)) {
        return CompoundResult::NotCompoundFile;
    }
    ReadMiniStreams(h);
    LinkChildren();
    return CompoundResult::Ok;
}

bool CompoundReader::State::ReadHeader(uint8_t (&h)[512]) {
    if (fileSize < 512 || !ReadAt(0, h, sizeof h) ||
        std::memcmp(h, kSignature, sizeof kSignature) != 0 || Get16(h + 28) != 0xFFFE) {
        return false;
    }
    version = Get16(h + 26);
    const uint16_t shift = Get16(h + 30);
    if (!((version == 3 && shift == 9) || (version == 4 && shift == 12)) || Get16(h + 32) != 6 ||
        Get32(h + 56) != kMiniCutoff) {
        return false;
    }
    sectorSize = 1u << shift;
    sectorCount = fileSize > sectorSize ? (fileSize - 1) / sectorSize : 0;
    sectorCount = std::min<uint64_t>(sectorCount, uint64_t{kMaxRegSect} + 1);
    used.assign(sectorCount, 0);
    return true;
}

bool CompoundReader::State::ReadFat(const uint8_t* h) {
    const uint32_t per = sectorSize / 4;

    // Allocation table sectors: 109 in the header, the rest in the index chain.
    const uint32_t fatCount = Get32(h + 44);
    if (fatCount > sectorCount) {
        return false;
    }
    std::vector<uint32_t> fatSids;
    fatSids.reserve(fatCount);
    for (uint32_t i = 0; i < kHeaderDifatCount && fatSids.size() < fatCount; ++i) {
        fatSids.push_back(Get32(h + 76 + 4 * i));
    }
    uint32_t difat = Get32(h + 68);
    const uint32_t difatCount = Get32(h + 72);
    std::vector<uint8_t> sector(sectorSize);
    for (uint32_t n = 0; fatSids.size() < fatCount; ++n) {
        if (n >= difatCount || difat >= sectorCount || used[difat] ||
            !ReadAt(SectorOffset(difat), sector.data(), sectorSize)) {
            return false;
        }
        used[difat] = 1;
        for (uint32_t k = 0; k + 1 < per && fatSids.size() < fatCount; ++k) {
            fatSids.push_back(Get32(sector.data() + 4 * k));
        }
        difat = Get32(sector.data() + 4 * (per - 1));
    }
    // A table sector listed twice, or also used as an index sector, only spoils table
    // entries; every chain is still checked against the file, so it is tolerated (one
    // widely used writer lists its index sector as the last table sector above 2 GB).
    for (const uint32_t sid : fatSids) {
        if (sid >= sectorCount) {
            return false;
        }
        used[sid] = 1;
    }
    // The table is read straight into its place and put in host order there: a large file's
    // table is megabytes, read at every open.
    fat.resize(fatSids.size() * per);
    auto* raw = reinterpret_cast<uint8_t*>(fat.data());
    if (!ReadSectors(fatSids, raw)) {
        return false;
    }
    if constexpr (std::endian::native != std::endian::little) {
        for (size_t i = 0; i < fat.size(); ++i) {
            fat[i] = Get32(raw + 4 * i);
        }
    }
    return true;
}

bool CompoundReader::State::ReadDirectory(const uint8_t* h) {
    // Read a few sectors at a time.
    std::vector<uint32_t> chain;
    if (!Walk(Get32(h + 48), 0, &chain) || chain.empty()) {
        return false;
    }
    const size_t perSector = sectorSize / kDirEntrySize;
    const size_t count = std::min<size_t>(chain.size() * perSector, kMaxRegSect);
    entries.resize(count);
    constexpr size_t kGroup = 16;
    std::vector<uint32_t> group;
    std::vector<uint8_t> raw;
    for (size_t first = 0; first < chain.size(); first += kGroup) {
        group.assign(chain.begin() + static_cast<long>(first),
                     chain.begin() + static_cast<long>(std::min(chain.size(), first + kGroup)));
        if (!ReadSectors(group, raw)) {
            return false;
        }
        const size_t base = first * perSector;
        for (size_t i = 0; i < group.size() * perSector && base + i < count; ++i) {
            ParseEntry(raw.data() + i * kDirEntrySize, entries[base + i]);
        }
    }
    return entries[0].type == 5;
}

void CompoundReader::State::ReadMiniStreams(const uint8_t* h) {
    const uint32_t miniFatStart = Get32(h + 60);
    if (miniFatStart != kEndOfChain && miniFatStart != kFreeSect) {
        std::vector<uint32_t> chain;
        std::vector<uint8_t> raw;
        if (Walk(miniFatStart, 0, &chain) && ReadSectors(chain, raw)) {
            miniFat.resize(raw.size() / 4);
            for (size_t i = 0; i < miniFat.size(); ++i) {
                miniFat[i] = Get32(raw.data() + 4 * i);
            }
        } else {
            miniBroken = true;
        }
    }
    const Entry& root = entries[0];
    miniSectorCount = root.size / kMiniSectorSize + (root.size % kMiniSectorSize != 0);
    if (root.size > 0) {
        const uint64_t need = root.size / sectorSize + (root.size % sectorSize != 0);
        if (need > sectorCount || !Walk(root.start, need, &miniChain)) {
            miniBroken = true;
            miniChain.clear();
        }
    }
    miniUsed.assign(miniBroken ? 0 : miniSectorCount, 0);
}

void CompoundReader::State::LinkChildren() {
    // Storages depth-first, each storage's children by an in-order walk of its search tree.
    // An entry reached a second time or of the wrong kind is skipped.
    entries[0].reachable = true;
    std::vector<uint32_t> storages{0};
    std::vector<uint32_t> path;
    while (!storages.empty()) {
        const uint32_t s = storages.back();
        storages.pop_back();
        uint32_t cur = entries[s].child;
        entries[s].firstChild = static_cast<uint32_t>(children.size());
        path.clear();
        for (;;) {
            while (cur < entries.size() && !entries[cur].reachable &&
                   (entries[cur].type == 1 || entries[cur].type == 2)) {
                entries[cur].reachable = true;
                path.push_back(cur);
                cur = entries[cur].left;
            }
            if (path.empty()) {
                break;
            }
            const uint32_t node = path.back();
            path.pop_back();
            children.push_back(node);
            ++entries[s].childCount;
            if (entries[node].type == 1) {
                storages.push_back(node);
            } else {
                CheckStream(entries[node]);
            }
            cur = entries[node].right;
        }
    }
}

bool CompoundReader::State::Walk(uint32_t start, uint64_t limit, std::vector<uint32_t>* chain) {
    uint32_t sid = start;
    uint64_t count = 0;
    while (limit == 0 ? sid != kEndOfChain : count < limit) {
        if (sid >= sectorCount || sid >= fat.size() || used[sid]) {
            return false;
        }
        used[sid] = 1;
        if (chain != nullptr) {
            chain->push_back(sid);
        }
        ++count;
        sid = fat[sid];
    }
    return true;
}

void CompoundReader::State::ParseEntry(const uint8_t* p, Entry& e) {
    e.type = p[66];
    if (e.type != 1 && e.type != 2 && e.type != 5) {
        e.type = 0;
        return;
    }
    const uint16_t nameBytes = Get16(p + 64);
    size_t units = nameBytes >= 2 && nameBytes <= 64 ? nameBytes / 2 - 1 : kMaxNameUnits;
    units = std::min(units, kMaxNameUnits);
    char16_t name[kMaxNameUnits];
    size_t length = 0;
    while (length < units && (name[length] = Get16(p + 2 * length)) != 0) {
        ++length;
    }
    e.nameOffset = static_cast<uint32_t>(names.size());
    e.nameLength = static_cast<uint8_t>(length);
    names.insert(names.end(), name, name + length);
    e.left = Get32(p + 68);
    e.right = Get32(p + 72);
    e.child = Get32(p + 76);
    e.start = Get32(p + 116);
    e.size = version == 3 ? Get32(p + 120) : Get64(p + 120);
}

void CompoundReader::State::CheckStream(Entry& e) {
    if (e.size == 0) {
        return;
    }
    if (e.size < kMiniCutoff) {
        const uint64_t need = e.size / kMiniSectorSize + (e.size % kMiniSectorSize != 0);
        uint32_t m = e.start;
        for (uint64_t i = 0; i < need; ++i) {
            if (miniBroken || m >= miniSectorCount || m >= miniFat.size() || miniUsed[m]) {
                e.damaged = true;
                return;
            }
            miniUsed[m] = 1;
            m = miniFat[m];
        }
        return;
    }
    const uint64_t need = e.size / sectorSize + (e.size % sectorSize != 0);
    if (need > sectorCount || !Walk(e.start, need, nullptr)) {
        e.damaged = true;
    }
}
