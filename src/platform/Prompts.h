#pragma once

#include <string>

namespace tolvane {

enum class PromptAnswer { Ok, Yes, No, Cancel, Abort, Retry, Ignore };

// The modal message boxes. None of them shows an icon except ShowError.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // Yes, No and Cancel; Yes is the default button.
  virtual PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
  // Abort, Retry and Ignore; Abort is the default button.
  virtual PromptAnswer AskAbortRetryIgnore(const std::string& caption, const std::string& text) = 0;
  // Yes and No.
  virtual PromptAnswer AskYesNo(const std::string& caption, const std::string& text) = 0;
  // OK only.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // The standard error box: OK with the error icon.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
};

}  // namespace tolvane
