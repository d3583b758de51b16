#include "tree/NetworkTree.h"

#include <algorithm>

#include "platform/NetworkPaths.h"

namespace tolvane {

namespace {

// What follows the last separator. UTF-8 never has a separator byte inside a character, so a
// plain byte search keeps multi-byte names whole.
std::string LastComponent(const std::string& text, const char* separators) {
  const auto cut = text.find_last_of(separators);
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Splits the first TAB-separated component off rest.
std::string TakeComponent(std::string& rest) {
  const auto tab = rest.find('\t');
  std::string component = rest.substr(0, tab);
  rest = tab == std::string::npos ? std::string() : rest.substr(tab + 1);
  return component;
}

unsigned char UpperAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// The node path without the network folder's name and the one character after it; nothing
// when the path does not begin with that name.
std::optional<std::string> PathBelow(const std::string& networkName, const std::string& nodePath) {
  if (nodePath.compare(0, networkName.size(), networkName) != 0) return std::nullopt;
  if (nodePath.size() <= networkName.size() + 1) return std::string();
  return nodePath.substr(networkName.size() + 1);
}

// Network paths name the same folder whatever the ASCII case.
bool SameFolderPath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(static_cast<unsigned char>(x)) ==
                  UpperAscii(static_cast<unsigned char>(y));
         });
}

int CompareNodes(const TreeNode& a, const TreeNode& b) {
  return NetworkTree::CompareNodeTexts(a.Text(), b.Text());
}

}  // namespace

NodeIcon ToNodeIcon(ShellIcon icon) {
  switch (icon) {
    case ShellIcon::Network:
      return NodeIcon::Network;
    case ShellIcon::Workgroup:
      return NodeIcon::Workgroup;
    case ShellIcon::Server:
      return NodeIcon::Server;
    case ShellIcon::Share:
      return NodeIcon::Share;
    case ShellIcon::Folder:
      return NodeIcon::Folder;
    case ShellIcon::Shortcut:
      return NodeIcon::Shortcut;
    case ShellIcon::Other:
      break;
  }
  return NodeIcon::None;
}

NetworkTree::NetworkTree(DestinationTree& tree, ShellNamespace& shell, EventPump& pump,
                         Cursor& cursor, std::function<bool()> startupComplete)
    : tree_(tree),
      shell_(shell),
      pump_(pump),
      cursor_(cursor),
      startupComplete_(std::move(startupComplete)) {}

NodeRecord NetworkTree::MakeNodeRecord(const std::string& nameSource, bool& candidate,
                                       const std::string& linkPath, bool isLink,
                                       const TreeNode* parent) {
  NodeRecord record;
  if (!nameSource.empty() && nameSource.front() == '\\') record.folderPath = nameSource;
  // A shortcut's own path is a local file path, where "/" also separates on Linux; a name
  // source may be a display name, where only "\" does.
  record.nodeName = isLink ? LastComponent(linkPath, "\\/") : LastComponent(nameSource, "\\");
  candidate = candidate && !record.folderPath.empty() && !Contains(record.nodeName, "::");
  record.markable = candidate;
  record.nodePath = parent ? parent->Record().nodePath + '\t' + record.nodeName : record.nodeName;
  return record;
}

bool NetworkTree::HasDummyChild(const TreeNode* node) {
  return node && node->ChildCount() > 0 && node->Child(0)->Record().nodeName == kDummyNodeName;
}

int NetworkTree::CompareNodeTexts(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int ua = UpperAscii(static_cast<unsigned char>(a[i]));
    const int ub = UpperAscii(static_cast<unsigned char>(b[i]));
    if (ua != ub) return ua - ub;
  }
  // As with C strings: the shorter text ends in a zero byte, which sorts before any other.
  if (a.size() > common) return UpperAscii(static_cast<unsigned char>(a[common]));
  if (b.size() > common) return -UpperAscii(static_cast<unsigned char>(b[common]));
  return 0;
}

void NetworkTree::AddDummy(TreeNode* node) {
  bool candidate = true;
  NodeRecord record = MakeNodeRecord(kDummyNodeName, candidate, "", false, node);
  tree_.AddNode(node, std::move(record), "", NodeIcon::None, kStateNone);
}

void NetworkTree::RemoveDummy(TreeNode* node) { tree_.RemoveChildren(node); }

