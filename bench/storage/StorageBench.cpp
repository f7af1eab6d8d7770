// Saving and loading whole storages. 1 GiB in 200 items against the raw pipeline (AES-256-ECB
// over the same bytes with a plain file write or read, synced like a save), with the peak
// memory of each beside it; and the time per item at 100,000 items against 10,000.
#include "BenchFigures.h"
#include "StorageBenchData.h"

#include "compound/CompoundFile.h"

#include "storage/StorageFile.h"
#include "storage/StorageSave.h"

#include <openssl/evp.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using namespace bench_storage;

const char* const kPassword = "benchmark password";
constexpr size_t kBigItems = 200;
constexpr size_t kBigTotal = size_t{1} << 30;
constexpr size_t kBigItemSize = kBigTotal / kBigItems;
constexpr size_t kChunk = size_t{1} << 20;

const Storage& Big() {
    static const Storage big = [] {
        Storage s;
        MakeItems(s, kBigItems, kBigItemSize);
        return s;
    }();
    return big;
}

bool Load(const std::string& path, Storage& out) {
    CompoundReader reader;
    if (OpenStorageFile(path, reader) != CompoundResult::Ok ||
        !CheckStoragePassword(reader, kPassword).ok()) {
        return false;
    }
    return ReadStorage(reader, kPassword, out.table, out.tree).damaged.empty();
}

void BM_Save1GiB(benchmark::State& state) {
    const std::string path = WorkDir() / "big.ovs";
    for (auto _ : state) {
        if (!SaveStorage(path, kPassword, Big().table, Big().tree).ok) {
            state.SkipWithError("save failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigTotal));
}

void BM_Load1GiB(benchmark::State& state) {
    const std::string path = WorkDir() / "big.ovs";
    if (!fs::exists(path)) {
        SaveStorage(path, kPassword, Big().table, Big().tree);
    }
    for (auto _ : state) {
        Storage loaded;
        if (!Load(path, loaded) || loaded.tree.size() != kBigItems) {
            state.SkipWithError("load failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigTotal));
}

// The reference save: the same bytes through AES-256-ECB a megabyte at a time into one plain
// file, synced to disk, the previous one kept as a backup.
void BM_RawSave1GiB(benchmark::State& state) {
    const std::string path = WorkDir() / "raw.bin";
    const AesKey key = DeriveAesKey(kPassword);
    for (auto _ : state) {
        if (!RawSavePipeline(Big().table, Big().tree, key, path)) {
            state.SkipWithError("write failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigTotal));
}

// The reference load: the plain file read into memory and decrypted there, warm cache.
void BM_RawLoad1GiB(benchmark::State& state) {
    const std::string path = WorkDir() / "raw.bin";
    const AesKey key = DeriveAesKey(kPassword);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const auto size = static_cast<size_t>(::lseek(fd, 0, SEEK_END));
        Bytes data(size);
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        EVP_DecryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key.data(), nullptr);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        for (size_t off = 0; off < size; off += kChunk) {
            const size_t n = std::min(kChunk, size - off);
            if (::pread(fd, data.data() + off, n, static_cast<off_t>(off)) !=
                static_cast<ssize_t>(n)) {
                state.SkipWithError("read failed");
                break;
            }
            int written = 0;
            EVP_DecryptUpdate(ctx, data.data() + off, &written, data.data() + off,
                              static_cast<int>(n));
        }
        EVP_CIPHER_CTX_free(ctx);
        ::close(fd);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigTotal));
}

// Many small items in one folder: per-item time must not grow with the count.
void BM_SaveItems(benchmark::State& state) {
    Storage s;
    MakeItems(s, static_cast<size_t>(state.range(0)), 64);
    const std::string path = WorkDir() / ("many" + std::to_string(state.range(0)) + ".ovs");
    for (auto _ : state) {
        if (!SaveStorage(path, kPassword, s.table, s.tree).ok) {
            state.SkipWithError("save failed");
        }
    }
}

void BM_LoadItems(benchmark::State& state) {
    const std::string path = WorkDir() / ("many" + std::to_string(state.range(0)) + ".ovs");
    // The file is made by a child process, so the load starts from a heap like that of a
    // program that has just started, not one full of the holes a hundred thousand freed items
    // leave.
    const pid_t child = ::fork();
    if (child == 0) {
        Storage s;
        MakeItems(s, static_cast<size_t>(state.range(0)), 64);
        ::_exit(SaveStorage(path, kPassword, s.table, s.tree).ok ? 0 : 1);
    }
    int status = 1;
    ::waitpid(child, &status, 0);
    if (status != 0) {
        state.SkipWithError("could not make the file");
        return;
    }
    for (auto _ : state) {
        auto loaded = std::make_unique<Storage>();
        if (!Load(path, *loaded) || loaded->tree.size() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError("load failed");
        }
        // Freeing the items belongs to closing the document, not to loading it.
        state.PauseTiming();
        loaded.reset();
        state.ResumeTiming();
    }
}

// One pass over a gigabyte takes seconds, so few repetitions; the fastest of each counts.
BENCHMARK(BM_RawSave1GiB)->Iterations(1)->Repetitions(2)->UseRealTime();
BENCHMARK(BM_Save1GiB)->Iterations(1)->Repetitions(2)->UseRealTime();
BENCHMARK(BM_RawLoad1GiB)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_Load1GiB)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_SaveItems)->Arg(10000)->Arg(100000)->Iterations(1)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_LoadItems)->Arg(10000)->Arg(100000)->Iterations(1)->Repetitions(5)->UseRealTime();

// Runs in a child of its own, so the figures count only the save or load and its data.
void MeasureMemory() {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) {
        return;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFd[0]);
        const std::string path = WorkDir() / "memory.ovs";
        double over[2] = {-1, -1};
        {
            Storage s;
            MakeItems(s, kBigItems, kBigItemSize);
            ResetPeakResident();
            const size_t before = PeakResident();
            if (SaveStorage(path, kPassword, s.table, s.tree).ok) {
                over[0] = static_cast<double>(PeakResident() - before);
            }
        }
        ResetPeakResident();
        const size_t before = PeakResident();
        Storage loaded;
        if (Load(path, loaded)) {
            over[1] = static_cast<double>(PeakResident() - before) - static_cast<double>(kBigTotal);
        }
        fs::remove(path);
        fs::remove(StorageBackupPath(path));
        (void)!::write(pipeFd[1], over, sizeof over);
        ::_exit(0);
    }
    ::close(pipeFd[1]);
    double over[2] = {-1, -1};
    (void)!::read(pipeFd[0], over, sizeof over);
    ::close(pipeFd[0]);
    ::waitpid(child, nullptr, 0);
    // The save starts with its data resident: what it adds is all above the data.
    PrintFigure("storage_1gib_save_memory_above_data_mib", over[0] / (1 << 20), "<=64");
    PrintFigure("storage_1gib_load_memory_above_data_mib", over[1] / (1 << 20), "<=64");
}

} // namespace

