// Storage files written and read through the compound-file library: the stream layout, the
// round trip of every item kind, damaged files, the password check and the save's backup.
#include "storage/StorageFile.h"
#include "compound/CompoundFile.h"
#include "crypto/EncryptedFile.h"
#include "storage/StorageSave.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace fs = std::filesystem;

namespace {

const char* const kPassword = "correct horse";

std::unique_ptr<StorageItem> MakeItem(StorageItemType type, const std::string& name) {
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(type);
    item->name = name;
    return item;
}

std::unique_ptr<StorageItem> DataItem(StorageItemType type, const std::string& name,
                                      const std::string& bytes) {
    auto item = MakeItem(type, name);
    item->data = Bytes(bytes.begin(), bytes.end());
    item->size = static_cast<int64_t>(bytes.size());
    return item;
}

std::unique_ptr<StorageItem> TextItem(StorageItemType type, const std::string& name,
                                      const std::string& text) {
    auto item = MakeItem(type, name);
    item->text = text;
    item->size = static_cast<int64_t>(text.size() + 1);
    return item;
}

struct Loaded {
    StorageItemTable table;
    StorageTree tree;
    StorageReadResult result;
};

Loaded Load(const std::string& path, const char* password = kPassword) {
    Loaded loaded;
    CompoundReader reader;
    EXPECT_EQ(OpenStorageFile(path, reader), CompoundResult::Ok);
    loaded.result = ReadStorage(reader, password, loaded.table, loaded.tree);
    return loaded;
}

std::string Bytes2String(const ItemData& b) {
    return std::string(b.view());
}

// Writes raw streams with the compound writer: a file laid out by hand, damaged on purpose.
class HandMade {
public:
    explicit HandMade(const std::string& path) {
        EXPECT_EQ(writer_.Create(path), CompoundResult::Ok);
    }
    void Info(uint32_t storage, const StorageInfoRecord& record, const char* password = kPassword) {
        const auto bytes = record.ToBytes();
        Put(storage, std::string(kInfoStreamName), Encrypt(bytes.data(), bytes.size(), password));
    }
    void Item(uint32_t storage, const std::string& name, const std::string& itemName,
              const std::string& data) {
        StorageItemHeader header;
        header.type = static_cast<int32_t>(StorageItemType::File);
        header.name = itemName;
        header.dataLength = static_cast<int32_t>(data.size());
        const auto head = header.ToBytes();
        std::string plain(head.begin(), head.end());
        plain += data;
        Put(storage, name,
            Encrypt(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), kPassword));
    }
    void Put(uint32_t storage, const std::string& name, const Bytes& bytes) {
        EXPECT_EQ(writer_.WriteStream(storage, name, bytes.data(), bytes.size()),
                  CompoundResult::Ok);
    }
    uint32_t Folder(uint32_t parent, const std::string& name) {
        uint32_t id = 0;
        EXPECT_EQ(writer_.CreateStorage(parent, name, &id), CompoundResult::Ok);
        return id;
    }
    void Commit() { EXPECT_EQ(writer_.Commit(), CompoundResult::Ok); }
    static Bytes Encrypt(const uint8_t* data, size_t size, const char* password) {
        Bytes out;
        EncryptBuffer(data, size, password, out);
        return out;
    }

private:
    CompoundWriter writer_;
};

class StorageFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_ / name; }
    ScratchDir dir_;
};

TEST_F(StorageFileTest, EmptyStorageHoldsOnlyTheRootInfoStream) {
    const std::string path = Path("empty.ovs");
    StorageItemTable table;
    ASSERT_TRUE(SaveStorage(path, kPassword, table, {}).ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(path), CompoundResult::Ok);
    std::vector<CompoundEntry> entries;
    ASSERT_EQ(reader.List(CompoundReader::kRoot, entries), CompoundResult::Ok);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "BBC3709EB40C.INF");
    EXPECT_EQ(entries[0].size, 272u);
    Bytes raw;
    ASSERT_EQ(reader.ReadStream(entries[0].id, raw), CompoundResult::Ok);
    Bytes plain;
    ASSERT_TRUE(DecryptBuffer(raw.data(), raw.size(), kPassword, plain));
    EXPECT_EQ(plain.size(), 268u);
    const auto root = StorageInfoRecord::Root().ToBytes();
    EXPECT_EQ(plain, Bytes(root.begin(), root.end()));
    EXPECT_TRUE(CheckStoragePassword(reader, kPassword).ok());
    StorageItemTable loaded;
    StorageTree tree;
    EXPECT_TRUE(ReadStorage(reader, kPassword, loaded, tree).damaged.empty());
    EXPECT_TRUE(tree.empty());
}

