// Names, version and addresses the program shows about itself.
#pragma once

#include "ProductVersion.h"

inline constexpr const char* kAppTitle = "Ombrivault Storage";
// Organisation name of the per-user settings.
inline constexpr const char* kRegistryKey = "Ombrivault";
inline constexpr const char* kProductWebSite = "https://ombrivault.org/";
// The program's id on the desktop: the name of its launcher entry (without ".desktop") and of
// its AppStream metadata, so the window system can match the window to the launcher.
inline constexpr const char* kDesktopId = "org.ombrivault.Ombrivault";
inline constexpr const char* kVersion = kProductVersion;
inline constexpr const char* kBuildDate = "Apr  1 2008";
inline constexpr const char* kBuildTime = "10:35:13";
// Message shown when the program cannot start its interface runtime.
inline constexpr const char* kInitFailedText =
    "OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
