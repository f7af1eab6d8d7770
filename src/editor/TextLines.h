// Line separators of the stored text. Files are written with CR LF between lines, as the
// Windows program writes them; files from anywhere else may use LF or a lone CR, and all
// three are read as line breaks. The separators are single bytes in every code page the
// program supports, so the text is handled as code-page bytes.
#pragma once

#include <string>
#include <string_view>

// Every CR LF, lone CR and lone LF becomes LF.
std::string LinesFromStoredText(std::string_view stored);
// Every line break (CR LF, CR or LF) becomes CR LF.
std::string LinesToStoredText(std::string_view text);
