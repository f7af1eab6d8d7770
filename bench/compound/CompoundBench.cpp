// Many small streams in one storage, the shape of a storage document with thousands of
// items in a folder: our writer and reader against libgsf doing the same in the same run,
// and our per-stream cost at 100,000 streams against 10,000.
#include "BenchFigures.h"

#include "compound/CompoundFile.h"

#include <gsf/gsf.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCompare = 20000;
constexpr int kSmall = 10000;
constexpr int kLarge = 100000;

std::string Name(const char* what, int count) {
    return std::string(what) + "_" + std::to_string(count);
}

// Files go to memory-backed /dev/shm when there is one, so that the disk's write-back of
// earlier runs does not land in later ones; both libraries write to the same place.
const std::string& Folder() {
    static const std::string folder = [] {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "ov-bench-XXXXXX").string();
        return std::string(::mkdtemp(pattern.data()));
    }();
    return folder;
}

std::string FileFor(const char* who, int count) {
    return Folder() + "/" + Name(who, count) + ".cfb";
}

// Stream i: the size of an encrypted storage item (a header and a little data), 304 to
// about 1,300 bytes, with recognisable content.
std::vector<uint8_t> Item(int i) {
    std::vector<uint8_t> bytes(304 + static_cast<size_t>(i % 64) * 16);
    for (size_t k = 0; k < bytes.size(); ++k) {
        bytes[k] = static_cast<uint8_t>(i * 31 + k);
    }
    return bytes;
}

const std::vector<std::vector<uint8_t>>& Items() {
    static const std::vector<std::vector<uint8_t>> items = [] {
        std::vector<std::vector<uint8_t>> all;
        for (int i = 0; i < kLarge; ++i) {
            all.push_back(Item(i));
        }
        return all;
    }();
    return items;
}

bool WriteOurs(const std::string& file, int count) {
    CompoundWriter writer;
    CompoundWriteOptions options;
    options.sync = false; // libgsf does not sync either
    if (writer.Create(file, options) != CompoundResult::Ok) {
        return false;
    }
    uint32_t folder = 0;
    writer.CreateStorage(CompoundWriter::kRoot, "0", &folder);
    for (int i = 0; i < count; ++i) {
        const auto& item = Items()[static_cast<size_t>(i)];
        if (writer.WriteStream(folder, std::to_string(i + 1), item.data(), item.size()) !=
            CompoundResult::Ok) {
            return false;
        }
    }
    return writer.Commit() == CompoundResult::Ok;
}

bool ReadOurs(const std::string& file, int count) {
    CompoundReader reader;
    if (reader.Open(file) != CompoundResult::Ok) {
        return false;
    }
    std::vector<CompoundEntry> top;
    std::vector<CompoundEntry> entries;
    reader.List(CompoundReader::kRoot, top);
    if (top.size() != 1 || reader.List(top[0].id, entries) != CompoundResult::Ok) {
        return false;
    }
    std::vector<uint8_t> bytes;
    size_t total = 0;
    for (const CompoundEntry& e : entries) {
        if (reader.ReadStream(e.id, bytes) != CompoundResult::Ok) {
            return false;
        }
        total += bytes.size();
    }
    benchmark::DoNotOptimize(total);
    return entries.size() == static_cast<size_t>(count);
}

bool WriteGsf(const std::string& file, int count) {
    GsfOutput* sink = gsf_output_stdio_new(file.c_str(), nullptr);
    if (sink == nullptr) {
        return false;
    }
    GsfOutfile* root = gsf_outfile_msole_new(sink);
    g_object_unref(sink);
    GsfOutput* folder = gsf_outfile_new_child(root, "0", TRUE);
    for (int i = 0; i < count; ++i) {
        const auto& item = Items()[static_cast<size_t>(i)];
        GsfOutput* stream =
            gsf_outfile_new_child(GSF_OUTFILE(folder), std::to_string(i + 1).c_str(), FALSE);
        gsf_output_write(stream, item.size(), item.data());
        gsf_output_close(stream);
        g_object_unref(stream);
    }
    gsf_output_close(folder);
    g_object_unref(folder);
    const bool ok = gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
    return ok;
}

