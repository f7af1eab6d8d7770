// The folder shared by all users of the machine for the program's data (the screen-lock
// settings record, the browser's address history).
#pragma once

#include <string>

// $OMBRIVAULT_COMMON_APPDATA when set; else /var/lib/ombrivault when it is a writable
// folder; else $XDG_DATA_HOME/ombrivault (or ~/.local/share/ombrivault). The folder may not
// exist yet.
std::string GetCommonAppDataPath();

// Creates `path` and its missing parents (new folders readable by their owner only).
bool EnsureDirectory(const std::string& path);
