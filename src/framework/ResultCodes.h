// Result codes of the program's modal dialogs and message boxes. Callers compare against
// these numbers, so they keep the values the stored settings and documents were built with.
#pragma once

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The answer of a message box: a button, carrying its stored result code.
enum class MessageResult : int {
    Ok = IDOK,
    Cancel = IDCANCEL,
    Abort = IDABORT,
    Retry = IDRETRY,
    Ignore = IDIGNORE,
    Yes = IDYES,
    No = IDNO,
};
