#pragma once

#include <string>

namespace tolvane {

// The overwrite question's two buttons that answer it for the rest of the run.
inline constexpr char kOverwriteAllButton[] = "すべて上書き";
inline constexpr char kSkipAllButton[] = "すべてスキップ";

enum class PromptAnswer { Ok, Yes, No, Cancel, Abort, Retry, Ignore, YesToAll, NoToAll };

// The modal message boxes. None of them shows an icon except ShowError.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // Yes, No and Cancel; Yes is the default button.
  virtual PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
  // The overwrite question: Yes, No and Cancel, then kOverwriteAllButton (YesToAll) and
  // kSkipAllButton (NoToAll), which answer it for the rest of the run. Yes is the default.
  virtual PromptAnswer AskOverwrite(const std::string& caption, const std::string& text) {
    return AskYesNoCancel(caption, text);
  }
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