// The stream length is the blob of header and data: 16 * ((292 + n) / 16 + 1).
TEST_F(StorageFileTest, ItemStreamLengths) {
    struct Case {
        const char* name;
        std::unique_ptr<StorageItem> item;
        uint64_t stream;
    };
    std::vector<Case> cases;
    cases.push_back({"image without data", DataItem(StorageItemType::Image, "i", ""), 304});
    cases.push_back({"empty note", TextItem(StorageItemType::Text, "n", ""), 304});
    cases.push_back({"pdf of 3", DataItem(StorageItemType::Pdf, "p", "abc"), 304});
    cases.push_back(
        {"file of 12", DataItem(StorageItemType::File, "f", std::string(12, 'x')), 320});
    cases.push_back(
        {"note of 11", TextItem(StorageItemType::Text, "t", std::string(11, 'x')), 320});
    StorageItemTable table;
    StorageTree tree;
    for (Case& c : cases) {
        tree.push_back({table.Add(std::move(c.item)), kRootParent});
    }
    const std::string path = Path("sizes.ovs");
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(path), CompoundResult::Ok);
    for (size_t i = 0; i < cases.size(); ++i) {
        CompoundEntry entry;
        ASSERT_EQ(reader.Find(CompoundReader::kRoot, std::to_string(i), entry), CompoundResult::Ok)
            << cases[i].name;
        EXPECT_EQ(entry.size, cases[i].stream) << cases[i].name;
    }
}

TEST_F(StorageFileTest, EveryKindOfItemSurvivesSaveAndLoad) {
    StorageItemTable table;
    StorageTree tree;
    auto add = [&](std::unique_ptr<StorageItem> item, int32_t parent = kRootParent) {
        const int32_t index = table.Add(std::move(item));
        tree.push_back({index, parent});
        return index;
    };
    auto letters = MakeItem(StorageItemType::Folder, "Letters");
    letters->expanded = 1;
    const int32_t lettersIndex = add(std::move(letters));
    auto archive = MakeItem(StorageItemType::Folder, "2008");
    archive->expanded = 0; // collapsed: its items are still loaded
    const int32_t archiveIndex = add(std::move(archive), lettersIndex);
    auto scan = DataItem(StorageItemType::Image, "scan.jpg", std::string("\xFF\xD8\xFF", 3));
    scan->imageType = 3;
    scan->fitToView = 1;
    add(std::move(scan), archiveIndex);
    auto actual = DataItem(StorageItemType::Image, "actual.png", "png bytes");
    actual->imageType = 7;
    actual->fitToView = 0;
    add(std::move(actual), archiveIndex);
    add(TextItem(StorageItemType::Text, "note.txt", "no NUL at the end"), lettersIndex);
    add(TextItem(StorageItemType::WebAccount, "bank", "<DOC/>"));
    add(TextItem(StorageItemType::OtherAccount, "door", ""));
    add(DataItem(StorageItemType::Pdf, "a.pdf", "%PDF-1.4"));
    add(DataItem(StorageItemType::File, "same", std::string("\0\1\2", 3)));
    add(DataItem(StorageItemType::File, "same", "second of the same name"));
    auto odd = MakeItem(StorageItemType::File, "odd");
    odd->type = 42;
    add(std::move(odd));

    const std::string path = Path("all.ovs");
    std::vector<StorageSaveProgress> steps;
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree, [&](const StorageSaveProgress& p) {
                    steps.push_back(p);
                }).ok);
    ASSERT_EQ(steps.size(), tree.size());
    EXPECT_EQ(steps.back().itemsWritten, static_cast<int64_t>(tree.size()));
    uint64_t plainTotal = 268 * 3; // the root and two folders
    for (const auto& e : tree) {
        const StorageItem* item = table.Get(e.item);
        plainTotal += item->IsFolder() ? 0 : 292 + item->StoredDataLength();
    }
    EXPECT_EQ(steps.back().bytesWritten, plainTotal);

    uint64_t progressBytes = 0;
    Loaded loaded;
    CompoundReader reader;
    ASSERT_EQ(OpenStorageFile(path, reader), CompoundResult::Ok);
    loaded.result = ReadStorage(reader, kPassword, loaded.table, loaded.tree,
                                [&](uint64_t total) { progressBytes = total; });
    EXPECT_TRUE(loaded.result.damaged.empty());
    EXPECT_EQ(progressBytes, loaded.result.bytesRead);
    ASSERT_EQ(loaded.tree.size(), tree.size());

    // Items come back under the same parents with the same fields (compared by name path, as
    // indexes are handed out afresh in reading order).
    std::multimap<std::string, const StorageItem*> byPath;
    std::map<int32_t, std::string> folderPath;
    for (const auto& e : loaded.tree) {
        const StorageItem* item = loaded.table.Get(e.item);
        ASSERT_NE(item, nullptr);
        EXPECT_LT(e.parent, e.item) << "a folder comes before its contents";
        const std::string p =
            (e.parent == kRootParent ? "" : folderPath.at(e.parent) + "/") + item->name;
        if (item->IsFolder()) {
            folderPath[e.item] = p;
        }
        byPath.emplace(p, item);
    }
    EXPECT_EQ(byPath.find("Letters")->second->expanded, 1);
    EXPECT_EQ(byPath.find("Letters/2008")->second->expanded, 0);
    const StorageItem* scanBack = byPath.find("Letters/2008/scan.jpg")->second;
    EXPECT_EQ(Bytes2String(scanBack->data), std::string("\xFF\xD8\xFF", 3));
    EXPECT_EQ(scanBack->imageType, 3);
    EXPECT_EQ(scanBack->fitToView, 1);
    EXPECT_EQ(byPath.find("Letters/2008/actual.png")->second->fitToView, 0);
    const StorageItem* note = byPath.find("Letters/note.txt")->second;
    EXPECT_EQ(note->text, "no NUL at the end");
    EXPECT_EQ(note->size, 18);
    EXPECT_EQ(byPath.find("bank")->second->text, "<DOC/>");
    EXPECT_EQ(byPath.find("door")->second->text, "");
    EXPECT_EQ(Bytes2String(byPath.find("a.pdf")->second->data), "%PDF-1.4");
    EXPECT_EQ(byPath.count("same"), 2u);
    const StorageItem* odd42 = byPath.find("odd")->second;
    EXPECT_EQ(odd42->type, 42);
    EXPECT_TRUE(odd42->data.empty());
    EXPECT_EQ(odd42->fitToView, 0);
    // A non-image never carries the image fields.
    EXPECT_EQ(byPath.find("a.pdf")->second->fitToView, 0);
}

