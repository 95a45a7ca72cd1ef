// CreateCoreWebView2EnvironmentWithOptions for a Windows build without
// Microsoft's static loader: the function is taken at run time from
// WebView2Loader.dll, first the one beside this module (the bundle's
// Contents/x86_64-win/), then one on the system's search path. Without
// either, environment creation fails at once, as it does on a machine
// without the WebView2 runtime, and a later call looks again.
#include <WebView2.h>

#include <windows.h>

namespace {

using CreateEnvironmentFunction = HRESULT(STDAPICALLTYPE*)(PCWSTR, PCWSTR, ICoreWebView2EnvironmentOptions*,
                                                           ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);

constexpr wchar_t kLoaderName[] = L"WebView2Loader.dll";

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

HMODULE LoadBesideThisModule() {
  WCHAR path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  DWORD cut = length;
  while (cut > 0 && path[cut - 1] != L'\\' && path[cut - 1] != L'/') --cut;
  if (cut + (sizeof kLoaderName / sizeof kLoaderName[0]) > MAX_PATH) return nullptr;
  for (const wchar_t* name = kLoaderName; *name != L'\0'; ++name) path[cut++] = *name;
  path[cut] = L'\0';
  return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

// The search path without the current folder, so that no loader planted in a
// project's folder is picked up.
HMODULE LoadFromSearchPath() {
  return LoadLibraryExW(kLoaderName, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

// Found once, the loader stays for the life of the process: unloading it
// would have to happen in DllMain, under the loader lock.
CreateEnvironmentFunction Resolve() {
  static CreateEnvironmentFunction found = nullptr;
  if (found != nullptr) return found;
  HMODULE loader = LoadBesideThisModule();
  if (loader == nullptr) loader = LoadFromSearchPath();
  if (loader == nullptr) return nullptr;
  found = reinterpret_cast<CreateEnvironmentFunction>(
      reinterpret_cast<void*>(GetProcAddress(loader, "CreateCoreWebView2EnvironmentWithOptions")));
  if (found == nullptr) {
    FreeLibrary(loader);
    SetLastError(ERROR_PROC_NOT_FOUND);
  }
  return found;
}

}  // namespace

STDAPI CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
  const CreateEnvironmentFunction create = Resolve();
  if (create == nullptr) {
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error != 0 ? error : ERROR_MOD_NOT_FOUND);
  }
  return create(browserExecutableFolder, userDataFolder, environmentOptions, environmentCreatedHandler);
}
