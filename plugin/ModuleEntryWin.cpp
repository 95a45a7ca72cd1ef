// The Windows process-attach hook: records the instance handle and the
// folder of the module file.
#include "ModuleEntry.h"

#include "WebviewWin32.h"

#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH) {
    // The editor's window class normally leaves with the last ExitDll, outside
    // the loader lock. A host that frees the module without that call would
    // leave a class whose procedure is no longer mapped; a window made from it
    // later (another module loaded at this address registering its own
    // "webview" finds ours) would crash. So here, and only then, the class is
    // taken away under the loader lock. That user32 call is safe where
    // Windows' guidance warns about user32 in DllMain: user32 is one of this
    // module's own imports, so the loader initialised it before this module
    // and detaches it after; UnregisterClassW loads nothing, sends no
    // message and waits on no other thread. UnregisterWindowClass makes the
    // call only while the class is still registered, so the usual unload
    // touches user32 not at all. At process exit (reserved not null) other
    // threads are gone and the process's classes go with it: nothing to do.
    if (reserved == nullptr) webhost::WebviewWin32::UnregisterWindowClass();
    return TRUE;
  }
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  WCHAR path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), utf8.data(), bytes, nullptr, nullptr);
  kelo::recordModule(instance, utf8);
  return TRUE;
}