TEST_F(StorageFileTest, GapsInElementNamesAreRenumberedOnTheNextSave) {
    StorageItemTable table;
    StorageTree tree;
    for (int i = 0; i < 10; ++i) {
        const int32_t index = table.Add(
            DataItem(StorageItemType::File, "item" + std::to_string(i), std::to_string(i)));
        if (i == 0 || i == 4 || i == 9) {
            tree.push_back({index, kRootParent});
        } else {
            table.Delete(index);
        }
    }
    const std::string path = Path("gaps.ovs");
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    {
        CompoundReader reader;
        ASSERT_EQ(reader.Open(path), CompoundResult::Ok);
        std::vector<CompoundEntry> entries;
        reader.List(CompoundReader::kRoot, entries);
        std::vector<std::string> names;
        for (const auto& e : entries) {
            names.push_back(e.name);
        }
        EXPECT_EQ(names, (std::vector<std::string>{"0", "4", "9", "BBC3709EB40C.INF"}));
    }
    Loaded loaded = Load(path);
    ASSERT_EQ(loaded.tree.size(), 3u);
    EXPECT_EQ(loaded.table.Get(1)->name, "item4");
    EXPECT_EQ(loaded.table.Get(2)->name, "item9");
    EXPECT_EQ(Bytes2String(loaded.table.Get(2)->data), "9");
    ASSERT_TRUE(SaveStorage(path, kPassword, loaded.table, loaded.tree).ok);
    CompoundReader reader;
    ASSERT_EQ(reader.Open(path), CompoundResult::Ok);
    CompoundEntry entry;
    EXPECT_EQ(reader.Find(CompoundReader::kRoot, "2", entry), CompoundResult::Ok);
    EXPECT_NE(reader.Find(CompoundReader::kRoot, "9", entry), CompoundResult::Ok);
}

