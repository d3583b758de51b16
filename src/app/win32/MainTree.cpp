// The Win32 main window's list view and tree view: they follow the source list and the
// destination tree, and their events go to the controller.
#include <algorithm>
#include <array>

#include "app/core/ViewRules.h"
#include "app/win32/Main.h"
#include "app/win32/Win32Pictures.h"
#include "platform/win32/WideText.h"
#include "tree/NetworkTree.h"

namespace tolvane {
namespace {

// The state picture slot of a mark state: a node that can never be marked shows a blank one,
// so that its icon stays in the same column as its siblings'.
constexpr int kBlankStateSlot = 5;
int StateSlot(int state) { return state >= 1 && state <= 4 ? state : kBlankStateSlot; }

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) {
  return reinterpret_cast<TreeNode*>(a)->Row() - reinterpret_cast<TreeNode*>(b)->Row();
}

}  // namespace

HTREEITEM TfrmMain::ItemOf(const TreeNode* node) const {
  const auto it = items_.find(node);
  return it == items_.end() ? nullptr : it->second;
}

TreeNode* TfrmMain::NodeOf(HWND tree, HTREEITEM item) {
  if (!item) return nullptr;
  TVITEMW info{};
  info.mask = TVIF_PARAM | TVIF_HANDLE;
  info.hItem = item;
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info))) return nullptr;
  return reinterpret_cast<TreeNode*>(info.lParam);
}

void TfrmMain::BeginInsertChildren(TreeNode* parent, int first, int last) {
  inserting_.push_back({parent, first, last, false});
}

void TfrmMain::BeginInsertNode(TreeNode* parent, int row, const NodeRecord& record) {
  // The placeholder under a node not yet listed is not shown: the node gets its expand
  // button instead, and the listing fills it when it opens.
  inserting_.push_back({parent, row, row, IsHiddenPlaceholder(parent, record)});
}

void TfrmMain::EndInsertChildren() {
  if (inserting_.empty()) return;
  const PendingInsert pending = inserting_.back();
  inserting_.pop_back();
  if (pending.placeholder) {
    UpdateItemChildren(pending.parent);
    return;
  }
  const HTREEITEM parentItem = pending.parent ? ItemOf(pending.parent) : TVI_ROOT;
  if (pending.parent && !parentItem) return;
  for (int row = pending.first; row <= pending.last; ++row) {
    TreeNode* node = pending.parent ? pending.parent->Child(row) : controller_.Tree().TopLevel(row);
    std::wstring text = Widen(node->Text());
    TVINSERTSTRUCTW insert{};
    insert.hParent = parentItem;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask =
        TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_CHILDREN;
    insert.item.pszText = text.data();
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    insert.item.iImage = insert.item.iSelectedImage = NodeImageIndex(node->Icon());
    insert.item.state = INDEXTOSTATEIMAGEMASK(StateSlot(node->StateImage()));
    insert.item.stateMask = TVIS_STATEIMAGEMASK;
    insert.item.cChildren = node->ChildCount() > 0 ? 1 : 0;
    const auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(treFolder, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item) items_[node] = item;
  }
  if (pending.parent) UpdateItemChildren(pending.parent);
}

void TfrmMain::BeginRemoveChildren(TreeNode* parent, int first, int last) {
  removing_.push_back({parent, true});
  for (int row = first; row <= last; ++row) {
    TreeNode* node = parent ? parent->Child(row) : controller_.Tree().TopLevel(row);
    const HTREEITEM item = ItemOf(node);
    // The records of the whole branch go with it.
    std::vector<const TreeNode*> branch{node};
    while (!branch.empty()) {
      const TreeNode* n = branch.back();
      branch.pop_back();
      items_.erase(n);
      for (int i = 0; i < n->ChildCount(); ++i) branch.push_back(n->Child(i));
    }
    if (item) SendMessageW(treFolder, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
  }
}

void TfrmMain::EndRemoveChildren() {
  if (removing_.empty()) return;
  TreeNode* parent = removing_.back().first;
  removing_.pop_back();
  if (parent) UpdateItemChildren(parent);
}

void TfrmMain::UpdateItemChildren(TreeNode* node) {
  const HTREEITEM item = ItemOf(node);
  if (!item) return;
  TVITEMW info{};
  info.mask = TVIF_CHILDREN | TVIF_HANDLE;
  info.hItem = item;
  info.cChildren = node->ChildCount() > 0 ? 1 : 0;
  SendMessageW(treFolder, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&info));
}

