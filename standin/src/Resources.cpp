// Raw-data resources out of the module's generated resource table.
#include <standin/ResourceTable.h>

#include <string>

#include "Modules.h"

namespace {

constexpr ULONG_PTR kRcData = 10;

bool IsRcData(LPCWSTR type) {
  if (type == nullptr) return false;
  if (IS_INTRESOURCE(type)) return reinterpret_cast<ULONG_PTR>(type) == kRcData;
  return std::wstring(type) == L"#10";
}

const standin::ResourceEntry* EntryOf(HRSRC resource) {
  const auto* entry = reinterpret_cast<const standin::ResourceEntry*>(resource);
  if (entry == nullptr || !standin::IsResourceEntry(entry)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return entry;
}

}  // namespace

extern "C" {

// Only RT_RCDATA resources with string names exist; names compare without
// case. A null module means the main program.
HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  if (module == nullptr) module = standin::MainModule();
  if (!standin::ModuleHasResources(module)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!IsRcData(type)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  const standin::ResourceEntry* entry = nullptr;
  if (name != nullptr && !IS_INTRESOURCE(name) && name[0] != L'#') {
    entry = standin::FindResourceEntry(module, name);
  }
  if (entry == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<standin::ResourceEntry*>(entry));
}

// The bytes live in the module image, so loading needs no copy and no release.
HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
  const standin::ResourceEntry* entry = EntryOf(resource);
  return entry == nullptr ? nullptr : const_cast<unsigned char*>(entry->data);
}

LPVOID WINAPI LockResource(HGLOBAL data) {
  return data;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
  const standin::ResourceEntry* entry = EntryOf(resource);
  return entry == nullptr ? 0 : entry->size;
}

BOOL WINAPI FreeResource(HGLOBAL) {
  return FALSE;
}

}  // extern "C"
