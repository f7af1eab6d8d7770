// Files we write read the same in libgsf and in Python's olefile (every stream's bytes, and
// olefile checks each storage's tree is sorted and a valid red-black tree); files libgsf
// writes read the same in ours.
#include "CompoundLayouts.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

struct OracleCase {
    const char* name;
    Layout layout;
    int version;
};

void PrintTo(const OracleCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<OracleCase> Cases() {
    Layout wide;
    for (int i = 0; i < 3000; ++i) {
        wide.push_back({std::to_string(i), false, uint64_t(i % 50 == 0 ? 4097 : i % 400)});
    }
    wide.push_back({"BBC3709EB40C.INF", false, 272});
    Layout nested;
    std::string path;
    for (int depth = 0; depth < 40; ++depth) {
        path += (path.empty() ? "" : "/") + std::to_string(depth);
        nested.push_back({path, true, 0});
        nested.push_back({path + "/BBC3709EB40C.INF", false, 272});
        nested.push_back({path + "/empty", true, 0});
    }
    // Enough small streams for the small-stream table to need an index sector chain.
    Layout manySmall;
    for (int i = 0; i < 700; ++i) {
        manySmall.push_back({"m" + std::to_string(i), false, 4000});
    }
    return {
        {"Mixed", MixedLayout(), 3},
        {"MixedLargeSectors", MixedLayout(), 4},
        {"WideStorage", wide, 3},
        {"Nested", nested, 3},
        {"ManySmallStreams", manySmall, 3},
        {"OnlyEmptyStorages", {{"a", true, 0}, {"a/b", true, 0}, {"c", true, 0}}, 3},
    };
}

class CompoundOracle : public ::testing::TestWithParam<OracleCase> {};

} // namespace

TEST_P(CompoundOracle, OurFilesReadInOlefileAndLibgsf) {
    ScratchDir dir;
    const std::string file = dir / "ours.cfb";
    CompoundWriteOptions options;
    options.version = GetParam().version;
    options.sync = false;
    ASSERT_EQ(WriteOurs(file, GetParam().layout, options), CompoundResult::Ok);
    const std::vector<std::string> expected = Describe(GetParam().layout);
    EXPECT_EQ(ReadOlefile(file), expected);
    EXPECT_EQ(ReadGsf(file), expected);
}

TEST_P(CompoundOracle, LibgsfFilesReadInOurs) {
    ScratchDir dir;
    const std::string file = dir / "gsf.cfb";
    ASSERT_TRUE(WriteGsf(file, GetParam().layout, GetParam().version == 4));
    EXPECT_EQ(ReadOurs(file), Describe(GetParam().layout));
}

INSTANTIATE_TEST_SUITE_P(Layouts, CompoundOracle, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });
