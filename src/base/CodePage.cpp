#include "base/CodePage.h"

#include "base/Bytes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <mutex>

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// "1252" is accepted for "CP1252", as Windows names code pages by number.
std::string NormaliseName(const std::string& name) {
    std::string n = Upper(name);
    if (!n.empty() &&
        std::all_of(n.begin(), n.end(), [](unsigned char c) { return std::isdigit(c); })) {
        n = (n == "65001") ? "UTF-8" : "CP" + n;
    }
    if (n == "UTF8") {
        n = "UTF-8";
    }
    return n;
}

class Iconv {
public:
    Iconv(const std::string& to, const std::string& from)
        : handle_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (ok()) {
            iconv_close(handle_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; on an input it cannot take, calls onBad(remaining input) which
    // returns how many input bytes to skip and appends a substitute to `out`.
    template <typename Out, typename OnBad>
    void Convert(const char* in, size_t inLeft, Out& out, OnBad onBad) {
        char buffer[4096];
        while (inLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            char* src = const_cast<char*>(in);
            const size_t r = iconv(handle_, &src, &inLeft, &dst, &dstLeft);
            out.insert(out.end(), buffer, dst);
            in = src;
            if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
                const size_t skip = std::min(inLeft, onBad(in, inLeft, out));
                in += skip;
                inLeft -= skip;
            }
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(handle_, nullptr, nullptr, &dst, &dstLeft);
        out.insert(out.end(), buffer, dst);
    }

private:
    iconv_t handle_;
};

std::string FromUtf16LeThroughIconv(const std::string& page, const uint8_t* bytes, size_t length) {
    std::string out;
    out.reserve(length / 2);
    Iconv cv(page, "UTF-16LE");
    if (!cv.ok()) {
        for (size_t i = 0; i + 1 < length; i += 2) {
            out.push_back(static_cast<char>(bytes[i + 1] == 0 && bytes[i] < 0x80 ? bytes[i] : '?'));
        }
        return out;
    }
    cv.Convert(reinterpret_cast<const char*>(bytes), length - length % 2, out,
               [](const char* in, size_t left, std::string& o) {
                   o.push_back('?');
                   // A surrogate pair the code page lacks is one character, one '?'.
                   if (left >= 4) {
                       const auto hi = static_cast<uint16_t>(static_cast<uint8_t>(in[0]) |
                                                             (static_cast<uint8_t>(in[1]) << 8));
                       const auto lo = static_cast<uint16_t>(static_cast<uint8_t>(in[2]) |
                                                             (static_cast<uint8_t>(in[3]) << 8));
                       if (hi >= 0xD800 && hi <= 0xDBFF && lo >= 0xDC00 && lo <= 0xDFFF) {
                           return size_t{4};
                       }
                   }
                   return size_t{2};
               });
    return out;
}

std::mutex& ProgramMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const CodePage>& ProgramSlot() {
    static std::shared_ptr<const CodePage> slot = [] {
        const char* env = std::getenv("OMBRIVAULT_CODEPAGE");
        if (env != nullptr && *env != '\0' && CodePage::IsKnown(env)) {
            return std::make_shared<const CodePage>(env);
        }
        return std::make_shared<const CodePage>("UTF-8");
    }();
    return slot;
}

} // namespace

CodePage::CodePage(std::string name) : name_(NormaliseName(name)) {
    utf8_ = name_ == "UTF-8";
    auto lead = [this](uint8_t l1, uint8_t h1, uint8_t l2, uint8_t h2) {
        dbcs_ = true;
        leadLow1_ = l1;
        leadHigh1_ = h1;
        leadLow2_ = l2;
        leadHigh2_ = h2;
    };
    if (name_ == "CP932" || name_ == "SJIS" || name_ == "SHIFT_JIS" || name_ == "WINDOWS-31J") {
        lead(0x81, 0x9F, 0xE0, 0xFC);
    } else if (name_ == "CP936" || name_ == "GBK" || name_ == "CP949" || name_ == "UHC" ||
               name_ == "CP950" || name_ == "BIG5") {
        lead(0x81, 0xFE, 0x81, 0xFE);
    }
}

std::shared_ptr<const CodePage> CodePage::Program() {
    std::lock_guard<std::mutex> lock(ProgramMutex());
    return ProgramSlot();
}

bool CodePage::SetProgram(const std::string& name) {
    if (!IsKnown(name)) {
        return false;
    }
    auto page = std::make_shared<const CodePage>(name);
    std::lock_guard<std::mutex> lock(ProgramMutex());
    ProgramSlot() = std::move(page);
    return true;
}

bool CodePage::IsKnown(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    const std::string n = NormaliseName(name);
    if (n == "UTF-8") {
        return true;
    }
    // Every ASCII character must be its own single byte, both ways: passwords and markup are
    // handled as bytes, and a NUL ends a password.
    std::string ascii;
    std::string wide;
    for (int c = 1; c < 0x80; ++c) {
        ascii.push_back(static_cast<char>(c));
        wide.push_back(static_cast<char>(c));
        wide.push_back('\0');
    }
    Iconv toWide("UTF-16LE", n);
    Iconv fromWide(n, "UTF-16LE");
    if (!toWide.ok() || !fromWide.ok()) {
        return false;
    }
    const auto bad = [](const char*, size_t, std::string& out) {
        out.push_back('\xFF');
        return size_t{1};
    };
    std::string narrowed;
    std::string widened;
    fromWide.Convert(wide.data(), wide.size(), narrowed, bad);
    toWide.Convert(ascii.data(), ascii.size(), widened, bad);
    return narrowed == ascii && widened == wide;
}

bool CodePage::IsLeadByte(uint8_t b) const {
    return dbcs_ && ((b >= leadLow1_ && b <= leadHigh1_) || (b >= leadLow2_ && b <= leadHigh2_));
}

size_t CodePage::CharLengthAt(std::string_view text, size_t pos) const {
    if (utf8_) {
        return std::max<size_t>(1, Utf8SequenceLength(text, pos, nullptr));
    }
    if (IsLeadByte(static_cast<uint8_t>(text[pos])) && pos + 1 < text.size() &&
        text[pos + 1] != '\0') {
        return 2;
    }
    return 1;
}

std::u16string CodePage::ToUtf16(std::string_view text) const {
    if (utf8_) {
        return Utf8ToUtf16(text);
    }
    Iconv cv("UTF-16LE", name_);
    std::string bytes;
    bytes.reserve(text.size() * 2);
    if (!cv.ok()) {
        // An unknown code page cannot be constructed through SetProgram; keep ASCII at least.
        for (unsigned char c : text) {
            bytes.push_back(static_cast<char>(c < 0x80 ? c : '?'));
            bytes.push_back('\0');
        }
    } else {
        cv.Convert(text.data(), text.size(), bytes, [](const char*, size_t, std::string& out) {
            out.push_back(static_cast<char>(kReplacement & 0xFF));
            out.push_back(static_cast<char>(kReplacement >> 8));
            return size_t{1};
        });
    }
    return Utf16FromLeBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string CodePage::FromUtf16(std::u16string_view text) const {
    if (utf8_) {
        return Utf16ToUtf8(text);
    }
    const std::vector<uint8_t> bytes = Utf16ToLeBytes(text);
    return FromUtf16LeThroughIconv(name_, bytes.data(), bytes.size());
}

std::string CodePage::ToUtf8(std::string_view text) const {
    if (utf8_) {
        // Well-formed UTF-8 comes back as it is; only the rest needs its bad bytes replaced.
        return FirstInvalidUtf8(text) == std::string_view::npos ? std::string(text)
                                                                : Utf16ToUtf8(Utf8ToUtf16(text));
    }
    return Utf16ToUtf8(ToUtf16(text));
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
    if (utf8_ && FirstInvalidUtf8(utf8) == std::string_view::npos) {
        return std::string(utf8);
    }
    return FromUtf16(Utf8ToUtf16(utf8));
}

std::string CodePage::ReverseCharacters(std::string_view text) const {
    std::string out(text.size(), '\0');
    size_t end = text.size();
    for (size_t pos = 0; pos < text.size();) {
        const size_t len = CharLengthAt(text, pos);
        end -= len;
        std::copy_n(text.data() + pos, len, out.data() + end);
        pos += len;
    }
    return out;
}

size_t CodePage::CharacterBoundaryAtMost(std::string_view text, size_t maxBytes) const {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t len = CharLengthAt(text, pos);
        if (pos + len > maxBytes) {
            break;
        }
        pos += len;
    }
    return pos;
}

void CodePage::AppendUtf16Le(std::string_view text, std::vector<uint8_t>& out) const {
    if (utf8_) {
        AppendUtf8AsUtf16Le(text, out);
        return;
    }
    Iconv cv("UTF-16LE", name_);
    if (!cv.ok()) {
        for (unsigned char c : text) {
            out.push_back(c < 0x80 ? c : '?');
            out.push_back(0);
        }
        return;
    }
    cv.Convert(text.data(), text.size(), out, [](const char*, size_t, std::vector<uint8_t>& o) {
        o.push_back(static_cast<uint8_t>(kReplacement & 0xFF));
        o.push_back(static_cast<uint8_t>(kReplacement >> 8));
        return size_t{1};
    });
}

std::string CodePage::FromUtf16Le(const uint8_t* data, size_t length) const {
    size_t units = length / 2;
    std::string out;
    if (utf8_) {
        // Room for the whole text at once, so it is never moved while it grows: one byte per
        // ASCII unit, two or three for the others (a surrogate pair is counted high).
        size_t room = 0;
        for (size_t i = 0; i < units; ++i) {
            const unsigned unit = data[2 * i] | (data[2 * i + 1] << 8);
            room += 1 + (unit >= 0x80) + (unit >= 0x800);
        }
        out.reserve(room);
        AppendUtf16LeAsUtf8(data, units, out);
        return out;
    }
    for (size_t i = 0; i < units; ++i) {
        if (data[2 * i] == 0 && data[2 * i + 1] == 0) {
            units = i;
            break;
        }
    }
    return FromUtf16LeThroughIconv(name_, data, 2 * units);
}
