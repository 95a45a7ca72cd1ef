// The wrapper windows for another program's X11 window.
#include <standin/X11Embedding.h>

#include "X11Backings.h"
#include "X11Connection.h"

namespace standin {
namespace {

constexpr const wchar_t* kWrapperClass = L"KeloX11Parent";

LRESULT CALLBACK WrapperProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) X11Backings::Remove(window);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND WrapX11Window(unsigned long xid, int width, int height) {
  if (xid == 0 || X11Connection::Get() == nullptr) return nullptr;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WrapperProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWrapperClass;
  RegisterClassExW(&windowClass);  // fails harmlessly once the class exists
  // A frameless pop-up: its client area is exactly the host's window.
  HWND window = CreateWindowExW(0, kWrapperClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) return nullptr;
  X11Backings::Set(window, X11Backing{xid});
  ShowWindow(window, SW_SHOW);
  return window;
}

int X11ConnectionFd() {
  Display* display = X11Connection::Get();
  return display ? ConnectionNumber(display) : -1;
}

void ProcessX11Events() {
  X11Connection::ProcessEvents();
}

}  // namespace standin
