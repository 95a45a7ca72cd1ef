// Window classes and the stock icon.
#include <mutex>

#include "WindowTable.h"

namespace {
// The one stock image the stand-in has: IDI_APPLICATION loaded without a
// module. Never dereferenced; just a valid, shared handle.
const uintptr_t kApplicationIcon = 0x7F00;
}  // namespace

extern "C" {

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* description) {
  using namespace standin;
  if (description == nullptr || description->cbSize != sizeof(WNDCLASSEXW) || description->lpszClassName == nullptr ||
      IS_INTRESOURCE(description->lpszClassName) || description->lpszClassName[0] == L'\0' ||
      description->lpfnWndProc == nullptr || description->cbClsExtra < 0 || description->cbWndExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.FindClass(description->lpszClassName, description->hInstance)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto windowClass = std::make_shared<WindowClass>();
  windowClass->name = description->lpszClassName;
  windowClass->instance = description->hInstance;
  windowClass->atom = table.NewAtom();
  windowClass->description = *description;
  // The caller's strings need not outlive the call.
  windowClass->description.lpszClassName = nullptr;
  windowClass->description.lpszMenuName = nullptr;
  table.classes.push_back(windowClass);
  return windowClass->atom;
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
  using namespace standin;
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const auto windowClass = table.FindClass(className, instance);
  if (!windowClass) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  for (auto it = table.classes.begin(); it != table.classes.end(); ++it) {
    if (*it == windowClass) {
      table.classes.erase(it);
      break;
    }
  }
  return TRUE;
}

// Modules carry no icon resources in the stand-in, so only the stock
// application icon (no module given) can be loaded.
HANDLE WINAPI LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT) {
  if (type == IMAGE_ICON && instance == nullptr && name == IDI_APPLICATION) {
    return reinterpret_cast<HANDLE>(kApplicationIcon);
  }
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

}  // extern "C"
