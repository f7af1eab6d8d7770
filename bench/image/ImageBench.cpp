// Decoding and encoding a 24-megapixel picture: JPEG against libjpeg-turbo's own djpeg and
// cjpeg on the same file in the same run, BMP against a plain copy of the same bytes.
#include "BenchFigures.h"
#include "BenchPictures.h"

#include "image/CodecAdapter.h"
#include "image/ObjImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int kQuality = 80;

const FCObjImage& Picture() {
    static const FCObjImage picture = PhotoLikePicture(kWidth, kHeight);
    return picture;
}

FCImageTags QualityTags() {
    FCImageTags tags;
    tags.SetValue(kTagSaveQuality, std::to_string(kQuality));
    return tags;
}

const std::vector<uint8_t>& JpegFile() {
    static const std::vector<uint8_t> jpeg = [] {
        std::vector<uint8_t> out;
        EncodeImage(Jpeg, Picture(), QualityTags(), out);
        return out;
    }();
    return jpeg;
}

const std::vector<uint8_t>& BmpFile() {
    static const std::vector<uint8_t> bmp = [] {
        std::vector<uint8_t> out;
        Picture().SaveBmpToMemory(out);
        return out;
    }();
    return bmp;
}

// The same pictures on disk for the reference programs (they stay in the page cache).
struct Files {
    std::filesystem::path dir;
    std::string jpeg;
    std::string ppm;
    Files() {
        dir =
            std::filesystem::temp_directory_path() / ("ov-image-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        jpeg = (dir / "picture.jpg").string();
        ppm = (dir / "picture.ppm").string();
        std::ofstream(jpeg, std::ios::binary)
            .write(reinterpret_cast<const char*>(JpegFile().data()),
                   static_cast<std::streamsize>(JpegFile().size()));
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << kWidth << " " << kHeight << "\n255\n";
        std::vector<uint8_t> row(static_cast<size_t>(kWidth) * 3);
        for (int32_t y = 0; y < kHeight; ++y) {
            const uint8_t* p = Picture().LineAt(y);
            for (int32_t x = 0; x < kWidth; ++x) {
                row[3 * x] = p[3 * x + 2];
                row[3 * x + 1] = p[3 * x + 1];
                row[3 * x + 2] = p[3 * x];
            }
            out.write(reinterpret_cast<const char*>(row.data()),
                      static_cast<std::streamsize>(row.size()));
        }
    }
    ~Files() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

const Files& BenchFiles() {
    static const Files files;
    return files;
}

bool Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_JpegDecode(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = JpegFile();
    FCObjImage image;
    for (auto _ : state) {
        if (!image.LoadImage(jpeg.data(), jpeg.size(), Jpeg)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(image.GetMemStart());
    }
}

void BM_DjpegDecode(benchmark::State& state) {
    const std::string& path = BenchFiles().jpeg;
    for (auto _ : state) {
        if (!Run({"djpeg", "-outfile", "/dev/null", path})) {
            state.SkipWithError("djpeg did not run (install libjpeg-turbo-progs)");
            return;
        }
    }
}

void BM_JpegEncode(benchmark::State& state) {
    const FCImageTags tags = QualityTags();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (!EncodeImage(Jpeg, Picture(), tags, out)) {
            state.SkipWithError("encode failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_CjpegEncode(benchmark::State& state) {
    const std::string& path = BenchFiles().ppm;
    for (auto _ : state) {
        if (!Run({"cjpeg", "-quality", std::to_string(kQuality), "-outfile", "/dev/null", path})) {
            state.SkipWithError("cjpeg did not run (install libjpeg-turbo-progs)");
            return;
        }
    }
}

void BM_BmpRead(benchmark::State& state) {
    const std::vector<uint8_t>& bmp = BmpFile();
    FCObjImage image;
    for (auto _ : state) {
        if (!image.LoadImage(bmp.data(), bmp.size(), Bmp)) {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(image.GetMemStart());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bmp.size()));
}

void BM_BmpWrite(benchmark::State& state) {
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (!Picture().SaveBmpToMemory(out)) {
            state.SkipWithError("write failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * BmpFile().size()));
}

// The reference of both BMP figures: one copy of the file's bytes into a warm buffer.
void BM_Memcpy(benchmark::State& state) {
    const std::vector<uint8_t>& bmp = BmpFile();
    std::vector<uint8_t> target(bmp.size(), 1);
    for (auto _ : state) {
        std::memcpy(target.data(), bmp.data(), bmp.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bmp.size()));
}

BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1)->Repetitions(3);
BENCHMARK(BM_DjpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1)->Repetitions(3);
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1)->Repetitions(3);
BENCHMARK(BM_CjpegEncode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1)->Repetitions(3);
BENCHMARK(BM_BmpRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        // Within 1.2 times the reference's time: a ratio of at least 1 / 1.2.
        if (t["BM_JpegDecode"] > 0 && t["BM_DjpegDecode"] > 0) {
            PrintFigure("jpeg_decode_vs_djpeg", t["BM_DjpegDecode"] / t["BM_JpegDecode"], ">=0.83");
        }
        if (t["BM_JpegEncode"] > 0 && t["BM_CjpegEncode"] > 0) {
            PrintFigure("jpeg_encode_vs_cjpeg", t["BM_CjpegEncode"] / t["BM_JpegEncode"], ">=0.83");
        }
        if (t["BM_BmpRead"] > 0) {
            PrintFigure("bmp_read_vs_memcpy", t["BM_Memcpy"] / t["BM_BmpRead"], ">=0.5");
        }
        if (t["BM_BmpWrite"] > 0) {
            PrintFigure("bmp_write_vs_memcpy", t["BM_Memcpy"] / t["BM_BmpWrite"], ">=0.5");
        }
    });
}
