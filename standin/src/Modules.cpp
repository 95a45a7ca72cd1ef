#include "Modules.h"

#include "Utf8.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <string>

namespace {

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct NameSearch {
  std::string wanted;
  HMODULE found = nullptr;
};

// Compares file names without case, as Windows does module names.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

int VisitModule(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<NameSearch*>(data);
  if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
  if (!SameName(BaseName(info->dlpi_name), search->wanted)) return 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type == PT_LOAD) {
      search->found =
          standin::ModuleOfAddress(reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr));
      return 1;
    }
  }
  return 0;
}

}  // namespace

namespace standin {

HMODULE ModuleOfAddress(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fbase == nullptr) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE MainModule() {
  // The program headers of the main program lie inside its first segment.
  return ModuleOfAddress(reinterpret_cast<const void*>(getauxval(AT_PHDR)));
}

}  // namespace standin

extern "C" {

// A null name gives the main program; otherwise the loaded module whose file
// name (without folder, any case) equals `moduleName`.
HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
  if (moduleName == nullptr) return standin::MainModule();
  NameSearch search{standin::Utf8FromWide(moduleName)};
  dl_iterate_phdr(VisitModule, &search);
  if (search.found == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return search.found;
}

// Modules are never reference counted by the stand-in, so every flag
// combination behaves as with GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT.
BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *module = nullptr;
  if ((flags & GET_MODULE_HANDLE_EX_FLAG_PIN) && (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
    *module = standin::ModuleOfAddress(moduleName);
  } else {
    *module = GetModuleHandleW(moduleName);
  }
  if (*module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

// The full path of the module's file; null means the main program. A path
// that does not fit is cut to size - 1 units, terminated, and reported with
// ERROR_INSUFFICIENT_BUFFER and the return value `size`.
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (module == nullptr) module = standin::MainModule();
  std::string path;
  if (module == standin::MainModule()) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0) path.assign(buffer, static_cast<std::size_t>(length));
  } else {
    Dl_info info{};
    if (dladdr(module, &info) != 0 && info.dli_fname != nullptr && info.dli_fbase == module) {
      char resolved[PATH_MAX];
      path = realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
    }
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::wstring wide = standin::WideFromUtf8(path.c_str());
  if (wide.size() >= size) {
    wide.copy(fileName, size - 1);
    fileName[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  wide.copy(fileName, wide.size());
  fileName[wide.size()] = L'\0';
  return static_cast<DWORD>(wide.size());
}

}  // extern "C"