void TfrmMain::SortItems(TreeNode* parent) {
  TVSORTCB sort{};
  sort.hParent = parent ? ItemOf(parent) : TVI_ROOT;
  sort.lpfnCompare = CompareRows;
  if (sort.hParent) SendMessageW(treFolder, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

void TfrmMain::EndReorder() {
  // The tree's siblings carry their new rows: put every item in that order.
  DestinationTree& tree = controller_.Tree();
  SortItems(nullptr);
  for (int i = 0; i < tree.NodeCount(); ++i) {
    TreeNode* node = tree.NodeAt(i);
    if (node->ChildCount() > 1) SortItems(node);
  }
}

void TfrmMain::StateImageChanged(TreeNode* node) {
  const HTREEITEM item = ItemOf(node);
  if (!item) return;
  TVITEMW info{};
  info.mask = TVIF_STATE | TVIF_HANDLE;
  info.hItem = item;
  // What failed in the last run stands out among the failed marks of earlier runs.
  info.state = INDEXTOSTATEIMAGEMASK(StateSlot(node->StateImage())) |
               (node->FailedInLastRun() ? TVIS_BOLD : 0);
  info.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
  SendMessageW(treFolder, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&info));
}

void TfrmMain::ExpandNode(TreeNode* node) {
  if (const HTREEITEM item = ItemOf(node)) {
    SendMessageW(treFolder, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  }
}

void TfrmMain::CollapseSubtree(TreeNode* node) {
  for (TreeNode* n : CollapseOrder(node)) {
    if (const HTREEITEM item = ItemOf(n)) {
      SendMessageW(treFolder, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
    }
  }
}

void TfrmMain::SelectNode(TreeNode* node) {
  if (const HTREEITEM item = ItemOf(node)) {
    SendMessageW(treFolder, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  }
}

void TfrmMain::BeginInsert(int first, int last) {
  sourceFirst_ = first;
  sourceLast_ = last;
}

void TfrmMain::EndInsert() {
  const SourceList& sources = controller_.Sources();
  for (int row = sourceFirst_; row <= sourceLast_ && row < sources.Count(); ++row) {
    const SourceEntry& entry = sources.At(row);
    std::wstring texts[kSourceColumnCount];
    for (int column = 0; column < kSourceColumnCount; ++column) {
      texts[column] = Widen(SourceColumnText(entry, column));
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = texts[0].data();
    SendMessageW(lstFile, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int column = 1; column < kSourceColumnCount; ++column) {
      LVITEMW sub{};
      sub.iSubItem = column;
      sub.pszText = texts[column].data();
      SendMessageW(lstFile, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&sub));
    }
  }
  FitColumns(sourceFirst_, sourceLast_);
}

void TfrmMain::FitColumns(int first, int last) {
  // What the list view's cell adds around the text it measures.
  constexpr int kCellPadding = 12;
  const SourceList& sources = controller_.Sources();
  std::array<int, kSourceColumnCount> widths{};
  for (int column = 0; column < kSourceColumnCount; ++column) {
    widths[column] = static_cast<int>(SendMessageW(lstFile, LVM_GETCOLUMNWIDTH, column, 0));
  }
  const auto fitted = FitSourceColumns(
      widths, first, last, sources.Count(),
      [&](int row, int column) {
        const std::wstring text = Widen(SourceColumnText(sources.At(row), column));
        return static_cast<int>(
            SendMessageW(lstFile, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
      },
      kCellPadding);
  for (int column = 0; column < kSourceColumnCount; ++column) {
    if (fitted[column] != widths[column]) {
      SendMessageW(lstFile, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), fitted[column]);
    }
  }
}

void TfrmMain::BeginRemove(int first, int last) {
  for (int row = last; row >= first; --row) {
    SendMessageW(lstFile, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  }
}

void TfrmMain::EndRemove() {}

LRESULT TfrmMain::DrawSourcePath(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      break;
    default:
      return CDRF_DODEFAULT;
  }
  const int row = static_cast<int>(draw.nmcd.dwItemSpec);
  if (draw.iSubItem != 0 || row < 0 || row >= controller_.Sources().Count()) {
    return CDRF_DODEFAULT;
  }
  // A long path keeps its start and its name; what lies between gives way, as in the Qt window.
  RECT label{};
  label.left = LVIR_LABEL;
  if (!SendMessageW(lstFile, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                    reinterpret_cast<LPARAM>(&label))) {
    return CDRF_DODEFAULT;
  }
  const bool selected =
      (SendMessageW(lstFile, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
       LVIS_SELECTED) != 0;
  const bool focused = GetFocus() == lstFile;
  const int back = !selected ? COLOR_WINDOW : focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE;
  FillRect(draw.nmcd.hdc, &label, GetSysColorBrush(back));
  SetTextColor(draw.nmcd.hdc,
               GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  SetBkMode(draw.nmcd.hdc, TRANSPARENT);
  std::wstring text = Widen(controller_.Sources().At(row).path);
  RECT inner = label;
  inner.left += 2;
  inner.right -= 2;
  DrawTextW(draw.nmcd.hdc, text.data(), static_cast<int>(text.size()), &inner,
            DT_PATH_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  return CDRF_SKIPDEFAULT;
}

LRESULT TfrmMain::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == lstFile) {
    switch (header.code) {
      case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) &&
            ((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) {
          controller_.Guarded([this] { controller_.lstFileSelectItem(); });
        }
        return 0;
      }
      case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
          controller_.Guarded([this] { controller_.lstFileKeyDown(MainController::kDeleteKey); });
        }
        return 0;
      case NM_DBLCLK:
        controller_.Guarded([this] { controller_.lstFileDblClick(); });
        return 0;
      case NM_CUSTOMDRAW:
        return DrawSourcePath(
            const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header)));
    }
    return 0;
  }
  if (header.hwndFrom == treFolder) {
    switch (header.code) {
      case TVN_ITEMEXPANDINGW: {
        const auto& expanding = reinterpret_cast<const NMTREEVIEWW&>(header);
        if (!(expanding.action & TVE_EXPAND)) return FALSE;
        auto* node = reinterpret_cast<TreeNode*>(expanding.itemNew.lParam);
        bool allow = true;
        controller_.Guarded([&] { allow = controller_.treFolderExpanding(node); });
        return allow ? FALSE : TRUE;
      }
      case NM_CLICK:
        PostMessageW(frmMain, kTreeClicked, 0, 0);
        return 0;
      case TVN_SELCHANGEDW:
        // The status bar follows the selected node, however it was chosen.
        controller_.Guarded([this] { controller_.treFolderChange(); });
        return 0;
      case NM_SETFOCUS:
        controller_.Guarded([this] { controller_.treFolderEnter(); });
        return 0;
      case NM_KILLFOCUS:
        controller_.Guarded([this] { controller_.treFolderExit(); });
        return 0;
    }
    return 0;
  }
  if (header.hwndFrom == ToolBar || header.code == TTN_GETDISPINFOW) {
    if (header.code == TTN_GETDISPINFOW) {
      auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
      const auto hint = hints_.find(static_cast<CommandId>(info.hdr.idFrom));
      if (hint != hints_.end()) {
        static std::wstring text;
        text = Widen(hint->second);
        info.lpszText = text.data();
      }
    }
  }
  return 0;
}

LRESULT CALLBACK TfrmMain::TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<TfrmMain*>(data);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDBLCLK: {
      TVHITTESTINFO hit{};
      hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      SendMessageW(window, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      TreeNode* node = (hit.flags & TVHT_ONITEMSTATEICON) ? NodeOf(window, hit.hItem) : nullptr;
      const bool doublePress = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
                               message == WM_MBUTTONDBLCLK || message == WM_XBUTTONDBLCLK;
      TreePressAction action;
      self->controller_.Guarded([&] {
        action = self->controller_.treFolderPress(
            node, doublePress ? TreePress::DoublePress : TreePress::Press);
      });
      if (action.controlHandles) break;
      // Kept from the tree control, which would also leave the item painted as highlighted;
      // the focus comes here as the control would have given it.
      SetFocus(window);
      return message == WM_XBUTTONDOWN || message == WM_XBUTTONDBLCLK ? TRUE : 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        TreePressAction action;
        self->controller_.Guarded([&] {
          action = self->controller_.treFolderPress(self->SelectedNode(), TreePress::SpaceKey);
        });
        if (!action.controlHandles) return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == L' ') return 0;  // no incremental search on the blank either
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, TreeProc, 1);
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace tolvane