TEST_F(StorageFileTest, PasswordCheckSaysWhatFailed) {
    const std::string path = Path("pw.ovs");
    StorageItemTable table;
    ASSERT_TRUE(SaveStorage(path, kPassword, table, {}).ok);
    EXPECT_EQ(CheckStoragePassword(path, kPassword).status, StoragePasswordStatus::Ok);
    EXPECT_EQ(CheckStoragePassword(path, "Correct horse").status,
              StoragePasswordStatus::DecryptFailed);

    // A root record that decrypts under the password but names something else.
    const std::string other = Path("other-name.ovs");
    {
        HandMade file(other);
        StorageInfoRecord record = StorageInfoRecord::Root();
        record.name = "BBC3709EB40C.IN";
        file.Info(CompoundWriter::kRoot, record);
        file.Commit();
    }
    EXPECT_EQ(CheckStoragePassword(other, kPassword).status, StoragePasswordStatus::WrongName);

    const std::string noInfo = Path("no-info.ovs");
    {
        HandMade file(noInfo);
        file.Item(CompoundWriter::kRoot, "0", "x", "y");
        file.Commit();
    }
    EXPECT_EQ(CheckStoragePassword(noInfo, kPassword).status, StoragePasswordStatus::NoInfoStream);

    const auto missing = CheckStoragePassword(Path("missing.ovs"), kPassword);
    EXPECT_EQ(missing.status, StoragePasswordStatus::OpenFailed);
    EXPECT_EQ(missing.openResult, CompoundResult::FileNotFound);
    EXPECT_EQ(StorageOpenErrorText("/x/missing.ovs", missing.openResult),
              "Failed to open the file: missing.ovs\nThe specified file does not exist.");

    WriteFileBytes(Path("plain.ovs"), std::string(2048, 'z'));
    const auto plain = CheckStoragePassword(Path("plain.ovs"), kPassword);
    EXPECT_EQ(plain.status, StoragePasswordStatus::OpenFailed);
    EXPECT_EQ(StorageOpenReason(plain.openResult), "File exists but is not a storage object.");

    // An open storage keeps others out.
    CompoundReader holder;
    ASSERT_EQ(OpenStorageFile(path, holder), CompoundResult::Ok);
    const auto shared = CheckStoragePassword(path, kPassword);
    EXPECT_EQ(shared.status, StoragePasswordStatus::OpenFailed);
    EXPECT_EQ(StorageOpenReason(shared.openResult),
              "Another instance of Ombrivault process has opened the file.");
}

// root: 0 ok, 1 folder {2 ok, 3 too short, 4 ok}, 5 ok, 6 not a blob, 7 ok
TEST_F(StorageFileTest, ADamagedStreamCutsItsLevelShort) {
    const std::string path = Path("damaged.ovs");
    {
        HandMade file(path);
        file.Info(CompoundWriter::kRoot, StorageInfoRecord::Root());
        file.Item(CompoundWriter::kRoot, "0", "zero", "0");
        const uint32_t folder = file.Folder(CompoundWriter::kRoot, "1");
        file.Info(folder, StorageInfoRecord::Folder("one", false));
        file.Item(folder, "2", "two", "2");
        // Decrypts, but is too short to hold an item header.
        const Bytes shortPlain(100, 'x');
        file.Put(folder, "3", HandMade::Encrypt(shortPlain.data(), shortPlain.size(), kPassword));
        file.Item(folder, "4", "four", "4");
        file.Item(CompoundWriter::kRoot, "5", "five", "5");
        file.Put(CompoundWriter::kRoot, "6", Bytes(17, 1)); // not even whole blocks
        file.Item(CompoundWriter::kRoot, "7", "seven", "7");
        file.Commit();
    }
    ASSERT_TRUE(CheckStoragePassword(path, kPassword).ok());
    Loaded loaded = Load(path);
    std::vector<std::string> names;
    for (const auto& e : loaded.tree) {
        names.push_back(loaded.table.Get(e.item)->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"zero", "one", "two", "five"}));
    ASSERT_EQ(loaded.result.damaged.size(), 2u);
    EXPECT_EQ(loaded.result.damaged[0].folder, 1);
    EXPECT_EQ(loaded.result.damaged[0].element, "3");
    EXPECT_EQ(loaded.result.damaged[1].folder, kRootParent);
    EXPECT_EQ(loaded.result.damaged[1].element, "6");
}

