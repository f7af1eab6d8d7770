// The loader of the program's modules, on the real PDF module built beside the tests.
#include <gtest/gtest.h>

#include "framework/ModuleLoader.h"
#include "storage/PdfPane.h"

namespace {

TEST(ModuleLoader, ResolvesTheEntryPointOrSaysWhyNot) {
    struct Case {
        const char* label;
        const char* file;
        const char* symbol;
        bool loads;
        const char* error; // a part of the reason, when it does not load
    };
    const Case cases[] = {
        {"present", kPdfModuleName, kCreatePdfPaneSymbol, true, ""},
        {"missing file", "ombrivault-absent.so", kCreatePdfPaneSymbol, false,
         "ombrivault-absent.so was not found in "},
        {"missing symbol", kPdfModuleName, "ombrivault_create_pdf_pane_v0", false,
         "ombrivault_create_pdf_pane_v0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CModuleLoader loader(c.file, c.symbol);
        EXPECT_FALSE(loader.Tried());
        EXPECT_EQ(loader.Resolve() != nullptr, c.loads);
        EXPECT_EQ(loader.IsLoaded(), c.loads);
        EXPECT_TRUE(loader.Tried());
        EXPECT_TRUE(loader.Error().contains(QString::fromLatin1(c.error)))
            << loader.Error().toStdString();
        EXPECT_EQ(loader.Error().isEmpty(), c.loads) << loader.Error().toStdString();
        // The outcome is remembered.
        EXPECT_EQ(loader.Resolve() != nullptr, c.loads);
    }
}

TEST(ModuleLoader, ARefusedModuleIsNeverLoaded) {
    CModuleLoader loader(kPdfModuleName, kCreatePdfPaneSymbol);
    loader.Refuse(QStringLiteral("not now"));
    EXPECT_EQ(loader.Resolve(), nullptr);
    EXPECT_EQ(loader.Error(), QStringLiteral("not now"));
    EXPECT_FALSE(loader.IsLoaded());
}

} // namespace
