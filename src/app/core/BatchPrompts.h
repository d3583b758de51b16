#pragma once

#include <functional>
#include <string>

#include "platform/Prompts.h"

namespace tolvane {

// The prompts of a window, unless unattended (batch mode): then nobody could ever answer a box,
// so none is shown. Questions take their default answer (Yes, Abort) and messages and errors go
// to the standard error stream as "caption: text".
class BatchPrompts : public Prompts {
 public:
  using ErrorStream = std::function<void(const std::string& line)>;
  explicit BatchPrompts(Prompts& inner, ErrorStream errorStream = {});

  void SetUnattended(bool unattended) { unattended_ = unattended; }
  bool Unattended() const { return unattended_; }

  PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  PromptAnswer AskOverwrite(const std::string& caption, const std::string& text) override;
  PromptAnswer AskAbortRetryIgnore(const std::string& caption, const std::string& text) override;
  PromptAnswer AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;

 private:
  void Write(const std::string& caption, const std::string& text);

  Prompts& inner_;
  ErrorStream errorStream_;
  bool unattended_ = false;
};

}  // namespace tolvane
