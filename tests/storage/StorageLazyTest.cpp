// Item data left in the storage file: loaded on demand, copied as it is by a save when the
// item did not change, re-encrypted when it did or the password changed, and damage that
// only shows when the data is read.
#include "compound/CompoundLayouts.h"
#include "crypto/StrongFile.h"
#include "storage/StorageAdd.h"
#include "storage/StorageFile.h"
#include "storage/StorageImport.h"
#include "storage/StorageSave.h"
#include "storage/StrongStorage.h"
#include "support/StorageStreams.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <random>
#include <set>

namespace {

const char* const kPassword = "lazy pw";

std::string Random(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (char& c : out) {
        c = static_cast<char>(gen());
    }
    return out;
}

// A storage of every kind of item, some in a folder.
struct Sample {
    StorageItemTable table;
    StorageTree tree;
    std::map<std::string, std::string> data; // name -> bytes of the binary items

    void Add(StorageItemType type, const std::string& name, const std::string& bytes,
             int32_t parent = kRootParent) {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(type);
        item->name = name;
        item->size = static_cast<int64_t>(bytes.size());
        if (IsTextLikeType(item->type)) {
            item->text = bytes;
        } else {
            item->data = Bytes(bytes.begin(), bytes.end());
            item->imageType = type == StorageItemType::Image ? 1 : 0;
            item->fitToView = type == StorageItemType::Image ? 1 : 0;
            data[name] = bytes;
        }
        tree.push_back({table.Add(std::move(item)), parent});
    }

    Sample() {
        Add(StorageItemType::Image, "photo.jpg", Random(5000, 1));
        Add(StorageItemType::Pdf, "paper.pdf", Random(70000, 2));
        Add(StorageItemType::Text, "note.txt", "a note");
        auto folder = std::make_unique<StorageItem>();
        folder->type = static_cast<int32_t>(StorageItemType::Folder);
        folder->name = "Box";
        const int32_t box = table.Add(std::move(folder));
        tree.push_back({box, kRootParent});
        Add(StorageItemType::File, "small.bin", Random(300, 3), box);
        Add(StorageItemType::File, "big.bin", Random(3 * kItemPieceBytes + 5, 4), box);
    }
};

// A storage read as the window reads it: the data of binary items stays in the file.
struct Lazy {
    std::shared_ptr<CompoundReader> file = std::make_shared<CompoundReader>();
    StorageItemTable table;
    StorageTree tree;
    StorageReadResult read;

    Lazy(const std::string& path, const char* password) {
        EXPECT_EQ(OpenStorageFile(path, *file, CompoundLock::None), CompoundResult::Ok);
        read = ReadStorage(file, password, table, tree);
    }
    // A storage with strong protection, read through its envelope with `key` (derived into it
    // when it does not fit).
    Lazy(const std::string& path, const char* password, strong::Key& key) {
        auto sealed = std::make_shared<StrongStorageFile>();
        EXPECT_EQ(sealed->Open(path, CompoundLock::None), CompoundResult::Ok);
        EXPECT_EQ(sealed->Unlock(password, key), strong::Status::Ok);
        EXPECT_EQ(file->OpenSource(sealed), CompoundResult::Ok);
        read = ReadStorage(file, password, table, tree);
    }
    int32_t Find(const std::string& name) const {
        for (const StorageTreeEntry& e : tree) {
            if (table.Get(e.item)->name == name) {
                return e.item;
            }
        }
        return -1;
    }
    std::string Data(const std::string& name) const {
        if (Find(name) < 0) {
            ADD_FAILURE() << "no item " << name;
            return {};
        }
        ItemData loaded;
        EXPECT_EQ(table.Get(Find(name))->data.Load(loaded), ItemDataRead::Ok) << name;
        return std::string(loaded.view());
    }
};

// The paths of the elements that the independent reader finds changed or new in `b`.
std::vector<std::string> ChangedStreams(const std::string& a, const std::string& b) {
    std::set<std::string> before;
    for (const std::string& line : ReadGsf(a)) {
        before.insert(line);
    }
    std::vector<std::string> changed;
    for (const std::string& line : ReadGsf(b)) {
        if (before.count(line) == 0) {
            changed.push_back(line.substr(0, line.find('\t')));
        }
    }
    return changed;
}

class StorageLazyTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) { return (dir_ / name); }
    // The options of a save with strong protection, under a key derived once (with small
    // parameters: the header carries them, so it is the same code).
    StorageSaveOptions Strongly() {
        if (!key_.IsSet()) {
            EXPECT_EQ(key_.Derive(kPassword, {1, 8192}), strong::Status::Ok);
        }
        StorageSaveOptions options;
        options.strongKey = &key_;
        return options;
    }
    ScratchDir dir_;
    strong::Key key_;
};

} // namespace

