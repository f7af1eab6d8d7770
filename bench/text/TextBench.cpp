// The text path end to end: `ombrivault-cli encrypt` and `decrypt` of a large text against
// `openssl enc -aes-256-ecb` on the same bytes, each followed by `sync`, alternating rounds in
// one run. The text is $OV_BENCH_TEXT_MIB MiB (256 by default); the files live in a folder
// beside this program, on the same disk as the build. Wall time and peak memory (maximum
// resident set of the child process) are compared.
#include "BenchFigures.h"
#include "BenchSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct RunResult {
    bool ok = false;
    double seconds = 0;
    double peakBytes = 0;
};

// Runs one command and then `sync`, timing both; the peak memory is the command's.
RunResult RunAndSync(const std::vector<std::string>& argv) {
    const auto start = std::chrono::steady_clock::now();
    RunResult result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        return result;
    }
    ::sync();
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

void WriteText(const fs::path& path, size_t bytes) {
    const std::string text = MakeProseText(bytes);
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(bytes));
}

double MinOf(const std::vector<double>& v) {
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char** argv) {
    const char* mibText = std::getenv("OV_BENCH_TEXT_MIB");
    const size_t mib = mibText != nullptr && std::atoi(mibText) > 0 ? std::atoi(mibText) : 256;
    const size_t bytes = mib << 20;
    const fs::path self = fs::canonical("/proc/self/exe").parent_path();
    const fs::path cli = self / "ombrivault-cli";
    if (!fs::exists(cli)) {
        std::printf("bench_text: %s is missing\n", cli.c_str());
        return 1;
    }
    const fs::path dir = self.parent_path() / "bench-text";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path text = dir / "text.txt", pw = dir / "pw";
    WriteText(text, bytes);
    std::ofstream(pw) << "benchmark password\n";
    const std::string key(64, 'a');
    const std::string p = dir.string() + "/";

    std::vector<double> refEnc, refDec, ourEnc, ourDec;
    double refPeak = 0, encPeak = 0, decPeak = 0;
    bool ok = true;
    for (int round = 0; round < 3 && ok; ++round) {
        const RunResult re = RunAndSync({"openssl", "enc", "-aes-256-ecb", "-K", key, "-in",
                                         text.string(), "-out", p + "ref.bin"});
        const RunResult oe = RunAndSync({cli.string(), "--password-file", pw.string(), "encrypt",
                                         text.string(), "-o", p + "doc.ovt"});
        const RunResult rd = RunAndSync({"openssl", "enc", "-d", "-aes-256-ecb", "-K", key, "-in",
                                         p + "ref.bin", "-out", p + "ref.txt"});
        const RunResult od = RunAndSync({cli.string(), "--password-file", pw.string(), "decrypt",
                                         p + "doc.ovt", "-o", p + "back.txt"});
        ok = re.ok && oe.ok && rd.ok && od.ok;
        refEnc.push_back(re.seconds);
        ourEnc.push_back(oe.seconds);
        refDec.push_back(rd.seconds);
        ourDec.push_back(od.seconds);
        refPeak = std::max({refPeak, re.peakBytes, rd.peakBytes});
        encPeak = std::max(encPeak, oe.peakBytes);
        decPeak = std::max(decPeak, od.peakBytes);
        std::printf("round %d: openssl enc %.3f s, encrypt %.3f s (%.0f MiB), openssl dec %.3f "
                    "s, decrypt %.3f s (%.0f MiB)\n",
                    round, re.seconds, oe.seconds, oe.peakBytes / 1048576.0, rd.seconds, od.seconds,
                    od.peakBytes / 1048576.0);
    }
    if (ok) {
        std::ifstream a(text, std::ios::binary), b(p + "back.txt", std::ios::binary);
        ok = std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b),
                        {});
    }
    fs::remove_all(dir);
    if (!ok) {
        std::printf("bench_text: a run failed or the text did not come back unchanged\n");
        return 1;
    }
    const double size = static_cast<double>(bytes);
    std::printf("text of %zu MiB; openssl peak memory %.1f MiB\n", mib, refPeak / 1048576.0);
    PrintFigure("text_encrypt_" + std::to_string(mib) + "mib_vs_openssl_sync",
                MinOf(ourEnc) / MinOf(refEnc), "<=3");
    PrintFigure("text_decrypt_" + std::to_string(mib) + "mib_vs_openssl_sync",
                MinOf(ourDec) / MinOf(refDec), "<=3");
    PrintFigure("text_encrypt_peak_memory_per_text_byte", encPeak / size, "<=3.5");
    PrintFigure("text_decrypt_peak_memory_per_text_byte", decPeak / size, "<=3.5");
    (void)argc;
    (void)argv;
    return 0;
}
