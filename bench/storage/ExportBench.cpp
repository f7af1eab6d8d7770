// Exporting a folder whose items all have the same name: every item needs a name of its own
// (" (2)", " (3)", ...), which must cost no more than a name that is free at once. The export
// of 30,000 equal names against the export of 30,000 different ones, both written the same
// way in the same run, and the time per item at 30,000 equal names against 10,000.
#include "BenchFigures.h"
#include "StorageBenchData.h"

#include "storage/StorageExport.h"

#include <system_error>

namespace {

using namespace bench_storage;

// The export's own work, not the disk's: the files go to memory where there is a tmpfs.
fs::path ExportDir() {
    std::error_code ec;
    const fs::path shm = "/dev/shm";
    return fs::is_directory(shm, ec) ? shm / ("ov-bench-export-" + std::to_string(::getpid()))
                                     : WorkDir() / "export";
}

Storage Named(size_t count, bool equal) {
    Storage s;
    for (size_t i = 0; i < count; ++i) {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(StorageItemType::File);
        item->name = equal ? std::string("report.pdf") : "report " + std::to_string(i) + ".pdf";
        item->data = {'%', 'P', 'D', 'F'};
        s.tree.push_back({s.table.Add(std::move(item)), kRootParent});
    }
    return s;
}

void Export(benchmark::State& state, bool equal) {
    const auto count = static_cast<size_t>(state.range(0));
    const Storage s = Named(count, equal);
    const fs::path out = ExportDir();
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(out, ec);
        state.ResumeTiming();
        const auto targets = PlanFolderExport(s.table, s.tree, kRootParent);
        ExportRoot root;
        FolderExportResult result = OpenExportRoot(out, root);
        if (result.ok) {
            result = WriteFolderExport(s.table, targets, root, ExistingFiles::Refuse);
        }
        if (!result.ok) {
            state.SkipWithError("export failed");
        }
    }
    std::error_code ec;
    fs::remove_all(out, ec);
}

void BM_ExportEqualNames(benchmark::State& state) {
    Export(state, true);
}
void BM_ExportDifferentNames(benchmark::State& state) {
    Export(state, false);
}

BENCHMARK(BM_ExportEqualNames)
    ->Arg(10000)
    ->Arg(30000)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_ExportDifferentNames)->Arg(30000)->Iterations(1)->Repetitions(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    const int code = RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        const double equal = t["BM_ExportEqualNames/30000"];
        const double different = t["BM_ExportDifferentNames/30000"];
        const double small = t["BM_ExportEqualNames/10000"];
        if (equal > 0 && different > 0) {
            PrintFigure("export_30k_equal_names_vs_different_names", equal / different, "<=1.3");
        }
        if (equal > 0 && small > 0) {
            PrintFigure("export_equal_names_per_item_30k_vs_10k", (equal / 30000) / (small / 10000),
                        "<=1.3");
        }
    });
    std::error_code ignored;
    fs::remove_all(WorkDir(), ignored);
    return code;
}