void NetworkTree::AddNetworkRoot() {
  const auto network = shell_.NetworkFolder();
  if (!network) return;
  bool candidate = false;
  NodeRecord record = MakeNodeRecord(shell_.DisplayName(*network), candidate, "", false, nullptr);
  std::string text = record.nodeName;
  TreeNode* root = tree_.AddNode(nullptr, std::move(record), std::move(text),
                                 ToNodeIcon(shell_.IconOf(*network)), kStateNone);
  // The root is listed at once: it never carries a dummy node.
  AddNetworkChildren(*network, root);
}

void NetworkTree::ExpandRootAndSort() {
  tree_.Expand(tree_.Root());
  tree_.SortChildren(nullptr, true, CompareNodes);
}

int NetworkTree::AddNetworkChildren(const ShellItem& folder, TreeNode* parent) {
  auto items = shell_.Enumerate(folder, false);
  if (!items) return 0;
  int count = 0;
  while (auto item = items->Next()) {
    bool internal = false;
    if (AddNetworkItem(*item, parent, &internal)) ++count;
    // Network listings are slow: let the window paint and answer between items (a shell
    // object passed over costs no pause).
    if (!internal) pump_.Pause();
  }
  return count;
}

TreeNode* NetworkTree::AddNetworkItem(const ShellItem& item, TreeNode* parent, bool* internal) {
  const ShellAttributes attributes = shell_.Attributes(item);
  if (!attributes.folder) return nullptr;
  const std::string path = shell_.FileSystemPath(item);
  bool candidate = false;
  std::string nameSource;
  std::optional<std::string> target;
  if (!path.empty() && path.front() == '\\') {
    nameSource = path;
    candidate = true;
  } else if (attributes.link && (target = shell_.ResolveShortcut(path))) {
    nameSource = *target;
    candidate = true;
  } else {
    nameSource = shell_.DisplayName(item);
  }
  // Shell-internal objects (parsing names with "::") have no place among destinations.
  if (Contains(nameSource, "::")) {
    if (internal) *internal = true;
    return nullptr;
  }
  NodeRecord record = MakeNodeRecord(nameSource, candidate, path, attributes.link, parent);
  std::string text = record.nodeName;
  TreeNode* child =
      tree_.AddNode(parent, std::move(record), std::move(text), ToNodeIcon(shell_.IconOf(item)),
                    candidate ? kStateUnmarked : kStateNone);
  if (attributes.hasSubFolders) AddDummy(child);
  return child;
}

TreeNode* NetworkTree::AddServerNode(const std::string& serverPath) {
  TreeNode* root = tree_.Root();
  const auto item = shell_.ParsePath(serverPath);
  if (!root || !item) return nullptr;
  TreeNode* node = AddNetworkItem(*item, root);
  tree_.SortChildren(root, false, CompareNodes);
  return node;
}

int NetworkTree::AddFolderChildren(TreeNode* node) {
  if (!node) return 0;
  if (HasDummyChild(node)) RemoveDummy(node);
  const std::string folderPath = node->Record().folderPath;
  const auto folder = shell_.ParsePath(folderPath);
  listingFailed_ = !folder;
  if (!folder) return 0;
  ScopedCursor hourglass(cursor_, CursorShape::Hourglass);
  int count = 0;
  auto items = shell_.Enumerate(*folder, true);
  listingFailed_ = !items;
  if (items) {
    while (auto item = items->Next()) {
      const ShellAttributes attributes = shell_.Attributes(*item);
      if (attributes.folder) {
        bool candidate = true;
        NodeRecord record = MakeNodeRecord(folderPath + "\\" + shell_.DisplayName(*item), candidate,
                                           "", false, node);
        std::string text = record.nodeName;
        // Every sub-folder shows the box, also one that turned out not markable.
        TreeNode* child = tree_.AddNode(node, std::move(record), std::move(text),
                                        ToNodeIcon(shell_.IconOf(*item)), kStateUnmarked);
        if (attributes.hasSubFolders) AddDummy(child);
        ++count;
      }
      // Between a folder's items the listing only pauses; it lets no events in.
      if (pump_.PauseMs() > 0) pump_.Sleep(pump_.PauseMs());
    }
  }
  tree_.SortChildren(node, false, CompareNodes);
  return count;
}

std::optional<std::string> NetworkTree::NetworkName() {
  const auto network = shell_.NetworkFolder();
  if (!network) return std::nullopt;
  return shell_.DisplayName(*network);
}

