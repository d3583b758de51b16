#include "setup/Settings.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/Profile.h"
#include "platform/TextFile.h"

namespace tolvane {
namespace {

std::string ColumnKey(std::size_t i) { return "Column" + std::to_string(i) + "Width"; }

void SetIfNotZero(const Profile& profile, const char* key, int& value) {
  if (const int stored = profile.GetInt(kSettingsSection, key); stored != 0) value = stored;
}

std::string Flag(bool on) { return on ? "1" : "0"; }

// How far apart two spans are along one axis; 0 when they overlap.
std::int64_t Gap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength) {
  if (a + aLength <= b) return b - (a + aLength);
  if (b + bLength <= a) return a - (b + bLength);
  return 0;
}

bool Overlaps(const ScreenRect& a, const ScreenRect& b) {
  return std::int64_t{a.left} < std::int64_t{b.left} + b.width &&
         std::int64_t{b.left} < std::int64_t{a.left} + a.width &&
         std::int64_t{a.top} < std::int64_t{b.top} + b.height &&
         std::int64_t{b.top} < std::int64_t{a.top} + a.height;
}

int ClampInto(int position, int length, int start, int span) {
  const std::int64_t last = std::int64_t{start} + span - length;
  return static_cast<int>(std::max<std::int64_t>(start, std::min<std::int64_t>(position, last)));
}

int WaitOf(const Profile& profile) {
  const int wait = profile.GetInt(kSettingsSection, "Wait", WindowSettings::kDefaultWait);
  return std::clamp(wait, 0, WindowSettings::kMaxWait);
}

// Leniently: no number at all is the default, a number out of range is held to the nearest end.
// Leading digits count, as for every other number of the file.
int ParallelOf(const Profile& profile) {
  const std::string text = profile.GetString(kSettingsSection, "Parallel");
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return WindowSettings::kDefaultParallel;
  const bool negative = text[i] == '-';
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return WindowSettings::kDefaultParallel;
  if (negative) return WindowSettings::kMinParallel;
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Once past the top, more digits only make it larger.
    if (value <= WindowSettings::kMaxParallel) value = value * 10 + (text[i] - '0');
  }
  return std::clamp(value, WindowSettings::kMinParallel, WindowSettings::kMaxParallel);
}

ServerSettings ServersOf(const Profile& profile) {
  ServerSettings smb;
  const int port = profile.GetInt(kSettingsSection, "SmbPort", ServerSettings::kDefaultPort);
  if (port > 0 && port <= 65535) smb.port = port;
  const int timeout =
      profile.GetInt(kSettingsSection, "SmbTimeout", ServerSettings::kDefaultTimeout);
  // 0 or less would mean no limit at all; a server that never answers would freeze the window.
  if (timeout > 0) smb.timeoutSeconds = std::min(timeout, ServerSettings::kMaxTimeout);
  smb.credentialsFile = profile.GetString(kSettingsSection, "SmbCredentials");
  // Only keys that exist are looked at, so a huge Count costs nothing.
  const int count = profile.GetInt(kServersSection, "Count");
  for (const std::string& key : profile.KeyNames(kServersSection)) {
    if (key.size() < 7 || !ProfileNamesEqual(std::string_view(key).substr(0, 6), "Server")) {
      continue;
    }
    const std::string digits = key.substr(6);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    if (std::stoi(digits) >= count) continue;
    const std::string name = profile.GetString(kServersSection, key);
    if (!ServerNameProblem(name).empty()) continue;
    if (!HasServerName(smb.servers, name)) smb.servers.push_back(name);
  }
  return smb;
}

}  // namespace

std::string ServerNameProblem(const std::string& name) {
  if (name.find_first_not_of(" \t") == std::string::npos) return "サーバー名がありません";
  if (name.find_first_of("\\/") != std::string::npos) {
    return "サーバー名に \\ や / は使えません: " + name;
  }
  return {};
}

bool SameServerName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ProfileNamesEqual(a, b);
}

bool HasServerName(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& known) { return SameServerName(known, name); });
}

ServerSettings ReadServerSettings(FileSystem& fs, const std::string& path) {
  // A damaged file is left for LoadSettings to set aside; its values are not trusted.
  const ProfileFile file = ReadProfileFile(fs, path, {kSettingsSection, kServersSection});
  if (file.state != ProfileFile::State::Read) return {};
  return ServersOf(file.profile);
}

