// Export naming and the folder writer on real folders: names that fit the file system and
// say nothing to a terminal, equal names kept apart, and a writer that stays inside the
// folder it was given however deep the export goes.
#include "storage/StorageExport.h"
#include "base/FileErrors.h"
#include "storage/StorageAdd.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

bool IsUtf8Boundary(const std::string& s) {
    return s.empty() || (static_cast<uint8_t>(s.back()) & 0xC0) != 0xC0;
}

TEST(StorageExportNames, SafeFileNames) {
    const std::string e = "\xC3\xA9"; // é
    std::string accents;
    for (int i = 0; i < 129; ++i) {
        accents += e;
    }
    struct Case {
        std::string name, expected;
    } cases[] = {
        {"a/b", "a_b"},
        {"..", "_.."},
        {".", "_."},
        {"", "_"},
        {"\x1B[2J", "_[2J"},
        {"tab\there\nand\rDEL\x7F", "tab_here_and_DEL_"},
        {"csi\xC2\x9B"
         "31m",
         "csi_31m"}, // a C1 control in UTF-8
        {std::string(300, 'n') + ".pdf", std::string(251, 'n') + ".pdf"},
        {std::string(300, 'n'), std::string(255, 'n')},
        // 258 bytes of "é" and ".txt": cut between characters before the extension.
        {accents + ".txt", accents.substr(0, 250) + ".txt"},
        // A long "extension" is part of the name.
        {"a." + std::string(298, 'x'), "a." + std::string(253, 'x')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SafeFileName(c.name), c.expected) << c.name.substr(0, 40);
    }
    const std::string cut = SafeFileName(accents);
    EXPECT_LE(cut.size(), kMaxFileNameBytes);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_TRUE(IsUtf8Boundary(cut));
}

TEST(StorageExportNames, EqualNamesAreNumberedAndStayShortEnough) {
    UniqueNames names;
    EXPECT_EQ(names.Take("a (2).txt"), "a (2).txt");
    EXPECT_EQ(names.Take("a.txt"), "a.txt");
    EXPECT_EQ(names.Take("a.txt"), "a (3).txt");
    EXPECT_EQ(names.Take("a.txt"), "a (4).txt");
    EXPECT_EQ(names.Take("README"), "README");
    EXPECT_EQ(names.Take("README"), "README (2)");

    const std::string longName = std::string(251, 'n') + ".txt";
    EXPECT_EQ(names.Take(longName), longName);
    const std::string second = names.Take(longName);
    EXPECT_EQ(second, std::string(247, 'n') + " (2).txt");
    EXPECT_EQ(names.Take(longName), std::string(247, 'n') + " (3).txt");
}

// A storage built in memory: folders and files by parent.
struct Items {
    StorageItemTable table;
    StorageTree tree;
    int32_t Add(StorageItemType type, const std::string& name, int32_t parent,
                const std::string& data = "") {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(type);
        item->name = name;
        item->data = Bytes(data.begin(), data.end());
        const int32_t index = table.Add(std::move(item));
        tree.push_back({index, parent});
        return index;
    }
};

std::string LinkTarget(const std::string& path) {
    std::error_code ec;
    return fs::read_symlink(path, ec).string();
}

TEST(StorageExportWriter, DeepExportsComeBackUpToEveryLevel) {
    // 40 levels, more than the writer holds open, each with a file written after the
    // folder below it: the way back up goes through every level again.
    Items s;
    int32_t parent = kRootParent;
    for (int level = 0; level < 40; ++level) {
        s.Add(StorageItemType::File, "z.bin", parent, std::to_string(level));
        parent = s.Add(StorageItemType::Folder, "a", parent);
    }
    ScratchDir dir;
    const auto targets = PlanFolderExport(s.table, SortedTree(s.tree, s.table), kRootParent);
    ExportRoot root;
    ASSERT_TRUE(OpenExportRoot(dir / "out", root).ok);
    const FolderExportResult result =
        WriteFolderExport(s.table, targets, root, ExistingFiles::Refuse);
    ASSERT_TRUE(result.ok) << result.path << ": " << FileErrorMessage(result.error);
    std::string path = dir / "out";
    for (int level = 0; level < 40; ++level) {
        EXPECT_EQ(ReadFileBytes(path + "/z.bin"), std::to_string(level));
        path += "/a";
    }
    // Again: the folders are there and are written into; the files are, and are refused.
    const FolderExportResult again =
        WriteFolderExport(s.table, targets, root, ExistingFiles::Refuse);
    EXPECT_EQ(again.error, EEXIST);
    EXPECT_EQ(again.path, path.substr(0, path.size() - 2) + "/z.bin"); // the deepest comes first
    EXPECT_TRUE(WriteFolderExport(s.table, targets, root, ExistingFiles::Replace).ok);
}

TEST(StorageExportWriter, ALinkAnywhereBelowStopsItBeforeAnythingIsWritten) {
    Items s;
    const int32_t a = s.Add(StorageItemType::Folder, "a", kRootParent);
    const int32_t b = s.Add(StorageItemType::Folder, "b", a);
    s.Add(StorageItemType::File, "first.bin", kRootParent, "1");
    s.Add(StorageItemType::File, "deep.bin", b, "2");
    const auto targets = PlanFolderExport(s.table, SortedTree(s.tree, s.table), kRootParent);

    ScratchDir dir;
    fs::create_directories(dir.path() / "out/a");
    fs::create_directories(dir.path() / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir.path() / "out/a/b");
    ExportRoot root;
    ASSERT_TRUE(OpenExportRoot(dir / "out", root).ok);
    const FolderExportResult result =
        WriteFolderExport(s.table, targets, root, ExistingFiles::Replace);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, kErrorSymbolicLink);
    EXPECT_EQ(result.path, dir / "out/a/b");
    EXPECT_FALSE(fs::exists(dir.path() / "out/first.bin"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));
}

