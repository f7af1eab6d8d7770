#include "crypto/PasswordStrength.h"

#include <zxcvbn.h>

#include "crypto/SecretBuffer.h"

namespace {

StrengthLevel LevelFor(double bits) {
    int level = 0;
    for (double threshold : kStrengthThresholdBits) {
        if (bits >= threshold) {
            ++level;
        }
    }
    return static_cast<StrengthLevel>(level);
}

// The hint for the pattern that gives most of the password away: the longest part the
// estimator recognised as something other than random characters.
std::string FeedbackFor(const ZxcMatch_t* matches, size_t length) {
    // Random characters said twice ("xqxqxq") are a repeat too.
    auto kind = [](const ZxcMatch_t* m) {
        const int type = m->Type & ~MULTIPLE_MATCH;
        return type == BRUTE_MATCH && (m->Type & MULTIPLE_MATCH) != 0 ? REPEATS_MATCH : type;
    };
    const ZxcMatch_t* worst = nullptr;
    for (const ZxcMatch_t* m = matches; m != nullptr; m = m->Next) {
        const int type = kind(m);
        if (type == BRUTE_MATCH || type == NON_MATCH) {
            continue;
        }
        if (worst == nullptr || m->Length > worst->Length) {
            worst = m;
        }
    }
    std::string text;
    if (worst != nullptr) {
        switch (kind(worst)) {
        case DICTIONARY_MATCH:
            text = "A common word or password is easy to guess. ";
            break;
        case DICT_LEET_MATCH:
            text = "Swapping letters for look-alike digits or symbols (@ for a) does not help "
                   "much. ";
            break;
        case USER_MATCH:
        case USER_LEET_MATCH:
            text = "The account's own name or user id is easy to guess. ";
            break;
        case REPEATS_MATCH:
            text = "Repeats like \"aaa\" or \"abcabc\" are easy to guess. ";
            break;
        case SEQUENCE_MATCH:
            text = "Sequences like \"abc\" or \"6543\" are easy to guess. ";
            break;
        case SPATIAL_MATCH:
            text = "Rows and patterns of keys on the keyboard are easy to guess. ";
            break;
        case DATE_MATCH:
        case YEAR_MATCH:
            text = "Dates and years are easy to guess. ";
            break;
        default:
            break;
        }
    }
    text += length < 12 ? "Make it longer: add another word or two; uncommon words are better."
                        : "Add another word or two; uncommon words are better.";
    return text;
}

} // namespace

StrengthEstimate EstimateStrength(std::string_view password,
                                  const std::vector<std::string>& userWords) {
    StrengthEstimate estimate;
    if (password.empty()) {
        estimate.feedback = "Type a password.";
        return estimate;
    }
    // The estimator reads a C string: a NUL inside the password would end it early.
    const SecretBuffer text(password.substr(0, password.find('\0')));
    std::vector<const char*> dictionary;
    for (const std::string& word : userWords) {
        if (!word.empty()) {
            dictionary.push_back(word.c_str());
        }
    }
    dictionary.push_back(nullptr);
    ZxcMatch_t* matches = nullptr;
    estimate.entropyBits = ZxcvbnMatch(text.CStr(), dictionary.data(), &matches);
    estimate.level = LevelFor(estimate.entropyBits);
    if (estimate.level < StrengthLevel::Strong) {
        estimate.feedback = FeedbackFor(matches, text.Size());
    }
    ZxcvbnFreeInfo(matches);
    return estimate;
}

const char* StrengthWord(StrengthLevel level) {
    switch (level) {
    case StrengthLevel::VeryWeak:
        return "very weak";
    case StrengthLevel::Weak:
        return "weak";
    case StrengthLevel::Fair:
        return "fair";
    case StrengthLevel::Strong:
        return "strong";
    case StrengthLevel::VeryStrong:
        return "very strong";
    }
    return "very weak";
}
