#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// Filter in the form "Exe files (*.exe)|*.exe|All files (*.*)|*.*"; filterIndex counts from 1.
struct OpenFileRequest {
  std::string title;
  std::string filter;
  int filterIndex = 1;
  bool multiSelect = false;
  // The folder to start in; when empty the dialog starts where it was last pointed.
  std::string initialFolder;
};

struct SaveFileRequest {
  std::string title;
  std::string filter;
  int filterIndex = 1;
  std::string defaultExtension;  // added when the typed name has none
};

// One pair of a dialog filter "description|pattern|description|pattern".
struct FileFilter {
  std::string description;            // "List files (*.lst)"
  std::vector<std::string> patterns;  // "*.lst"; several are separated by ";"
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};
// The pairs of a filter, for a dialog to show in its own way. A trailing description without a
// pattern is left out.
std::vector<FileFilter> ParseFileFilter(const std::string& filter);

// The file and folder dialogs.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen files in the dialog's order; empty when cancelled.
  virtual std::vector<std::string> OpenFiles(const OpenFileRequest& request) = 0;
  // The chosen name; empty when cancelled.
  virtual std::optional<std::string> SaveFile(const SaveFileRequest& request) = 0;
  // A folder with a file-system path, ending in a separator; empty when cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& title,
                                                  const std::string& initialFolder) = 0;
  // One line of text the user types; nothing when cancelled (and where no such dialog exists).
  virtual std::optional<std::string> AskText(const std::string& /*title*/,
                                             const std::string& /*label*/) {
    return std::nullopt;
  }
};

}  // namespace tolvane
