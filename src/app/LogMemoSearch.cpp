#include "app/LogMemoSearch.h"

#include <QTextBlock>
#include <QTextCursor>
#include <vector>

#include "tree/DestinationMarks.h"

namespace tolvane {

bool SelectFolderPathInMemo(QPlainTextEdit& memo, const std::string& folderPath) {
  const QTextDocument* document = memo.document();
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(document->blockCount()));
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    lines.push_back(block.text().toStdString());
  }
  const auto match = FindFolderPathInLog(lines, folderPath);
  if (!match) return false;

  // The memo counts UTF-16 units, and one for each line break.
  const QTextBlock block = document->findBlockByNumber(static_cast<int>(match->line));
  const std::string& line = lines[match->line];
  const int start =
      block.position() +
      static_cast<int>(
          QString::fromUtf8(line.data(), static_cast<qsizetype>(match->offset)).size());
  const int length = static_cast<int>(QString::fromStdString(folderPath).size());
  memo.setFocus();
  QTextCursor cursor(memo.document());
  cursor.setPosition(start);
  cursor.setPosition(start + length, QTextCursor::KeepAnchor);
  memo.setTextCursor(cursor);
  return true;
}

}  // namespace tolvane
