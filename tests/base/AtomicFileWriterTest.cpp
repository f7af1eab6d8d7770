#include "base/AtomicFileWriter.h"
#include "base/FileErrors.h"
#include "base/SimpleFile.h"
#include "base/WholeFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// A user id that is neither ours nor the folder's.
constexpr uid_t kOtherUser = 4242;

class AtomicFileWriterTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_ / name; }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    static bool Save(const std::string& path, const std::string& data, int* error = nullptr) {
        return WriteWholeFile(path, reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                              error);
    }

    ScratchDir dir_;
};

TEST_F(AtomicFileWriterTest, StreamsWritesAtOffsetsAndThroughTheHandle) {
    const std::string path = Path("big.bin");
    WriteFileBytes(path, "old");
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path)) << FileErrorMessage(writer.LastError());
    EXPECT_EQ(writer.Target(), path);
    ASSERT_TRUE(writer.Write("....", 4));
    ASSERT_TRUE(writer.Write("tail", 4));
    ASSERT_TRUE(writer.WriteAt("head", 4, 0));
    ASSERT_EQ(::write(writer.Handle(), "!", 1), 1) << "the handle continues after Write";
    EXPECT_EQ(ReadFileBytes(path), "old") << "nothing is visible before Commit";
    EXPECT_EQ(Names(), std::set<std::string>{"big.bin"}) << "the new data has no name yet";
    ASSERT_TRUE(writer.Commit());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(ReadFileBytes(path), "headtail!");
    EXPECT_EQ(Names(), std::set<std::string>{"big.bin"});
}

TEST_F(AtomicFileWriterTest, AbortAndDestructionLeaveTheDiskAsItWas) {
    const std::string existing = Path("doc.ovt");
    WriteFileBytes(existing, "old");
    for (const std::string& path : {existing, Path("new.ovt")}) {
        {
            AtomicFileWriter writer;
            ASSERT_TRUE(writer.Open(path));
            ASSERT_TRUE(writer.Write("new", 3));
        }
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.Open(path));
        ASSERT_TRUE(writer.Write("new", 3));
        writer.Abort();
        EXPECT_FALSE(writer.Commit());
    }
    EXPECT_EQ(ReadFileBytes(existing), "old");
    EXPECT_EQ(Names(), std::set<std::string>{"doc.ovt"});
}

TEST_F(AtomicFileWriterTest, CommitWithBackupKeepsThePreviousFile) {
    const std::string path = Path("store.ovs");
    const std::string backup = Path("store.BAK");
    WriteFileBytes(path, "v1");
    WriteFileBytes(backup, "v0");
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Write("v2", 2));
    ASSERT_TRUE(writer.CommitWithBackup(backup));
    EXPECT_EQ(ReadFileBytes(path), "v2");
    EXPECT_EQ(ReadFileBytes(backup), "v1") << "the older backup is replaced";

    // A backup that cannot be made stops the save before the file is touched.
    fs::remove(backup);
    fs::create_directory(backup);
    WriteFileBytes(backup + "/inside", "x");
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Write("v3", 2));
    EXPECT_FALSE(writer.CommitWithBackup(backup));
    EXPECT_EQ(ReadFileBytes(path), "v2");
    EXPECT_EQ(Names(), (std::set<std::string>{"store.BAK", "store.ovs"}));

    // Without a previous file there is nothing to back up.
    const std::string fresh = Path("fresh.ovs");
    ASSERT_TRUE(writer.Open(fresh));
    ASSERT_TRUE(writer.Write("f", 1));
    ASSERT_TRUE(writer.CommitWithBackup(Path("fresh.BAK")));
    EXPECT_EQ(ReadFileBytes(fresh), "f");
    EXPECT_FALSE(fs::exists(Path("fresh.BAK")));
}