TEST_F(StorageLazyTest, LoadLeavesDataInTheFileAndReadsItWholeOrInPieces) {
    Sample sample;
    ASSERT_TRUE(SaveStorage(Path("a.ovs"), kPassword, sample.table, sample.tree).ok);
    const Lazy lazy(Path("a.ovs"), kPassword);
    EXPECT_TRUE(lazy.read.damaged.empty());
    for (const auto& [name, bytes] : sample.data) {
        SCOPED_TRACE(name);
        const StorageItem& item = *lazy.table.Get(lazy.Find(name));
        ASSERT_NE(item.data.Stored(), nullptr) << "the data stays in the file";
        EXPECT_EQ(item.data.data(), nullptr);
        EXPECT_EQ(item.data.size(), bytes.size());
        EXPECT_EQ(item.size, static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(lazy.Data(name), bytes);
        std::string pieces;
        size_t largest = 0;
        EXPECT_EQ(item.data.ReadPieces([&](const uint8_t* p, size_t n) {
            pieces.append(reinterpret_cast<const char*>(p), n);
            largest = std::max(largest, n);
            return true;
        }),
                  ItemDataRead::Ok);
        EXPECT_EQ(pieces, bytes);
        EXPECT_LE(largest, kItemPieceBytes);
    }
    const StorageItem& photo = *lazy.table.Get(lazy.Find("photo.jpg"));
    EXPECT_EQ(photo.imageType, 1);
    EXPECT_EQ(photo.fitToView, 1);
    EXPECT_EQ(lazy.table.Get(lazy.Find("note.txt"))->text, "a note") << "notes stay loaded";
}

TEST_F(StorageLazyTest, SaveCopiesUnchangedStreamsAsTheyAreAndEncryptsTheRest) {
    Sample sample;
    const std::string path = Path("a.ovs");
    ASSERT_TRUE(SaveStorage(path, kPassword, sample.table, sample.tree).ok);
    Lazy lazy(path, kPassword);
    const int32_t renamed = lazy.Find("paper.pdf");
    lazy.table.Update(renamed, [](StorageItem& item) { item.name = "renamed.pdf"; });
    // A file added from disk is read in pieces while the storage is written.
    const std::string added = Random(kItemPieceBytes + 77, 5);
    WriteFileBytes(Path("added.bin"), added);
    int error = 0;
    auto item = MakeItemFromOpenFile(Path("added.bin"),
                                     ::open(Path("added.bin").c_str(), O_RDONLY | O_CLOEXEC),
                                     added.size(), error);
    ASSERT_NE(item, nullptr);
    lazy.tree.push_back({lazy.table.Add(std::move(item)), kRootParent});

    // Saved over itself, as the window saves: the old file becomes the backup.
    StorageSaveOptions held;
    held.fileHeldByCaller = true;
    ASSERT_TRUE(SaveStorage(path, kPassword, lazy.table, lazy.tree, {}, held).ok);
    const std::string backup = Path("a.BAK");
    std::vector<std::string> changed = ChangedStreams(backup, path);
    // The listing is sorted by path: the new item's stream is the only one more, at the end.
    EXPECT_EQ(changed, (std::vector<std::string>{std::to_string(renamed),
                                                 std::to_string(lazy.tree.back().item)}))
        << "only the renamed item's stream is written anew (and the new item's)";

    const Lazy back(path, kPassword);
    EXPECT_EQ(back.Find("paper.pdf"), -1);
    EXPECT_EQ(back.Data("renamed.pdf"), sample.data["paper.pdf"]);
    EXPECT_EQ(back.Data("added.bin"), added);
    for (const char* name : {"photo.jpg", "small.bin", "big.bin"}) {
        EXPECT_EQ(back.Data(name), sample.data[name]);
    }

    // A new password writes every stream anew, and the data reads back under it.
    ASSERT_TRUE(SaveStorage(Path("b.ovs"), "other pw", back.table, back.tree).ok);
    const Lazy other(Path("b.ovs"), "other pw");
    const auto before = ItemStreams(path, kPassword);
    const auto after = ItemStreams(Path("b.ovs"), "other pw");
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [name, stream] : after) {
        EXPECT_NE(stream, before.at(name)) << name;
    }
    for (const auto& [name, bytes] : sample.data) {
        EXPECT_EQ(other.Data(name == "paper.pdf" ? "renamed.pdf" : name), bytes);
    }
}