TEST_F(StorageFileTest, AFolderWithoutItsInfoStreamIsKeptNameless) {
    const std::string path = Path("nameless.ovs");
    {
        HandMade file(path);
        file.Info(CompoundWriter::kRoot, StorageInfoRecord::Root());
        const uint32_t folder = file.Folder(CompoundWriter::kRoot, "0");
        file.Item(folder, "1", "inside", "x");
        file.Commit();
    }
    Loaded loaded = Load(path);
    ASSERT_EQ(loaded.tree.size(), 2u);
    EXPECT_TRUE(loaded.table.Get(0)->IsFolder());
    EXPECT_EQ(loaded.table.Get(0)->name, "");
    EXPECT_EQ(loaded.tree[1].parent, 0);
    EXPECT_TRUE(loaded.result.damaged.empty());
}

TEST_F(StorageFileTest, SavingKeepsTheVersionBeforeAsBackup) {
    const std::string path = Path("home.ovs");
    StorageItemTable table;
    StorageTree tree{{table.Add(DataItem(StorageItemType::File, "a", "first")), kRootParent}};
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    EXPECT_FALSE(fs::exists(Path("home.BAK")));
    const std::string first = ReadFileBytes(path);
    table.Update(0, [](StorageItem& item) { item.data = Bytes{'2'}; });
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    EXPECT_EQ(ReadFileBytes(Path("home.BAK")), first);
    const std::string second = ReadFileBytes(path);
    EXPECT_NE(second, first);
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    EXPECT_EQ(ReadFileBytes(Path("home.BAK")), second);
    // Nothing but the file and its backup is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);

    EXPECT_EQ(StorageBackupPath("/safe/home.ovs"), "/safe/home.BAK");
    EXPECT_EQ(StorageBackupPath("/safe.d/home"), "/safe.d/home.BAK");
    EXPECT_EQ(StorageBackupPath("a.b.ovs"), "a.b.BAK");
    EXPECT_EQ(StorageBackupPath("/safe/x.BAK"), "/safe/x.BAK.BAK") << "never its own backup";
}

TEST_F(StorageFileTest, AStorageNamedLikeABackupKeepsItsOwnBackupAndLeavesNoTemporaryFile) {
    const std::string path = Path("x.BAK");
    StorageItemTable table;
    StorageTree tree{{table.Add(DataItem(StorageItemType::File, "a", "1")), kRootParent}};
    for (int save = 0; save < 3; ++save) {
        ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"x.BAK", "x.BAK.BAK"}));
}

TEST_F(StorageFileTest, ABackupThatCannotBeReplacedIsNamedAndTheFileStays) {
    const std::string path = Path("home.ovs");
    StorageItemTable table;
    StorageTree tree{{table.Add(DataItem(StorageItemType::File, "a", "1")), kRootParent}};
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    const std::string before = ReadFileBytes(path);
    // A folder with something in it has the backup's name: rename cannot replace it.
    fs::create_directories(Path("home.BAK/inside"));
    const StorageSaveResult result = SaveStorage(path, kPassword, table, tree);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("backup " + Path("home.BAK")), std::string::npos)
        << result.message;
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(StorageFileTest, CancelledReadAndSaveStopBetweenItems) {
    const std::string path = Path("many.ovs");
    StorageItemTable table;
    StorageTree tree;
    for (int i = 0; i < 10; ++i) {
        tree.push_back(
            {table.Add(DataItem(StorageItemType::File, std::to_string(i), "x")), kRootParent});
    }
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    const std::string before = ReadFileBytes(path);

    std::atomic<bool> cancel{false};
    StorageSaveOptions options;
    options.cancel = &cancel;
    int saved = 0;
    const StorageSaveResult result = SaveStorage(
        path, kPassword, table, tree, [&](const StorageSaveProgress&) { cancel = ++saved == 3; },
        options);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(saved, 3);
    EXPECT_EQ(ReadFileBytes(path), before) << "the old file stays";

    CompoundReader reader;
    ASSERT_EQ(reader.Open(path), CompoundResult::Ok);
    StorageItemTable read;
    StorageTree readTree;
    cancel = false;
    int items = 0;
    const StorageReadResult partial = ReadStorage(
        reader, kPassword, read, readTree, [&](uint64_t) { cancel = ++items == 4; }, &cancel);
    EXPECT_TRUE(partial.cancelled);
    EXPECT_EQ(readTree.size(), 4u);
}

