// The storage commands of the real ombrivault-cli binary on real files.
#include "compound/CompoundFile.h"

#include "storage/StorageFile.h"
#include "storage/StorageSave.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using Result = CliResult;
using StorageCliTest = CliFixture;

TEST_F(StorageCliTest, AddListAndExport) {
    Write("in/scan.JPG", std::string("\xFF\xD8\xFF\xE0", 4));
    Write("in/notes.txt", std::string("hello\0tail", 10));
    Write("in/doc.pdf", "%PDF-1.4");
    Write("in/data.bin", "raw");
    Result r =
        Run("--password-file pw add safe.ovs --folder Letters/2008 in/scan.JPG in/notes.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    r = Run("--password-file pw add safe.ovs in/doc.pdf in/data.bin --folder Letters");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Exists("safe.BAK"));

    r = Run("--password-file pw ls safe.ovs");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Letters\tfolder\t0\n"
                     "Letters/2008\tfolder\t0\n"
                     "Letters/2008/notes.txt\ttext\t5\n"
                     "Letters/2008/scan.JPG\timage\t4\n"
                     "Letters/data.bin\tfile\t3\n"
                     "Letters/doc.pdf\tpdf\t8\n");

    // Types, image type and fit-to-view as the storage tree adds them.
    {
        CompoundReader reader;
        ASSERT_EQ(OpenStorageFile(dir_ / "safe.ovs", reader), CompoundResult::Ok);
        StorageItemTable table;
        StorageTree tree;
        ReadStorage(reader, "secret", table, tree);
        for (const auto& e : tree) {
            const StorageItem* item = table.Get(e.item);
            if (item->name == "scan.JPG") {
                EXPECT_EQ(item->imageType, 3);
                EXPECT_EQ(item->fitToView, 1);
            }
        }
    }

    r = Run("--password-file pw export safe.ovs Letters/2008/notes.txt -o note.out");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read("note.out"), "hello");
    r = Run("--password-file pw export safe.ovs Letters/2008/scan.JPG -o -");
    EXPECT_EQ(r.out, std::string("\xFF\xD8\xFF\xE0", 4));

    r = Run("--password-file pw export safe.ovs Letters -o outdir");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read("outdir/2008/notes.txt"), "hello");
    EXPECT_EQ(Read("outdir/doc.pdf"), "%PDF-1.4");
    EXPECT_EQ(Read("outdir/data.bin"), "raw");

    // An existing file is not overwritten without --force, and nothing else is written.
    Write("outdir/data.bin", "mine");
    fs::remove(dir_.path() / "outdir/doc.pdf");
    r = Run("--password-file pw export safe.ovs Letters -o outdir");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("--force"), std::string::npos);
    EXPECT_EQ(Read("outdir/data.bin"), "mine");
    EXPECT_FALSE(Exists("outdir/doc.pdf"));
    r = Run("--password-file pw export safe.ovs Letters -o outdir --force");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read("outdir/data.bin"), "raw");

    EXPECT_EQ(Run("--password-file pw export safe.ovs Letters/none -o x").code, 3);
    EXPECT_FALSE(Exists("x"));
}

