// InitDll/ExitDll: the module reference count. When the last user lets go,
// the editor's window class is taken away, so that no class outlives the
// window procedure inside this module; on Linux the browsers of closed
// editors still being ended in the background are killed and reaped, so
// that no thread runs this module's code after it is unloaded.
#include "ModuleEntry.h"

#include "WebviewWin32.h"

#include "pluginterfaces/base/fplatform.h"

#include <cstdint>

#if SMTG_OS_LINUX
#include <standin/BrowserReaps.h>
#endif

namespace kelo {

namespace {
void* handle = nullptr;
std::string folder;
std::int32_t moduleCount = 0;
}  // namespace

void* moduleHandle() {
  return handle;
}

const std::string& moduleFolder() {
  return folder;
}

void recordModule(void* moduleHandleValue, const std::string& filePath) {
  handle = moduleHandleValue;
  const auto separator = filePath.find_last_of("/\\");
  folder = separator == std::string::npos ? std::string() : filePath.substr(0, separator + 1);
}

}  // namespace kelo

extern "C" {

SMTG_EXPORT_SYMBOL bool InitDll() {
  ++kelo::moduleCount;
  return true;
}

SMTG_EXPORT_SYMBOL bool ExitDll() {
  --kelo::moduleCount;
  if (kelo::moduleCount == 0) {
    webhost::WebviewWin32::UnregisterWindowClass();
#if SMTG_OS_LINUX
    standin::FinishBrowserReaps();
#endif
  }
  return kelo::moduleCount >= 0;
}

}  // extern "C"