TEST_F(StorageFileTest, AnInterruptedSaveLeavesTheOldFileIntact) {
    const std::string path = Path("keep.ovs");
    StorageItemTable table;
    StorageTree tree{{table.Add(DataItem(StorageItemType::File, "small", "s")), kRootParent}};
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    const std::string before = ReadFileBytes(path);
    tree.push_back({table.Add(DataItem(StorageItemType::File, "big", std::string(1 << 20, 'b'))),
                    kRootParent});
    StorageSaveResult result;
    {
        FileSizeLimit limit(256 << 10);
        ASSERT_TRUE(limit.active());
        result = SaveStorage(path, kPassword, table, tree);
    }
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(fs::exists(Path("keep.BAK")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(Load(path).tree.size(), 1u);
}

TEST_F(StorageFileTest, AStorageOpenElsewhereIsNotSavedOver) {
    const std::string path = Path("held.ovs");
    StorageItemTable table;
    StorageTree tree{{table.Add(DataItem(StorageItemType::File, "a", "v1")), kRootParent}};
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    const std::string before = ReadFileBytes(path);
    CompoundReader other;
    ASSERT_EQ(OpenStorageFile(path, other), CompoundResult::Ok);
    table.Update(0, [](StorageItem& item) { item.data = Bytes{'2'}; });
    const StorageSaveResult refused = SaveStorage(path, kPassword, table, tree);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(ReadFileBytes(path), before);
    // The document that holds the file itself saves over it.
    StorageSaveOptions held;
    held.fileHeldByCaller = true;
    EXPECT_TRUE(SaveStorage(path, kPassword, table, tree, {}, held).ok);
    EXPECT_EQ(ReadFileBytes(Path("held.BAK")), before);
}

// An independent reader sees every stream we wrote, with the same bytes.
TEST_F(StorageFileTest, OlefileReadsWhatWeWrite) {
    if (std::system("/usr/bin/python3 -c 'import olefile' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3-olefile is not installed";
    }
    StorageItemTable table;
    StorageTree tree;
    const int32_t folder = table.Add(MakeItem(StorageItemType::Folder, "F"));
    tree.push_back({folder, kRootParent});
    for (size_t size : {0, 1, 4095, 4096, 5000, 70000}) {
        tree.push_back({table.Add(DataItem(StorageItemType::File, "f", std::string(size, 'q'))),
                        size % 2 ? folder : kRootParent});
    }
    const std::string path = Path("ole.ovs");
    ASSERT_TRUE(SaveStorage(path, kPassword, table, tree).ok);
    const std::string script = Path("list.py");
    WriteFileBytes(script, "import hashlib, olefile, sys\n"
                           "ole = olefile.OleFileIO(sys.argv[1])\n"
                           "for p in sorted(ole.listdir(streams=True, storages=False)):\n"
                           "    d = ole.openstream(p).read()\n"
                           "    print('/'.join(p), len(d), hashlib.sha256(d).hexdigest()[:16])\n");
    const std::string out = Path("ole.txt");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + path + " > " + out).c_str()), 0);
    const std::string listed = ReadFileBytes(out);

    // The same listing from our reader.
    CompoundReader reader;
    ASSERT_EQ(reader.Open(path), CompoundResult::Ok);
    std::vector<std::pair<std::string, uint32_t>> streams;
    std::vector<std::pair<std::string, uint32_t>> storages{{"", CompoundReader::kRoot}};
    while (!storages.empty()) {
        const auto [prefix, id] = storages.back();
        storages.pop_back();
        std::vector<CompoundEntry> entries;
        reader.List(id, entries);
        for (const auto& e : entries) {
            (e.IsStorage() ? storages : streams).push_back({prefix + e.name, e.id});
            if (e.IsStorage()) {
                storages.back().first += "/";
            }
        }
    }
    std::sort(streams.begin(), streams.end());
    std::string ours;
    for (const auto& [name, id] : streams) {
        Bytes bytes;
        ASSERT_EQ(reader.ReadStream(id, bytes), CompoundResult::Ok);
        uint8_t digest[32];
        unsigned int digestLength = 0;
        EVP_Digest(bytes.data(), bytes.size(), digest, &digestLength, EVP_sha256(), nullptr);
        std::string hash;
        for (int i = 0; i < 8; ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", digest[i]);
            hash += hex;
        }
        ours += name + " " + std::to_string(bytes.size()) + " " + hash + "\n";
    }
    EXPECT_EQ(listed, ours);
    EXPECT_NE(listed.find("0/BBC3709EB40C.INF 272 "), std::string::npos);
    EXPECT_NE(listed.find("BBC3709EB40C.INF 272 "), std::string::npos);
}

} // namespace
