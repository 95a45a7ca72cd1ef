// The Linux module entry hosts call after dlopen and before dlclose.
#include "ModuleEntry.h"

#include "pluginterfaces/base/fplatform.h"

#include <dlfcn.h>

extern "C" {
bool InitDll();
bool ExitDll();

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleEntry), &info) && info.dli_fname)
    kelo::recordModule(sharedLibraryHandle, info.dli_fname);
  return InitDll();
}

SMTG_EXPORT_SYMBOL bool ModuleExit() {
  return ExitDll();
}
}
