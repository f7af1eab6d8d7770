// Readable, stable names for the cases of parameterised tests, so `ctest -R` can pick one.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

// `text` with every run of characters other than letters and digits turned into one '_',
// cut to a readable length; empty text becomes "empty".
inline std::string CaseName(std::string_view text) {
    std::string name;
    for (const char ch : text) {
        if (std::isalnum(static_cast<unsigned char>(ch))) {
            name += ch;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
        if (name.size() >= 48) {
            break;
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name.empty() ? "empty" : name;
}

// Names each case after one of its text fields.
template <auto Field> struct NameByField {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return CaseName(info.param.*Field);
    }
};

// Names each case by its position and one of its text fields, for tables whose texts may
// read alike once cut to letters and digits.
template <auto Field> struct NameByIndexAndField {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return std::to_string(info.index) + "_" + CaseName(info.param.*Field);
    }
};