// Streams of the small-stream area come through the reader's cache of the file, as read at
// the load; larger ones are read from the disk each time.
TEST_F(StorageLazyTest, DataDamagedAfterTheLoadFailsItsReadAndTheSaveKeepsItsStream) {
    Sample sample;
    const std::string path = Path("a.ovs");
    ASSERT_TRUE(SaveStorage(path, kPassword, sample.table, sample.tree).ok);
    Lazy lazy(path, kPassword);
    for (const char* damaged : {"big.bin", "paper.pdf"}) {
        ASSERT_TRUE(DamageItemOnDisk(path, kPassword, damaged));
        const StorageItem& item = *lazy.table.Get(lazy.Find(damaged));
        ItemData loaded;
        EXPECT_EQ(item.data.Load(loaded), ItemDataRead::Damaged) << damaged;
        EXPECT_EQ(loaded.size(), 0u);
        EXPECT_EQ(item.data.ReadPieces([](const uint8_t*, size_t) { return true; }),
                  ItemDataRead::Damaged);
    }
    EXPECT_EQ(lazy.Data("photo.jpg"), sample.data["photo.jpg"]) << "the rest reads as before";
    // Renamed, the item would be written anew, which needs its data: its stream stays.
    lazy.table.Update(lazy.Find("big.bin"), [](StorageItem& item) { item.name = "big2.bin"; });
    ASSERT_TRUE(SaveStorage(Path("saved.ovs"), kPassword, lazy.table, lazy.tree).ok);
    const auto damagedNow = ItemStreams(path, kPassword);
    const auto saved = ItemStreams(Path("saved.ovs"), kPassword);
    EXPECT_EQ(saved.at("big.bin"), damagedNow.at("big.bin"));
    EXPECT_EQ(saved.at("paper.pdf"), damagedNow.at("paper.pdf"));
    // Read again, the damage is found at the load: what follows it in its folder is not read.
    const Lazy back(Path("saved.ovs"), kPassword);
    EXPECT_FALSE(back.read.damaged.empty());
}

// A folder walk that leaves the files on disk holds no descriptor for them; a save reads
// each file then, and fails, leaving the storage as it was, when one was cut short or
// replaced meanwhile.
TEST_F(StorageLazyTest, FilesLeftClosedOnDiskAreReadByTheSaveWhileStillTheSame) {
    const std::string big = Random(kItemPieceBytes + 33, 6);
    std::filesystem::create_directories(Path("tree/sub"));
    for (int i = 0; i < 300; ++i) {
        WriteFileBytes(Path("tree/sub/f" + std::to_string(i) + ".bin"),
                       "file " + std::to_string(i));
    }
    WriteFileBytes(Path("tree/big.bin"), big);
    WriteFileBytes(Path("tree/note.txt"), "read now");

    const auto openFiles = [] {
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator("/proc/self/fd")) {
            ++count;
        }
        return count;
    };
    auto walk = [&](StorageItemTable& table, StorageTree& tree) {
        std::vector<int32_t> folders;
        const size_t before = openFiles();
        WalkImportDirectory(
            Path("tree"),
            [&](std::vector<StorageImportEntry>& batch, bool last) {
                for (StorageImportEntry& e : batch) {
                    const int32_t parent =
                        e.parent < 0 ? kRootParent : folders[static_cast<size_t>(e.parent)];
                    const int32_t index = table.Add(std::move(e.item));
                    tree.push_back({index, parent});
                    if (e.folder >= 0) {
                        folders.resize(static_cast<size_t>(e.folder) + 1);
                        folders[static_cast<size_t>(e.folder)] = index;
                    }
                }
                if (last) {
                    EXPECT_EQ(openFiles(), before) << "a descriptor held per file";
                }
                return true;
            },
            {}, StorageImportFiles::LeftOnDisk);
    };

    StorageItemTable table;
    StorageTree tree;
    walk(table, tree);
    ASSERT_EQ(tree.size(), 2u + 302u);
    ASSERT_TRUE(SaveStorage(Path("a.ovs"), kPassword, table, tree).ok);
    {
        const Lazy back(Path("a.ovs"), kPassword);
        EXPECT_EQ(back.Data("big.bin"), big);
        EXPECT_EQ(back.Data("f299.bin"), "file 299");
        EXPECT_EQ(back.table.Get(back.Find("note.txt"))->text, "read now");
    }

    // Cut short, or replaced by another file of the same length: the save stops.
    const std::string saved = ReadFileBytes(Path("a.ovs"));
    const struct {
        const char* label;
        std::function<void()> change;
    } changes[] = {
        {"cut short", [&] { std::filesystem::resize_file(Path("tree/big.bin"), 100); }},
        {"replaced",
         [&] {
             WriteFileBytes(Path("tree/other.bin"), "file 7");
             std::filesystem::rename(Path("tree/other.bin"), Path("tree/sub/f7.bin"));
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.label);
        StorageItemTable again;
        StorageTree againTree;
        walk(again, againTree);
        c.change();
        EXPECT_FALSE(SaveStorage(Path("a.ovs"), kPassword, again, againTree).ok);
        EXPECT_EQ(ReadFileBytes(Path("a.ovs")), saved);
        WriteFileBytes(Path("tree/big.bin"), big);
    }
}

