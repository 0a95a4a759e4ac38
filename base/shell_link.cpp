// Shell links through IShellLinkW and IPersistFile: the narrow interface turns every Chinese
// character of a path into "?" under a Western code page.
#include "base/shell_link.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace base {

namespace {

template <class T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
};

}  // namespace

bool SaveShellLink(const std::wstring& linkFile, const std::wstring& target, const std::wstring& workingDir,
                   const std::wstring& description) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))))
    return false;
  if (FAILED(link.p->SetPath(target.c_str()))) return false;
  if (!workingDir.empty() && FAILED(link.p->SetWorkingDirectory(workingDir.c_str()))) return false;
  if (FAILED(link.p->SetDescription(description.c_str()))) return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)))) return false;
  return file.p->Save(linkFile.c_str(), TRUE) == S_OK;
}

std::wstring ShellLinkTarget(const std::wstring& linkFile) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))))
    return {};
  ComPtr<IPersistFile> file;
  if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) ||
      FAILED(file.p->Load(linkFile.c_str(), STGM_READ)))
    return {};
  PIDLIST_ABSOLUTE items = nullptr;
  if (FAILED(link.p->GetIDList(&items)) || !items) return {};
  wchar_t path[MAX_PATH * 2] = {};
  const bool named = ::SHGetPathFromIDListW(items, path) != FALSE;
  ::CoTaskMemFree(items);
  return named ? std::wstring(path) : std::wstring();
}

}  // namespace base
