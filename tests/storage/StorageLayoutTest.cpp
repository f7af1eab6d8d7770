// The fixed records, the streamed item cipher and the account XML of storage items.
#include "storage/StorageLayout.h"
#include "base/CodePage.h"
#include "crypto/EncryptedFile.h"
#include "storage/ItemCipher.h"
#include "storage/ItemXml.h"
#include "storage/StorageItem.h"

#include <gtest/gtest.h>

namespace {

int32_t Int32At(const uint8_t* p) {
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

TEST(StorageLayoutTest, RootInfoRecordBytes) {
    const auto bytes = StorageInfoRecord::Root().ToBytes();
    ASSERT_EQ(bytes.size(), 268u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "BBC3709EB40C.INF");
    for (size_t i = 16; i < 260; ++i) {
        ASSERT_EQ(bytes[i], 0) << i;
    }
    EXPECT_EQ(Int32At(&bytes[260]), 0);
    EXPECT_EQ(Int32At(&bytes[264]), 302);
    const auto back = StorageInfoRecord::FromBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->IsRoot());
    EXPECT_FALSE(StorageInfoRecord::FromBytes(bytes.data(), 267));
}

TEST(StorageLayoutTest, FolderInfoRecordKeepsNameAndExpandedFlag) {
    const auto bytes = StorageInfoRecord::Folder("Letters", true).ToBytes();
    EXPECT_EQ(Int32At(&bytes[260]), 1);
    EXPECT_EQ(Int32At(&bytes[264]), 0);
    const auto back = StorageInfoRecord::FromBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "Letters");
    EXPECT_EQ(back->expanded, 1);
    EXPECT_FALSE(back->IsRoot());
}

TEST(StorageLayoutTest, ItemHeaderFieldOffsets) {
    StorageItemHeader header;
    header.type = 1;
    header.imageType = 7;
    header.dataLength = 0x01020304;
    header.name = "scan.png";
    header.imageLength = 0x01020304;
    header.fitToView = 1;
    const auto bytes = header.ToBytes();
    ASSERT_EQ(bytes.size(), 292u);
    EXPECT_EQ(Int32At(&bytes[0]), 1);
    EXPECT_EQ(Int32At(&bytes[4]), 7);
    EXPECT_EQ(Int32At(&bytes[8]), 0x01020304);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[12])), "scan.png");
    EXPECT_EQ(Int32At(&bytes[272]), 0x01020304);
    EXPECT_EQ(Int32At(&bytes[276]), 1);
    for (size_t i = 280; i < 292; ++i) {
        ASSERT_EQ(bytes[i], 0) << i;
    }
    const auto back = StorageItemHeader::FromBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "scan.png");
    EXPECT_EQ(back->fitToView, 1);
    EXPECT_EQ(back->imageType, 7);
    EXPECT_FALSE(StorageItemHeader::FromBytes(bytes.data(), 291));
}

TEST(StorageLayoutTest, LongNamesAreCutAtACharacterBoundary) {
    // 129 two-byte characters (258 bytes) and one more: the last one no longer fits.
    std::string name;
    for (int i = 0; i < 130; ++i) {
        name += "\xC3\xA4";
    }
    const std::string cut = BoundedName(name);
    EXPECT_EQ(cut.size(), 258u);
    EXPECT_EQ(cut, name.substr(0, 258));
    EXPECT_EQ(BoundedName(std::string(300, 'a')).size(), 259u);
    EXPECT_EQ(BoundedName(std::string("ab\0cd", 5)), "ab");
    // A field with no NUL in it reads as all 260 bytes.
    std::array<uint8_t, 260> full;
    full.fill('x');
    EXPECT_EQ(NameFromField(full.data()).size(), 260u);
}

TEST(StorageLayoutTest, LongNamesInADoubleByteCodePage) {
    ASSERT_TRUE(CodePage::SetProgram("CP932"));
    // "a" then 130 two-byte characters: a cut at 259 would split the last one.
    std::string name = "a";
    for (int i = 0; i < 130; ++i) {
        name += "\x82\xA0";
    }
    EXPECT_EQ(BoundedName(name).size(), 259u);
    name = "ab";
    for (int i = 0; i < 130; ++i) {
        name += "\x82\xA0";
    }
    EXPECT_EQ(BoundedName(name).size(), 258u);
    CodePage::SetProgram("UTF-8");
}

// The streamed blob must equal the one-piece blob for every length around the block and the
// scramble period, and for data given in awkward pieces.
TEST(StorageLayoutTest, StreamedBlobEqualsEncryptBuffer) {
    const AesKey key = DeriveAesKey("pass word");
    for (size_t length : {size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{127}, size_t{128},
                          size_t{268}, size_t{292}, size_t{293}, size_t{262143}, size_t{262144},
                          size_t{262145}, size_t{600000}}) {
        Bytes plain(length);
        for (size_t i = 0; i < length; ++i) {
            plain[i] = static_cast<uint8_t>(i * 31 + 7);
        }
        Bytes expected;
        ASSERT_TRUE(EncryptBuffer(plain.data(), plain.size(), "pass word", expected));
        // With the length known, unknown, and given too small.
        for (uint64_t hint : {uint64_t{length}, UINT64_MAX, uint64_t{100}}) {
            Bytes streamed;
            ItemEncryptor enc(
                key,
                [&](const uint8_t* d, size_t n) {
                    streamed.insert(streamed.end(), d, d + n);
                    return true;
                },
                hint);
            const size_t first = std::min<size_t>(length, 292);
            ASSERT_TRUE(enc.Add(plain.data(), first));
            for (size_t off = first; off < length; off += 100003) {
                ASSERT_TRUE(enc.Add(plain.data() + off, std::min<size_t>(100003, length - off)));
            }
            ASSERT_TRUE(enc.Finish());
            EXPECT_EQ(streamed, expected) << length << " " << hint;
            EXPECT_EQ(streamed.size(), ItemEncryptor::BlobLength(length));
        }

        Bytes inPlace = expected;
        ASSERT_TRUE(DecryptItemInPlace(inPlace, key)) << length;
        EXPECT_EQ(inPlace, plain) << length;
    }
    ItemEncryptor empty(key, [](const uint8_t*, size_t) { return true; });
    EXPECT_FALSE(empty.Finish());
}

