#pragma once

#include <string>

namespace tolvane {

// Starts the program the desktop associates with plain text on a file, without waiting.
class LogViewer {
 public:
  virtual ~LogViewer() = default;
  // False when no such program could be found; a program that then fails to start is not
  // reported.
  virtual bool Open(const std::string& path) = 0;
};

}  // namespace tolvane
