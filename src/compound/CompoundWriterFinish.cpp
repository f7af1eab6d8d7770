// Compound-file writer, closing: the directory with each storage's search tree, the
// small-stream table, the allocation table with its index, and last the header.
#include "compound/CompoundWriterState.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

using namespace compound;

CompoundResult CompoundWriter::State::Finish() {
    if ((fd < 0 && output == nullptr) || finished) {
        return CompoundResult::InvalidState;
    }
    if (failure != CompoundResult::Ok) {
        return failure;
    }
    finished = true;
    if (!FlushMini(true)) {
        return failure;
    }
    dir[0].start = miniFat.empty() ? kEndOfChain : miniFirst;
    dir[0].size = uint64_t{miniFat.size()} * kMiniSectorSize;

    Tables tables;
    if (!WriteDirectory(tables) || !WriteMiniFat(tables)) {
        return failure;
    }
    SizeFat(tables);
    if (!WriteFat(tables) || !WriteHeader(tables)) {
        return failure;
    }
    return CompoundResult::Ok;
}

bool CompoundWriter::State::WriteDirectory(Tables& tables) {
    for (uint32_t i = 0; i < dir.size(); ++i) {
        if (dir[i].type != CompoundEntryType::Stream) {
            BuildTree(i);
        }
    }
    const size_t perSector = sectorSize / kDirEntrySize;
    const size_t dirSectors = (dir.size() + perSector - 1) / perSector;
    std::vector<uint8_t> dirBytes(dirSectors * sectorSize, 0);
    for (size_t i = 0; i < dirSectors * perSector; ++i) {
        uint8_t* p = dirBytes.data() + i * kDirEntrySize;
        Put32(p + 68, kNoStream);
        Put32(p + 72, kNoStream);
        Put32(p + 76, kNoStream);
        if (i >= dir.size()) {
            continue;
        }
        const DirEntry& e = dir[i];
        for (size_t k = 0; k < e.name.size(); ++k) {
            Put16(p + 2 * k, static_cast<uint16_t>(e.name[k]));
        }
        Put16(p + 64, static_cast<uint16_t>((e.name.size() + 1) * 2));
        p[66] = static_cast<uint8_t>(e.type);
        p[67] = e.red ? 0 : 1;
        Put32(p + 68, e.left);
        Put32(p + 72, e.right);
        Put32(p + 76, e.child);
        if (e.type != CompoundEntryType::Storage) {
            Put32(p + 116, e.type == CompoundEntryType::Root || e.size > 0 ? e.start : kEndOfChain);
            Put64(p + 120, e.size);
        }
    }
    tables.dirSectors = dirSectors;
    return WriteChain(dirBytes.data(), dirBytes.size(), tables.firstDir);
}

bool CompoundWriter::State::WriteMiniFat(Tables& tables) {
    if (miniFat.empty()) {
        return true;
    }
    const size_t per = sectorSize / 4;
    tables.miniFatSectors = static_cast<uint32_t>((miniFat.size() + per - 1) / per);
    std::vector<uint8_t> bytes(size_t{tables.miniFatSectors} * sectorSize, 0xFF);
    for (size_t i = 0; i < miniFat.size(); ++i) {
        Put32(bytes.data() + 4 * i, miniFat[i]);
    }
    return WriteChain(bytes.data(), bytes.size(), tables.firstMiniFat);
}

void CompoundWriter::State::SizeFat(Tables& tables) const {
    const uint64_t per = sectorSize / 4;
    const uint64_t base = fat.size();
    uint64_t fatCount = 1;
    uint64_t difatCount = 0;
    for (;;) {
        uint64_t total = base + fatCount + difatCount;
        if (base <= rangeLock && rangeLock < total) {
            ++total;
        }
        const uint64_t needFat = (total + per - 1) / per;
        const uint64_t needDifat =
            needFat > kHeaderDifatCount ? (needFat - kHeaderDifatCount + per - 2) / (per - 1) : 0;
        if (needFat <= fatCount && needDifat <= difatCount) {
            break;
        }
        fatCount = std::max(fatCount, needFat);
        difatCount = std::max(difatCount, needDifat);
    }
    tables.fatCount = fatCount;
    tables.difatCount = difatCount;
}

