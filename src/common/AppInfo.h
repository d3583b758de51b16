#pragma once

namespace tolvane {

inline constexpr char kProductName[] = "Tolvane";
inline constexpr char kVersion[] = "1.05";
// The application title: the task-bar text and the caption of every message box.
inline constexpr char kAppTitle[] = "Tolvane 1.05";

// Files kept beside the executable.
inline constexpr char kSettingsFileName[] = "Pelmo.ini";
inline constexpr char kLogFileName[] = "Pelmo.log";
inline constexpr char kDefaultListFileName[] = "Pelmo.lst";

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace tolvane
