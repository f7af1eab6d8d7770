// Storages larger than memory: `ls` of 400 items totalling 8 GiB against 400 items of 1 KiB,
// a save after one rename and an `add` of 1 MiB against `cp` of the file, and the export of a
// 2 GiB item against decrypting and writing the same bytes. The storages are made once in
// build/bench-data/large-storage (skipped, with a message, when less than 20 GB is free).
#include "BenchFigures.h"
#include "ShellRun.h"
#include "storage/StorageAdd.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kItems = 400;
constexpr uint64_t kBigTotal = uint64_t{8} << 30;
constexpr uint64_t kTinyItem = 1024;
constexpr uint64_t kOneItem = (uint64_t{2} << 30) - (uint64_t{1} << 20);
constexpr uint64_t kFreeNeeded = uint64_t{20} * 1000 * 1000 * 1000;
const char* const kPassword = "bench pw";

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The time to make a file durable: a save and add end with their file on disk, cp does not.
double FsyncSeconds(const fs::path& path) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    ::fsync(fd);
    ::close(fd);
    return Since(start);
}

// Runs a command with its last program exec'ed in place of the shell.
Measured RunExec(const std::string& command) {
    return Run("exec " + command);
}

Measured Best(const std::string& command, int runs = 3) {
    Measured best;
    for (int i = 0; i < runs; ++i) {
        const Measured m = RunExec(command);
        if (i == 0 || m.seconds < best.seconds) {
            best.seconds = m.seconds;
            best.code = m.code;
        }
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
    }
    return best;
}

// A storage of `count` file items of `size` bytes each, read from a sparse file of zeros.
bool MakeStorage(const fs::path& dir, const std::string& name, int count, uint64_t size) {
    const fs::path zeros = dir / "zeros";
    const int fd = ::open(zeros.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        return false;
    }
    ::close(fd);
    StorageItemTable table;
    StorageTree tree;
    for (int i = 0; i < count; ++i) {
        int error = 0;
        auto item = MakeItemFromOpenFile("item" + std::to_string(i) + ".bin",
                                         ::open(zeros.c_str(), O_RDONLY | O_CLOEXEC), size, error);
        if (item == nullptr) {
            return false;
        }
        tree.push_back({table.Add(std::move(item)), kRootParent});
    }
    const bool ok = SaveStorage((dir / (name + ".tmp")).string(), kPassword, table, tree).ok;
    std::error_code ec;
    fs::remove(zeros, ec);
    fs::rename(dir / (name + ".tmp"), dir / name, ec);
    return ok && !ec;
}

// The storages, made once.
bool MakeData(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir / "done", ec)) {
        return true;
    }
    fs::create_directories(dir, ec);
    struct statvfs st {};
    if (::statvfs(dir.c_str(), &st) != 0 ||
        static_cast<uint64_t>(st.f_bavail) * st.f_frsize < kFreeNeeded) {
        std::printf("SKIP large storage figures: less than 20 GB free in %s\n", dir.c_str());
        return false;
    }
    std::printf("making the large storages in %s (once)\n", dir.c_str());
    std::fflush(stdout);
    if (!MakeStorage(dir, "big.ovs", kItems, kBigTotal / kItems) ||
        !MakeStorage(dir, "tiny.ovs", kItems, kTinyItem) ||
        !MakeStorage(dir, "one.ovs", 1, kOneItem)) {
        std::printf("SKIP large storage figures: the storages could not be made\n");
        return false;
    }
    FILE* pw = std::fopen((dir / "pw").c_str(), "w");
    std::fprintf(pw, "%s\n", kPassword);
    std::fclose(pw);
    std::fclose(std::fopen((dir / "done").c_str(), "w"));
    return true;
}

// Reads `size` bytes of `file` in pieces, decrypts them with AES and writes them to `out`:
// what an export cannot do with less work.
double RawDecryptAndWrite(const fs::path& file, const fs::path& out, uint64_t size) {
    const auto start = Clock::now();
    const int in = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const int to = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<uint8_t> piece(size_t{2} << 20);
    uint8_t key[32] = {1};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_DecryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (uint64_t at = 0; at < size; at += piece.size()) {
        const auto n = static_cast<size_t>(std::min<uint64_t>(piece.size(), size - at));
        if (::pread(in, piece.data(), n, static_cast<off_t>(at + 4096)) !=
            static_cast<ssize_t>(n)) {
            break;
        }
        int written = 0;
        EVP_DecryptUpdate(ctx, piece.data(), &written, piece.data(), static_cast<int>(n));
        if (::write(to, piece.data(), n) != static_cast<ssize_t>(n)) {
            break;
        }
    }
    EVP_CIPHER_CTX_free(ctx);
    ::close(in);
    ::close(to);
    return Since(start);
}

} // namespace

