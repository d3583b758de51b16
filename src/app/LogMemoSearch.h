#pragma once

#include <QPlainTextEdit>
#include <string>

namespace tolvane {

// Selects the first occurrence of folderPath in the status memo and gives the memo the focus.
// False, and nothing changes, when the path is empty or no line holds it.
bool SelectFolderPathInMemo(QPlainTextEdit& memo, const std::string& folderPath);

}  // namespace tolvane
