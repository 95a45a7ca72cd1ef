// The exported entry points a Linux host program uses; see kelo_linux_host.h.
#include <kelo_linux_host.h>
#include <standin/ThreadTasks.h>
#include <windows.h>

#include "Utf8.h"
#include "X11Backings.h"
#include "X11Connection.h"

#include <string>

namespace {

constexpr const wchar_t* kHostClass = L"KeloLinuxHost";

using standin::X11Backing;
using standin::X11Backings;
using standin::X11Connection;

// The frame's real window on the X display: what a user sees, and where the
// browser's window is placed. None without a display.
void MakeX11Frame(HWND window, int width, int height, const char* titleUtf8) {
  Display* display = X11Connection::Get();
  if (display == nullptr) return;
  const int screen = DefaultScreen(display);
  ::Window frame = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, 0, BlackPixel(display, screen));
  if (frame == 0) return;
  if (titleUtf8 != nullptr) XStoreName(display, frame, titleUtf8);
  XMapWindow(display, frame);
  XSync(display, False);
  X11Backings::Set(window, X11Backing{frame});
}

LRESULT CALLBACK HostWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  X11Backing backing;
  if (message == WM_DESTROY && X11Backings::FindFrom(window, &backing)) {
    X11Backings::Remove(window);
    if (Display* display = X11Connection::Get()) {
      X11Connection::ErrorTrap trap(display);
      XDestroyWindow(display, backing.window);
    }
  }
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
  HWND window =
      CreateWindowExW(0, kHostClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                      outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) {
    MakeX11Frame(window, width, height, titleUtf8);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}

KELO_LINUX_HOST_API void KeloLinuxDestroyHostWindow(void* window) {
  HWND handle = static_cast<HWND>(window);
  if (handle != nullptr && IsWindow(handle)) DestroyWindow(handle);
}

KELO_LINUX_HOST_API int KeloLinuxPumpMessages(int timeoutMs) {
  // The browser's window is kept in place through events on the X connection.
  X11Connection::ProcessEvents();
  const int handled = standin::PumpMessages(timeoutMs);
  X11Connection::ProcessEvents();
  return handled;
}
