#include "CompoundLayouts.h"

#include <gsf/gsf.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sys/wait.h>

namespace {

struct Sha1 {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    Sha1() { EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr); }
    ~Sha1() { EVP_MD_CTX_free(ctx); }
    void Update(const uint8_t* data, size_t size) { EVP_DigestUpdate(ctx, data, size); }
    std::string Hex() {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        EVP_DigestFinal_ex(ctx, md, &len);
        std::string out;
        char buf[3];
        for (unsigned i = 0; i < len; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", md[i]);
            out += buf;
        }
        return out;
    }
};

std::string StreamLine(const std::string& path, uint64_t size, const std::string& sha) {
    return path + "\tstream\t" + std::to_string(size) + "\t" + sha;
}
std::string StorageLine(const std::string& path) {
    return path + "\tstorage\t0\t-";
}

std::string Parent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string Leaf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void FillContent(const std::string& path, uint64_t offset, uint8_t* out, size_t size) {
    uint64_t seed = 1469598103934665603ull;
    for (const char c : path) {
        seed = (seed ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    }
    // Byte i of the content is byte (i % 8) of word i / 8, so any slice can be produced.
    auto word = [seed](uint64_t index) {
        const uint64_t x = (index + 1) * 0x9E3779B97F4A7C15ull ^ seed;
        return x ^ (x >> 29) ^ (x << 7);
    };
    size_t i = 0;
    while (i < size && (offset + i) % 8 != 0) {
        out[i] = static_cast<uint8_t>(word((offset + i) / 8) >> (8 * ((offset + i) % 8)));
        ++i;
    }
    for (; i + 8 <= size; i += 8) {
        const uint64_t w = word((offset + i) / 8);
        std::memcpy(out + i, &w, 8); // little-endian machines only, like the tests' hosts
    }
    for (; i < size; ++i) {
        out[i] = static_cast<uint8_t>(word((offset + i) / 8) >> (8 * ((offset + i) % 8)));
    }
}

std::vector<uint8_t> Content(const LayoutElement& element) {
    std::vector<uint8_t> bytes(element.size);
    FillContent(element.path, 0, bytes.data(), bytes.size());
    return bytes;
}

std::vector<std::string> Describe(const Layout& layout) {
    std::vector<std::string> lines;
    std::vector<uint8_t> chunk(size_t{1} << 24);
    for (const LayoutElement& e : layout) {
        if (e.storage) {
            lines.push_back(StorageLine(e.path));
            continue;
        }
        Sha1 sha;
        for (uint64_t pos = 0; pos < e.size; pos += chunk.size()) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), e.size - pos));
            FillContent(e.path, pos, chunk.data(), n);
            sha.Update(chunk.data(), n);
        }
        lines.push_back(StreamLine(e.path, e.size, sha.Hex()));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

CompoundResult WriteOurs(const std::string& file, const Layout& layout,
                         const CompoundWriteOptions& options) {
    CompoundWriter writer;
    CompoundResult r = writer.Create(file, options);
    std::map<std::string, uint32_t> ids{{"", CompoundWriter::kRoot}};
    for (const LayoutElement& e : layout) {
        if (r != CompoundResult::Ok) {
            return r;
        }
        const uint32_t parent = ids.at(Parent(e.path));
        if (e.storage) {
            r = writer.CreateStorage(parent, Leaf(e.path), &ids[e.path]);
        } else {
            const std::vector<uint8_t> bytes = Content(e);
            r = writer.WriteStream(parent, Leaf(e.path), bytes.data(), bytes.size());
        }
    }
    return r == CompoundResult::Ok ? writer.Commit() : r;
}

