#pragma once

#include <string>
#include <vector>

#include "tree/DestinationTree.h"

namespace tolvane {

// Finds a destination node again from its node path (node names from the root, joined by TAB),
// listing the levels on the way as needed.
class NodeLocator {
 public:
  virtual ~NodeLocator() = default;
  // Lists the children of every node along the path that has not been listed yet.
  virtual void RestoreNodes(const std::string& nodePath) = 0;
  // The first node in tree order whose node path equals nodePath exactly; null if none.
  virtual TreeNode* FindNodeByPath(const std::string& nodePath) = 0;
  // The node of a network folder path (\\SRV\share\dir) below its server's node, listing
  // the levels on the way and adding what a listing does not show when the folder can be
  // reached; null when there is no such server node or the folder cannot be reached.
  virtual TreeNode* RestoreFolderPath(const std::string& /*folderPath*/) { return nullptr; }
  // The network folder paths (\\SRV\share\dir) of destinations about to be found again one
  // after another: the servers they need and have not listed yet may be asked all at once,
  // before the walks. Nothing by default.
  virtual void ListServersAhead(const std::vector<std::string>& /*folderPaths*/) {}
};

}  // namespace tolvane
