// Our compound-file writer and reader against each other: layouts, order, names, errors,
// locking and damaged files.
#include "compound/CompoundFile.h"
#include "CompoundLayouts.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

std::vector<std::string> NamesOf(const CompoundReader& reader, uint32_t storage) {
    std::vector<CompoundEntry> entries;
    EXPECT_EQ(reader.List(storage, entries), CompoundResult::Ok);
    std::vector<std::string> names;
    for (const CompoundEntry& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

// Runs `body` in a child process and returns its exit code (the child's view of a lock
// is that of another process).
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Repeat(const std::string& s, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += s;
    }
    return out;
}

} // namespace

struct RoundTripCase {
    const char* name;
    int version;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) {
    *out << c.name;
}

class CompoundRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(CompoundRoundTrip, EveryElementAndByteComesBack) {
    ScratchDir dir;
    const Layout layout = MixedLayout();
    CompoundWriteOptions options;
    options.version = GetParam().version;
    options.sync = false;
    ASSERT_EQ(WriteOurs(dir / "f.cfb", layout, options), CompoundResult::Ok);
    EXPECT_EQ(ReadOurs(dir / "f.cfb"), Describe(layout));
    CompoundReader reader;
    ASSERT_EQ(reader.Open(dir / "f.cfb"), CompoundResult::Ok);
    EXPECT_EQ(reader.Version(), GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(Versions, CompoundRoundTrip,
                         ::testing::Values(RoundTripCase{"SmallSectors", 3},
                                           RoundTripCase{"LargeSectors", 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CompoundFile, EmptyFileHasJustTheRoot) {
    ScratchDir dir;
    ASSERT_EQ(WriteOurs(dir / "f.cfb", {}), CompoundResult::Ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(dir / "f.cfb"), CompoundResult::Ok);
    EXPECT_EQ(reader.ChildCount(CompoundReader::kRoot), 0u);
    EXPECT_EQ(std::filesystem::file_size(dir / "f.cfb"), 512u * 3);
}

TEST(CompoundFile, ListsInTheFormatsOrderShorterNamesFirstThenCaseBlind) {
    ScratchDir dir;
    const std::vector<std::string> written = {
        "b", "Info", "aa", "12", "A", "2", "info2", "\xC3\xA9t\xC3\xA9", "Zz", "ETE", "10", "9"};
    CompoundWriter writer;
    ASSERT_EQ(writer.Create(dir / "f.cfb"), CompoundResult::Ok);
    for (const std::string& name : written) {
        ASSERT_EQ(writer.WriteStream(CompoundWriter::kRoot, name, name.data(), name.size()),
                  CompoundResult::Ok)
            << name;
    }
    ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(dir / "f.cfb"), CompoundResult::Ok);
    // Same length sorts by upper-cased units: "été" is "ÉTÉ", and U+00C9 comes after 'E'.
    EXPECT_EQ(NamesOf(reader, CompoundReader::kRoot),
              (std::vector<std::string>{"2", "9", "A", "b", "10", "12", "aa", "Zz", "ETE",
                                        "\xC3\xA9t\xC3\xA9", "Info", "info2"}));
    CompoundEntry found;
    ASSERT_EQ(reader.Find(CompoundReader::kRoot, "INFO", found), CompoundResult::Ok);
    EXPECT_EQ(found.name, "Info");
    std::vector<uint8_t> bytes;
    ASSERT_EQ(reader.ReadStream(found.id, bytes), CompoundResult::Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Info");
    EXPECT_EQ(reader.Find(CompoundReader::kRoot, "Inf", found), CompoundResult::NotFound);
}

TEST(CompoundFile, ManyStreamsInOneStorageAreAllFound) {
    ScratchDir dir;
    Layout layout;
    for (int i = 0; i < 5000; ++i) {
        layout.push_back({std::to_string(i * 7), false, uint64_t(i % 5 == 0 ? 4100 : 300)});
    }
    ASSERT_EQ(WriteOurs(dir / "f.cfb", layout), CompoundResult::Ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(dir / "f.cfb"), CompoundResult::Ok);
    ASSERT_EQ(reader.ChildCount(CompoundReader::kRoot), layout.size());
    for (const LayoutElement& e : layout) {
        CompoundEntry found;
        ASSERT_EQ(reader.Find(CompoundReader::kRoot, e.path, found), CompoundResult::Ok);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(reader.ReadStream(found.id, bytes), CompoundResult::Ok);
        ASSERT_EQ(bytes, Content(e)) << e.path;
    }
}

TEST(CompoundFile, DeepNestingNeedsNoRecursion) {
    ScratchDir dir;
    Layout layout;
    std::string path;
    for (int depth = 0; depth < 3000; ++depth) {
        path += (path.empty() ? "" : "/") + std::string("d");
        layout.push_back({path, true, 0});
    }
    layout.push_back({path + "/leaf", false, 10});
    ASSERT_EQ(WriteOurs(dir / "f.cfb", layout), CompoundResult::Ok);
    EXPECT_EQ(ReadOurs(dir / "f.cfb"), Describe(layout));
}

struct BadNameCase {
    const char* label;
    std::string name;
    CompoundResult expected;
};

TEST(CompoundFile, WriterRefusesBadAndDuplicateNames) {
    ScratchDir dir;
    CompoundWriter writer;
    ASSERT_EQ(writer.Create(dir / "f.cfb"), CompoundResult::Ok);
    uint32_t folder = 0;
    ASSERT_EQ(writer.CreateStorage(CompoundWriter::kRoot, "folder", &folder), CompoundResult::Ok);
    ASSERT_EQ(writer.WriteStream(folder, "Item", "x", 1), CompoundResult::Ok);
    const std::vector<BadNameCase> cases = {
        {"empty", "", CompoundResult::InvalidName},
        {"32 units", std::string(32, 'a'), CompoundResult::InvalidName},
        {"slash", "a/b", CompoundResult::InvalidName},
        {"backslash", "a\\b", CompoundResult::InvalidName},
        {"colon", "a:b", CompoundResult::InvalidName},
        {"exclamation", "a!", CompoundResult::InvalidName},
        {"nul", std::string("a\0b", 3), CompoundResult::InvalidName},
        {"broken UTF-8", "a\xC3", CompoundResult::InvalidName},
        {"same name other case", "ITEM", CompoundResult::AlreadyExists},
        {"name of the parent storage", "folder", CompoundResult::Ok},
        {"31 units", std::string(31, 'a'), CompoundResult::Ok},
        {"32 units in surrogate pairs", Repeat("\xF0\x9F\x98\x80", 16),
         CompoundResult::InvalidName},
        {"31 units with surrogate pairs", Repeat("\xF0\x9F\x98\x80", 15) + "x", CompoundResult::Ok},
    };
    for (const BadNameCase& c : cases) {
        EXPECT_EQ(writer.WriteStream(folder, c.name, "y", 1), c.expected) << c.label;
    }
    EXPECT_EQ(writer.WriteStream(CompoundWriter::kRoot, "FOLDER", "z", 1),
              CompoundResult::AlreadyExists);
    uint32_t stream = 0;
    ASSERT_EQ(writer.CreateStorage(folder, "sub", &stream), CompoundResult::Ok);
    EXPECT_EQ(writer.CreateStorage(999, "x"), CompoundResult::NotFound);
    ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
    EXPECT_EQ(writer.WriteStream(folder, "late", "x", 1), CompoundResult::InvalidState);
    EXPECT_EQ(writer.Commit(), CompoundResult::InvalidState);

    CompoundReader reader;
    ASSERT_EQ(reader.Open(dir / "f.cfb"), CompoundResult::Ok);
    CompoundEntry entry;
    ASSERT_EQ(reader.Find(CompoundReader::kRoot, "folder", entry), CompoundResult::Ok);
    EXPECT_EQ(NamesOf(reader, entry.id),
              (std::vector<std::string>{"sub", "Item", "folder", std::string(31, 'a'),
                                        Repeat("\xF0\x9F\x98\x80", 15) + "x"}));
}

TEST(CompoundFile, StreamNamesAreNotStorages) {
    ScratchDir dir;
    CompoundWriter writer;
    ASSERT_EQ(writer.Create(dir / "f.cfb"), CompoundResult::Ok);
    ASSERT_EQ(writer.WriteStream(CompoundWriter::kRoot, "s", "abc", 3), CompoundResult::Ok);
    ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(dir / "f.cfb"), CompoundResult::Ok);
    CompoundEntry s;
    ASSERT_EQ(reader.Find(CompoundReader::kRoot, "s", s), CompoundResult::Ok);
    std::vector<CompoundEntry> entries;
    EXPECT_EQ(reader.List(s.id, entries), CompoundResult::NotFound);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(reader.ReadStream(CompoundReader::kRoot, bytes), CompoundResult::NotFound);
    EXPECT_EQ(reader.ReadStream(12345, bytes), CompoundResult::NotFound);
}

TEST(CompoundFile, AttachedDescriptorIsWrittenFromTheStartAndCutToLength) {
    ScratchDir dir;
    const std::string file = dir / "f.cfb";
    WriteFileBytes(file, std::string(300000, 'x'));
    const int fd = ::open(file.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    const Layout layout = {{"a", false, 10}, {"b", false, 9000}};
    CompoundWriter writer;
    CompoundWriteOptions options;
    options.sync = false;
    ASSERT_EQ(writer.Attach(fd, options), CompoundResult::Ok);
    for (const LayoutElement& e : layout) {
        const auto bytes = Content(e);
        ASSERT_EQ(writer.WriteStream(CompoundWriter::kRoot, e.path, bytes.data(), bytes.size()),
                  CompoundResult::Ok);
    }
    ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
    EXPECT_EQ(::fcntl(fd, F_GETFD), 0) << "the caller's descriptor stays open";
    ::close(fd);
    EXPECT_LT(std::filesystem::file_size(file), 300000u);
    EXPECT_EQ(ReadOurs(file), Describe(layout));
}

TEST(CompoundFile, FullDiskFailsTheWriteAndEveryLaterCall) {
    ScratchDir dir;
    FileSizeLimit limit(64 * 1024);
    ASSERT_TRUE(limit.active());
    CompoundWriter writer;
    ASSERT_EQ(writer.Create(dir / "f.cfb"), CompoundResult::Ok);
    const std::vector<uint8_t> big(40000, 7);
    CompoundResult failed = CompoundResult::Ok;
    for (int i = 0; i < 100 && failed == CompoundResult::Ok; ++i) {
        failed = writer.WriteStream(CompoundWriter::kRoot, std::to_string(i), big.data(),
                                    i % 2 ? big.size() : 1000);
    }
    EXPECT_TRUE(failed == CompoundResult::WriteFault || failed == CompoundResult::DiskFull)
        << CompoundResultName(failed);
    EXPECT_EQ(writer.WriteStream(CompoundWriter::kRoot, "more", "x", 1), failed);
    EXPECT_EQ(writer.Commit(), failed);
}

TEST(CompoundFile, AnOpenFileIsLockedAgainstThisAndOtherProcesses) {
    ScratchDir dir;
    const std::string file = dir / "f.cfb";
    ASSERT_EQ(WriteOurs(file, {{"a", false, 10}}), CompoundResult::Ok);
    const auto before = ReadFileBytes(file);
    {
        CompoundReader first;
        ASSERT_EQ(first.Open(file), CompoundResult::Ok);
        CompoundReader second;
        EXPECT_EQ(second.Open(file), CompoundResult::ShareViolation);
        EXPECT_FALSE(second.IsOpen());
        EXPECT_EQ(InChild([&] {
                      CompoundReader other;
                      return static_cast<int>(other.Open(file));
                  }),
                  static_cast<int>(CompoundResult::ShareViolation));
        CompoundWriter writer;
        EXPECT_EQ(writer.Create(file), CompoundResult::ShareViolation);
        EXPECT_EQ(ReadFileBytes(file), before) << "a refused writer leaves the file alone";
    }
    CompoundReader again;
    EXPECT_EQ(again.Open(file), CompoundResult::Ok);
    again.Close();
    EXPECT_EQ(InChild([&] {
                  CompoundReader other;
                  return static_cast<int>(other.Open(file));
              }),
              static_cast<int>(CompoundResult::Ok));
}

TEST(CompoundFile, OpenReportsWhyItFailed) {
    ScratchDir dir;
    WriteFileBytes(dir / "text.txt", "just some text, certainly no compound file here");
    WriteFileBytes(dir / "empty", "");
    std::filesystem::create_directory(dir / "folder");
    const struct {
        const char* label;
        std::string path;
        CompoundResult expected;
    } cases[] = {
        {"missing file", dir / "missing.ovs", CompoundResult::FileNotFound},
        {"missing folder", dir / "nowhere/x.ovs", CompoundResult::PathNotFound},
        {"file used as folder", dir / "text.txt/x.ovs", CompoundResult::PathNotFound},
        {"text file", dir / "text.txt", CompoundResult::NotCompoundFile},
        {"empty file", dir / "empty", CompoundResult::NotCompoundFile},
        {"folder", dir / "folder", CompoundResult::AccessDenied},
        {"empty path", "", CompoundResult::InvalidName},
        {"over-long name", dir / std::string(300, 'n'), CompoundResult::InvalidName},
    };
    for (const auto& c : cases) {
        CompoundReader reader;
        EXPECT_EQ(reader.Open(c.path), c.expected) << c.label;
    }
    if (::geteuid() != 0) {
        ASSERT_EQ(WriteOurs(dir / "locked.cfb", {}), CompoundResult::Ok);
        ::chmod((dir / "locked.cfb").c_str(), 0);
        CompoundReader reader;
        EXPECT_EQ(reader.Open(dir / "locked.cfb"), CompoundResult::AccessDenied);
    }
    ASSERT_EQ(WriteOurs(dir / "ok.cfb", {}), CompoundResult::Ok);
    EXPECT_EQ(InChild([&] {
                  rlimit few{3, 3}; // stdin, stdout, stderr: nothing left to open
                  ::setrlimit(RLIMIT_NOFILE, &few);
                  CompoundReader reader;
                  return static_cast<int>(reader.Open(dir / "ok.cfb"));
              }),
              static_cast<int>(CompoundResult::TooManyOpenFiles));
}

// ---------------------------------------------------------------------------------------
// Damaged files
// ---------------------------------------------------------------------------------------
namespace {

const Layout& DamageLayout() {
    static const Layout layout = {{"alpha", false, 5000}, {"beta", false, 5000},
                                  {"gamma", false, 100},  {"delta", false, 100},
                                  {"dir", true, 0},       {"dir/inner", false, 10}};
    return layout;
}

// Edits the file's bytes through what a test needs to know of the layout.
struct FileBytes {
    std::string bytes;
    uint32_t Get(size_t at) const {
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    }
    void Set(size_t at, uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); }
    // Offset of the directory entry with this (ASCII) name.
    size_t Entry(const std::string& name) const {
        std::string wide;
        for (const char c : name) {
            wide += c;
            wide += '\0';
        }
        wide += std::string("\0\0", 2);
        for (size_t at = 512; at + 128 <= bytes.size(); at += 128) {
            if (bytes.compare(at, wide.size(), wide) == 0) {
                return at;
            }
        }
        ADD_FAILURE() << "no entry " << name;
        return 0;
    }
    // Offset of the allocation-table slot of a sector (first table sector only).
    size_t FatSlot(uint32_t sid) const { return (Get(76) + 1) * 512 + 4 * sid; }
};

struct DamageCase {
    const char* name;
    std::function<void(FileBytes&, const CompoundReader&)> damage;
    std::vector<std::string> corrupt; // streams that must read as Corrupt
    bool unreadable = false;          // the file does not open at all
};

uint32_t IdOf(const CompoundReader& reader, const std::string& path) {
    uint32_t storage = CompoundReader::kRoot;
    CompoundEntry e;
    size_t from = 0;
    for (;;) {
        const size_t slash = path.find('/', from);
        EXPECT_EQ(reader.Find(storage, path.substr(from, slash - from), e), CompoundResult::Ok);
        if (slash == std::string::npos) {
            return e.id;
        }
        storage = e.id;
        from = slash + 1;
    }
}

const std::vector<DamageCase>& DamageCases() {
    static const std::vector<DamageCase> cases = {
        {"ChainLoopsBack",
         [](FileBytes& f, const CompoundReader&) {
             const uint32_t start = f.Get(f.Entry("alpha") + 116);
             f.Set(f.FatSlot(start + 3), start);
         },
         {"alpha"}},
        {"TwoStreamsShareSectors",
         [](FileBytes& f, const CompoundReader&) {
             f.Set(f.Entry("alpha") + 116, f.Get(f.Entry("beta") + 116));
         },
         {"alpha"}},
        {"SizeBeyondItsChain",
         [](FileBytes& f, const CompoundReader&) { f.Set(f.Entry("beta") + 120, 50000); },
         {"beta"}},
        {"ChainStartsPastTheEnd",
         [](FileBytes& f, const CompoundReader&) { f.Set(f.Entry("beta") + 116, 0xFFFFF0); },
         {"beta"}},
        {"ChainRunsIntoFreeMarker",
         [](FileBytes& f, const CompoundReader&) {
             f.Set(f.FatSlot(f.Get(f.Entry("beta") + 116)), 0xFFFFFFFF);
         },
         {"beta"}},
        {"SmallStreamsShareSectors",
         [](FileBytes& f, const CompoundReader&) {
             f.Set(f.Entry("gamma") + 116, f.Get(f.Entry("delta") + 116));
         },
         {"gamma"}},
        {"SmallStreamPastTheSmallArea",
         [](FileBytes& f, const CompoundReader&) { f.Set(f.Entry("gamma") + 116, 100000); },
         {"gamma"}},
        {"SmallAreaChainBroken",
         [](FileBytes& f, const CompoundReader&) { f.Set(f.Entry("Root Entry") + 116, 0xFFFF); },
         {"gamma", "delta", "dir/inner"}},
        {"TreeLinkBackToAnAncestor",
         [](FileBytes& f, const CompoundReader& r) {
             f.Set(f.Entry("inner") + 72, IdOf(r, "dir"));
             f.Set(f.Entry("inner") + 68, 0);
         },
         {}},
        {"TreeLinkToItselfAndOutOfRange",
         [](FileBytes& f, const CompoundReader& r) {
             // "delta" is a leaf of the root storage's tree.
             f.Set(f.Entry("delta") + 68, IdOf(r, "delta"));
             f.Set(f.Entry("delta") + 72, 0x7FFFFFFF);
         },
         {}},
        {"BadSignature", [](FileBytes& f, const CompoundReader&) { f.bytes[3] = 'x'; }, {}, true},
        {"CutAfterTheHeader",
         [](FileBytes& f, const CompoundReader&) { f.bytes.resize(512); },
         {},
         true},
        {"TableSectorOutOfRange",
         [](FileBytes& f, const CompoundReader&) { f.Set(76, 0xFFFFF0); },
         {},
         true},
        {"TableCountLargerThanTheFile",
         [](FileBytes& f, const CompoundReader&) { f.Set(44, 0x10000000); },
         {},
         true},
        {"DirectoryChainLoops",
         [](FileBytes& f, const CompoundReader&) {
             const uint32_t dirStart = f.Get(48);
             f.Set(f.FatSlot(dirStart), dirStart);
         },
         {},
         true},
        {"RootEntryMissing",
         [](FileBytes& f, const CompoundReader&) { f.bytes[f.Entry("Root Entry") + 66] = 1; },
         {},
         true},
        {"UnknownSectorSize",
         [](FileBytes& f, const CompoundReader&) { f.bytes[30] = 10; },
         {},
         true},
    };
    return cases;
}

} // namespace

class CompoundDamage : public ::testing::TestWithParam<size_t> {};

TEST_P(CompoundDamage, DamageStaysWithinTheDamagedPart) {
    const DamageCase& c = DamageCases()[GetParam()];
    ScratchDir dir;
    const std::string file = dir / "f.cfb";
    ASSERT_EQ(WriteOurs(file, DamageLayout()), CompoundResult::Ok);
    FileBytes f{ReadFileBytes(file)};
    {
        CompoundReader reader;
        ASSERT_EQ(reader.Open(file), CompoundResult::Ok);
        c.damage(f, reader);
    }
    WriteFileBytes(file, f.bytes);

    std::vector<std::string> expected;
    if (c.unreadable) {
        expected = {"ERROR open NotCompoundFile"};
    } else {
        for (const std::string& line : Describe(DamageLayout())) {
            const std::string path = line.substr(0, line.find('\t'));
            if (std::find(c.corrupt.begin(), c.corrupt.end(), path) != c.corrupt.end()) {
                expected.push_back("ERROR " + path + " Corrupt");
            } else {
                expected.push_back(line);
            }
        }
        std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(ReadOurs(file), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CompoundDamage, ::testing::Range(size_t{0}, DamageCases().size()),
                         [](const auto& info) { return DamageCases()[info.param].name; });

TEST(CompoundFile, RandomlyDamagedFilesNeverCrashTheReader) {
    ScratchDir dir;
    ASSERT_EQ(WriteOurs(dir / "f.cfb", MixedLayout()), CompoundResult::Ok);
    const std::string original = ReadFileBytes(dir / "f.cfb");
    std::mt19937 random(20261210);
    int opened = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<uint8_t> bytes(original.begin(), original.end());
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < edits; ++i) {
            const size_t at = random() % bytes.size();
            // Mostly hit the header and the tables at the end, where the links are.
            const size_t where = random() % 3 == 0 ? at % 512 : bytes.size() - 1 - at % 6000;
            bytes[where] = static_cast<uint8_t>(random());
        }
        CompoundReader reader;
        if (reader.OpenBytes(std::move(bytes)) != CompoundResult::Ok) {
            continue;
        }
        ++opened;
        std::vector<uint32_t> storages{CompoundReader::kRoot};
        std::vector<CompoundEntry> entries;
        std::vector<uint8_t> data;
        while (!storages.empty()) {
            const uint32_t s = storages.back();
            storages.pop_back();
            reader.List(s, entries);
            for (const CompoundEntry& e : entries) {
                if (e.IsStorage()) {
                    storages.push_back(e.id);
                } else if (reader.ReadStream(e.id, data) == CompoundResult::Ok) {
                    ASSERT_EQ(data.size(), e.size);
                }
            }
        }
    }
    EXPECT_GT(opened, 100) << "the edits should leave many files readable";
}

// Streams written in pieces (from memory and copied from another file) and read back piece by
// piece give the same bytes as streams written and read whole, on both sector sizes; a
// cursor moved back and forth reads from where it stands.
TEST(CompoundFile, StreamsInPiecesMatchWholeStreams) {
    ScratchDir dir;
    const std::vector<size_t> sizes = {0, 1, 63, 4095, 4096, 4097, 70000, 300001};
    for (const int version : {3, 4}) {
        SCOPED_TRACE(version);
        const std::string source = (dir / "source.bin");
        std::vector<std::vector<uint8_t>> contents;
        std::string all;
        for (size_t i = 0; i < sizes.size(); ++i) {
            std::vector<uint8_t> bytes(sizes[i]);
            FillContent("s" + std::to_string(i), 0, bytes.data(), bytes.size());
            all.append(bytes.begin(), bytes.end());
            contents.push_back(std::move(bytes));
        }
        WriteFileBytes(source, all);
        const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(from, 0);
        const std::string path = dir / ("pieces" + std::to_string(version) + ".cf");
        {
            CompoundWriter writer;
            CompoundWriteOptions options;
            options.version = version;
            options.sync = false;
            ASSERT_EQ(writer.Create(path, options), CompoundResult::Ok);
            uint64_t offset = 0;
            for (size_t i = 0; i < sizes.size(); ++i) {
                const auto& bytes = contents[i];
                ASSERT_EQ(writer.BeginStream(CompoundWriter::kRoot, "p" + std::to_string(i),
                                             bytes.size()),
                          CompoundResult::Ok);
                // Odd pieces from memory, then the rest copied from the file.
                const size_t half = bytes.size() / 2;
                for (size_t at = 0; at < half; at += 777) {
                    ASSERT_EQ(
                        writer.AppendStream(bytes.data() + at, std::min<size_t>(777, half - at)),
                        CompoundResult::Ok);
                }
                ASSERT_EQ(writer.AppendStreamFrom(from, offset + half, bytes.size() - half),
                          CompoundResult::Ok);
                ASSERT_EQ(writer.EndStream(), CompoundResult::Ok);
                ASSERT_EQ(writer.WriteStream(CompoundWriter::kRoot, "w" + std::to_string(i),
                                             bytes.data(), bytes.size()),
                          CompoundResult::Ok);
                offset += bytes.size();
            }
            // Nothing else is written into a stream that is open; more bytes than announced
            // are refused.
            ASSERT_EQ(writer.BeginStream(CompoundWriter::kRoot, "open", 2), CompoundResult::Ok);
            EXPECT_EQ(writer.WriteStream(CompoundWriter::kRoot, "other", "x", 1),
                      CompoundResult::InvalidState);
            EXPECT_EQ(writer.AppendStream("xyz", 3), CompoundResult::InvalidState);
            ASSERT_EQ(writer.AppendStream("xy", 2), CompoundResult::Ok);
            ASSERT_EQ(writer.EndStream(), CompoundResult::Ok);
            ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
        }
        ::close(from);
        {
            // A stream one byte short cannot be closed, and fails the file.
            CompoundWriter writer;
            ASSERT_EQ(writer.Create((dir / "short.cf")), CompoundResult::Ok);
            ASSERT_EQ(writer.BeginStream(CompoundWriter::kRoot, "short", 2), CompoundResult::Ok);
            ASSERT_EQ(writer.AppendStream("x", 1), CompoundResult::Ok);
            EXPECT_NE(writer.EndStream(), CompoundResult::Ok);
            EXPECT_NE(writer.Commit(), CompoundResult::Ok);
        }
        // Copied stream by stream, straight from the first file.
        CompoundReader first;
        std::vector<CompoundEntry> entries;
        ASSERT_EQ(first.Open(path, CompoundLock::None), CompoundResult::Ok);
        ASSERT_EQ(first.List(CompoundReader::kRoot, entries), CompoundResult::Ok);
        ASSERT_EQ(entries.size(), 2 * sizes.size() + 1);
        const std::string copy = dir / ("copy" + std::to_string(version) + ".cf");
        {
            CompoundWriter writer;
            CompoundWriteOptions options;
            options.version = version;
            ASSERT_EQ(writer.Create(copy, options), CompoundResult::Ok);
            for (const CompoundEntry& e : entries) {
                CompoundReader::Cursor cursor;
                ASSERT_EQ(cursor.Open(first, e.id), CompoundResult::Ok);
                ASSERT_EQ(writer.BeginStream(CompoundWriter::kRoot, e.name, cursor.Size()),
                          CompoundResult::Ok);
                ASSERT_EQ(cursor.CopyTo(writer, cursor.Size()), CompoundResult::Ok);
                ASSERT_EQ(writer.EndStream(), CompoundResult::Ok);
            }
            ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
        }
        CompoundReader reader;
        ASSERT_EQ(reader.Open(copy), CompoundResult::Ok);
        for (size_t i = 0; i < sizes.size(); ++i) {
            for (const char* prefix : {"p", "w"}) {
                SCOPED_TRACE(prefix + std::to_string(i));
                CompoundEntry e;
                ASSERT_EQ(reader.Find(CompoundReader::kRoot, prefix + std::to_string(i), e),
                          CompoundResult::Ok);
                std::vector<uint8_t> whole;
                ASSERT_EQ(reader.ReadStream(e.id, whole), CompoundResult::Ok);
                EXPECT_EQ(whole, contents[i]);
                // Read from the middle to the end, then from the start, in odd pieces.
                CompoundReader::Cursor cursor;
                ASSERT_EQ(cursor.Open(reader, e.id), CompoundResult::Ok);
                std::vector<uint8_t> back(sizes[i]);
                const size_t middle = sizes[i] / 3;
                ASSERT_EQ(cursor.Seek(middle), CompoundResult::Ok);
                ASSERT_EQ(cursor.Read(back.data() + middle, sizes[i] - middle), CompoundResult::Ok);
                ASSERT_EQ(cursor.Seek(0), CompoundResult::Ok);
                for (size_t at = 0; at < middle; at += 513) {
                    ASSERT_EQ(cursor.Read(back.data() + at, std::min<size_t>(513, middle - at)),
                              CompoundResult::Ok);
                }
                EXPECT_EQ(back, contents[i]);
                uint8_t past = 0;
                ASSERT_EQ(cursor.Seek(sizes[i]), CompoundResult::Ok);
                EXPECT_EQ(cursor.Read(&past, 1), CompoundResult::Corrupt);
                EXPECT_EQ(cursor.Seek(sizes[i] + 1), CompoundResult::Corrupt);
            }
        }
    }
}
