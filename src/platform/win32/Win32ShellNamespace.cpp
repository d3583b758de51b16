#include "platform/win32/Win32ShellNamespace.h"

#include <algorithm>
#include <cstring>

#include "platform/NetworkPaths.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {
namespace {

// Asked of every item, as the tree needs: folder, link, has sub-folders (and the file-system
// bits the shell reports together with them).
constexpr SFGAOF kAttributeQuery = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER |
                                   SFGAO_FILESYSANCESTOR | SFGAO_SHARE | SFGAO_LINK;

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* p) : p_(p) {}
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** put() { return &p_; }
  void** putVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// A list the shell allocated, freed with the shell's allocator.
class ShellList {
 public:
  ShellList() = default;
  ~ShellList() { CoTaskMemFree(p_); }
  ShellList(const ShellList&) = delete;
  ShellList& operator=(const ShellList&) = delete;
  LPITEMIDLIST get() const { return p_; }
  LPITEMIDLIST* put() { return &p_; }

 private:
  LPITEMIDLIST p_ = nullptr;
};

std::size_t ListSize(LPCITEMIDLIST list) {
  std::size_t size = 0;
  for (auto p = reinterpret_cast<const BYTE*>(list);;) {
    USHORT cb;
    std::memcpy(&cb, p + size, sizeof cb);
    if (cb == 0) return size;
    size += cb;
  }
}

// The bytes of a list with its two-byte terminator.
std::string ListBytes(LPCITEMIDLIST list) {
  return std::string(reinterpret_cast<const char*>(list), ListSize(list) + 2);
}

// An absolute list from a folder's absolute list and an item relative to it.
std::string Concat(const std::string& folder, LPCITEMIDLIST relative) {
  return folder.substr(0, folder.size() - 2) + ListBytes(relative);
}

// The id of a shell item is its list; a malformed id (not ending in the terminator) is none.
LPCITEMIDLIST ListOf(const ShellItem& item) {
  if (item.id.size() < 2 || item.id[item.id.size() - 1] != 0 || item.id[item.id.size() - 2] != 0) {
    return nullptr;
  }
  return reinterpret_cast<LPCITEMIDLIST>(item.id.data());
}

bool IsDesktopList(LPCITEMIDLIST list) { return ListSize(list) == 0; }

std::string FromStrRet(STRRET& strret, LPCITEMIDLIST item) {
  wchar_t buffer[MAX_PATH * 2] = {};
  // StrRetToBufW reads every kind (wide string, offset into the item, ANSI string) and frees
  // the wide string the shell allocated.
  if (FAILED(StrRetToBufW(&strret, item, buffer, static_cast<UINT>(std::size(buffer))))) {
    return {};
  }
  return Narrow(buffer);
}

std::size_t ComponentCount(const std::string& uncPath) {
  std::size_t count = 0;
  std::size_t pos = 2;
  while (pos < uncPath.size()) {
    const std::size_t next = std::min(uncPath.find('\\', pos), uncPath.size());
    if (next > pos) ++count;
    pos = next + 1;
  }
  return count;
}

class Win32Enumerator : public ShellEnumerator {
 public:
  Win32Enumerator(std::string folder, IShellFolder* shellFolder, IEnumIDList* items)
      : folder_(std::move(folder)), shellFolder_(shellFolder), items_(items) {}
  std::optional<ShellItem> Next() override {
    ShellList item;
    if (!items_.get() || items_->Next(1, item.put(), nullptr) != S_OK || !item.get())
      return std::nullopt;
    return ShellItem{Concat(folder_, item.get())};
  }

 private:
  std::string folder_;
  ComRef<IShellFolder> shellFolder_;  // kept alive while its enumerator runs
  ComRef<IEnumIDList> items_;
};

// The parent folder of an absolute list and the item's last part within it.
struct Parent {
  ComRef<IShellFolder> folder;
  LPCITEMIDLIST child = nullptr;
};

bool BindToParent(LPCITEMIDLIST list, Parent& parent) {
  return list &&
         SUCCEEDED(SHBindToParent(list, IID_IShellFolder, parent.folder.putVoid(), &parent.child));
}

}  // namespace

ShellIcon IconKindOf(bool isNetworkFolder, const ShellAttributes& attributes,
                     const std::string& fileSystemPath) {
  if (isNetworkFolder) return ShellIcon::Network;
  if (attributes.link) return ShellIcon::Shortcut;
  if (IsNetworkPath(fileSystemPath)) {
    switch (ComponentCount(fileSystemPath)) {
      case 1:
        return ShellIcon::Server;
      case 2:
        return ShellIcon::Share;
      default:
        return ShellIcon::Folder;
    }
  }
  if (!fileSystemPath.empty()) return attributes.folder ? ShellIcon::Folder : ShellIcon::Other;
  return attributes.folder ? ShellIcon::Workgroup : ShellIcon::Other;
}

Win32ShellNamespace::Win32ShellNamespace() {
  comReady_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  IShellFolder* desktop = nullptr;
  if (SUCCEEDED(SHGetDesktopFolder(&desktop))) desktop_ = desktop;
}

Win32ShellNamespace::~Win32ShellNamespace() {
  if (desktop_) static_cast<IShellFolder*>(desktop_)->Release();
  if (comReady_) CoUninitialize();
}

