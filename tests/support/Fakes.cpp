#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace tolvane::test {

PromptAnswer ScriptedPrompts::Next(const char* kind, const std::string& caption,
                                   const std::string& text) {
  asked.push_back({kind, caption, text});
  if (whileShown) whileShown();
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question (" << kind << "): " << text;
    return PromptAnswer::Cancel;
  }
  const PromptAnswer a = answers.front();
  answers.pop_front();
  return a;
}

PromptAnswer ScriptedPrompts::AskYesNoCancel(const std::string& caption, const std::string& text) {
  return Next("YesNoCancel", caption, text);
}
PromptAnswer ScriptedPrompts::AskAbortRetryIgnore(const std::string& caption,
                                                  const std::string& text) {
  return Next("AbortRetryIgnore", caption, text);
}
PromptAnswer ScriptedPrompts::AskYesNo(const std::string& caption, const std::string& text) {
  return Next("YesNo", caption, text);
}
void ScriptedPrompts::ShowMessage(const std::string& caption, const std::string& text) {
  asked.push_back({"Message", caption, text});
}
void ScriptedPrompts::ShowError(const std::string& caption, const std::string& text) {
  asked.push_back({"Error", caption, text});
}

std::vector<std::string> ScriptedDialogs::OpenFiles(const OpenFileRequest& request) {
  openRequests.push_back(request);
  if (openResults.empty()) return {};
  auto r = openResults.front();
  openResults.pop_front();
  return r;
}

std::optional<std::string> ScriptedDialogs::SaveFile(const SaveFileRequest& request) {
  saveRequests.push_back(request);
  if (saveResults.empty()) return std::nullopt;
  auto r = saveResults.front();
  saveResults.pop_front();
  return r;
}

std::optional<std::string> ScriptedDialogs::AskText(const std::string&, const std::string&) {
  if (textResults.empty()) return std::nullopt;
  auto r = textResults.front();
  textResults.pop_front();
  return r;
}

std::optional<std::string> ScriptedDialogs::ChooseFolder(const std::string& title,
                                                         const std::string& initialFolder) {
  folderRequests.emplace_back(title, initialFolder);
  if (folderResults.empty()) return std::nullopt;
  auto r = folderResults.front();
  folderResults.pop_front();
  return r;
}

}  // namespace tolvane::test
