// The records behind window classes and window handles. One lock guards them
// all; window procedures are always called with it released, since they call
// back into the window functions.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {

struct WindowClass {
  std::wstring name;  // compared case-insensitively, as Windows does
  HINSTANCE instance = nullptr;
  ATOM atom = 0;
  WNDCLASSEXW description{};
  int windows = 0;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC procedure = nullptr;
  DWORD thread = 0;
  DWORD style = 0;  // WS_VISIBLE here is the window's own visibility flag
  DWORD exStyle = 0;
  HWND parent = nullptr;  // the real parent; null for top-level windows
  HWND owner = nullptr;
  HINSTANCE instance = nullptr;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  RECT rect{};   // outer rectangle in the parent's client coordinates (screen for top-level)
  RECT frame{};  // non-client thickness per side; recomputed only on creation and SWP_FRAMECHANGED
  bool hasMenu = false;
  std::wstring text;
  std::vector<unsigned char> extra;  // cbWndExtra bytes
  bool invalid = true;               // has an update region
  bool destroying = false;
  std::vector<HWND> children;  // z-order, topmost first
};

class WindowTable {
 public:
  static WindowTable& Get();

  // All members below require `mutex` to be held.
  std::mutex mutex;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::vector<HWND> topLevel;  // z-order of parentless windows, topmost first

  Window* Find(HWND handle);
  std::shared_ptr<WindowClass> FindClass(LPCWSTR name, HINSTANCE instance);
  HWND NewHandle();
  ATOM NewAtom();
  // The z-order list holding `window` (its parent's children or topLevel).
  std::vector<HWND>& Siblings(const Window& window);

  // Takes `handle` out of the table and its z-order list.
  void Remove(HWND handle);

  // Locks, and tells the thread that owns `handle`; false if it is no window.
  static bool OwnerThread(HWND handle, DWORD& thread);

 private:
  uintptr_t handleCounter = 0;
  ATOM atomCounter = 0;
};

// The pseudo-window standing for the desktop: the parent of top-level windows.
HWND DesktopWindow();

// Upper-cases the way Win32 compares class and resource names.
std::wstring UpperCase(LPCWSTR text);

}  // namespace standin

namespace standin {
// The calling thread's keyboard focus and active window.
HWND& ThreadFocus();
HWND& ThreadActiveWindow();
}  // namespace standin