std::optional<ShellItem> Win32ShellNamespace::NetworkFolder() {
  ShellList list;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_NETWORK, list.put())) || !list.get()) {
    return std::nullopt;
  }
  return ShellItem{ListBytes(list.get())};
}

std::string Win32ShellNamespace::DisplayName(const ShellItem& item) {
  Parent parent;
  if (!BindToParent(ListOf(item), parent)) return {};
  STRRET strret{};
  if (FAILED(parent.folder->GetDisplayNameOf(parent.child, SHGDN_NORMAL, &strret))) return {};
  return FromStrRet(strret, parent.child);
}

std::unique_ptr<ShellEnumerator> Win32ShellNamespace::Enumerate(const ShellItem& folder,
                                                                bool foldersOnly) {
  const LPCITEMIDLIST list = ListOf(folder);
  auto* desktop = static_cast<IShellFolder*>(desktop_);
  if (!list || !desktop) return nullptr;
  IShellFolder* shellFolder = nullptr;
  if (IsDesktopList(list)) {
    desktop->AddRef();
    shellFolder = desktop;
  } else if (FAILED(desktop->BindToObject(list, nullptr, IID_IShellFolder,
                                          reinterpret_cast<void**>(&shellFolder)))) {
    return nullptr;
  }
  ComRef<IShellFolder> bound(shellFolder);
  const SHCONTF flags =
      foldersOnly ? SHCONTF_FOLDERS : SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;
  IEnumIDList* items = nullptr;
  // S_FALSE with no enumerator is an empty folder, not a failure.
  const HRESULT hr = bound->EnumObjects(nullptr, flags, &items);
  if (FAILED(hr)) return nullptr;
  if (!items) return std::make_unique<Win32Enumerator>(folder.id, nullptr, nullptr);
  shellFolder->AddRef();
  return std::make_unique<Win32Enumerator>(folder.id, shellFolder, items);
}

ShellAttributes Win32ShellNamespace::Attributes(const ShellItem& item) {
  Parent parent;
  if (!BindToParent(ListOf(item), parent)) return {};
  SFGAOF attributes = kAttributeQuery;
  if (FAILED(parent.folder->GetAttributesOf(1, &parent.child, &attributes))) return {};
  return ShellAttributes{(attributes & SFGAO_FOLDER) != 0, (attributes & SFGAO_LINK) != 0,
                         (attributes & SFGAO_HASSUBFOLDER) != 0};
}

std::wstring PathOfItemList(const void* list) {
  const auto items = static_cast<LPCITEMIDLIST>(list);
  if (!items) return {};
  // The longest path the system takes.
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(items, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    // A shell without the longer call still gives the paths of the old length.
    path.assign(MAX_PATH, L'\0');
    if (!SHGetPathFromIDListW(items, path.data())) return {};
  }
  path.resize(std::char_traits<wchar_t>::length(path.c_str()));
  return path;
}

std::string Win32ShellNamespace::FileSystemPath(const ShellItem& item) {
  const std::wstring path = PathOfItemList(ListOf(item));
  // A virtual folder has no file-system path; some shells hand out its parsing name
  // ("::{CLSID}") instead, which is no path either.
  if (path.empty() || path.rfind(L"::", 0) == 0) return {};
  return Narrow(path);
}

std::optional<ShellItem> Win32ShellNamespace::ParsePath(const std::string& path) {
  auto* desktop = static_cast<IShellFolder*>(desktop_);
  if (!desktop || path.empty()) return std::nullopt;
  std::wstring wide = Widen(path);
  ShellList list;
  if (FAILED(
          desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, list.put(), nullptr)) ||
      !list.get()) {
    return std::nullopt;
  }
  ShellItem item{ListBytes(list.get())};
  if (!Attributes(item).folder) return std::nullopt;
  return item;
}

std::optional<std::string> Win32ShellNamespace::ResolveShortcut(const std::string& shortcutPath) {
  // Balanced on every path out: the caller may not have set up COM on this thread.
  const bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::optional<std::string> target;
  {
    ComRef<IShellLinkW> link;
    ComRef<IPersistFile> file;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   link.putVoid())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.putVoid())) &&
        file->Load(Widen(shortcutPath).c_str(), STGM_READ) == S_OK) {
      std::wstring buffer(32768, L'\0');
      WIN32_FIND_DATAW data{};
      // A target the link cannot fill in stays empty; the caller then treats the item as one
      // without a network path.
      if (FAILED(link->GetPath(buffer.data(), static_cast<int>(buffer.size()), &data,
                               SLGP_UNCPRIORITY))) {
        buffer[0] = L'\0';
      }
      target = Narrow(buffer.c_str());
    }
  }
  if (initialised) CoUninitialize();
  return target;
}

ShellIcon Win32ShellNamespace::IconOf(const ShellItem& item) {
  const auto network = NetworkFolder();
  return IconKindOf(network && *network == item, Attributes(item), FileSystemPath(item));
}

int Win32ShellNamespace::SystemIconIndex(const ShellItem& item) {
  const LPCITEMIDLIST list = ListOf(item);
  if (!list) return -1;
  SHFILEINFOW info{};
  const DWORD_PTR imageList = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                                             SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  return imageList ? info.iIcon : -1;
}

}  // namespace tolvane
