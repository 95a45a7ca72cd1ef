// The application-data folder and path joining.
#include <shlobj.h>
#include <shlwapi.h>

#include "Utf8.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kSeparator = L'/';

bool IsSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

// $XDG_CONFIG_HOME if set to an absolute path (the XDG rule), else
// $HOME/.config; empty when neither is available.
std::string ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    std::string folder = home;
    if (folder.back() != '/') folder += '/';
    return folder + ".config";
  }
  return std::string();
}

bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

extern "C" {

HRESULT WINAPI SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (path == nullptr) return E_INVALIDARG;
  path[0] = L'\0';
  if ((folder & ~CSIDL_FLAG_MASK) != CSIDL_APPDATA) return E_INVALIDARG;
  const std::string found = ConfigFolder();
  if (found.empty()) return E_FAIL;
  if ((folder & CSIDL_FLAG_CREATE) && !MakeFolders(found)) return E_FAIL;
  const std::wstring wide = standin::WideFromUtf8(found.c_str());
  if (wide.empty() || wide.size() >= MAX_PATH) return E_FAIL;
  wide.copy(path, wide.size());
  path[wide.size()] = L'\0';
  return S_OK;
}

BOOL WINAPI PathAppendW(LPWSTR path, LPCWSTR more) {
  if (path == nullptr || more == nullptr) return FALSE;
  std::wstring joined = path;
  std::wstring tail = more;
  tail.erase(0, tail.find_first_not_of(L"/\\") == std::wstring::npos ? tail.size() : tail.find_first_not_of(L"/\\"));
  if (!joined.empty() && !tail.empty() && !IsSeparator(joined.back())) joined += kSeparator;
  joined += tail;
  if (joined.size() >= MAX_PATH) return FALSE;
  joined.copy(path, joined.size());
  path[joined.size()] = L'\0';
  return TRUE;
}

}  // extern "C"
