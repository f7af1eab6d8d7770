#include "crypto/PasswordGenerator.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cmath>

namespace passgen {
namespace {

constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kSymbols = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

std::string Without(std::string_view chars, std::string_view drop) {
    std::string kept;
    for (char c : chars) {
        if (drop.find(c) == std::string_view::npos) {
            kept.push_back(c);
        }
    }
    return kept;
}

} // namespace

std::vector<std::string> CharacterClasses(const CharacterRules& rules) {
    const std::string_view drop = rules.avoidLookAlikes ? kLookAlikes : std::string_view();
    std::vector<std::string> classes;
    const std::pair<bool, std::string_view> all[] = {{rules.lower, kLower},
                                                     {rules.upper, kUpper},
                                                     {rules.digits, kDigits},
                                                     {rules.symbols, kSymbols}};
    for (const auto& [chosen, chars] : all) {
        if (chosen) {
            classes.push_back(Without(chars, drop));
        }
    }
    return classes;
}

std::string_view CheckRules(const CharacterRules& rules) {
    if (rules.length < kMinLength || rules.length > kMaxLength) {
        return "the length must be 8 to 128 characters";
    }
    const size_t classes = CharacterClasses(rules).size();
    if (classes == 0) {
        return "choose at least one kind of character";
    }
    return {};
}

std::string_view CheckRules(const PassphraseRules& rules) {
    if (rules.words < kMinWords || rules.words > kMaxWords) {
        return "a passphrase has 4 to 12 words";
    }
    if (rules.separator.size() > 32) {
        return "the separator may be at most 32 bytes";
    }
    return {};
}

bool RandomBelow(uint32_t bound, uint32_t& value) {
    if (bound == 0) {
        return false;
    }
    // The largest multiple of `bound` that fits in 32 bits: draws at or above it are thrown
    // away, so every remainder below `bound` stands for equally many draws.
    const uint64_t span = uint64_t{1} << 32;
    const uint64_t limit = span - span % bound;
    for (;;) {
        uint32_t draw = 0;
        if (RAND_bytes(reinterpret_cast<unsigned char*>(&draw), sizeof draw) != 1) {
            return false;
        }
        if (draw < limit) {
            value = draw % bound;
            return true;
        }
    }
}

bool GeneratePassword(const CharacterRules& rules, SecretBuffer& out) {
    out.Clear();
    if (!CheckRules(rules).empty()) {
        return false;
    }
    const std::vector<std::string> classes = CharacterClasses(rules);
    std::string alphabet;
    for (const std::string& chars : classes) {
        alphabet += chars;
    }
    // Drawing whole passwords until one holds every chosen class keeps all such passwords
    // equally likely (putting one of each class in fixed places would not). With 8 or more
    // characters a draw lacks a class rarely, so this ends after a try or two.
    SecretBuffer candidate;
    candidate.Reserve(static_cast<size_t>(rules.length));
    for (;;) {
        candidate.Clear();
        for (int i = 0; i < rules.length; ++i) {
            uint32_t index = 0;
            if (!RandomBelow(static_cast<uint32_t>(alphabet.size()), index)) {
                return false;
            }
            candidate.Bytes().push_back(alphabet[index]);
        }
        const bool complete =
            std::all_of(classes.begin(), classes.end(), [&](const std::string& c) {
                return candidate.View().find_first_of(c) != std::string_view::npos;
            });
        if (complete) {
            out = std::move(candidate);
            return true;
        }
    }
}

bool GeneratePassphrase(const PassphraseRules& rules, std::span<const std::string_view> words,
                        SecretBuffer& out) {
    out.Clear();
    if (!CheckRules(rules).empty() || words.empty()) {
        return false;
    }
    SecretBuffer phrase;
    phrase.Reserve(static_cast<size_t>(rules.words) * (16 + rules.separator.size()));
    for (int i = 0; i < rules.words; ++i) {
        uint32_t index = 0;
        if (!RandomBelow(static_cast<uint32_t>(words.size()), index)) {
            return false;
        }
        if (i > 0) {
            phrase.Bytes() += rules.separator;
        }
        phrase.Bytes() += words[index];
    }
    out = std::move(phrase);
    return true;
}

double PasswordEntropyBits(const CharacterRules& rules) {
    if (!CheckRules(rules).empty()) {
        return 0;
    }
    const std::vector<std::string> classes = CharacterClasses(rules);
    double alphabet = 0;
    for (const std::string& chars : classes) {
        alphabet += static_cast<double>(chars.size());
    }
    // Inclusion and exclusion over the sets of classes left out: the share of all
    // alphabet^length passwords that miss none of them.
    const size_t n = classes.size();
    double share = 0;
    for (uint32_t missing = 0; missing < (1u << n); ++missing) {
        double left = alphabet;
        int count = 0;
        for (size_t c = 0; c < n; ++c) {
            if (missing & (1u << c)) {
                left -= static_cast<double>(classes[c].size());
                ++count;
            }
        }
        const double term = std::pow(left / alphabet, rules.length);
        share += count % 2 == 0 ? term : -term;
    }
    return rules.length * std::log2(alphabet) + std::log2(share);
}

double PassphraseEntropyBits(int words, size_t listSize) {
    return listSize < 2 || words <= 0 ? 0 : words * std::log2(static_cast<double>(listSize));
}

} // namespace passgen
