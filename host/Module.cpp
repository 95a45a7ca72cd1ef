#include "Module.h"

#include <cstring>
#include <filesystem>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kelo::host {

using namespace Steinberg;

namespace {

using ModuleEntryFunction = bool(void*);
using ModuleExitFunction = bool();
using GetFactoryFunction = IPluginFactory*();

#if defined(_WIN32)
// Windows hosts call InitDll after loading and ExitDll before unloading.
constexpr const char* kArchitecture = "x86_64-win";
constexpr const char* kLibrarySuffix = ".vst3";
constexpr const char* kEntryName = "InitDll";
constexpr const char* kExitName = "ExitDll";
#elif defined(__x86_64__)
constexpr const char* kArchitecture = "x86_64-linux";
#elif defined(__aarch64__)
constexpr const char* kArchitecture = "aarch64-linux";
#else
constexpr const char* kArchitecture = "i386-linux";
#endif
#if !defined(_WIN32)
constexpr const char* kLibrarySuffix = ".so";
constexpr const char* kEntryName = "ModuleEntry";
constexpr const char* kExitName = "ModuleExit";
#endif

bool isDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::u8path(path), error);
}

#if defined(_WIN32)
void* openLibrary(const std::string& path, std::string& reason) {
  HMODULE module = LoadLibraryW(std::filesystem::u8path(path).wstring().c_str());
  if (!module) reason = "error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(module);
}

void* librarySymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void closeLibrary(void* handle) {
  FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* openLibrary(const std::string& path, std::string& reason) {
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!handle) {
    const char* text = dlerror();
    reason = text ? text : "unknown reason";
  }
  return handle;
}

void* librarySymbol(void* handle, const char* name) {
  return dlsym(handle, name);
}

void closeLibrary(void* handle) {
  dlclose(handle);
}
#endif

// Linux hosts hand ModuleEntry the library handle; InitDll takes nothing.
bool enter(void* entry, void* handle) {
#if defined(_WIN32)
  (void)handle;
  return reinterpret_cast<bool (*)()>(entry)();
#else
  return reinterpret_cast<ModuleEntryFunction*>(entry)(handle);
#endif
}

}  // namespace

std::string moduleLibraryPath(const std::string& path) {
  if (!isDirectory(path)) return path;
  std::string bundle = path;
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  std::string stem = bundle.substr(bundle.find_last_of('/') + 1);
  const std::string extension = ".vst3";
  if (stem.size() > extension.size() && stem.compare(stem.size() - extension.size(), extension.size(), extension) == 0)
    stem.resize(stem.size() - extension.size());
  return bundle + "/Contents/" + kArchitecture + "/" + stem + kLibrarySuffix;
}

Module::Module(const std::string& path) : library(moduleLibraryPath(path)) {
  std::string reason;
  handle = openLibrary(library, reason);
  if (!handle) {
    fail("cannot open '" + library + "': " + reason);
    return;
  }
  void* entry = rawSymbol(kEntryName);
  if (!entry) {
    fail("'" + library + "' does not export " + kEntryName);
    return;
  }
  if (!enter(entry, handle)) {
    fail(std::string(kEntryName) + " of '" + library + "' returned false");
    return;
  }
  entered = true;
  auto* getFactory = symbol<GetFactoryFunction>("GetPluginFactory");
  if (!getFactory) {
    fail("'" + library + "' does not export GetPluginFactory");
    return;
  }
  factoryPtr = getFactory();
  if (!factoryPtr) fail("GetPluginFactory of '" + library + "' returned null");
}

Module::~Module() {
  if (factoryPtr) factoryPtr->release();
  factoryPtr = nullptr;
  if (entered) {
    if (auto* exit = symbol<ModuleExitFunction>(kExitName)) exit();
  }
  if (handle) closeLibrary(handle);
}

void Module::fail(std::string message) {
  error = std::move(message);
}

void* Module::rawSymbol(const char* name) const {
  if (!handle || !name) return nullptr;
  return librarySymbol(handle, name);
}

bool Module::findClass(const char* category, TUID cid) const {
  if (!factoryPtr || !category) return false;
  const int32 count = factoryPtr->countClasses();
  for (int32 index = 0; index < count; ++index) {
    PClassInfo info{};
    if (factoryPtr->getClassInfo(index, &info) != kResultOk) continue;
    if (std::strncmp(info.category, category, PClassInfo::kCategorySize) == 0) {
      std::memcpy(cid, info.cid, sizeof(TUID));
      return true;
    }
  }
  return false;
}

}  // namespace kelo::host
