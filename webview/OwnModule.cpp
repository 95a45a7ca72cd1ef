#include "OwnModule.h"

namespace webhost {

HMODULE OwnModule() {
  HMODULE module = nullptr;
  // Any address inside this module identifies it; this function's own will do.
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnModule), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace webhost