bool CompoundWriter::State::WriteFat(Tables& tables) {
    const uint64_t per = sectorSize / 4;
    const uint64_t base = fat.size();
    std::vector<uint32_t>& fatSids = tables.fatSids;
    std::vector<uint32_t>& difatSids = tables.difatSids;
    // Their sector numbers follow the ones in use, around the range-lock sector.
    uint64_t next = base;
    for (uint64_t i = 0; i < tables.fatCount + tables.difatCount; ++i, ++next) {
        if (next == rangeLock) {
            ++next;
        }
        if (next >= maxSector) {
            Fail(CompoundResult::TooLarge);
            return false;
        }
        (i < tables.fatCount ? fatSids : difatSids).push_back(static_cast<uint32_t>(next));
    }
    fat.resize(tables.fatCount * per, kFreeSect);
    if (base <= rangeLock && rangeLock < next) {
        fat[rangeLock] = kEndOfChain;
    }
    for (const uint32_t sid : fatSids) {
        fat[sid] = kFatSect;
    }
    for (const uint32_t sid : difatSids) {
        fat[sid] = kDifSect;
    }
    std::vector<uint8_t> bytes(sectorSize);
    size_t fi = 0;
    size_t di = 0;
    for (uint64_t sid = base; sid < next; ++sid) {
        if (sid == rangeLock) {
            std::fill(bytes.begin(), bytes.end(), 0);
        } else if (fi < fatSids.size()) {
            for (size_t k = 0; k < per; ++k) {
                Put32(bytes.data() + 4 * k, fat[fi * per + k]);
            }
            ++fi;
        } else {
            for (size_t k = 0; k + 1 < per; ++k) {
                const size_t index = kHeaderDifatCount + di * (per - 1) + k;
                Put32(bytes.data() + 4 * k, index < fatSids.size() ? fatSids[index] : kFreeSect);
            }
            Put32(bytes.data() + 4 * (per - 1),
                  di + 1 < difatSids.size() ? difatSids[di + 1] : kEndOfChain);
            ++di;
        }
        if (!Emit(bytes.data(), bytes.size())) {
            return false;
        }
    }
    fileSize += (next - base) * sectorSize;
    return FlushOut();
}

bool CompoundWriter::State::WriteHeader(const Tables& tables) {
    std::vector<uint8_t> h(512, 0);
    std::memcpy(h.data(), kSignature, sizeof kSignature);
    Put16(h.data() + 24, 0x003E);
    Put16(h.data() + 26, static_cast<uint16_t>(sectorShift == 9 ? 3 : 4));
    Put16(h.data() + 28, 0xFFFE);
    Put16(h.data() + 30, static_cast<uint16_t>(sectorShift));
    Put16(h.data() + 32, 6);
    Put32(h.data() + 40, sectorShift == 9 ? 0 : static_cast<uint32_t>(tables.dirSectors));
    Put32(h.data() + 44, static_cast<uint32_t>(tables.fatCount));
    Put32(h.data() + 48, tables.firstDir);
    Put32(h.data() + 56, kMiniCutoff);
    Put32(h.data() + 60, tables.firstMiniFat);
    Put32(h.data() + 64, tables.miniFatSectors);
    Put32(h.data() + 68, tables.difatSids.empty() ? kEndOfChain : tables.difatSids[0]);
    Put32(h.data() + 72, static_cast<uint32_t>(tables.difatCount));
    for (size_t i = 0; i < kHeaderDifatCount; ++i) {
        Put32(h.data() + 76 + 4 * i, i < tables.fatSids.size() ? tables.fatSids[i] : kFreeSect);
    }
    out.assign(h.begin(), h.end());
    const uint64_t end = fileSize;
    outOffset = 0;
    if (!FlushOut()) {
        return false;
    }
    if (output != nullptr) {
        if (const int error = output->Finish(end); error != 0) {
            Fail(error == ENOSPC || error == EDQUOT ? CompoundResult::DiskFull
                                                    : CompoundResult::WriteFault);
            return false;
        }
        return true;
    }
    if (::ftruncate(fd, static_cast<off_t>(end)) != 0) {
        Fail(CompoundResult::WriteFault);
        return false;
    }
    if (options.sync && ::fsync(fd) != 0) {
        Fail(errno == ENOSPC || errno == EDQUOT ? CompoundResult::DiskFull
                                                : CompoundResult::WriteFault);
        return false;
    }
    return true;
}

void CompoundWriter::State::BuildTree(uint32_t storage) {
    std::vector<uint32_t>& kids = dir[storage].children;
    if (kids.empty()) {
        return;
    }
    std::sort(kids.begin(), kids.end(), [this](uint32_t a, uint32_t b) {
        return CompareNames(dir[a].name, dir[b].name) < 0;
    });
    const size_t n = kids.size();
    size_t levels = 0; // number of levels = ceil(log2(n + 1))
    while ((size_t{1} << levels) < n + 1) {
        ++levels;
    }
    const bool perfect = (size_t{1} << levels) == n + 1;
    struct Range {
        size_t lo, hi, depth;
        uint32_t* link;
    };
    std::vector<Range> stack{{0, n, 0, &dir[storage].child}};
    while (!stack.empty()) {
        const Range r = stack.back();
        stack.pop_back();
        if (r.lo >= r.hi) {
            *r.link = kNoStream;
            continue;
        }
        const size_t mid = r.lo + (r.hi - r.lo) / 2;
        const uint32_t id = kids[mid];
        *r.link = id;
        dir[id].red = !perfect && r.depth + 1 == levels;
        stack.push_back({r.lo, mid, r.depth + 1, &dir[id].left});
        stack.push_back({mid + 1, r.hi, r.depth + 1, &dir[id].right});
    }
}