int main() {
    const fs::path dir = fs::path(OV_BINARY_DIR) / "bench-data" / "large-storage";
    if (!MakeData(dir)) {
        return 0;
    }
    const fs::path work = dir / "work";
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work, ec);
    const std::string cli = "'" + std::string(OV_BINARY_DIR) +
                            "/bin/ombrivault-cli' --password-file '" + (dir / "pw").string() + "' ";
    const std::string quiet = " >/dev/null 2>&1";

    // ls: the headers only.
    const Measured lsBig = Best(cli + "ls '" + (dir / "big.ovs").string() + "'" + quiet);
    const Measured lsTiny = Best(cli + "ls '" + (dir / "tiny.ovs").string() + "'" + quiet);
    std::printf("ls: 8 GiB %.3f s (%ld KiB peak), 400 KiB %.3f s\n", lsBig.seconds, lsBig.peakKiB,
                lsTiny.seconds);
    PrintFigure("storage_ls_8gib_vs_tiny", lsBig.seconds / lsTiny.seconds, "<= 2");
    PrintFigure("storage_ls_8gib_peak_mib", lsBig.peakKiB / 1024.0, "<= 64");

    // A save after one rename, against cp of the file (its cache warmed by the first cp).
    const std::string big = (dir / "big.ovs").string();
    RunExec("cp '" + big + "' '" + (work / "warm.ovs").string() + "'");
    fs::remove(work / "warm.ovs", ec);
    const Measured cp = RunExec("cp '" + big + "' '" + (work / "cp.ovs").string() + "'");
    const double cpSync = FsyncSeconds(work / "cp.ovs");
    fs::remove(work / "cp.ovs", ec);
    double save = 0;
    {
        auto file = std::make_shared<CompoundReader>();
        StorageItemTable table;
        StorageTree tree;
        if (OpenStorageFile(big, *file, CompoundLock::None) == CompoundResult::Ok) {
            ReadStorage(file, kPassword, table, tree);
            table.Update(tree.front().item, [](StorageItem& item) { item.name = "renamed.bin"; });
            const auto start = Clock::now();
            const bool ok = SaveStorage((work / "saved.ovs").string(), kPassword, table, tree).ok;
            save = ok ? Since(start) : 0;
        }
        fs::remove(work / "saved.ovs", ec);
    }
    std::printf("save after a rename %.3f s, cp %.3f s, and its fsync %.3f s more (the save "
                "syncs its file; cp does not)\n",
                save, cp.seconds, cpSync);
    PrintFigure("storage_save_renamed_vs_cp", save / cp.seconds, "<= 1.2");

    // add of 1 MiB to a copy of the 8 GiB storage, against that copy's cp.
    const Measured cpAdd = RunExec("cp '" + big + "' '" + (work / "add.ovs").string() + "'");
    const double cpAddSync = FsyncSeconds(work / "add.ovs");
    {
        FILE* one = std::fopen((work / "one.bin").c_str(), "w");
        std::vector<char> bytes(size_t{1} << 20, 'x');
        std::fwrite(bytes.data(), 1, bytes.size(), one);
        std::fclose(one);
    }
    const Measured add = RunExec(cli + "add '" + (work / "add.ovs").string() + "' '" +
                                 (work / "one.bin").string() + "'" + quiet);
    fs::remove(work / "add.ovs", ec);
    fs::remove(work / "add.BAK", ec);
    std::printf("add 1 MiB %.3f s (exit %d), cp %.3f s, and its fsync %.3f s more\n", add.seconds,
                add.code, cpAdd.seconds, cpAddSync);
    PrintFigure("storage_add_1mib_vs_cp", add.seconds / cpAdd.seconds, "<= 1.2");
    std::printf("add 1 MiB against cp and fsync: %.3f\n",
                add.seconds / (cpAdd.seconds + cpAddSync));

    // Export of one 2 GiB item against decrypting and writing as many bytes.
    const fs::path one = dir / "one.ovs";
    RunExec("cat '" + one.string() + "' >/dev/null");
    const Measured exported = RunExec(cli + "export '" + one.string() + "' item0.bin -o '" +
                                      (work / "out.bin").string() + "'" + quiet);
    fs::remove(work / "out.bin", ec);
    const double raw = RawDecryptAndWrite(one, work / "raw.bin", kOneItem);
    fs::remove(work / "raw.bin", ec);
    std::printf("export 2 GiB %.3f s (%ld KiB peak, exit %d), AES and write %.3f s\n",
                exported.seconds, exported.peakKiB, exported.code, raw);
    PrintFigure("storage_export_2gib_vs_aes_write", exported.seconds / raw, "<= 1.3");
    PrintFigure("storage_export_2gib_peak_mib", exported.peakKiB / 1024.0, "<= 64");
    fs::remove_all(work, ec);
    return 0;
}
