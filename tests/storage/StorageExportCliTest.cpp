// Export and add of the real ombrivault-cli against hostile targets and sources: planted
// links, names the file system cannot take, paths past what a path can hold, control
// characters and damaged parts, each with its exit code, its message and what is on disk
// inside and outside the chosen folder afterwards.
#include "compound/CompoundFile.h"
#include "storage/StorageFile.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Items by parent, written into a storage by the core writer; element names are spaced out
// so that a damaged element can sit between two items and cut the second off.
struct Items {
    struct Entry {
        std::string name;
        int parent; // index into `entries`, -1 at the top
        bool folder;
        std::string data;
    };
    std::vector<Entry> entries;
    bool damaged = false; // an element that does not decrypt after the first top-level item

    int Folder(const std::string& name, int parent = -1) {
        entries.push_back({name, parent, true, ""});
        return static_cast<int>(entries.size()) - 1;
    }
    void File(const std::string& name, const std::string& data, int parent = -1) {
        entries.push_back({name, parent, false, data});
    }

    bool Write(const std::string& path) const {
        CompoundWriter compound;
        if (compound.Create(path) != CompoundResult::Ok) {
            return false;
        }
        StorageWriter writer(compound, "secret");
        bool ok = writer.CreateStorageFile() == CompoundResult::Ok;
        std::vector<uint32_t> storages(entries.size(), CompoundWriter::kRoot);
        for (size_t i = 0; ok && i < entries.size(); ++i) {
            const Entry& e = entries[i];
            StorageItem item;
            item.type =
                static_cast<int32_t>(e.folder ? StorageItemType::Folder : StorageItemType::File);
            item.name = e.name;
            item.data = Bytes(e.data.begin(), e.data.end());
            const uint32_t container =
                e.parent < 0 ? CompoundWriter::kRoot : storages[static_cast<size_t>(e.parent)];
            const auto index = static_cast<int32_t>(2 * i);
            ok = (e.folder ? writer.WriteFolder(container, item, index, storages[i])
                           : writer.WriteItem(container, item, index)) == CompoundResult::Ok;
        }
        if (damaged) {
            const uint8_t junk[32] = {1, 2, 3};
            ok = ok && compound.WriteStream(CompoundWriter::kRoot, "1", junk, sizeof junk) ==
                           CompoundResult::Ok;
        }
        return ok && compound.Commit() == CompoundResult::Ok;
    }
};

const std::string kLongName = std::string(255, 'n') + ".txt"; // 259 bytes, as long as a name goes

struct ExportCase {
    const char* label;
    std::function<void(Items&)> items;
    std::function<void(const fs::path& dir)> plant; // what is on disk before the export
    std::string args;                               // after "export s.ovs"
    int code;
    std::string message; // part of standard error; empty: nothing there
    std::string inside;  // Listing of out/ afterwards
    std::string outside; // Listing of outside/ afterwards
};

void VictimItems(Items& s) {
    s.File("pwned.txt", "secret data", s.Folder("victim"));
}

const ExportCase kExportCases[] = {
    {"planted folder link", VictimItems,
     [](const fs::path& d) { fs::create_directory_symlink("../outside", d / "out/victim"); },
     "/ -o out", 3, "out/victim: It is a symbolic link", "victim -> ../outside\n",
     "mine.txt=mine\n"},
    {"planted folder link, forced", VictimItems,
     [](const fs::path& d) { fs::create_directory_symlink("../outside", d / "out/victim"); },
     "/ -o out --force", 3, "out/victim: It is a symbolic link", "victim -> ../outside\n",
     "mine.txt=mine\n"},
    {"planted file link", VictimItems,
     [](const fs::path& d) {
         fs::create_directory(d / "out/victim");
         fs::create_symlink("../../outside/mine.txt", d / "out/victim/pwned.txt");
     },
     "/ -o out", 3, "out/victim/pwned.txt: It is a symbolic link",
     "victim/\nvictim/pwned.txt -> ../../outside/mine.txt\n", "mine.txt=mine\n"},
    {"planted file link, forced", VictimItems,
     [](const fs::path& d) {
         fs::create_directory(d / "out/victim");
         fs::create_symlink("../../outside/mine.txt", d / "out/victim/pwned.txt");
     },
     "/ -o out --force", 3, "out/victim/pwned.txt: It is a symbolic link",
     "victim/\nvictim/pwned.txt -> ../../outside/mine.txt\n", "mine.txt=mine\n"},
    {"dangling link, forced", VictimItems,
     [](const fs::path& d) {
         fs::create_directory(d / "out/victim");
         fs::create_symlink("../../outside/new.txt", d / "out/victim/pwned.txt");
     },
     "victim -o out/victim --force", 3, "out/victim/pwned.txt: It is a symbolic link",
     "victim/\nvictim/pwned.txt -> ../../outside/new.txt\n", "mine.txt=mine\n"},
    {"names longer than a file name, into a folder that holds files",
     [](Items& s) {
         s.File(kLongName, "one");
         s.File(kLongName, "two");
     },
     [](const fs::path& d) { WriteFileBytes(d / "out/keep.txt", "kept"); }, "/ -o out", 0, "",
     "keep.txt=kept\n" + std::string(247, 'n') + " (2).txt=two\n" + std::string(251, 'n') +
         ".txt=one\n",
     "mine.txt=mine\n"},
    {"a path past what a path can hold",
     [](Items& s) {
         int folder = -1;
         for (int level = 0; level < 25; ++level) {
             folder = s.Folder(std::string(200, static_cast<char>('a' + level)), folder);
         }
         s.File("deep.txt", "deep", folder);
     },
     [](const fs::path&) {}, "/ -o out", 3, "bytes a path can hold", "", "mine.txt=mine\n"},
    {"control characters",
     [](Items& s) {
         s.File("a\x1B[2Jb", "esc");
         s.File("line\nbreak\t.txt", "lf");
     },
     [](const fs::path&) {}, "/ -o out", 0, "", "a_[2Jb=esc\nline_break_.txt=lf\n",
     "mine.txt=mine\n"},
    {"a damaged part",
     [](Items& s) {
         s.File("fine.txt", "fine");
         s.File("lost.txt", "lost");
         s.damaged = true;
     },
     [](const fs::path&) {}, "/ -o out", 4, "the items after it in that folder were not exported",
     "fine.txt=fine\n", "mine.txt=mine\n"},
};