TEST(StorageLayoutTest, InPlaceDecryptionRejectsWhatDecryptBufferRejects) {
    const AesKey key = DeriveAesKey("right");
    Bytes blob;
    const Bytes plain(300, 'p');
    ASSERT_TRUE(EncryptBuffer(plain.data(), plain.size(), "right", blob));
    Bytes wrongKey = blob;
    EXPECT_FALSE(DecryptItemInPlace(wrongKey, DeriveAesKey("wrong")));
    EXPECT_TRUE(wrongKey.empty());
    Bytes cut(blob.begin(), blob.end() - 1);
    EXPECT_FALSE(DecryptItemInPlace(cut, key));
    Bytes none;
    EXPECT_FALSE(DecryptItemInPlace(none, key));
}

TEST(StorageLayoutTest, AccountItemXml) {
    ItemAccount web;
    web.name = "bank";
    web.address = "https://bank.example/";
    web.userId = "me & you";
    web.password = "<secret>";
    const std::string xml = WriteItemXml(StorageItemType::WebAccount, web);
    EXPECT_EQ(xml,
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
              "<DOC>\r\n<WEB_ACCOUNT>\r\n<NAME>bank</NAME>\r\n"
              "<ADDRESS>https://bank.example/</ADDRESS>\r\n<USERID>me &amp; you</USERID>\r\n"
              "<PASSWORD>&lt;secret&gt;</PASSWORD>\r\n<NOTES/>\r\n</WEB_ACCOUNT>\r\n</DOC>\r\n");
    const ItemAccount back = ReadItemXml(StorageItemType::WebAccount, xml);
    EXPECT_EQ(back.name, "bank");
    EXPECT_EQ(back.address, web.address);
    EXPECT_EQ(back.userId, web.userId);
    EXPECT_EQ(back.password, web.password);
    EXPECT_EQ(back.notes, "");

    ItemAccount other;
    other.name = "door";
    other.address = "not stored for other accounts";
    other.password = "1234";
    const std::string otherXml = WriteItemXml(StorageItemType::OtherAccount, other);
    EXPECT_EQ(otherXml.find("ADDRESS"), std::string::npos);
    EXPECT_NE(otherXml.find("<OTHER_ACCOUNTS>"), std::string::npos);
    const ItemAccount otherBack = ReadItemXml(StorageItemType::OtherAccount, otherXml);
    EXPECT_EQ(otherBack.password, "1234");
    EXPECT_EQ(otherBack.name, "door");
    EXPECT_EQ(otherBack.address, "");

    // An empty text (a new item), a web text read as an other account and a note give empty
    // fields; a missing child does not take its neighbour's text.
    EXPECT_EQ(ReadItemXml(StorageItemType::OtherAccount, "").userId, "");
    EXPECT_EQ(ReadItemXml(StorageItemType::OtherAccount, xml).name, "");
    EXPECT_EQ(WriteItemXml(StorageItemType::Text, web), "");
    const ItemAccount partial =
        ReadItemXml(StorageItemType::WebAccount,
                    "<DOC><WEB_ACCOUNT><NAME>n</NAME><PASSWORD>p</PASSWORD></WEB_ACCOUNT></DOC>");
    EXPECT_EQ(partial.address, "");
    EXPECT_EQ(partial.userId, "");
    EXPECT_EQ(partial.password, "p");
}

TEST(StorageLayoutTest, ItemTableKeepsIndexesAndSortsTheTree) {
    StorageItemTable table;
    auto make = [&](const char* name, StorageItemType type) {
        auto item = std::make_unique<StorageItem>();
        item->name = name;
        item->type = static_cast<int32_t>(type);
        return table.Add(std::move(item));
    };
    const int32_t letters = make("Letters", StorageItemType::Folder);
    const int32_t b = make("b.txt", StorageItemType::Text);
    const int32_t a = make("A.txt", StorageItemType::Text);
    const int32_t gone = make("gone", StorageItemType::File);
    const int32_t top = make("top", StorageItemType::File);
    table.Delete(gone);
    EXPECT_EQ(table.Get(gone), nullptr);
    EXPECT_EQ(table.NextIndex(), 5);
    EXPECT_EQ(table.Get(5), nullptr);
    EXPECT_EQ(table.Get(-1), nullptr);
    EXPECT_EQ(make("new", StorageItemType::File), 5);

    const StorageTree tree = {
        {top, kRootParent}, {letters, kRootParent}, {b, letters}, {gone, letters}, {a, letters}};
    const StorageTree sorted = SortedTree(tree, table);
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_EQ(sorted[0].item, letters);
    EXPECT_EQ(sorted[1].item, a);
    EXPECT_EQ(sorted[2].item, b);
    EXPECT_EQ(sorted[2].parent, letters);
    EXPECT_EQ(sorted[3].item, top);
}

} // namespace
