#pragma once

#include <windows.h>

namespace webhost {

// The module that holds the web view host's code: the plug-in module, not
// the host application. Its reference count is left unchanged. Null (with
// the Win32 error set) when the look-up fails.
HMODULE OwnModule();

}  // namespace webhost
