// The storage window on the offscreen platform: opening a storage of 100,000 small items in
// 100 folders until the whole tree is shown, against reading the same file with the storage
// layer alone; adding a directory of 10,000 files against one of 1,000 (time per file); and
// saving 1 GiB in 200 items from the window against the raw pipeline, with its peak memory;
// and find in the tree of the 100,000 items (see FindKeystrokes.h).
#include "BenchFigures.h"
#include "FindKeystrokes.h"
#include "StorageBenchData.h"

#include <QApplication>
#include <QTreeWidget>

#include "framework/FrameHosts.h"

#include "framework/ModalSeam.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"

using namespace bench_storage;

namespace {

// The window never waits for its workers: the benchmark runs events until `busy` is false.
template <typename Busy> void RunEventsWhile(Busy busy) {
    while (busy()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// Starts a save and waits for it; true when the file was written.
bool SaveAndWait(CPictureDoc* doc, const QString& path) {
    if (!doc->OnSaveDocument(path)) {
        return false;
    }
    RunEventsWhile([doc] { return doc->IsSaving(); });
    return doc->LastSaveError().isEmpty();
}

const char* const kPassword = "benchmark password";
constexpr int kFolders = 100;
constexpr int kItemsPerFolder = 1000;

// Counts the progress steps the window reports while it works.
class CountingHosts : public CBusyHost, public CCommandHost {
public:
    CBusyState& Busy() override { return state_; }
    void BeginBusy() override {}
    void StepBusy() override { ++steps; }
    void EndBusy() override {}
    void PostCommand(int) override { ++steps; }
    void SendCommand(int) override { ++steps; }
    std::atomic<int> steps{0};

private:
    CBusyState state_;
};

CountingHosts& Hosts() {
    static CountingHosts hosts;
    return hosts;
}

// A storage window as the program makes one: the document, its frame, the initial update.
struct Window {
    std::unique_ptr<CPictureDoc> doc = std::make_unique<CPictureDoc>();
    CPictureChildFrame* frame = nullptr;

    // Opens `path` (typing the password) or, without one, starts a new storage.
    bool Open(const std::string& path, const char* password = kPassword) {
        if (path.empty()) {
            doc->OnNewDocument();
        } else {
            ModalSeam::Push(answer::Type(QStringLiteral("password"), QString::fromLatin1(password),
                                         answer::Click(QStringLiteral("ok"))));
            if (!doc->OnOpenDocument(QString::fromStdString(path))) {
                return false;
            }
        }
        frame = new CPictureChildFrame();
        frame->resize(800, 600);
        if (!frame->Create(doc.get(), nullptr)) {
            return false;
        }
        frame->InitialUpdateFrame(true);
        return true;
    }
    CPictureLeftView* View() const { return frame->LeftView(); }
    ~Window() {
        delete frame;
        doc.reset();
    }
};

const std::string& ManyItemsFile() {
    static const std::string path = [] {
        Storage s;
        for (int f = 0; f < kFolders; ++f) {
            auto folder = std::make_unique<StorageItem>();
            folder->type = static_cast<int32_t>(StorageItemType::Folder);
            folder->name = "folder " + std::to_string(f);
            const int32_t index = s.table.Add(std::move(folder));
            s.tree.push_back({index, kRootParent});
            for (int i = 0; i < kItemsPerFolder; ++i) {
                auto item = std::make_unique<StorageItem>();
                item->type = static_cast<int32_t>(StorageItemType::Text);
                item->name = "note " + std::to_string(i) + ".txt";
                item->text = "a small note " + std::to_string(i);
                s.tree.push_back({s.table.Add(std::move(item)), index});
            }
        }
        const std::string p = WorkDir() / "many.ovs";
        SaveStorage(p, kPassword, s.table, s.tree);
        return p;
    }();
    return path;
}

void BM_CoreRead100k(benchmark::State& state) {
    const std::string& path = ManyItemsFile();
    for (auto _ : state) {
        CompoundReader reader;
        StorageItemTable table;
        StorageTree tree;
        if (OpenStorageFile(path, reader) != CompoundResult::Ok ||
            !CheckStoragePassword(reader, kPassword).ok()) {
            state.SkipWithError("open failed");
            break;
        }
        ReadStorage(reader, kPassword, table, tree, [](uint64_t) {});
        benchmark::DoNotOptimize(SortedTree(tree, table));
    }
}

void BM_WindowOpen100k(benchmark::State& state) {
    const std::string& path = ManyItemsFile();
    for (auto _ : state) {
        auto window = std::make_unique<Window>();
        if (!window->Open(path)) {
            state.SkipWithError("open failed");
            break;
        }
        RunEventsWhile([&] { return window->View()->IsLoading(); });
        QApplication::processEvents(); // the tree is painted
        if (window->View()->RootItem()->childCount() != kFolders) {
            state.SkipWithError("tree incomplete");
        }
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

// The 8 GiB and the 400 KiB storages of 400 items each that bench_storage_large makes: the tree
// shows once the item headers are read, and the peak memory stays far below the data.
size_t g_largeOpenPeak = 0;

void BM_WindowOpenLarge(benchmark::State& state) {
    const fs::path path = fs::path(OV_BINARY_DIR) / "bench-data" / "large-storage" /
                          (state.range(0) != 0 ? "big.ovs" : "tiny.ovs");
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        state.SkipWithError("no large storages: run bench_storage_large first");
        return;
    }
    for (auto _ : state) {
        ResetPeakResident();
        auto window = std::make_unique<Window>();
        if (!window->Open(path.string(), "bench pw")) {
            state.SkipWithError("open failed");
            break;
        }
        RunEventsWhile([&] { return window->View()->IsLoading(); });
        QApplication::processEvents(); // the tree is painted
        if (state.range(0) != 0) {
            g_largeOpenPeak = PeakResident();
        }
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

find_bench::FindFigures g_find;

void BM_Find100k(benchmark::State& state) {
    const std::string& path = ManyItemsFile();
    for (auto _ : state) {
        Window window;
        if (!window.Open(path)) {
            state.SkipWithError("open failed");
            break;
        }
        RunEventsWhile([&] { return window.View()->IsLoading(); });
        window.frame->show();
        SettleWindows();
        std::vector<QString> names;
        names.reserve(static_cast<size_t>(window.doc->Items().NextIndex()));
        for (int32_t i = 0; i < window.doc->Items().NextIndex(); ++i) {
            if (const StorageItem* item = window.doc->Items().Get(i)) {
                names.push_back(QString::fromStdString(item->name));
            }
        }
        g_find = find_bench::MeasureFind(
            window.View()->Finder(), names,
            find_bench::Keystrokes({"note 12", "folder 7", "99.txt", "zq"}));
    }
}

const std::string& FilesDirectory(int count) {
    static std::map<int, std::string> made;
    auto& path = made[count];
    if (path.empty()) {
        path = WorkDir() / ("files" + std::to_string(count));
        fs::create_directories(path);
        Bytes bytes(200);
        for (int i = 0; i < count; ++i) {
            Fill(bytes, static_cast<uint32_t>(i));
            std::ofstream(path + "/file " + std::to_string(i) + ".dat", std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }
    return path;
}

void BM_AddDirectory(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string& path = FilesDirectory(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<Window>();
        window->Open({});
        state.ResumeTiming();
        window->View()->StartAddDirectory(QString::fromStdString(path));
        RunEventsWhile([&] { return window->View()->IsAddingDirectories(); });
        QApplication::processEvents();
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

constexpr size_t kBigItems = 200;
constexpr size_t kBigTotal = size_t{1} << 30;

// Resident memory once the big storage is loaded: what a save's peak is measured against, so
// memory an earlier save left in the heap counts too.
size_t g_loadedResident = 0;

// A window holding the 1 GiB storage, loaded from its file.
Window& BigWindow() {
    static Window* window = [] {
        const std::string path = WorkDir() / "big.ovs";
        {
            Storage s;
            MakeItems(s, kBigItems, kBigTotal / kBigItems);
            SaveStorage(path, kPassword, s.table, s.tree);
        }
        auto* w = new Window();
        w->Open(path);
        RunEventsWhile([&] { return w->View()->IsLoading(); });
        g_loadedResident = CurrentResident();
        return w;
    }();
    return *window;
}

double g_saveMemoryAboveData = -1;

// Both 1 GiB saves below start from the same state: the file and an older backup are on disk,
// so each timed save makes the file its backup and lets go of the backup before it, and
// nothing is left to be written back from the step before (every save syncs its file).
void BM_WindowSave1GiB(benchmark::State& state) {
    Window& window = BigWindow();
    const QString path = window.doc->OwnPath();
    if (!SaveAndWait(window.doc.get(), path)) { // the backup of the loaded file
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        ResetPeakResident();
        if (!SaveAndWait(window.doc.get(), path)) {
            state.SkipWithError("save failed");
        }
        const size_t peak = PeakResident();
        g_saveMemoryAboveData =
            static_cast<double>(peak > g_loadedResident ? peak - g_loadedResident : 0);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigTotal));
}

void BM_RawSave1GiBWindow(benchmark::State& state) {
    Window& window = BigWindow();
    const StorageTree tree = window.View()->TreeForSave();
    const AesKey key = DeriveAesKey(kPassword);
    const std::string path = WorkDir() / "raw.bin";
    for (int i = 0; i < 2; ++i) { // the file and its backup
        if (!RawSavePipeline(window.doc->Items(), tree, key, path)) {
            state.SkipWithError("write failed");
            return;
        }
    }
    for (auto _ : state) {
        if (!RawSavePipeline(window.doc->Items(), tree, key, path)) {
            state.SkipWithError("write failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigTotal));
}

BENCHMARK(BM_CoreRead100k)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_WindowOpen100k)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_WindowOpenLarge)->Arg(0)->Arg(1)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_Find100k)->Iterations(1)->UseRealTime();
BENCHMARK(BM_AddDirectory)->Arg(1000)->Arg(10000)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_RawSave1GiBWindow)->Iterations(1)->Repetitions(2)->UseRealTime();
BENCHMARK(BM_WindowSave1GiB)->Iterations(1)->Repetitions(2)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ModalSeam::Install();
    CBusyHost::SetCurrent(&Hosts());
    CCommandHost::SetCurrent(&Hosts());
    const int code = RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        if (t["BM_WindowOpen100k"] > 0) {
            PrintFigure("storage_window_open_100k_vs_core_read",
                        t["BM_WindowOpen100k"] / t["BM_CoreRead100k"], "<=3");
        }
        if (t["BM_WindowOpenLarge/1"] > 0 && t["BM_WindowOpenLarge/0"] > 0) {
            PrintFigure("storage_window_open_8gib_vs_tiny",
                        t["BM_WindowOpenLarge/1"] / t["BM_WindowOpenLarge/0"], "<=2");
            PrintFigure("storage_window_open_8gib_peak_mib",
                        static_cast<double>(g_largeOpenPeak) / (1 << 20), "<=300");
        }
        if (g_find.p95Ms > 0) {
            PrintFigure("storage_find_keystroke_p95_100k_ms", g_find.p95Ms, "<=50");
            PrintFigure("storage_find_keystroke_p95_vs_linear_name_scan_p95",
                        g_find.p95Ms / g_find.scanP95Ms, "<=3");
            PrintFigure("storage_find_first_keystroke_index_100k_ms", g_find.indexMs, "<=1000");
        }
        const double small = t["BM_AddDirectory/1000"] / 1000;
        const double large = t["BM_AddDirectory/10000"] / 10000;
        if (small > 0 && large > 0) {
            PrintFigure("storage_window_add_directory_per_file_10k_vs_1k", large / small, "<=1.3");
        }
        if (t["BM_WindowSave1GiB"] > 0) {
            PrintFigure("storage_window_1gib_save_vs_raw_pipeline",
                        t["BM_RawSave1GiBWindow"] / t["BM_WindowSave1GiB"], ">=0.5");
            PrintFigure("storage_window_1gib_save_memory_above_data_mib",
                        g_saveMemoryAboveData / (1 << 20), "<=64");
        }
        std::printf("progress steps reported: %d\n", Hosts().steps.load());
        std::fflush(stdout);
    });
    std::error_code ignored;
    fs::remove_all(WorkDir(), ignored);
    return code;
}