// A writer killed at any point before its commit leaves neither a partial file nor a
// temporary one, for a new file and for one it replaces.
TEST_F(AtomicFileWriterTest, AKilledWriterLeavesNothingBehind) {
    const std::string existing = Path("old.txt");
    WriteFileBytes(existing, "previous");
    for (const std::string& path : {existing, Path("new.txt")}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AtomicFileWriter writer;
            const std::string block(1 << 20, 'p');
            bool ok = writer.Open(path);
            for (int i = 0; ok && i < 8; ++i) {
                ok = writer.Write(block.data(), block.size());
            }
            const char state = ok ? 'w' : 'f';
            (void)!::write(ready[1], &state, 1);
            for (;;) {
                ::pause(); // stopped here, mid-save, by SIGKILL
            }
        }
        ::close(ready[1]);
        char state = 0;
        ASSERT_EQ(::read(ready[0], &state, 1), 1);
        ::close(ready[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(state, 'w') << "the child wrote its data";
        EXPECT_EQ(Names(), std::set<std::string>{"old.txt"}) << path;
        EXPECT_EQ(ReadFileBytes(existing), "previous");
    }
}

TEST_F(AtomicFileWriterTest, OnlyRegularOrMissingFilesAreReplaced) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0666), 0);
    fs::create_directory(Path("folder"));
    fs::create_symlink("fifo", Path("to-fifo"));
    fs::create_symlink("loop", Path("loop"));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    const struct {
        const char* name;
        int error;
    } cases[] = {
        {"fifo", kErrorNotRegularFile},
        {"to-fifo", kErrorNotRegularFile},
        {"folder", EISDIR},
        {"folder/", EISDIR},
        {"loop", kErrorLinkLoop},
        {"missing/x", ENOENT},
        {"null", kErrorNotRegularFile},
    };
    for (const auto& c : cases) {
        if (std::string(c.name) == "null" && !root) {
            continue;
        }
        int error = 0;
        EXPECT_FALSE(Save(Path(c.name), "secret", &error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name << ": " << FileErrorMessage(error);
    }
    EXPECT_TRUE(fs::is_fifo(Path("fifo")));
    EXPECT_TRUE(fs::is_empty(Path("folder")));
    if (root) {
        EXPECT_TRUE(fs::is_character_file(Path("null")));
    }
}

// In a shared sticky folder a link is followed only when it is ours or the folder owner's;
// a followed link stays a link and its file is replaced.
TEST_F(AtomicFileWriterTest, LinksInStickyFoldersFollowTheProtectedSymlinksRule) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "planting another user's link needs root";
    }
    const std::string shared = Path("shared");
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    WriteFileBytes(Path("grab.txt"), "");
    fs::create_symlink(Path("grab.txt"), shared + "/planted");
    ASSERT_EQ(::lchown((shared + "/planted").c_str(), kOtherUser, kOtherUser), 0);
    fs::create_symlink(Path("mine.txt"), shared + "/mine");

    int error = 0;
    EXPECT_FALSE(Save(shared + "/planted", "secret", &error));
    EXPECT_EQ(error, kErrorUntrustedLink);
    EXPECT_EQ(ReadFileBytes(Path("grab.txt")), "");
    EXPECT_TRUE(fs::is_symlink(shared + "/planted"));

    ASSERT_TRUE(Save(shared + "/mine", "secret"));
    EXPECT_TRUE(fs::is_symlink(shared + "/mine"));
    EXPECT_EQ(ReadFileBytes(Path("mine.txt")), "secret");

    // The same link in a folder that is not shared is followed.
    ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
    ASSERT_TRUE(Save(shared + "/planted", "moved"));
    EXPECT_EQ(ReadFileBytes(Path("grab.txt")), "moved");
}

