// A whole folder tree into a storage and back out: `add` of 20,000 files of 1 to 20 KB in 200
// folders in one call against tar piped through openssl's AES into one file, and `export`
// of that storage to a folder against the reverse pipe into tar. Each side ends with `sync`,
// so both count the time to get everything onto the disk. The tree is made once in
// build/bench-data/add-tree.
#include "BenchFigures.h"
#include "ShellRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100;
constexpr size_t kSmallest = 1000;
constexpr size_t kLargest = 20000;
const char* const kPassword = "bench pw";

using Clock = std::chrono::steady_clock;

// The fastest of `runs`, each after `prepare` (not timed); the largest peak of them.
Measured Best(const std::string& prepare, const std::string& command, int runs = 3) {
    Measured best;
    for (int i = 0; i < runs; ++i) {
        Run(prepare);
        const Measured m = Run(command);
        best.seconds = i == 0 ? m.seconds : std::min(best.seconds, m.seconds);
        best.code = std::max(best.code, m.code); // any failed run counts
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
    }
    return best;
}

// The tree, made once: random bytes, so that nothing compresses or repeats.
bool MakeTree(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir / "done", ec)) {
        return true;
    }
    std::printf("making the tree of %d files in %s (once)\n", kFolders * kFilesPerFolder,
                dir.c_str());
    std::fflush(stdout);
    fs::remove_all(dir, ec);
    std::mt19937_64 random(2026);
    std::uniform_int_distribution<size_t> sizes(kSmallest, kLargest);
    std::string bytes;
    for (int f = 0; f < kFolders; ++f) {
        const fs::path folder = dir / "tree" / ("folder" + std::to_string(f));
        fs::create_directories(folder, ec);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            bytes.resize(sizes(random));
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            const fs::path file = folder / ("file" + std::to_string(i) + ".bin");
            FILE* out = std::fopen(file.c_str(), "wb");
            if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
                std::printf("SKIP add-tree figures: %s cannot be written\n", file.c_str());
                return false;
            }
            std::fclose(out);
        }
    }
    FILE* pw = std::fopen((dir / "pw").c_str(), "w");
    std::fprintf(pw, "%s\n", kPassword);
    std::fclose(pw);
    std::fclose(std::fopen((dir / "done").c_str(), "w"));
    return true;
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

} // namespace

int main() {
    if (Run("command -v tar >/dev/null && command -v openssl >/dev/null").code != 0) {
        std::printf("SKIP add-tree figures: tar or openssl is not installed\n");
        return 0;
    }
    const fs::path dir = fs::path(OV_BINARY_DIR) / "bench-data" / "add-tree";
    if (!MakeTree(dir)) {
        return 0;
    }
    const fs::path work = dir / "work";
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work, ec);
    const std::string cli = Quote(fs::path(OV_BINARY_DIR) / "bin/ombrivault-cli") +
                            " --password-file " + Quote(dir / "pw") + " ";
    const std::string quiet = " >/dev/null 2>&1";
    const std::string openssl = "openssl enc -aes-256-cbc -pbkdf2 -pass pass:x";
    const fs::path storage = work / "tree.ovs";
    const fs::path archive = work / "tree.tar.enc";
    // The tree in the page cache, as for both sides alike.
    Run("cat " + Quote(dir / "tree") + "/*/* >/dev/null; sync");

    const Measured add =
        Best("rm -f " + Quote(storage) + " " + Quote(work / "tree.BAK") + "; sync",
             cli + "add " + Quote(storage) + " " + Quote(dir / "tree") + quiet + " && sync");
    const Measured tar = Best("rm -f " + Quote(archive) + "; sync",
                              "tar -C " + Quote(dir) + " -cf - tree | " + openssl + " > " +
                                  Quote(archive) + " && sync");
    std::printf("add of the tree %.3f s (%ld KiB peak, exit %d); tar | openssl %.3f s (exit %d)\n",
                add.seconds, add.peakKiB, add.code, tar.seconds, tar.code);
    if (add.code == 0 && tar.code == 0) {
        PrintFigure("storage_add_tree_vs_tar_openssl", add.seconds / tar.seconds, "<= 1.5");
        PrintFigure("storage_add_tree_peak_mib", add.peakKiB / 1024.0, "<= 64");
    }

    const fs::path out = work / "out";
    const fs::path untar = work / "untar";
    const Measured exported =
        Best("rm -rf " + Quote(out) + "; sync",
             cli + "export " + Quote(storage) + " tree -o " + Quote(out) + quiet + " && sync");
    const Measured untarred =
        Best("rm -rf " + Quote(untar) + "; mkdir " + Quote(untar) + "; sync",
             openssl + " -d < " + Quote(archive) + " | tar -C " + Quote(untar) + " -xf - && sync");
    const bool same = Run("diff -r " + Quote(dir / "tree") + " " + Quote(out) + quiet).code == 0;
    std::printf("export of the tree %.3f s (%ld KiB peak, exit %d, %s); openssl | tar %.3f s "
                "(exit %d)\n",
                exported.seconds, exported.peakKiB, exported.code,
                same ? "same files" : "FILES DIFFER", untarred.seconds, untarred.code);
    if (exported.code == 0 && untarred.code == 0 && same) {
        PrintFigure("storage_export_tree_vs_openssl_tar", exported.seconds / untarred.seconds,
                    "<= 1.5");
    }
    fs::remove_all(work, ec);
    return 0;
}