class StorageExportCliTest : public CliFixture {};

TEST_F(StorageExportCliTest, HostileTargets) {
    for (const ExportCase& c : kExportCases) {
        SCOPED_TRACE(c.label);
        const fs::path d = dir_.path();
        fs::remove_all(d / "out");
        fs::remove_all(d / "outside");
        fs::create_directories(d / "out");
        fs::create_directories(d / "outside");
        WriteFileBytes(d / "outside/mine.txt", "mine");
        Items items;
        c.items(items);
        ASSERT_TRUE(items.Write(d / "s.ovs"));
        c.plant(d);
        const CliResult r = Run("--password-file pw export s.ovs " + c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.message.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        }
        EXPECT_EQ(FolderListing(d / "out"), c.inside);
        EXPECT_EQ(FolderListing(d / "outside"), c.outside);
    }
}

TEST_F(StorageExportCliTest, HostileSourcesAreRefusedWithTheirReason) {
    const fs::path d = dir_.path();
    fs::create_symlink("loop", d / "loop");
    Write("locked/inside.txt", "x");
    Write("folder/f.txt", "x");
    fs::permissions(d / "locked", fs::perms::owner_all);
    // The folder without search permission holds for anyone but root: as root the tool runs
    // as nobody, who also may not write the storage, but fails on the source first.
    const std::string asOther =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    if (asOther.empty()) {
        fs::permissions(d / "locked", fs::perms::none);
    } else {
        fs::permissions(d, fs::perms::all);
        fs::permissions(d / "pw", fs::perms::owner_read | fs::perms::others_read);
    }
    const std::string longName(300, 'n');
    const struct {
        std::string source, env, message;
    } cases[] = {
        {"loop", "", "cannot read loop: Too many levels of symbolic links"},
        {longName, "", "cannot read " + longName + ": File name too long"},
        {"/", "", "cannot add /: the new folder would have no name"},
        {"locked/inside.txt", asOther, "cannot read locked/inside.txt: Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.substr(0, 20));
        const CliResult r = Run("--password-file pw add s.ovs " + c.source, "", c.env);
        EXPECT_EQ(r.code, 3);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(Exists("s.ovs"));
    }
    fs::permissions(d / "locked", fs::perms::owner_all);
}

TEST_F(StorageExportCliTest, AddRefusesDotFolderNamesAndABackupInTheWay) {
    Write("f.bin", "data");
    ASSERT_EQ(Run("--password-file pw add s.ovs --folder a f.bin").code, 0);
    const std::string before = Read("s.ovs");
    for (const char* folder : {".", "..", "../..", "x/../y", "a/./b"}) {
        SCOPED_TRACE(folder);
        const CliResult r =
            Run(std::string("--password-file pw add s.ovs --folder '") + folder + "' f.bin");
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("cannot be a folder name"), std::string::npos) << r.err;
        EXPECT_EQ(Read("s.ovs"), before);
    }

    fs::remove(dir_.path() / "s.BAK");
    fs::create_directory(dir_.path() / "s.BAK");
    const CliResult r = Run("--password-file pw add s.ovs f.bin");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("the backup s.BAK is a folder; move or rename it, then save again"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Read("s.ovs"), before);
}

} // namespace
