#include "platform/qt/DesktopLogViewer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>

namespace tolvane {
namespace {

constexpr char kTextType[] = "text/plain";

// The keys of a group of a desktop entry or MIME list file ("[Desktop Entry]", ...). Later
// duplicates do not replace the first.
QHash<QString, QString> ReadGroup(const QString& path, const QString& group) {
  QHash<QString, QString> keys;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
  bool inGroup = false;
  while (!f.atEnd()) {
    const QString line = QString::fromUtf8(f.readLine()).trimmed();
    if (line.startsWith('[')) {
      inGroup = line == "[" + group + "]";
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    if (!inGroup || line.startsWith('#') || equals <= 0) continue;
    const QString key = line.left(equals).trimmed();
    if (!keys.contains(key)) keys.insert(key, line.mid(equals + 1).trimmed());
  }
  return keys;
}

QStringList Ids(const QString& list) { return list.split(';', Qt::SkipEmptyParts); }

QString Env(const char* name, const QString& fallback) {
  const QString value = qEnvironmentVariable(name);
  return value.isEmpty() ? fallback : value;
}

QStringList EnvDirs(const char* name, const QString& fallback) {
  return Env(name, fallback).split(':', Qt::SkipEmptyParts);
}

QStringList ApplicationDirs() {
  QStringList dirs{Env("XDG_DATA_HOME", QDir::homePath() + "/.local/share") + "/applications"};
  for (const QString& d : EnvDirs("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    dirs << d + "/applications";
  }
  return dirs;
}

// The mimeapps.list files, most important first, each desktop's own before the common one.
QStringList MimeAppsLists() {
  QStringList dirs{Env("XDG_CONFIG_HOME", QDir::homePath() + "/.config")};
  dirs << EnvDirs("XDG_CONFIG_DIRS", "/etc/xdg");
  dirs << ApplicationDirs();
  QStringList desktops;
  for (const QString& d :
       qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts)) {
    desktops << d.toLower();
  }
  QStringList files;
  for (const QString& dir : dirs) {
    for (const QString& desktop : desktops) files << dir + "/" + desktop + "-mimeapps.list";
    files << dir + "/mimeapps.list";
  }
  return files;
}

// The file of a desktop entry id; "kde4-kate.desktop" may also be kde4/kate.desktop.
QString EntryFile(const QString& id) {
  QString nested = id;
  const qsizetype dash = nested.indexOf('-');
  if (dash > 0) nested[dash] = '/';
  for (const QString& dir : ApplicationDirs()) {
    for (const QString& name : {id, nested}) {
      if (QFile::exists(dir + "/" + name)) return dir + "/" + name;
    }
  }
  return {};
}

bool Found(const QString& program) {
  return !QStandardPaths::findExecutable(program).isEmpty() ||
         (program.contains('/') && QFileInfo(program).isExecutable());
}

// Terminal emulators in the order the desktop's opener looks for them, with the option after
// which the command follows (none: it follows directly).
struct Terminal {
  const char* program;
  const char* execOption;
};
constexpr Terminal kTerminals[] = {
    {"x-terminal-emulator", "-e"},
    {"xdg-terminal-exec", ""},
    {"kgx", "-e"},
    {"gnome-terminal", "--"},
    {"mate-terminal", "-x"},
    {"xfce4-terminal", "-x"},
    {"tilix", "-e"},
    {"konsole", "-e"},
    {"nxterm", "-e"},
    {"color-xterm", "-e"},
    {"rxvt", "-e"},
    {"dtterm", "-e"},
    {"xterm", "-e"},
};

}  // namespace

bool CommandFromDesktopEntry(const QString& entryFile, const QString& file, QString& program,
                             QStringList& arguments) {
  const QHash<QString, QString> entry = ReadGroup(entryFile, "Desktop Entry");
  if (entry.value("Hidden") == "true") return false;
  const QString tryExec = entry.value("TryExec");
  if (!tryExec.isEmpty() && !Found(tryExec)) return false;
  const QStringList words = QProcess::splitCommand(entry.value("Exec"));
  if (words.isEmpty() || !Found(words.first())) return false;
  QStringList command{words.first()};
  bool placed = false;
  for (int i = 1; i < words.size(); ++i) {
    const QString& w = words[i];
    if (w == "%f" || w == "%F" || w == "%u" || w == "%U") {
      command << file;
      placed = true;
    } else if (w.size() == 2 && w[0] == '%') {
      continue;  // other field codes carry nothing here
    } else {
      command << w;
    }
  }
  if (!placed) command << file;

  if (entry.value("Terminal") == "true") {
    // A program for a terminal started without one shows nothing at all.
    const Terminal* terminal = nullptr;
    for (const Terminal& t : kTerminals) {
      if (Found(t.program)) {
        terminal = &t;
        break;
      }
    }
    if (!terminal) return false;
    if (*terminal->execOption) command.prepend(terminal->execOption);
    command.prepend(terminal->program);
  }
  program = command.takeFirst();
  arguments = command;
  return true;
}

QStringList TextHandlerEntries() {
  QStringList defaults, added, removed;
  for (const QString& list : MimeAppsLists()) {
    defaults << Ids(ReadGroup(list, "Default Applications").value(kTextType));
    // A removal applies to its own file's additions and to those of less important files.
    removed << Ids(ReadGroup(list, "Removed Associations").value(kTextType));
    for (const QString& id : Ids(ReadGroup(list, "Added Associations").value(kTextType))) {
      if (!removed.contains(id)) added << id;
    }
  }
  QStringList installed;
  for (const QString& dir : ApplicationDirs()) {
    for (const QString& id :
         Ids(ReadGroup(dir + "/mimeinfo.cache", "MIME Cache").value(kTextType))) {
      if (!removed.contains(id)) installed << id;
    }
  }
  QStringList files;
  for (const QString& id : defaults + added + installed) {
    const QString file = EntryFile(id);
    if (!file.isEmpty() && !files.contains(file)) files << file;
  }
  return files;
}

std::vector<ViewerCommand> TextViewerCommands(const QString& file) {
  std::vector<ViewerCommand> commands;
  for (const QString& entry : TextHandlerEntries()) {
    ViewerCommand command;
    if (CommandFromDesktopEntry(entry, file, command.program, command.arguments)) {
      commands.push_back(command);
    }
  }
  return commands;
}

bool DesktopLogViewer::Open(const std::string& path) {
  for (const ViewerCommand& command : TextViewerCommands(QString::fromStdString(path))) {
    if (QProcess::startDetached(command.program, command.arguments)) return true;
  }
  return false;
}

}  // namespace tolvane