bool ReadGsf(const std::string& file, int count) {
    GsfInput* input = gsf_input_stdio_new(file.c_str(), nullptr);
    if (input == nullptr) {
        return false;
    }
    GsfInfile* root = gsf_infile_msole_new(input, nullptr);
    g_object_unref(input);
    if (root == nullptr) {
        return false;
    }
    GsfInput* folder = gsf_infile_child_by_index(root, 0);
    const int n = gsf_infile_num_children(GSF_INFILE(folder));
    std::vector<uint8_t> bytes;
    size_t total = 0;
    for (int i = 0; i < n; ++i) {
        GsfInput* stream = gsf_infile_child_by_index(GSF_INFILE(folder), i);
        bytes.resize(static_cast<size_t>(gsf_input_size(stream)));
        gsf_input_read(stream, bytes.size(), bytes.data());
        total += bytes.size();
        g_object_unref(stream);
    }
    g_object_unref(folder);
    g_object_unref(root);
    benchmark::DoNotOptimize(total);
    return n == count;
}

// The figures compare processor time (user and system) of the working thread: on a machine
// shared with other work, wall time mostly measures how often the run was descheduled.
// Writing to and reading from the page cache is system time and counts.
double ThreadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

using Job = bool (*)(const std::string&, int);

void Register(const char* name, const char* who, Job job, Job prepare, int count) {
    benchmark::RegisterBenchmark(Name(name, count).c_str(),
                                 [=](benchmark::State& state) {
                                     const std::string file = FileFor(who, count);
                                     Items();
                                     if (prepare != nullptr && !std::filesystem::exists(file) &&
                                         !prepare(file, count)) {
                                         state.SkipWithError("could not write the file to read");
                                         return;
                                     }
                                     for (auto _ : state) {
                                         const double start = ThreadCpuSeconds();
                                         if (!job(file, count)) {
                                             state.SkipWithError("failed");
                                             return;
                                         }
                                         state.SetIterationTime(ThreadCpuSeconds() - start);
                                     }
                                     state.SetItemsProcessed(state.iterations() * count);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(false);
}

} // namespace

int main(int argc, char** argv) {
    Register("BM_OursWrite", "ours", WriteOurs, nullptr, kCompare);
    Register("BM_GsfWrite", "gsf", WriteGsf, nullptr, kCompare);
    Register("BM_OursRead", "ours", ReadOurs, WriteOurs, kCompare);
    Register("BM_GsfRead", "gsf", ReadGsf, WriteGsf, kCompare);
    for (const int count : {kSmall, kLarge}) {
        Register("BM_OursWrite", "ours", WriteOurs, nullptr, count);
        Register("BM_OursRead", "ours", ReadOurs, WriteOurs, count);
    }
    const int rc = RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        auto ratio = [&](const std::string& slow, const std::string& fast) {
            return t[fast] > 0 ? t[slow] / t[fast] : 0.0;
        };
        PrintFigure("compound_write_20k_streams_vs_libgsf",
                    ratio(Name("BM_GsfWrite", kCompare), Name("BM_OursWrite", kCompare)), ">=20");
        PrintFigure("compound_read_20k_streams_vs_libgsf",
                    ratio(Name("BM_GsfRead", kCompare), Name("BM_OursRead", kCompare)), ">=20");
        const double scale = double(kSmall) / kLarge;
        PrintFigure("compound_write_per_stream_100k_vs_10k",
                    ratio(Name("BM_OursWrite", kLarge), Name("BM_OursWrite", kSmall)) * scale,
                    "<=1.3");
        PrintFigure("compound_read_per_stream_100k_vs_10k",
                    ratio(Name("BM_OursRead", kLarge), Name("BM_OursRead", kSmall)) * scale,
                    "<=1.3");
    });
    std::filesystem::remove_all(Folder());
    return rc;
}
