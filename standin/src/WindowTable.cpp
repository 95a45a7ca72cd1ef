#include "WindowTable.h"

#include <algorithm>
#include <cwctype>

namespace standin {
namespace {
// Handles are counted up from here and never reused, so a stale handle stays
// invalid. The low 16 bits keep them apart from integer resource ids.
constexpr uintptr_t kFirstHandle = 0x10020;
constexpr uintptr_t kHandleStep = 4;
constexpr ATOM kFirstAtom = 0xC000;  // where Windows numbers registered classes
constexpr uintptr_t kDesktopHandle = 0x10010;
}  // namespace

WindowTable& WindowTable::Get() {
  static WindowTable table;
  return table;
}

Window* WindowTable::Find(HWND handle) {
  auto found = windows.find(handle);
  return found == windows.end() ? nullptr : found->second.get();
}

std::shared_ptr<WindowClass> WindowTable::FindClass(LPCWSTR name, HINSTANCE instance) {
  if (name == nullptr) return nullptr;
  if (IS_INTRESOURCE(name)) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    for (const auto& windowClass : classes) {
      if (windowClass->atom == atom && windowClass->instance == instance) return windowClass;
    }
    return nullptr;
  }
  const std::wstring wanted = UpperCase(name);
  for (const auto& windowClass : classes) {
    if (windowClass->instance == instance && UpperCase(windowClass->name.c_str()) == wanted) return windowClass;
  }
  return nullptr;
}

HWND WindowTable::NewHandle() {
  return reinterpret_cast<HWND>(kFirstHandle + kHandleStep * handleCounter++);
}

ATOM WindowTable::NewAtom() {
  return static_cast<ATOM>(kFirstAtom + atomCounter++);
}

std::vector<HWND>& WindowTable::Siblings(const Window& window) {
  if (window.parent != nullptr) {
    if (Window* parent = Find(window.parent)) return parent->children;
  }
  return topLevel;
}

void WindowTable::Remove(HWND handle) {
  auto found = windows.find(handle);
  if (found == windows.end()) return;
  std::vector<HWND>& siblings = Siblings(*found->second);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
  if (found->second->windowClass) --found->second->windowClass->windows;
  windows.erase(found);
}

bool WindowTable::OwnerThread(HWND handle, DWORD& thread) {
  WindowTable& table = Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const Window* window = table.Find(handle);
  if (window == nullptr) return false;
  thread = window->thread;
  return true;
}

HWND DesktopWindow() {
  return reinterpret_cast<HWND>(kDesktopHandle);
}

std::wstring UpperCase(LPCWSTR text) {
  std::wstring upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); });
  return upper;
}

}  // namespace standin

namespace standin {
HWND& ThreadFocus() {
  thread_local HWND focus = nullptr;
  return focus;
}
HWND& ThreadActiveWindow() {
  thread_local HWND active = nullptr;
  return active;
}
}  // namespace standin
