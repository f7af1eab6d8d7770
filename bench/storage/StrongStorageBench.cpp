// Opening a 1 GiB storage with strong protection against the same storage in the compatible
// form: as the window opens it (the tables and every item's header, the data left in the
// file) and read whole (every byte decrypted). Both files are written by the program and read
// from warm buffers; the strong one with a key already derived, since the derivation (about a
// second by design) is timed on its own and printed beside the figures.
#include "BenchFigures.h"
#include "StorageBenchData.h"

#include "compound/CompoundFile.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"
#include "storage/StrongStorage.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

using namespace bench_storage;

const char* const kPassword = "benchmark password";
constexpr size_t kItems = 200;
constexpr size_t kTotal = size_t{1} << 30;

const strong::Key& Key() {
    static const strong::Key key = [] {
        strong::Key k;
        k.Derive(kPassword, {1, 8192});
        return k;
    }();
    return key;
}

std::string PlainPath() {
    return WorkDir() / "plain.ovs";
}
std::string StrongPath() {
    return WorkDir() / "strong.ovs";
}

// Reads the storage at `path`; `whole` reads every item's data too.
bool Open(const std::string& path, bool sealed, bool whole) {
    auto reader = std::make_shared<CompoundReader>();
    const CompoundResult opened =
        sealed ? OpenStrongStorageFile(path, Key(), *reader) : OpenStorageFile(path, *reader);
    if (opened != CompoundResult::Ok) {
        return false;
    }
    if (!CheckStoragePassword(*reader, kPassword).ok()) {
        return false;
    }
    StorageItemTable table;
    StorageTree tree;
    const StorageReadResult read = whole ? ReadStorage(*reader, kPassword, table, tree)
                                         : ReadStorage(reader, kPassword, table, tree);
    return read.damaged.empty() && tree.size() == kItems;
}

void Run(benchmark::State& state, bool sealed, bool whole) {
    const std::string path = sealed ? StrongPath() : PlainPath();
    for (auto _ : state) {
        if (!Open(path, sealed, whole)) {
            state.SkipWithError("open failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_OpenCompatible(benchmark::State& state) {
    Run(state, false, false);
}
void BM_OpenStrong(benchmark::State& state) {
    Run(state, true, false);
}
void BM_ReadCompatible(benchmark::State& state) {
    Run(state, false, true);
}
void BM_ReadStrong(benchmark::State& state) {
    Run(state, true, true);
}

BENCHMARK(BM_OpenCompatible)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_OpenStrong)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_ReadCompatible)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_ReadStrong)->Iterations(1)->Repetitions(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    {
        Storage s;
        MakeItems(s, kItems, kTotal / kItems);
        StorageSaveOptions strongly;
        strongly.strongKey = &Key();
        if (!SaveStorage(PlainPath(), kPassword, s.table, s.tree).ok ||
            !SaveStorage(StrongPath(), kPassword, s.table, s.tree, {}, strongly).ok) {
            std::fprintf(stderr, "could not write the storages\n");
            return 1;
        }
    }
    // The derivation with the parameters a save writes by default, once.
    const auto start = std::chrono::steady_clock::now();
    strong::Key derived;
    derived.Derive(kPassword, {});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("key derivation (Argon2id, %u passes, %u MiB): %.3f s\n", strong::kDefaultPasses,
                strong::kDefaultMemoryKiB / 1024, seconds);
    const int code = RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        if (t["BM_OpenCompatible"] > 0 && t["BM_OpenStrong"] > 0) {
            PrintFigure("strong_storage_1gib_open_vs_compatible",
                        t["BM_OpenStrong"] / t["BM_OpenCompatible"], "<= 1.3");
        }
        if (t["BM_ReadCompatible"] > 0 && t["BM_ReadStrong"] > 0) {
            PrintFigure("strong_storage_1gib_read_whole_vs_compatible",
                        t["BM_ReadStrong"] / t["BM_ReadCompatible"], "<= 1.3");
        }
    });
    std::error_code ignored;
    fs::remove_all(WorkDir(), ignored);
    return code;
}