TEST_F(StorageCliTest, EqualNamesAndHostileNamesExportSafely) {
    Write("a/same.txt", "one");
    Write("b/same.txt", "two");
    ASSERT_EQ(Run("--password-file pw add s.ovs a/same.txt b/same.txt").code, 0);
    // A name that would climb out of the export folder.
    StorageItemTable table;
    StorageTree tree;
    for (const char* name : {"..", "x/y", "same.txt", "\x1B[2J"}) {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(StorageItemType::File);
        item->name = name;
        item->data = Bytes{'d'};
        tree.push_back({table.Add(std::move(item)), kRootParent});
    }
    ASSERT_TRUE(SaveStorage(dir_ / "h.ovs", "secret", table, tree).ok);

    Result r = Run("--password-file pw ls s.ovs");
    EXPECT_EQ(r.out, "same.txt\ttext\t3\nsame.txt\ttext\t3\n");
    EXPECT_EQ(Run("--password-file pw export s.ovs same.txt -o one").code, 3);
    ASSERT_EQ(Run("--password-file pw export s.ovs / -o all").code, 0);
    EXPECT_EQ(Read("all/same.txt") + Read("all/same (2).txt"), "onetwo");

    r = Run("--password-file pw ls h.ovs");
    // Names print escaped, so no name can send the terminal a control sequence, and the
    // printed path is what names the item.
    EXPECT_EQ(r.out, "\\x1B[2J\tfile\t1\n..\tfile\t1\nsame.txt\tfile\t1\nx\\/y\tfile\t1\n");
    EXPECT_EQ(Run("--password-file pw export h.ovs 'x\\/y' -o -").out, "d");
    EXPECT_EQ(Run("--password-file pw export h.ovs '\\x1B[2J' -o -").out, "d");
    Write("f.bin", "f");
    ASSERT_EQ(Run("--password-file pw add h.ovs --folder '/a\\/b//c\\x41/' f.bin").code, 0);
    EXPECT_EQ(Run("--password-file pw export h.ovs 'a\\/b/cA/f.bin' -o -").out, "f");
    ASSERT_EQ(Run("--password-file pw export h.ovs / -o sub/h").code, 0);
    EXPECT_EQ(Read("sub/h/_.."), "d");
    EXPECT_EQ(Read("sub/h/x_y"), "d");
    EXPECT_FALSE(Exists("sub/same.txt"));
}

TEST_F(StorageCliTest, AddRefusesAndLeavesTheStorageAsItWas) {
    Write("f.bin", "data");
    Write("empty.bin", "");
    EXPECT_EQ(Run("--password-file pw add s.ovs f.bin missing.bin").code, 3);
    EXPECT_EQ(Run("--password-file pw add s.ovs f.bin empty.bin").code, 3);
    EXPECT_FALSE(Exists("s.ovs"));
    ASSERT_EQ(Run("--password-file pw add s.ovs f.bin").code, 0);
    const std::string before = Read("s.ovs");
    const Result r = Run("--password-file wrong add s.ovs f.bin");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Failed to decrypt the file: s.ovs"), std::string::npos);
    EXPECT_EQ(Read("s.ovs"), before);
    EXPECT_EQ(Run("--password-file pw add s.ovs").code, 2);
}

TEST_F(StorageCliTest, AddTakesFoldersWithEverythingBelowThem) {
    const fs::path d = dir_.path();
    Write("in/tree/notes.txt", "a note");
    Write("in/tree/blank.txt", ""); // an empty note is kept
    Write("in/tree/zero.bin", "");  // an empty file is not
    Write("in/tree/sub/scan.png", "\x89PNG");
    Write("in/tree/sub/deep/data.bin", "deep bytes");
    fs::create_directories(d / "in/tree/empty");
    Write("elsewhere/outside.bin", "outside");
    fs::create_directory_symlink("../../elsewhere", d / "in/tree/link"); // not followed
    Write("in/single.bin", "single");

    // A folder and a file in one call, into a folder of the storage.
    Result r = Run("--password-file pw add s.ovs --folder Top in/tree in/single.bin");
    ASSERT_EQ(r.code, 0) << r.err;
    r = Run("--password-file pw ls s.ovs");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Top\tfolder\t0\n"
                     "Top/single.bin\tfile\t6\n"
                     "Top/tree\tfolder\t0\n"
                     "Top/tree/blank.txt\ttext\t0\n"
                     "Top/tree/empty\tfolder\t0\n"
                     "Top/tree/notes.txt\ttext\t6\n"
                     "Top/tree/sub\tfolder\t0\n"
                     "Top/tree/sub/deep\tfolder\t0\n"
                     "Top/tree/sub/deep/data.bin\tfile\t10\n"
                     "Top/tree/sub/scan.png\timage\t4\n");
    r = Run("--password-file pw export s.ovs Top -o out");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(FolderListing(d / "out"), "single.bin=single\n"
                                        "tree/\n"
                                        "tree/blank.txt=\n"
                                        "tree/empty/\n"
                                        "tree/notes.txt=a note\n"
                                        "tree/sub/\n"
                                        "tree/sub/deep/\n"
                                        "tree/sub/deep/data.bin=deep bytes\n"
                                        "tree/sub/scan.png=\x89PNG\n");

    // However the folder is written, it is added under its own name; a link named on the
    // command line is the user's choice and is followed.
    const struct {
        const char* arg;
        std::string listed;
    } forms[] = {
        {"in/tree/", "tree\tfolder\t0\n"},
        {"in/tree/sub/..", "tree\tfolder\t0\n"},
        {"in/./tree/sub/deep", "deep\tfolder\t0\ndeep/data.bin\tfile\t10\n"},
        {"in/tree/link", "link\tfolder\t0\nlink/outside.bin\tfile\t7\n"},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.arg);
        fs::remove(d / "f.ovs");
        ASSERT_EQ(Run(std::string("--password-file pw add f.ovs ") + form.arg).code, 0);
        EXPECT_EQ(Run("--password-file pw ls f.ovs").out.substr(0, form.listed.size()),
                  form.listed);
    }

    // One bad path among good ones changes nothing.
    const std::string before = Read("s.ovs");
    const std::string backup = Read("s.BAK");
    for (const char* args :
         {"in/tree missing.bin", "missing/ in/single.bin", "in/tree in/zero.bin"}) {
        SCOPED_TRACE(args);
        r = Run(std::string("--password-file pw add s.ovs ") + args);
        EXPECT_EQ(r.code, 3);
        EXPECT_NE(r.err.find("cannot "), std::string::npos) << r.err;
        EXPECT_EQ(Read("s.ovs"), before);
        EXPECT_EQ(Read("s.BAK"), backup);
    }
}

TEST_F(StorageCliTest, CheckEveryKindOfFile) {
    Write("f.bin", "data");
    ASSERT_EQ(Run("--password-file pw add s.ovs --folder F f.bin").code, 0);
    Result r = Run("--password-file pw check s.ovs");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Run("--password-file wrong check s.ovs").code, 1);

    Write("in.txt", "text");
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o t.ovt").code, 0);
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o t.etx").code, 0);
    EXPECT_EQ(Run("--password-file pw check t.ovt").code, 0);
    EXPECT_EQ(Run("--password-file pw check t.etx").code, 0);
    EXPECT_EQ(Run("--password-file wrong check t.ovt").code, 1);
    Write("x.xml", "<?xml version=\"1.0\"?><DOC></DOC>");
    ASSERT_EQ(Run("--password-file pw encrypt x.xml -o p.ovd").code, 0);
    EXPECT_EQ(Run("--password-file pw check p.ovd").code, 0);

    // A storage whose second top-level item does not decrypt.
    {
        CompoundWriter writer;
        ASSERT_EQ(writer.Create(dir_ / "d.ovs"), CompoundResult::Ok);
        StorageWriter storage(writer, "secret");
        ASSERT_EQ(storage.CreateStorageFile(), CompoundResult::Ok);
        StorageItem item;
        item.type = static_cast<int32_t>(StorageItemType::File);
        item.name = "fine";
        ASSERT_EQ(storage.WriteItem(CompoundWriter::kRoot, item, 0), CompoundResult::Ok);
        const uint8_t junk[32] = {1, 2, 3};
        ASSERT_EQ(writer.WriteStream(CompoundWriter::kRoot, "1", junk, sizeof junk),
                  CompoundResult::Ok);
        ASSERT_EQ(writer.Commit(), CompoundResult::Ok);
    }
    r = Run("--password-file pw check d.ovs");
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.err.find("element 1"), std::string::npos) << r.err;
    r = Run("--password-file pw ls d.ovs");
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out, "fine\tfile\t0\n");
    Write("g.bin", "more");
    EXPECT_EQ(Run("--password-file pw add d.ovs g.bin").code, 4);

    Write("plain.ovs", std::string(1024, 'x'));
    EXPECT_EQ(Run("--password-file pw check plain.ovs").code, 4);
    EXPECT_EQ(Run("--password-file pw check nothing.ovs").code, 3);
    EXPECT_EQ(Run("--password-file pw check f.bin").code, 2);
}

} // namespace