WindowSettings LoadSettings(FileSystem& fs, const std::string& path,
                            std::optional<DamagedFile>* damaged) {
  WindowSettings s;
  std::optional<DamagedFile> setAside;
  const ProfileFile file = ReadSetupFile(fs, path, {kSettingsSection, kServersSection}, setAside);
  if (damaged) *damaged = setAside;
  // A damaged file (now set aside) or an empty one holds nothing of ours: as on a first run.
  if (file.state != ProfileFile::State::Read) {
    s.centred = true;
    s.confirmOverWrite = true;
    s.butOldIsIgnore = true;
    s.ignoreError = false;
    return s;
  }
  const Profile& profile = file.profile;
  SetIfNotZero(profile, "Left", s.left);
  s.top = profile.GetInt(kSettingsSection, "Top");
  // A stored top of 0 means the window was never placed: centre it.
  s.centred = s.top == 0;
  SetIfNotZero(profile, "ClientWidth", s.clientWidth);
  SetIfNotZero(profile, "ClientHeight", s.clientHeight);
  SetIfNotZero(profile, "SourceWidth", s.sourceWidth);
  SetIfNotZero(profile, "LogHeight", s.logHeight);
  for (std::size_t i = 0; i < s.columnWidths.size(); ++i) {
    SetIfNotZero(profile, ColumnKey(i).c_str(), s.columnWidths[i]);
  }
  s.confirmOverWrite = profile.GetInt(kSettingsSection, "ConfirmOverWrite") != 0;
  s.butOldIsIgnore = profile.GetInt(kSettingsSection, "ButOldIsIgnore") != 0;
  s.ignoreError = profile.GetInt(kSettingsSection, "IgnoreError") != 0;
  s.saveLog = profile.GetInt(kSettingsSection, "SaveLog") != 0;
  s.defaultFolder = profile.GetString(kSettingsSection, "DefaultFolder");
  s.networkRoot = profile.GetString(kSettingsSection, "NetworkRoot", kDefaultNetworkRoot);
  if (s.networkRoot.empty()) s.networkRoot = kDefaultNetworkRoot;
  s.wait = WaitOf(profile);
  s.smb = ServersOf(profile);
  s.skipUnchanged = profile.GetInt(kSettingsSection, "SkipUnchanged") != 0;
  s.parallel = ParallelOf(profile);
  return s;
}

std::vector<std::string> SettingsLines(const WindowSettings& s) {
  std::vector<std::string> lines{
      "[Setting]",
      "Left=" + std::to_string(s.left),
      "Top=" + std::to_string(s.top),
      "ClientWidth=" + std::to_string(s.clientWidth),
      "ClientHeight=" + std::to_string(s.clientHeight),
      "SourceWidth=" + std::to_string(s.sourceWidth),
      "LogHeight=" + std::to_string(s.logHeight),
  };
  for (std::size_t i = 0; i < s.columnWidths.size(); ++i) {
    lines.push_back(ColumnKey(i) + "=" + std::to_string(s.columnWidths[i]));
  }
  lines.insert(lines.end(), {
                                "",
                                "ConfirmOverWrite=" + Flag(s.confirmOverWrite),
                                "ButOldIsIgnore=" + Flag(s.butOldIsIgnore),
                                "IgnoreError=" + Flag(s.ignoreError),
                                "SaveLog=" + Flag(s.saveLog),
                                "DefaultFolder=" + ProfileValueText(s.defaultFolder),
                            });
#ifndef _WIN32
  // Linux has no shell network folder; keep the folder that stands for it across runs.
  lines.push_back("NetworkRoot=" + ProfileValueText(s.networkRoot));
#endif
  lines.push_back("Wait=" + std::to_string(s.wait));
#ifndef _WIN32
  // How Linux reaches the servers over SMB; Windows reaches them through its own calls.
  lines.push_back("SmbPort=" + std::to_string(s.smb.port));
  lines.push_back("SmbTimeout=" + std::to_string(s.smb.timeoutSeconds));
  lines.push_back("SmbCredentials=" + ProfileValueText(s.smb.credentialsFile));
#endif
  lines.push_back("SkipUnchanged=" + Flag(s.skipUnchanged));
  lines.push_back("Parallel=" + std::to_string(s.parallel));
  // The servers the user named, which the network folder may not list.
  if (!s.smb.servers.empty()) {
    lines.insert(lines.end(), {"", "[Servers]", "Count=" + std::to_string(s.smb.servers.size())});
    for (std::size_t i = 0; i < s.smb.servers.size(); ++i) {
      lines.push_back("Server" + std::to_string(i) + "=" + ProfileValueText(s.smb.servers[i]));
    }
  }
  lines.push_back("");
  return lines;
}

bool SaveSettings(FileSystem& fs, const std::string& path, const WindowSettings& settings) {
  return WriteTextLines(fs, path, SettingsLines(settings));
}

std::string ReadNetworkRoot(FileSystem& fs, const std::string& path) {
  // A damaged file is left for LoadSettings to set aside; its values are not trusted.
  const ProfileFile file = ReadProfileFile(fs, path, {kSettingsSection, kServersSection});
  if (file.state != ProfileFile::State::Read) return kDefaultNetworkRoot;
  std::string root = file.profile.GetString(kSettingsSection, "NetworkRoot", kDefaultNetworkRoot);
  return root.empty() ? std::string(kDefaultNetworkRoot) : root;
}

int ReadWait(FileSystem& fs, const std::string& path) { return WaitOf(Profile::Load(fs, path)); }

ScreenRect PlaceOnScreens(const ScreenRect& window, const std::vector<ScreenRect>& screens) {
  if (screens.empty()) return window;
  const ScreenRect probe{window.left, window.top, std::max(window.width, 1),
                         std::max(window.height, 1)};
  const ScreenRect* nearest = nullptr;
  std::int64_t nearestDistance = std::numeric_limits<std::int64_t>::max();
  for (const auto& screen : screens) {
    if (Overlaps(probe, screen)) return window;
    const std::int64_t dx = Gap(probe.left, probe.width, screen.left, screen.width);
    const std::int64_t dy = Gap(probe.top, probe.height, screen.top, screen.height);
    const std::int64_t distance = dx * dx + dy * dy;
    if (distance < nearestDistance) {
      nearestDistance = distance;
      nearest = &screen;
    }
  }
  ScreenRect placed = window;
  placed.left = ClampInto(window.left, window.width, nearest->left, nearest->width);
  placed.top = ClampInto(window.top, window.height, nearest->top, nearest->height);
  return placed;
}

}  // namespace tolvane
