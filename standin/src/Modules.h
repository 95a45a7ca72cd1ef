// Module handles: an HMODULE is the load address of an ELF image (dladdr's
// dli_fbase), the main program's included.
#pragma once

#include <windows.h>

namespace standin {

// The module whose image holds `address`, or null.
HMODULE ModuleOfAddress(const void* address);
// The main program.
HMODULE MainModule();

}  // namespace standin
