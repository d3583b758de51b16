#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/LogViewer.h"

namespace tolvane {

// Opens the log in a program the desktop associates with plain text, trying the handlers in the
// order the desktop's own opener would (the default first) until one starts. Each is started
// directly with the path as one argument: no shell sees the path. An entry meant for a terminal
// is started in a terminal emulator; without one, the next handler is tried.
class DesktopLogViewer : public LogViewer {
 public:
  bool Open(const std::string& path) override;
};

// One way of showing a file: a program and its arguments.
struct ViewerCommand {
  QString program;
  QStringList arguments;
  bool operator==(const ViewerCommand&) const = default;
};

// Reads the Exec line of a desktop entry: the program, and its arguments with file as one
// argument in place of the file field code (or after them when there is none); wrapped in a
// terminal emulator when the entry says Terminal=true. False when the entry is hidden, has no
// Exec line, or its program (or, for a terminal entry, any terminal emulator) cannot be found.
bool CommandFromDesktopEntry(const QString& entryFile, const QString& file, QString& program,
                             QStringList& arguments);

// The desktop entry files of the text/plain handlers, best first: the defaults of the
// mimeapps.list files, then their added associations, then the installed entries
// (mimeinfo.cache), without the removed ones. Read from the XDG folders of the environment.
QStringList TextHandlerEntries();

// Every command that could show file, best first.
std::vector<ViewerCommand> TextViewerCommands(const QString& file);

}  // namespace tolvane