// Strong protection around the same compound file: saved from a compatible storage (streams
// copied from its descriptor through the envelope), read back on demand, saved strong again
// (streams copied through both envelopes) and back to the compatible form. Every envelope holds
// the compatible file byte for byte.
TEST_F(StorageLazyTest, StrongStoragesAreReadOnDemandAndWrittenInOnePass) {
    Sample sample;
    const StorageSaveOptions strongly = Strongly();
    const std::string plainPath = Path("plain.ovs");
    ASSERT_TRUE(SaveStorage(plainPath, kPassword, sample.table, sample.tree).ok);
    const Lazy plain(plainPath, kPassword);
    ASSERT_TRUE(SaveStorage(Path("s.ovs"), kPassword, plain.table, plain.tree, {}, strongly).ok);
    EXPECT_TRUE(strong::FileHasMagic(Path("s.ovs")));

    strong::Key opened; // derived from the password, as a new window does
    const Lazy sealed(Path("s.ovs"), kPassword, opened);
    EXPECT_TRUE(sealed.read.damaged.empty());
    for (const auto& [name, bytes] : sample.data) {
        SCOPED_TRACE(name);
        EXPECT_NE(sealed.table.Get(sealed.Find(name))->data.Stored(), nullptr)
            << "the data stays in the file";
        EXPECT_EQ(sealed.Data(name), bytes);
    }
    EXPECT_EQ(sealed.table.Get(sealed.Find("note.txt"))->text, "a note");
    ASSERT_TRUE(SaveStorage(Path("t.ovs"), kPassword, sealed.table, sealed.tree, {}, strongly).ok);
    ASSERT_TRUE(SaveStorage(Path("c.ovs"), kPassword, sealed.table, sealed.tree).ok);

    const std::string compatible = ReadFileBytes(plainPath);
    EXPECT_EQ(ReadFileBytes(Path("c.ovs")), compatible);
    for (const char* name : {"s.ovs", "t.ovs"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(strong::UnwrapFile(Path(name), Path("out"), kPassword, nullptr),
                  strong::Status::Ok);
        EXPECT_EQ(ReadFileBytes(Path("out")), compatible);
    }
}

// A damaged chunk costs only what lies in it: the storage opens, the item whose data the
// chunk held says so when read, and the others read as before. Damage to the tables at the
// end refuses the file.
TEST_F(StorageLazyTest, DamageInAStrongStorageStaysWithTheItemsItHits) {
    Sample sample;
    const std::string path = Path("s.ovs");
    ASSERT_TRUE(SaveStorage(path, kPassword, sample.table, sample.tree, {}, Strongly()).ok);
    const std::string good = ReadFileBytes(path);
    const uint64_t chunk = strong::kDefaultChunkBytes + strong::kTagBytes;

    // The middle of big.bin, the largest item by far.
    std::string bytes = good;
    bytes[strong::kHeaderBytes + (good.size() / chunk / 2) * chunk + 100] ^= 1;
    WriteFileBytes(path, bytes);
    {
        const Lazy lazy(path, kPassword, key_);
        EXPECT_TRUE(lazy.read.damaged.empty());
        ItemData loaded;
        EXPECT_NE(lazy.table.Get(lazy.Find("big.bin"))->data.Load(loaded), ItemDataRead::Ok);
        for (const char* name : {"photo.jpg", "paper.pdf", "small.bin"}) {
            EXPECT_EQ(lazy.Data(name), sample.data[name]) << name;
        }
    }

    bytes = good;
    bytes[good.size() - 20] ^= 1;
    WriteFileBytes(path, bytes);
    auto sealed = std::make_shared<StrongStorageFile>();
    ASSERT_EQ(sealed->Open(path, CompoundLock::None), CompoundResult::Ok);
    ASSERT_EQ(sealed->UnlockWithKey(key_), strong::Status::Ok);
    CompoundReader reader;
    EXPECT_EQ(reader.OpenSource(sealed), CompoundResult::NotCompoundFile);
    EXPECT_TRUE(sealed->SawDamage());
}
