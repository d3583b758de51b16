#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SmbTestBase.h"
#include "platform/posix/NetworkNamespace.h"
#include "platform/smb/SmbConnection.h"
#include "platform/smb/SmbNetworkNamespace.h"

namespace tolvane::test {
namespace {

class SmbNetworkNamespaceTest : public SmbTestBase {
 protected:
  void SetUp() override {
    SmbTestBase::SetUp();
    localRoot.MakeDir("other");
    localRoot.MakeDir("Dup");
    localNamespace.SetNetworkRoot(localRoot.Path());
    client->SetServers({Server().Host(), "dup"});
    smbNamespace = std::make_unique<SmbNetworkNamespace>(localNamespace, *client);
  }

  std::vector<std::string> Names(const ShellItem& folder, bool foldersOnly = true) {
    std::vector<std::string> names;
    auto e = smbNamespace->Enumerate(folder, foldersOnly);
    if (!e) return {"<null>"};
    while (auto item = e->Next()) names.push_back(smbNamespace->DisplayName(*item));
    return names;
  }

  TempDir localRoot;
  PosixNetworkNamespace localNamespace;
  std::unique_ptr<SmbNetworkNamespace> smbNamespace;
};

TEST_F(SmbNetworkNamespaceTest, TheRootListsOurServersAfterTheLocalOnes) {
  auto& ns = *smbNamespace;
  // "dup" is served by the local root already, so only that one is shown.
  EXPECT_EQ(Names(*ns.NetworkFolder()),
            (std::vector<std::string>{"Dup", "other", Server().Host()}));
}

TEST_F(SmbNetworkNamespaceTest, AServerListsItsDiskSharesAndAFolderItsVisibleSubFolders) {
  auto& ns = *smbNamespace;
  const auto server = ns.ParsePath("\\\\" + Server().Host());
  ASSERT_TRUE(server);
  EXPECT_EQ(ns.IconOf(*server), ShellIcon::Server);
  EXPECT_TRUE(ns.Attributes(*server).hasSubFolders);
  // No IPC$ and no other administrative share.
  EXPECT_EQ(Names(*server), (std::vector<std::string>{"closed", "guest", "private", "readonly"}));

  const std::string dir = NewFolder("guest");
  const std::string base = OnDisk("guest", dir);
  std::filesystem::create_directories(base + "/b/deeper");
  std::filesystem::create_directories(base + "/a");
  std::filesystem::create_directories(base + "/.hidden");
  std::ofstream(base + "/file.txt") << "x";

  const auto folder = ns.ParsePath(Unc("guest", dir));
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->id.front(), '/');  // never taken for a local id
  EXPECT_EQ(ns.FileSystemPath(*folder), Unc("guest", dir));
  EXPECT_EQ(ns.IconOf(*folder), ShellIcon::Folder);
  EXPECT_EQ(Names(*folder), (std::vector<std::string>{"a", "b"}));

  const auto b = ns.ParsePath(Unc("guest", dir + "\\b"));
  const auto a = ns.ParsePath(Unc("guest", dir + "\\a"));
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(ns.Attributes(*b).hasSubFolders);
  EXPECT_FALSE(ns.Attributes(*a).hasSubFolders);
  EXPECT_FALSE(ns.ParsePath(Unc("guest", dir + "\\file.txt")));
  EXPECT_FALSE(ns.ParsePath(Unc("guest", dir + "\\missing")));

  const auto share = ns.ParsePath(Unc("guest"));
  ASSERT_TRUE(share);
  EXPECT_EQ(ns.IconOf(*share), ShellIcon::Share);
  EXPECT_EQ(ns.FileSystemPath(*share), Unc("guest"));
}

// Start-up asks every server for its shares at once; the walk that follows takes those
// answers instead of waiting for each server in turn.
TEST_F(SmbNetworkNamespaceTest, ServersListedAheadAnswerTheNextListing) {
  auto& ns = *smbNamespace;
  const std::string host = Server().Host();
  client->SetServers({host, "localhost"});
  ns.ListAhead({"\\\\" + host, "\\\\LOCALHOST", "\\\\" + host}, 4);
  const std::vector<std::string> shares = {"closed", "guest", "private", "readonly"};
  for (const std::string& server : {host, std::string("localhost")}) {
    const auto item = ns.ParsePath("\\\\" + server);
    ASSERT_TRUE(item);
    EXPECT_EQ(Names(*item), shares);
  }
  EXPECT_EQ(client->Connection().ConnectAttempts(), 0);
  // Taken once: listed again, the server is asked again.
  EXPECT_EQ(Names(*ns.ParsePath("\\\\" + host)), shares);
  EXPECT_EQ(client->Connection().ConnectAttempts(), 1);
}

}  // namespace
}  // namespace tolvane::test
