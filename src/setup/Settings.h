#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "setup/DamagedFile.h"

namespace tolvane {

// The SMB servers that Linux reaches without mounting, and how: the [Servers] section and
// the Smb keys of [Setting].
struct ServerSettings {
  static constexpr int kDefaultPort = 445;
  static constexpr int kDefaultTimeout = 5;
  // A server may take its time, but not so long that the window seems dead for good.
  static constexpr int kMaxTimeout = 300;

  // As the user named them, in the file's order, each once (ASCII case does not matter).
  std::vector<std::string> servers;
  int port = kDefaultPort;
  int timeoutSeconds = kDefaultTimeout;
  // A credentials file (username=, password=, domain=); empty for none.
  std::string credentialsFile;
  friend bool operator==(const ServerSettings&, const ServerSettings&) = default;
};

// The main window's geometry and options as the settings file keeps them, with the values
// the window has as designed.
struct WindowSettings {
  static constexpr int kDesignedLeft = 395;
  static constexpr int kDesignedClientWidth = 729;
  static constexpr int kDesignedClientHeight = 507;
  static constexpr int kDesignedSourceWidth = 361;
  static constexpr int kDesignedLogHeight = 83;
  static constexpr std::array<int, 3> kDesignedColumnWidths{200, 70, 80};

  int left = kDesignedLeft;
  int top = 0;
  // Open centred on the desktop; left and top are then not used.
  bool centred = true;
  int clientWidth = kDesignedClientWidth;
  int clientHeight = kDesignedClientHeight;
  int sourceWidth = kDesignedSourceWidth;  // pnlLeft
  int logHeight = kDesignedLogHeight;      // pnlMid
  std::array<int, 3> columnWidths = kDesignedColumnWidths;

  // As the menu items are designed; a first run without a settings file changes the first two.
  bool confirmOverWrite = false;
  bool butOldIsIgnore = false;
  bool ignoreError = false;
  bool saveLog = true;
  std::string defaultFolder;
  // A target of the same size and time as its source is left alone; off unless chosen.
  bool skipUnchanged = false;
  // How many destinations a run serves at once.
  int parallel = kDefaultParallel;
  static constexpr int kDefaultParallel = 4;
  static constexpr int kMinParallel = 1;
  static constexpr int kMaxParallel = 32;

  // The folder that stands for the shell's network folder on Linux.
  std::string networkRoot = "/net";
  // Milliseconds of pause after each copied file and each listed network item, which keeps
  // the window alive at the cost of time; 0 leaves the pause out.
  int wait = kDefaultWait;
  static constexpr int kDefaultWait = 10;
  // A longer pause would freeze the window it is meant to keep alive.
  static constexpr int kMaxWait = 1000;

  ServerSettings smb;
};

inline constexpr char kSettingsSection[] = "Setting";
inline constexpr char kServersSection[] = "Servers";
inline constexpr char kDefaultNetworkRoot[] = "/net";

// Reads the settings file over the designed values. Without a file: centred, ConfirmOverWrite
// and ButOldIsIgnore on, IgnoreError off, everything else as designed. A file that cannot be
// read as ours is set aside (reported in damaged) and taken as no file.
WindowSettings LoadSettings(FileSystem& fs, const std::string& path,
                            std::optional<DamagedFile>* damaged = nullptr);

// The lines of the settings file, in their order.
std::vector<std::string> SettingsLines(const WindowSettings& settings);

// Writes the settings file; the old file stays whole when that fails.
bool SaveSettings(FileSystem& fs, const std::string& path, const WindowSettings& settings);

// The network folder to list, read before the tree is built; "/net" when none is set.
std::string ReadNetworkRoot(FileSystem& fs, const std::string& path);
// The SMB servers and their settings, read before the tree is built; none when the file is
// missing or damaged.
ServerSettings ReadServerSettings(FileSystem& fs, const std::string& path);
// Why name cannot be a server's name (empty when it can): blank, or holding a path separator.
std::string ServerNameProblem(const std::string& name);
// Whether the two names are the same server's (ASCII case does not matter).
bool SameServerName(const std::string& a, const std::string& b);
// Whether names holds name, as the same server's.
bool HasServerName(const std::vector<std::string>& names, const std::string& name);
// The pause, read before the tree is built: 10 when none is set, held between 0 and 1000.
int ReadWait(FileSystem& fs, const std::string& path);

// A rectangle on the desktop, in pixels.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Where to put a window so that it can be seen: unchanged when it overlaps any screen,
// otherwise moved into the nearest screen (its top-left corner kept inside when it is
// larger than the screen). Unchanged when there are no screens.
ScreenRect PlaceOnScreens(const ScreenRect& window, const std::vector<ScreenRect>& screens);

}  // namespace tolvane
