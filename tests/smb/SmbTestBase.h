#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/posix/PosixFileSystem.h"
#include "platform/smb/SmbClient.h"
#include "platform/smb/SmbFileSystem.h"
#include "support/SambaServer.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A fresh client of the shared loopback server, as the program makes one: the server named by
// its address, nothing asked. Each test works in its own folder of a share.
class SmbTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& server = SambaServer::Shared();
    ASSERT_TRUE(server.Running()) << "no SMB server for the tests: " << server.Failure();
    SmbOptions options;
    options.port = server.Port();
    options.timeoutSeconds = 5;
    client = std::make_unique<SmbClient>(options);
    client->SetServers({server.Host()});
    fs = std::make_unique<SmbFileSystem>(local, *client);
  }

  SambaServer& Server() { return SambaServer::Shared(); }
  // \\127.0.0.1\share\relative (relative with "\").
  std::string Unc(const std::string& share, const std::string& relative = {}) {
    std::string path = "\\\\" + Server().Host() + "\\" + share;
    return relative.empty() ? path : path + "\\" + relative;
  }
  // The file on disk behind \\127.0.0.1\share\relative ("/"-separated).
  std::string OnDisk(const std::string& share, const std::string& relative) {
    return Server().SharePath(share) + "/" + relative;
  }
  std::string NewFolder(const std::string& share) {
    return Server().NewFolder(share);
  }

  PosixFileSystem local;
  std::unique_ptr<SmbClient> client;
  std::unique_ptr<SmbFileSystem> fs;
};

}  // namespace tolvane::test
