// How hard a password is to guess, from the zxcvbn estimator (libzxcvbn): it finds the
// dictionary words, keyboard rows, sequences, repeats and dates a password is made of and
// counts the guesses an attacker who knows those patterns needs. The result is put in one of
// five words and, for a weak password, a hint on what to change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class StrengthLevel { VeryWeak, Weak, Fair, Strong, VeryStrong };

struct StrengthEstimate {
    double entropyBits = 0; // log2 of the guesses the estimator expects
    StrengthLevel level = StrengthLevel::VeryWeak;
    // A sentence on what makes the password weak and what to do about it; empty for a
    // strong password.
    std::string feedback;
};

// `password` is UTF-8. `userWords` are words known to belong to the password's owner (an
// account's name or user id), counted as easy to guess.
StrengthEstimate EstimateStrength(std::string_view password,
                                  const std::vector<std::string>& userWords = {});

// "very weak", "weak", "fair", "strong", "very strong".
const char* StrengthWord(StrengthLevel level);

// The lowest number of bits of each level above "very weak", in order.
inline constexpr double kStrengthThresholdBits[] = {20, 35, 50, 70};