TEST_F(AtomicFileWriterTest, ReplacedFileKeepsItsOwnerAndAtMostOwnerOnlyMode) {
    const std::string path = Path("doc.ovd");
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 06664), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherUser + 1), 0);
    }
    ASSERT_TRUE(Save(path, "new"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "group, other and set-id bits are dropped";
    if (root) {
        EXPECT_EQ(st.st_uid, kOtherUser);
        EXPECT_EQ(st.st_gid, kOtherUser + 1);
    }
    ASSERT_TRUE(Save(Path("new.ovd"), "x"));
    ASSERT_EQ(::stat(Path("new.ovd").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST_F(AtomicFileWriterTest, ReadersShareAndOnlyWritersExclude) {
    const std::string path = Path("doc.ovt");
    WriteFileBytes(path, "data");
    SimpleFile reader1;
    SimpleFile reader2;
    ASSERT_TRUE(reader1.Open(path, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(reader2.Open(path, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    Bytes bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes));

    AtomicFileWriter writer;
    EXPECT_FALSE(writer.Open(path));
    EXPECT_EQ(writer.LastError(), kErrorSharingViolation);
    SimpleFile direct;
    EXPECT_FALSE(direct.Open(path, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(direct.LastError(), kErrorSharingViolation);
    // A process that reads the old file itself while it writes the new one.
    ASSERT_TRUE(writer.Open(path, 0600, 0700, AtomicFileWriter::Locking::None));
    writer.Abort();

    reader1.Close();
    reader2.Close();
    ASSERT_TRUE(writer.Open(path));
    int error = 0;
    EXPECT_FALSE(ReadWholeFile(path, bytes, &error)) << "a writer keeps readers out";
    EXPECT_EQ(error, kErrorSharingViolation);
    writer.Abort();
}

TEST_F(AtomicFileWriterTest, ReadingRefusesWhatIsNotARegularFileWithoutBlocking) {
    ASSERT_EQ(::mkfifo(Path("f.ovt").c_str(), 0600), 0);
    const struct {
        std::string path;
        int error;
    } cases[] = {{Path("f.ovt"), kErrorNotRegularFile}, {dir_.path().string(), EISDIR}};
    for (const auto& c : cases) {
        Bytes bytes;
        int error = 0;
        EXPECT_FALSE(ReadWholeFile(c.path, bytes, &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
    }
}

TEST_F(AtomicFileWriterTest, OpenAtFollowsNoLinkAndRefusesWhatExistsWhenAsked) {
    fs::create_directories(dir_.path() / "in");
    fs::create_directories(dir_.path() / "elsewhere");
    WriteFileBytes(Path("elsewhere/target.txt"), "outside");
    WriteFileBytes(Path("in/old.txt"), "old");
    fs::create_symlink("../elsewhere/target.txt", dir_.path() / "in/link.txt");
    fs::create_symlink("../elsewhere/new.txt", dir_.path() / "in/dangling.txt");
    const int folder = ::open(Path("in").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    using Existing = AtomicFileWriter::Existing;
    const struct {
        const char* name;
        Existing existing;
        int error; // 0: written
    } cases[] = {
        {"link.txt", Existing::Replace, kErrorSymbolicLink},
        {"dangling.txt", Existing::Replace, kErrorSymbolicLink},
        {"link.txt", Existing::Refuse, kErrorSymbolicLink},
        {"old.txt", Existing::Refuse, EEXIST},
        {"old.txt", Existing::Replace, 0},
        {"new.txt", Existing::Refuse, 0},
        {"a/b.txt", Existing::Replace, EINVAL},
        {"..", Existing::Replace, EINVAL},
    };
    for (const auto& c : cases) {
        AtomicFileWriter writer;
        const bool ok =
            writer.OpenAt(folder, c.name, c.existing) && writer.Write("new", 3) && writer.Commit();
        EXPECT_EQ(ok ? 0 : writer.LastError(), c.error) << c.name;
    }
    EXPECT_EQ(ReadFileBytes(Path("in/old.txt")), "new");
    EXPECT_EQ(ReadFileBytes(Path("in/new.txt")), "new");
    EXPECT_EQ(ReadFileBytes(Path("elsewhere/target.txt")), "outside");
    EXPECT_FALSE(fs::exists(Path("elsewhere/new.txt")));
    EXPECT_TRUE(fs::is_symlink(Path("in/link.txt")));

    // A file that appears between opening and committing is not replaced under Refuse.
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.OpenAt(folder, "late.txt", Existing::Refuse));
    ASSERT_TRUE(writer.Write("mine", 4));
    WriteFileBytes(Path("in/late.txt"), "theirs");
    EXPECT_FALSE(writer.Commit());
    EXPECT_EQ(writer.LastError(), EEXIST);
    EXPECT_EQ(ReadFileBytes(Path("in/late.txt")), "theirs");
    ::close(folder);
}

TEST(FileErrorMessages, OwnCodesAndErrnoHaveTheirOwnTexts) {
    const struct {
        int error;
        const char* text;
    } cases[] = {
        {kErrorDiskFull, "No space left on device"},
        {ENOSPC, "No space left on device"},
        {kErrorSharingViolation, "The file is in use by another process"},
        {EISDIR, "Is a directory"},
        {kErrorNotRegularFile, "Not a regular file (a device, pipe or socket)"},
        {ENOENT, "No such file or directory"},
        {0, "Unknown error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileErrorMessage(c.error), c.text) << c.error;
    }
    EXPECT_NE(FileErrorMessage(kErrorUntrustedLink).find("symbolic link"), std::string::npos);
    EXPECT_NE(FileErrorMessage(kErrorSymbolicLink).find("symbolic link"), std::string::npos);
    EXPECT_NE(FileErrorMessage(kErrorPathTooLong).find("4095 bytes"), std::string::npos);
}

} // namespace
