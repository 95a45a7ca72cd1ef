// A loadable module built like the plug-in: the stand-in linked in with hidden
// symbols and the page's resource table. Its one export looks a resource up
// the way the resource server does, from inside the module.
#include <windows.h>

extern "C" __attribute__((visibility("default"))) long KeloTestModuleResourceSize(const wchar_t* name,
                                                                                   const void** data) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&KeloTestModuleResourceSize), &module)) {
    return -1;
  }
  HRSRC resource = FindResourceW(module, name, RT_RCDATA);
  if (resource == nullptr) return -static_cast<long>(GetLastError());
  *data = LockResource(LoadResource(module, resource));
  return static_cast<long>(SizeofResource(module, resource));
}
