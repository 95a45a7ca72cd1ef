// The exported entry points a Linux host program uses; see kelo_linux_host.h.
#include <kelo_linux_host.h>
#include <standin/ThreadTasks.h>
#include <windows.h>

#include "Utf8.h"

#include <string>

namespace {

constexpr const wchar_t* kHostClass = L"KeloLinuxHost";

LRESULT CALLBACK HostWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

KELO_LINUX_HOST_API void* KeloLinuxCreateHostWindow(int width, int height, const char* titleUtf8) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = HostWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kHostClass;
  RegisterClassExW(&windowClass);  // fails harmlessly once the class exists

  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, style, FALSE);
  const std::wstring title = standin::WideFromUtf8(titleUtf8);
  HWND window = CreateWindowExW(0, kHostClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance,
                                nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}

KELO_LINUX_HOST_API void KeloLinuxDestroyHostWindow(void* window) {
  HWND handle = static_cast<HWND>(window);
  if (handle != nullptr && IsWindow(handle)) DestroyWindow(handle);
}

KELO_LINUX_HOST_API int KeloLinuxPumpMessages(int timeoutMs) { return standin::PumpMessages(timeoutMs); }
