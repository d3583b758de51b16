#include "platform/smb/SmbClient.h"

#include "platform/NetworkPaths.h"
#include "platform/smb/SmbConnection.h"

namespace tolvane {
namespace {

bool SameServer(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

SmbClient::SmbClient(SmbOptions options)
    : connection_(std::make_unique<SmbConnection>(std::move(options))) {}

SmbClient::SmbClient(std::unique_ptr<SmbConnection> connection)
    : connection_(std::move(connection)) {}

SmbClient::~SmbClient() = default;

std::unique_ptr<SmbClient> SmbClient::ForWorker(WindowCall ask) const {
  // Without named servers the worker never calls the library.
  std::unique_ptr<SmbClient> worker(
      new SmbClient(connection_->ForWorker(std::move(ask), !servers_.empty())));
  worker->servers_ = servers_;
  return worker;
}

void SmbClient::SetOptions(const SmbOptions& options) { connection_->SetOptions(options); }

const SmbOptions& SmbClient::Options() const { return connection_->Options(); }

void SmbClient::SetServers(std::vector<std::string> servers) {
  const std::vector<std::string> before = std::move(servers_);
  servers_.clear();
  for (auto& server : servers) {
    // A name written with its backslashes, or twice, is still one server.
    while (!server.empty() && (server.front() == '\\' || server.front() == '/')) {
      server.erase(0, 1);
    }
    while (!server.empty() && (server.back() == '\\' || server.back() == '/')) server.pop_back();
    if (server.empty() || server.find_first_of("\\/") != std::string::npos) continue;
    bool known = false;
    for (const auto& s : servers_) known = known || SameServer(s, server);
    if (known) continue;
    // A server added (again) by the user starts afresh: what failed before is forgotten.
    bool had = false;
    for (const auto& s : before) had = had || SameServer(s, server);
    if (!had) connection_->ForgetFailures(server);
    servers_.push_back(std::move(server));
  }
}

const std::vector<std::string>& SmbClient::Servers() const { return servers_; }

std::optional<std::string> SmbClient::ServerOf(const std::string& path) const {
  if (!IsNetworkPath(path)) return std::nullopt;
  const auto end = path.find_first_of("\\/", 2);
  const std::string name = path.substr(2, end == std::string::npos ? end : end - 2);
  for (const auto& s : servers_) {
    if (SameServer(s, name)) return s;
  }
  return std::nullopt;
}

void SmbClient::SetLoginPrompt(SmbLoginPrompt* prompt) { connection_->SetLoginPrompt(prompt); }

void SmbClient::SetFailureReport(std::function<void(const std::string& line)> report) {
  connection_->SetFailureReport(std::move(report));
}

void SmbClient::ForgetFailures(const std::string& server) { connection_->ForgetFailures(server); }

SmbConnection& SmbClient::Connection() { return *connection_; }

}  // namespace tolvane
