// New passwords and passphrases drawn from the cipher library's random source, and how many
// bits of entropy each kind carries. Every draw is uniform: a random number is only ever
// reduced to a range when that cannot favour part of the range.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/SecretBuffer.h"

namespace passgen {

inline constexpr int kMinLength = 8;
inline constexpr int kMaxLength = 128;
inline constexpr int kDefaultLength = 20;
inline constexpr int kMinWords = 4;
inline constexpr int kMaxWords = 12;
inline constexpr int kDefaultWords = 6;

// Characters that are easily taken for one another on screen or paper.
inline constexpr std::string_view kLookAlikes = "Il1|O0o";

struct CharacterRules {
    int length = kDefaultLength;
    bool lower = true;
    bool upper = true;
    bool digits = true;
    bool symbols = true;
    bool avoidLookAlikes = false;
};

struct PassphraseRules {
    int words = kDefaultWords;
    std::string separator = "-";
};

// The characters of each class the rules choose (lower, upper, digits, symbols in that order),
// look-alikes left out when asked. Empty when no class is chosen.
std::vector<std::string> CharacterClasses(const CharacterRules& rules);

// Why the rules cannot make a password, or an empty view when they can.
std::string_view CheckRules(const CharacterRules& rules);
std::string_view CheckRules(const PassphraseRules& rules);

// A number in [0, bound) from RAND_bytes, every value equally likely (rejection sampling).
// False when the random source fails; `bound` must be at least 1.
bool RandomBelow(uint32_t bound, uint32_t& value);

// A password of rules.length characters with at least one of each chosen class; every such
// password is equally likely. False (and `out` empty) when the rules are invalid or the
// random source fails.
bool GeneratePassword(const CharacterRules& rules, SecretBuffer& out);
// rules.words words of `words` joined by the separator, each drawn independently.
bool GeneratePassphrase(const PassphraseRules& rules, std::span<const std::string_view> words,
                        SecretBuffer& out);

// The entropy of a password the rules make: log2 of the number of passwords that hold one
// character of each chosen class at least. 0 for invalid rules.
double PasswordEntropyBits(const CharacterRules& rules);
// words * log2(listSize).
double PassphraseEntropyBits(int words, size_t listSize);

} // namespace passgen
