// The word list passphrases are drawn from: 7,776 English words, one for each throw of five
// dice, compiled into the program (see words/LICENSE for where it comes from and its terms).
#pragma once

#include <span>
#include <string_view>

// The words in list order; read from the compiled-in text on first use.
std::span<const std::string_view> PassphraseWords();