// An item whose data is a file on disk that is gone by the time the export reads it: a
// damaged item, as a storage part that no longer decrypts would be.
std::unique_ptr<StorageItem> VanishedFileItem(const ScratchDir& dir) {
    WriteFileBytes(dir / "gone.bin", "gone");
    struct stat st {};
    ::stat((dir / "gone.bin").c_str(), &st);
    auto item = MakeItemFromClosedFile(dir / "gone.bin", 4, st.st_dev, st.st_ino);
    fs::remove(dir / "gone.bin");
    return item;
}

TEST(StorageExportWriter, FilesAppearWholeUnderTheirNamesOrNotAtAll) {
    // An export that replaces a file: it gets the new bytes, with its permissions for the
    // owner only, and nothing is left beside the files.
    {
        Items s;
        const int32_t a = s.Add(StorageItemType::Folder, "a", kRootParent);
        s.Add(StorageItemType::File, "one.bin", a, "first");
        s.Add(StorageItemType::File, "two.bin", a, "second");
        s.Add(StorageItemType::Folder, "empty", a);
        s.Add(StorageItemType::File, "top.bin", kRootParent, "top");
        ScratchDir dir;
        fs::create_directories(dir.path() / "out/a");
        WriteFileBytes(dir / "out/a/one.bin", "old");
        fs::permissions(dir.path() / "out/a/one.bin", fs::perms(0664));
        ExportRoot root;
        ASSERT_TRUE(OpenExportRoot(dir / "out", root).ok);
        const auto targets = PlanFolderExport(s.table, SortedTree(s.tree, s.table), kRootParent);
        const FolderExportResult result =
            WriteFolderExport(s.table, targets, root, ExistingFiles::Replace);
        ASSERT_TRUE(result.ok) << result.path << ": " << FileErrorMessage(result.error);
        EXPECT_EQ(FolderListing(dir / "out"),
                  "a/\na/empty/\na/one.bin=first\na/two.bin=second\ntop.bin=top\n");
        EXPECT_EQ(fs::status(dir.path() / "out/a/one.bin").permissions(), fs::perms(0600));
        EXPECT_EQ(fs::status(dir.path() / "out/a/two.bin").permissions(), fs::perms(0600));
    }

    // A failure after files were written: none of them appears under its name, an existing
    // file keeps its bytes, and no temporary file stays.
    const struct {
        const char* label;
        rlim_t sizeLimit; // 0: none
        bool damaged;
        int error;
    } failures[] = {
        {"a damaged item", 0, true, kErrorDamagedSource},
        {"a full disk", 4096, false, kErrorDiskFull},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.label);
        ScratchDir dir;
        Items s;
        const int32_t a = s.Add(StorageItemType::Folder, "a", kRootParent);
        s.Add(StorageItemType::File, "one.bin", a, "first");
        s.Add(StorageItemType::File, "two.bin", a, "second");
        const int32_t z = s.Add(StorageItemType::Folder, "z", kRootParent);
        if (c.damaged) {
            s.tree.push_back({s.table.Add(VanishedFileItem(dir)), z});
        } else {
            s.Add(StorageItemType::File, "big.bin", z, std::string(8192, 'b'));
        }
        s.Add(StorageItemType::File, "zz.bin", z, "after");
        fs::create_directories(dir.path() / "out/a");
        WriteFileBytes(dir / "out/a/one.bin", "old");
        ExportRoot root;
        ASSERT_TRUE(OpenExportRoot(dir / "out", root).ok);
        const auto targets = PlanFolderExport(s.table, SortedTree(s.tree, s.table), kRootParent);
        FolderExportResult result;
        {
            FileSizeLimit limit(c.sizeLimit != 0 ? c.sizeLimit : RLIM_INFINITY);
            ASSERT_TRUE(limit.active());
            result = WriteFolderExport(s.table, targets, root, ExistingFiles::Replace);
        }
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, c.error) << FileErrorMessage(result.error);
        EXPECT_EQ(result.path, dir / (c.damaged ? "out/z/gone.bin" : "out/z/big.bin"));
        EXPECT_EQ(FolderListing(dir / "out"), "a/\na/one.bin=old\nz/\n");
    }
}

TEST(StorageExportWriter, ANewFolderForTheWindowNeverReusesOne) {
    ScratchDir dir;
    fs::create_directories(dir.path() / "Letters");
    const std::string longName = std::string(255, 'L');
    EXPECT_EQ(NewExportFolderName(dir / "", "Letters"), "Letters (2)");
    EXPECT_EQ(NewExportFolderName(dir / "", longName), longName);
    ExportRoot root;
    ASSERT_TRUE(CreateExportRoot(dir / "", "Letters", root).ok);
    EXPECT_EQ(root.path, dir / "Letters (2)");
    ASSERT_TRUE(CreateExportRoot(dir / "", longName, root).ok);
    ASSERT_TRUE(CreateExportRoot(dir / "", longName, root).ok);
    EXPECT_EQ(root.path, dir / (std::string(251, 'L') + " (2)"));
    // A planted link to a folder is a name in use, never a way out.
    fs::create_directory_symlink(dir / "Letters", dir.path() / "Notes");
    ASSERT_TRUE(CreateExportRoot(dir / "", "Notes", root).ok);
    EXPECT_EQ(root.path, dir / "Notes (2)");
    EXPECT_EQ(LinkTarget(dir / "Notes"), dir / "Letters");
}

} // namespace
