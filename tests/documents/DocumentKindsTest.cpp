// The table of document kinds answers every question about extensions, forms and filters the
// same way the program always has.
#include "documents/DocumentKinds.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

namespace {

TEST(DocumentKinds, FormsByExtensionAlone) {
    struct Case {
        const char* path;
        std::optional<BlobForm> text, passwords, wholeFile;
    };
    const std::optional<BlobForm> none;
    const Case cases[] = {
        {"a.ovt", BlobForm::Current, none, BlobForm::Current},
        {"/x/A.OVT", BlobForm::Current, none, BlobForm::Current},
        {"a.etx", BlobForm::Legacy, none, BlobForm::Legacy},
        {"a.ovd", none, BlobForm::Current, BlobForm::Current},
        {"b.Ovf", none, BlobForm::Legacy, BlobForm::Legacy},
        {"s.ovs", none, none, none}, // a storage is not one envelope
        {"a.ovd.bak", none, none, none},
        {"ovd", none, none, none},
        {"a", none, none, none},
        {"", none, none, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(BlobFormOf(DocumentClass::Text, c.path), c.text);
        EXPECT_EQ(BlobFormOf(DocumentClass::Passwords, c.path), c.passwords);
        EXPECT_EQ(WholeFileFormOf(c.path), c.wholeFile);
    }
}

TEST(DocumentKinds, KindsOfPathsAndTemplates) {
    ASSERT_NE(DocumentKindOfPath("/home/u/notes.ETX"), nullptr);
    EXPECT_EQ(DocumentKindOfPath("/home/u/notes.ETX")->templateId, IDR_TEXT_ETX_TYPE);
    EXPECT_EQ(DocumentKindOfPath("x.ovs")->documentClass, DocumentClass::Storage);
    EXPECT_EQ(DocumentKindOfPath("x.txt"), nullptr);
    EXPECT_EQ(DocumentKindOfPath("x."), nullptr) << "the browser's empty extension matches nothing";
    EXPECT_EQ(FindDocumentKind(IDR_BROWSER_TYPE)->documentClass, DocumentClass::Browser);
    EXPECT_EQ(FindDocumentKind(999), nullptr);
    EXPECT_EQ(FindDocumentKind(DocumentClass::Storage, StoredForm::Legacy), nullptr);

    // Registration order, and every id and extension once.
    std::vector<int> ids;
    std::set<std::string> extensions;
    for (const DocumentKind& kind : DocumentKinds()) {
        ids.push_back(kind.templateId);
        if (*kind.extension != '\0') {
            EXPECT_TRUE(extensions.insert(kind.extension).second) << kind.extension;
            // The document string names the same extension as the row.
            EXPECT_EQ(DocStringField(kind.docString, 4), kind.extension);
        }
    }
    EXPECT_EQ(ids, (std::vector<int>{125, 126, 127, 128, 140, 236}));
}

TEST(DocumentKinds, ExtensionsAndFilters) {
    EXPECT_EQ(DefaultExtension(DocumentClass::Passwords), ".ovd");
    EXPECT_EQ(LegacyExtension(DocumentClass::Passwords), ".ovf");
    EXPECT_EQ(DefaultExtension(DocumentClass::Text), ".ovt");
    EXPECT_EQ(LegacyExtension(DocumentClass::Text), ".etx");
    EXPECT_EQ(LegacyExtension(DocumentClass::Storage), "");
    EXPECT_EQ(DefaultExtension(DocumentClass::Browser), "");

    EXPECT_EQ(SaveAsFilter(DocumentClass::Text), "Ombrivault Encrypted Text Files (*.ovt)|*.ovt|");
    EXPECT_EQ(SaveAsFilter(DocumentClass::Passwords),
              "Ombrivault Encrypted Data Files (*.ovd)|*.ovd|");
    EXPECT_EQ(SaveAsFilter(DocumentClass::Browser), "");
    EXPECT_EQ(
        OpenFilter(),
        "Ombrivault Encrypted Files (*.ovs;*.ovd;*.ovt;*.ovf;*.etx)|*.ovs;*.ovd;*.ovt;*.ovf;*.etx|"
        "Ombrivault Encrypted Storage Files (*.ovs)|*.ovs|"
        "Ombrivault Encrypted Data Files (*.ovd)|*.ovd|"
        "Ombrivault Encrypted Text Files (*.ovt)|*.ovt|");
}

TEST(DocumentKinds, DocStringFields) {
    EXPECT_EQ(DocStringField("\nUntitled\nUEdit", 0), "");
    EXPECT_EQ(DocStringField("\nUntitled\nUEdit", 1), "Untitled");
    EXPECT_EQ(DocStringField("\nUntitled\nUEdit", 2), "UEdit");
    EXPECT_EQ(DocStringField("\nUntitled\nUEdit", 3), "");
    EXPECT_EQ(DocStringField("", 4), "");
}

} // namespace
