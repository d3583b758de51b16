#include "app/core/BatchPrompts.h"

#include <cstdio>

namespace tolvane {

BatchPrompts::BatchPrompts(Prompts& inner, ErrorStream errorStream)
    : inner_(inner), errorStream_(std::move(errorStream)) {
  if (!errorStream_) {
    errorStream_ = [](const std::string& line) {
      std::fputs(line.c_str(), stderr);
      std::fflush(stderr);
    };
  }
}

PromptAnswer BatchPrompts::AskYesNoCancel(const std::string& caption, const std::string& text) {
  return unattended_ ? PromptAnswer::Yes : inner_.AskYesNoCancel(caption, text);
}

PromptAnswer BatchPrompts::AskOverwrite(const std::string& caption, const std::string& text) {
  return unattended_ ? PromptAnswer::Yes : inner_.AskOverwrite(caption, text);
}

PromptAnswer BatchPrompts::AskAbortRetryIgnore(const std::string& caption,
                                               const std::string& text) {
  return unattended_ ? PromptAnswer::Abort : inner_.AskAbortRetryIgnore(caption, text);
}

PromptAnswer BatchPrompts::AskYesNo(const std::string& caption, const std::string& text) {
  return unattended_ ? PromptAnswer::Yes : inner_.AskYesNo(caption, text);
}

void BatchPrompts::ShowMessage(const std::string& caption, const std::string& text) {
  if (unattended_) return Write(caption, text);
  inner_.ShowMessage(caption, text);
}

void BatchPrompts::ShowError(const std::string& caption, const std::string& text) {
  if (unattended_) return Write(caption, text);
  inner_.ShowError(caption, text);
}

void BatchPrompts::Write(const std::string& caption, const std::string& text) {
  errorStream_(caption + ": " + text + "\n");
}

}  // namespace tolvane
