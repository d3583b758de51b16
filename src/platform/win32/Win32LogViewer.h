#pragma once

#include <optional>
#include <string>

#include "platform/LogViewer.h"

namespace tolvane {

// Opens the log in the program that the system associates with plain text: the association is
// found through a probe file with the text extension, then that program is started on the log.
class Win32LogViewer : public LogViewer {
 public:
  bool Open(const std::string& path) override;

  // The program associated with text files; nothing when there is none.
  std::optional<std::string> FindTextViewer();

 protected:
  // Starts the command line without waiting for it. Tests record it instead.
  virtual bool StartProcess(const std::string& commandLine);
};

// One argument of a command line, quoted so that the program reads it back whole: blanks in a
// path are part of it.
std::string QuoteArgument(const std::string& argument);

// The probe file's name: its extension is what matters to the association.
inline constexpr char kViewerProbeName[] = "a$$$Temp%.txt";

}  // namespace tolvane