int NetworkTree::ExpandNode(TreeNode* node) {
  if (!node) return 0;
  listingFailed_ = false;
  const int added = ListChildren(node);
  // A folder that could not be opened (a server away, a logon refused) keeps its expand
  // button, so that opening it again tries again.
  if (added == 0 && listingFailed_ && node->ChildCount() == 0) AddDummy(node);
  return added;
}

int NetworkTree::ListChildren(TreeNode* node) {
  if (!node->Record().folderPath.empty()) return AddFolderChildren(node);
  if (HasDummyChild(node)) RemoveDummy(node);

  // A network-level node keeps no shell item: find it again by display names from the top.
  auto current = shell_.NetworkFolder();
  if (!current) return 0;
  std::string rest = node->Record().nodePath;
  if (const auto name = NetworkName()) {
    if (const auto below = PathBelow(*name, rest)) rest = *below;
  }
  while (!rest.empty()) {
    const std::string component = TakeComponent(rest);
    std::optional<ShellItem> match;
    if (auto items = shell_.Enumerate(*current, false)) {
      while (auto item = items->Next()) {
        if (shell_.DisplayName(*item) == component) {
          match = std::move(item);
          break;
        }
        pump_.Pause();
      }
    }
    if (!match) return 0;
    current = std::move(match);
  }
  return AddNetworkChildren(*current, node);
}

bool NetworkTree::NodeExpanding(TreeNode* node) {
  if (!startupComplete_ || !startupComplete_()) return true;
  ScopedCursor hourglass(cursor_, CursorShape::Hourglass);
  if (!HasDummyChild(node)) return true;
  return ExpandNode(node) > 0;
}

std::vector<NetworkTree::Mark> NetworkTree::MarksBelow(const TreeNode* node, bool withNode) {
  std::vector<Mark> marks;
  if (!node) return marks;
  if (withNode && (IsMarkedState(node->StateImage()) || node->FailedInLastRun())) {
    marks.push_back({node->Record().folderPath, node->Record().nodePath, node->StateImage(),
                     node->FailedInLastRun()});
  }
  for (int i = 0; i < node->ChildCount(); ++i) {
    std::vector<Mark> below = MarksBelow(node->Child(i), true);
    marks.insert(marks.end(), below.begin(), below.end());
  }
  return marks;
}

std::vector<NetworkTree::Mark> NetworkTree::RestoreMarks(const std::vector<Mark>& marks) {
  std::vector<std::string> folderPaths;
  for (const Mark& mark : marks) folderPaths.push_back(mark.folderPath);
  ListServersAhead(folderPaths);
  std::vector<Mark> lost;
  for (const Mark& mark : marks) {
    RestoreNodes(mark.nodePath);
    TreeNode* node = FindNodeByPath(mark.nodePath);
    if (!node || !node->Record().markable) {
      if (IsMarkedState(mark.state)) lost.push_back(mark);
      continue;
    }
    if (IsMarkedState(mark.state)) tree_.SetStateImage(node, mark.state);
    if (mark.failedInLastRun) tree_.SetFailedInLastRun(node, true);
  }
  return lost;
}

std::vector<NetworkTree::Mark> NetworkTree::Refresh(TreeNode* node) {
  if (!node) return {};
  const std::vector<Mark> marks = MarksBelow(node, false);
  // The servers below are tried again as if for the first time: the node's own, or every
  // server of the network folder when it is the root that is listed again.
  if (!node->Record().folderPath.empty()) shell_.Forget(node->Record().folderPath);
  if (node == tree_.Root()) {
    for (int i = 0; i < node->ChildCount(); ++i) {
      const std::string& path = node->Child(i)->Record().folderPath;
      if (!path.empty()) shell_.Forget(path);
    }
  }
  tree_.RemoveChildren(node);
  if (node == tree_.Root()) {
    if (const auto network = shell_.NetworkFolder()) AddNetworkChildren(*network, node);
  } else {
    // Listed as a first expansion lists it; a folder that cannot be opened keeps its button,
    // and its marks are not looked for (that would only ask the absent server again).
    AddDummy(node);
    if (ExpandNode(node) == 0 && listingFailed_) {
      std::vector<Mark> lost;
      for (const Mark& mark : marks) {
        if (IsMarkedState(mark.state)) lost.push_back(mark);
      }
      return lost;
    }
  }
  tree_.SortChildren(node, false, CompareNodes);
  return RestoreMarks(marks);
}

