// Names, version and addresses the program shows about itself.
#pragma once

inline constexpr const char* kAppTitle = "Ombrivault Storage";
// Organisation name of the per-user settings.
inline constexpr const char* kRegistryKey = "Ombrivault";
inline constexpr const char* kProductWebSite = "https://ombrivault.org/";
inline constexpr const char* kVersion = "3.0.2";
inline constexpr const char* kBuildDate = "Apr  1 2008";
inline constexpr const char* kBuildTime = "10:35:13";
// Message shown when the program cannot start its interface runtime.
inline constexpr const char* kInitFailedText =
    "OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