int main(int argc, char** argv) {
    MeasureMemory();
    // The gigabyte of items is made before anything is timed, not inside the first timed save.
    Big();
    const int code = RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        if (t["BM_Save1GiB"] > 0) {
            PrintFigure("storage_1gib_save_vs_raw_pipeline", t["BM_RawSave1GiB"] / t["BM_Save1GiB"],
                        ">=0.5");
        }
        if (t["BM_Load1GiB"] > 0) {
            PrintFigure("storage_1gib_load_vs_raw_pipeline", t["BM_RawLoad1GiB"] / t["BM_Load1GiB"],
                        ">=0.5");
        }
        // A save waits for the disk, so its real time counts. A load from warm buffers waits
        // for nothing but the processor: its CPU time is its cost, and on a shared machine a
        // run of a tenth of a second is rarely left alone as long as one of a hundredth is.
        for (const char* op : {"BM_SaveItems", "BM_LoadItems"}) {
            const std::string clock = op[3] == 'L' ? ":cpu" : "";
            const double small = t[std::string(op) + "/10000" + clock] / 10000;
            const double large = t[std::string(op) + "/100000" + clock] / 100000;
            if (small > 0 && large > 0) {
                PrintFigure(std::string("storage_") + (op[3] == 'S' ? "save" : "load") +
                                "_per_item_100k_vs_10k",
                            large / small, "<=1.3");
            }
        }
    });
    std::error_code ignored;
    fs::remove_all(WorkDir(), ignored);
    return code;
}