void NetworkTree::FreeNodeRecords() { tree_.Clear(); }

void NetworkTree::RestoreNodes(const std::string& nodePath) {
  if (nodePath.empty()) return;
  const auto name = NetworkName();
  TreeNode* current = tree_.Root();
  if (!name || !current) return;
  auto rest = PathBelow(*name, nodePath);
  if (!rest) return;
  std::string accumulated = *name;
  while (!rest->empty()) {
    accumulated += '\t';
    accumulated += TakeComponent(*rest);
    if (HasDummyChild(current)) ExpandNode(current);
    TreeNode* next = nullptr;
    for (int i = 0; i < current->ChildCount() && !next; ++i) {
      if (current->Child(i)->Record().nodePath == accumulated) next = current->Child(i);
    }
    if (!next) return;
    current = next;
  }
}

TreeNode* NetworkTree::FindNodeByPath(const std::string& nodePath) {
  const int count = tree_.NodeCount();
  for (int i = 0; i < count; ++i) {
    TreeNode* node = tree_.NodeAt(i);
    if (node->Record().nodePath == nodePath) return node;
  }
  return nullptr;
}

void NetworkTree::ListServersAhead(const std::vector<std::string>& folderPaths) {
  TreeNode* root = tree_.Root();
  if (!root) return;
  std::vector<std::string> servers;
  for (const std::string& path : folderPaths) {
    if (!IsNetworkPath(path)) continue;
    const std::string server = path.substr(0, path.find('\\', 2));
    for (int i = 0; i < root->ChildCount(); ++i) {
      const TreeNode* node = root->Child(i);
      if (!SameFolderPath(node->Record().folderPath, server) || !HasDummyChild(node)) continue;
      const bool known = std::any_of(servers.begin(), servers.end(), [&](const std::string& s) {
        return SameFolderPath(s, server);
      });
      if (!known) servers.push_back(node->Record().folderPath);
      break;
    }
  }
  if (servers.size() < 2) return;
  const int parallel = parallel_ ? parallel_() : 4;
  shell_.ListAhead(servers, std::max(parallel, 1));
}

TreeNode* NetworkTree::RestoreFolderPath(const std::string& folderPath) {
  TreeNode* root = tree_.Root();
  if (!root || !IsNetworkPath(folderPath)) return nullptr;
  std::string path = folderPath;
  while (path.size() > 2 && path.back() == '\\') path.pop_back();
  std::vector<std::string> parts;
  for (std::size_t pos = 2; pos < path.size();) {
    const std::size_t next = std::min(path.find('\\', pos), path.size());
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  if (parts.size() < 2) return nullptr;
  TreeNode* current = nullptr;
  std::string prefix = "\\\\" + parts[0];
  for (int i = 0; i < root->ChildCount() && !current; ++i) {
    if (SameFolderPath(root->Child(i)->Record().folderPath, prefix)) current = root->Child(i);
  }
  if (!current) return nullptr;
  bool reachable = false;
  for (std::size_t k = 1; k < parts.size(); ++k) {
    prefix += "\\" + parts[k];
    if (HasDummyChild(current)) ExpandNode(current);
    TreeNode* next = nullptr;
    for (int i = 0; i < current->ChildCount() && !next; ++i) {
      if (SameFolderPath(current->Child(i)->Record().folderPath, prefix)) next = current->Child(i);
    }
    if (!next) {
      // The listing does not show it (a server whose shares cannot be enumerated, a hidden
      // folder): the level is added as the path names it, once the folder is known to be
      // there. Only a folder that can be reached now is worth a node of its own.
      if (!reachable && !(reachable = shell_.ParsePath(path).has_value())) return nullptr;
      bool candidate = true;
      NodeRecord record = MakeNodeRecord(prefix, candidate, "", false, current);
      std::string text = record.nodeName;
      next = tree_.AddNode(current, std::move(record), std::move(text),
                           k == 1 ? NodeIcon::Share : NodeIcon::Folder, kStateUnmarked);
      // The folder itself lists its sub-folders when opened; a level above it keeps only the
      // way down, as a listing would drop what was added here.
      if (k + 1 == parts.size()) {
        const auto item = shell_.ParsePath(prefix);
        if (item && shell_.Attributes(*item).hasSubFolders) AddDummy(next);
      }
      tree_.SortChildren(current, false, CompareNodes);
    }
    current = next;
  }
  return current;
}

}  // namespace tolvane
