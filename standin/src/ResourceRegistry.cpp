// The registry of resource tables, one list for the module this copy of the
// stand-in is linked into. Tables register while static objects are being
// constructed, so the list head is a plain pointer, ready before any of them.
#include <standin/ResourceTable.h>

#include <mutex>

#include "Modules.h"
#include "WindowTable.h"

namespace standin {
namespace {

ResourceTable* firstTable = nullptr;

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

ResourceTableRegistration::ResourceTableRegistration(ResourceTable& table) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  table.next = firstTable;
  firstTable = &table;
}

bool ModuleHasResources(HMODULE module) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (const ResourceTable* table = firstTable; table != nullptr; table = table->next) {
    if (ModuleOfAddress(table) == module) return true;
  }
  return false;
}

const ResourceEntry* FindResourceEntry(HMODULE module, const wchar_t* name) {
  const std::wstring wanted = UpperCase(name);
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (const ResourceTable* table = firstTable; table != nullptr; table = table->next) {
    if (ModuleOfAddress(table) != module) continue;
    for (std::size_t i = 0; i < table->count; ++i) {
      if (wanted == table->entries[i].name) return &table->entries[i];
    }
  }
  return nullptr;
}

bool IsResourceEntry(const ResourceEntry* entry) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (const ResourceTable* table = firstTable; table != nullptr; table = table->next) {
    if (entry >= table->entries && entry < table->entries + table->count) return true;
  }
  return false;
}

}  // namespace standin
