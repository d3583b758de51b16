#pragma once

#include <map>
#include <string>

#include "platform/smb/SmbClient.h"

class QWidget;

namespace tolvane {

// The window's way to log on to a named SMB server: what the desktop keyring keeps, then the
// login dialog. (The connection decides when to ask: a cancelled dialog is not shown again
// before the next run, or before the user expands or refreshes the server.)
class QtSmbLogin : public SmbLoginPrompt {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }

  std::optional<SmbCredentials> Stored(const std::string& server) override;
  std::optional<SmbCredentials> Ask(const std::string& server, const std::string& reason) override;
  void LoggedOn(const std::string& server, const SmbCredentials& credentials) override;

 private:
  QWidget* owner_ = nullptr;
  // The user and domain last given or kept for each server, offered again when the dialog
  // asks after a logon that failed.
  std::map<std::string, SmbCredentials> last_;
};

// The desktop keyring (Secret Service): a password per server, with its user and domain.
// Nothing is found or kept where no keyring answers.
std::optional<SmbCredentials> KeyringLookup(const std::string& server);
// False, with the keyring's reason in why, when nothing could be kept.
bool KeyringStore(const std::string& server, const SmbCredentials& credentials,
                  std::string* why = nullptr);

}  // namespace tolvane
