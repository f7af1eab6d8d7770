// Per-picture metadata carried between codecs: (key, text) pairs in insertion order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Keys with a meaning of their own; any other key is a metadata tag number.
inline constexpr int32_t kTagSaveQuality = 500;
inline constexpr int32_t kTagTgaCompression = 1000;
inline constexpr int32_t kTagFrameDelays = 2000;
inline constexpr int32_t kTagJpegQuality = 0x5010;

class FCImageTags {
public:
    // The value of `key`, or an empty text when it is absent.
    std::string GetValue(int32_t key) const {
        for (const auto& [k, v] : entries_) {
            if (k == key) {
                return v;
            }
        }
        return {};
    }
    bool Has(int32_t key) const {
        for (const auto& entry : entries_) {
            if (entry.first == key) {
                return true;
            }
        }
        return false;
    }
    // Replaces the value of an existing key, else appends the pair.
    void SetValue(int32_t key, std::string value) {
        for (auto& [k, v] : entries_) {
            if (k == key) {
                v = std::move(value);
                return;
            }
        }
        entries_.emplace_back(key, std::move(value));
    }
    // Adds text to the end of a key's value (creating the key when absent).
    void AppendValue(int32_t key, const std::string& more) {
        for (auto& [k, v] : entries_) {
            if (k == key) {
                v += more;
                return;
            }
        }
        entries_.emplace_back(key, more);
    }
    const std::vector<std::pair<int32_t, std::string>>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }
    void Clear() { entries_.clear(); }

private:
    std::vector<std::pair<int32_t, std::string>> entries_;
};