std::vector<std::string> ReadOurs(const std::string& file) {
    CompoundReader reader;
    const CompoundResult r = reader.Open(file);
    if (r != CompoundResult::Ok) {
        return {std::string("ERROR open ") + CompoundResultName(r)};
    }
    std::vector<std::string> lines;
    std::vector<std::pair<uint32_t, std::string>> storages{{CompoundReader::kRoot, ""}};
    std::vector<CompoundEntry> entries;
    std::vector<uint8_t> bytes;
    while (!storages.empty()) {
        const auto [id, path] = storages.back();
        storages.pop_back();
        reader.List(id, entries);
        for (const CompoundEntry& e : entries) {
            const std::string child = path.empty() ? e.name : path + "/" + e.name;
            if (e.IsStorage()) {
                lines.push_back(StorageLine(child));
                storages.emplace_back(e.id, child);
                continue;
            }
            const CompoundResult rr = reader.ReadStream(e.id, bytes);
            if (rr != CompoundResult::Ok) {
                lines.push_back("ERROR " + child + " " + CompoundResultName(rr));
                continue;
            }
            Sha1 sha;
            sha.Update(bytes.data(), bytes.size());
            lines.push_back(StreamLine(child, e.size, sha.Hex()));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool WriteGsf(const std::string& file, const Layout& layout, bool bigSectors) {
    GError* error = nullptr;
    GsfOutput* sink = gsf_output_stdio_new(file.c_str(), &error);
    if (sink == nullptr) {
        g_clear_error(&error);
        return false;
    }
    GsfOutfile* root =
        bigSectors ? gsf_outfile_msole_new_full(sink, 4096, 64) : gsf_outfile_msole_new(sink);
    g_object_unref(sink);
    std::map<std::string, GsfOutfile*> dirs{{"", root}};
    bool ok = true;
    // libgsf writes a storage when it is closed, so close children before their parents.
    std::vector<GsfOutput*> open;
    for (const LayoutElement& e : layout) {
        GsfOutput* child =
            gsf_outfile_new_child(dirs.at(Parent(e.path)), Leaf(e.path).c_str(), e.storage);
        if (e.storage) {
            dirs[e.path] = GSF_OUTFILE(child);
            open.push_back(child);
            continue;
        }
        std::vector<uint8_t> chunk(size_t{1} << 24);
        for (uint64_t pos = 0; pos < e.size && ok; pos += chunk.size()) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), e.size - pos));
            FillContent(e.path, pos, chunk.data(), n);
            ok = gsf_output_write(child, n, chunk.data());
        }
        ok = gsf_output_close(child) && ok;
        g_object_unref(child);
    }
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        ok = gsf_output_close(*it) && ok;
        g_object_unref(*it);
    }
    ok = gsf_output_close(GSF_OUTPUT(root)) && ok;
    g_object_unref(root);
    return ok;
}

std::vector<std::string> ReadGsf(const std::string& file) {
    GError* error = nullptr;
    GsfInput* input = gsf_input_stdio_new(file.c_str(), &error);
    if (input == nullptr) {
        g_clear_error(&error);
        return {"ERROR gsf cannot open"};
    }
    GsfInfile* root = gsf_infile_msole_new(input, &error);
    g_object_unref(input);
    if (root == nullptr) {
        std::string message = error ? error->message : "?";
        g_clear_error(&error);
        return {"ERROR gsf " + message};
    }
    std::vector<std::string> lines;
    std::vector<std::pair<GsfInfile*, std::string>> dirs{{root, ""}};
    while (!dirs.empty()) {
        auto [dir, path] = dirs.back();
        dirs.pop_back();
        const int n = gsf_infile_num_children(dir);
        for (int i = 0; i < n; ++i) {
            GsfInput* child = gsf_infile_child_by_index(dir, i);
            const std::string name = gsf_infile_name_by_index(dir, i);
            const std::string childPath = path.empty() ? name : path + "/" + name;
            if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
                lines.push_back(StorageLine(childPath));
                dirs.emplace_back(GSF_INFILE(child), childPath);
                continue;
            }
            Sha1 sha;
            const auto size = static_cast<uint64_t>(gsf_input_size(child));
            uint64_t left = size;
            while (left > 0) {
                const size_t step = static_cast<size_t>(std::min<uint64_t>(left, 1 << 20));
                const guint8* data = gsf_input_read(child, step, nullptr);
                if (data == nullptr) {
                    lines.push_back("ERROR gsf read " + childPath);
                    break;
                }
                sha.Update(data, step);
                left -= step;
            }
            lines.push_back(StreamLine(childPath, size, sha.Hex()));
            g_object_unref(child);
        }
        g_object_unref(dir);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> ReadOlefile(const std::string& file) {
    const std::string command =
        std::string(OV_PYTHON) + " " + OV_OLEFILE_ORACLE + " '" + file + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {"ERROR cannot start olefile"};
    }
    std::vector<std::string> lines;
    std::string line;
    std::array<char, 4096> buf{};
    while (std::fgets(buf.data(), buf.size(), pipe) != nullptr) {
        line += buf.data();
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            lines.push_back(line);
            line.clear();
        }
    }
    const int status = ::pclose(pipe);
    if (status != 0) {
        lines.insert(lines.begin(), "ERROR olefile exit " + std::to_string(status));
    }
    return lines;
}

Layout MixedLayout() {
    Layout layout;
    for (const uint64_t size : {0, 1, 63, 64, 4095, 4096, 4097, 70000}) {
        layout.push_back({"s" + std::to_string(size), false, size});
    }
    layout.push_back({"BBC3709EB40C.INF", false, 272});
    layout.push_back({"empty", true, 0});
    layout.push_back({"Folder", true, 0});
    layout.push_back({"Folder/0", false, 304});
    layout.push_back({"Folder/1", false, 5000});
    layout.push_back({"Folder/inner", true, 0});
    layout.push_back({"Folder/inner/x", false, 4096});
    layout.push_back({"Folder/inner/deeper", true, 0});
    layout.push_back({"Folder/inner/deeper/y", false, 1});
    for (int i = 0; i < 300; ++i) {
        layout.push_back({"Folder/" + std::to_string(i + 2), false, uint64_t(i * 37 % 600)});
    }
    return layout;
}
