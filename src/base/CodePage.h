// Conversion between the program's single- or double-byte "ANSI" code page, in which text is
// handled in memory, and the UTF-16LE in which documents store it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Utf.h"

class CodePage {
public:
    // `name` is an iconv encoding name such as "UTF-8", "CP1252" or "CP932".
    explicit CodePage(std::string name);

    // The code page the program works in: UTF-8 unless $OMBRIVAULT_CODEPAGE names another,
    // or SetProgram() chose one (the GUI does so from its settings).
    static std::shared_ptr<const CodePage> Program();
    // Returns false, changing nothing, when the name is not a usable code page.
    static bool SetProgram(const std::string& name);
    // True for a code page iconv knows in which every ASCII character is the same single byte
    // (UTF-8, the Windows ANSI and double-byte code pages, ISO-8859-x). UTF-16, UTF-32, UCS-2
    // and the like are refused: a password in them would end at its first NUL byte.
    static bool IsKnown(const std::string& name);

    const std::string& Name() const { return name_; }
    bool IsUtf8() const { return utf8_; }
    // Double-byte code pages whose lead bytes start a two-byte character.
    bool IsDoubleByte() const { return dbcs_; }
    bool IsLeadByte(uint8_t byte) const;

    // Undecodable bytes become U+FFFD; characters the code page lacks become '?'.
    std::u16string ToUtf16(std::string_view text) const;
    std::string FromUtf16(std::u16string_view text) const;
    std::string ToUtf8(std::string_view text) const;

    // The stored form in one pass: appends the UTF-16LE bytes of `text` to `out`, with the
    // substitutions of ToUtf16. `out` should have room reserved (twice the text's length is
    // always enough); it grows without clearing what it writes over.
    void AppendUtf16Le(std::string_view text, std::vector<uint8_t>& out) const;
    // The reverse, up to the first NUL character (the stored text is a C string): the
    // substitutions of FromUtf16, an odd last byte ignored.
    std::string FromUtf16Le(const uint8_t* data, size_t length) const;
    std::string FromUtf8(std::string_view utf8) const;

    // Reverses the text character by character: a multi-byte character moves as a unit and
    // keeps its bytes in order; an incomplete or invalid sequence is reversed byte by byte.
    std::string ReverseCharacters(std::string_view text) const;

    // Largest length not above `maxBytes` that does not split a character of `text`.
    size_t CharacterBoundaryAtMost(std::string_view text, size_t maxBytes) const;

private:
    size_t CharLengthAt(std::string_view text, size_t pos) const;

    std::string name_;
    bool utf8_ = false;
    bool dbcs_ = false;
    uint8_t leadLow1_ = 0, leadHigh1_ = 0, leadLow2_ = 0, leadHigh2_ = 0;
};
