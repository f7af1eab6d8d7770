// Small helpers shared by the tests that work on real files.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

// A fresh folder under the system's temporary folder, named after the running test and
// removed with everything in it afterwards.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("ov-" + std::string(info ? info->test_suite_name() : "test") + "-" +
                 (info ? info->name() : "") + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

// What a folder holds, one sorted line per entry, hidden ones included: "dir/",
// "link -> target", "file=bytes". Links are listed, never followed.
inline std::string FolderListing(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    std::set<std::string> lines;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string rel = it->path().lexically_relative(dir).string();
        const fs::file_status status = it->symlink_status(ec);
        if (fs::is_symlink(status)) {
            lines.insert(rel + " -> " + fs::read_symlink(it->path(), ec).string());
        } else if (fs::is_directory(status)) {
            lines.insert(rel + "/");
        } else {
            lines.insert(rel + "=" + ReadFileBytes(it->path()));
        }
    }
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\n";
    }
    return out;
}

// While alive, this process cannot grow any file past `bytes`: writes beyond it come up
// short, as they would on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        if (active_) {
            ::setrlimit(RLIMIT_FSIZE, &old_);
        }
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit old_{};
    bool active_ = false;
};
