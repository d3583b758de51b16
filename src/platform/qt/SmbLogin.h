#pragma once

#include <set>
#include <string>

#include "platform/smb/SmbClient.h"

class QWidget;

namespace tolvane {

// The window's way to log on to a named SMB server: what the desktop keyring keeps, then the
// login dialog, shown at most once per server for the life of the program (a server whose
// dialog was cancelled is not asked about again).
class QtSmbLogin : public SmbLoginPrompt {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }

  std::optional<SmbCredentials> Stored(const std::string& server) override;
  std::optional<SmbCredentials> Ask(const std::string& server, const std::string& reason) override;
  void LoggedOn(const std::string& server, const SmbCredentials& credentials) override;

 private:
  QWidget* owner_ = nullptr;
  std::set<std::string> cancelled_;
};

// The desktop keyring (Secret Service): a password per server, with its user and domain.
// Nothing is found or kept where no keyring answers.
std::optional<SmbCredentials> KeyringLookup(const std::string& server);
bool KeyringStore(const std::string& server, const SmbCredentials& credentials);

}  // namespace tolvane
