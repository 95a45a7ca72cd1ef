// Creating and destroying windows, parents, window longs, text, and message
// delivery to window procedures.
//
// Messages a function delivers synchronously (SendMessageW, DestroyWindow,
// SetWindowTextW, ...) reach the window procedure only on the thread that
// owns the window; from any other thread these calls fail with
// ERROR_ACCESS_DENIED, as DestroyWindow does on Windows.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "WindowGeometry.h"
#include "WindowTable.h"

namespace {

using standin::Window;
using standin::WindowTable;

// Looks a window up for a call that delivers messages: it must exist and be
// owned by the calling thread.
bool CheckOwned(const Window* window) {
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (window->thread != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

void Forget(HWND handle) {
  WindowTable& table = WindowTable::Get();
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    table.Remove(handle);
  }
  if (standin::ThreadFocus() == handle) standin::ThreadFocus() = nullptr;
  if (standin::ThreadActiveWindow() == handle) standin::ThreadActiveWindow() = nullptr;
}

void CollectTree(WindowTable& table, HWND handle, std::vector<HWND>& tree) {
  const Window* window = table.Find(handle);
  if (window == nullptr) return;
  tree.push_back(handle);
  for (HWND child : window->children) CollectTree(table, child, tree);
}

LPARAM ClientSizeParam(HWND handle) {
  RECT client{};
  GetClientRect(handle, &client);
  return MAKELPARAM(client.right, client.bottom);
}

// Reads or writes a window long. `wide` selects the pointer-sized form;
// `value` null means read.
LONG_PTR AccessLong(HWND handle, int index, bool wide, const LONG_PTR* value) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  Window* window = table.Find(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index >= 0) {
    const std::size_t width = wide ? sizeof(LONG_PTR) : sizeof(LONG);
    if (static_cast<std::size_t>(index) + width > window->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    unsigned char* slot = window->extra.data() + index;
    LONG_PTR previous = 0;
    if (wide) {
      std::memcpy(&previous, slot, width);
      if (value) std::memcpy(slot, value, width);
    } else {
      LONG narrow = 0;
      std::memcpy(&narrow, slot, width);
      previous = narrow;
      if (value) {
        narrow = static_cast<LONG>(*value);
        std::memcpy(slot, &narrow, width);
      }
    }
    return previous;
  }
  LONG_PTR previous = 0;
  switch (index) {
    case GWL_STYLE:
      previous = static_cast<LONG>(window->style);
      if (value) window->style = static_cast<DWORD>(*value);
      break;
    case GWL_EXSTYLE:
      previous = static_cast<LONG>(window->exStyle);
      if (value) window->exStyle = static_cast<DWORD>(*value);
      break;
    case GWLP_USERDATA:
      previous = window->userData;
      if (value) window->userData = *value;
      break;
    case GWLP_ID:
      previous = window->id;
      if (value) window->id = *value;
      break;
    case GWLP_WNDPROC:
      if (!wide) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
      }
      previous = reinterpret_cast<LONG_PTR>(window->procedure);
      if (value) window->procedure = reinterpret_cast<WNDPROC>(*value);
      break;
    case GWLP_HINSTANCE:
      if (!wide) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
      }
      previous = reinterpret_cast<LONG_PTR>(window->instance);
      if (value) window->instance = reinterpret_cast<HINSTANCE>(*value);
      break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  return wide ? previous : static_cast<LONG>(previous);
}

}  // namespace

extern "C" {

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  using namespace standin;
  if (parent == DesktopWindow()) parent = nullptr;
  const bool child = (style & WS_CHILD) != 0;
  if (child && parent == nullptr) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  if (!child && !(style & WS_POPUP)) {
    if (x == CW_USEDEFAULT) {
      x = kDefaultX;
      y = kDefaultY;
    }
    if (width == CW_USEDEFAULT) {
      width = kDefaultWidth;
      height = kDefaultHeight;
    }
  } else {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);

  WindowTable& table = WindowTable::Get();
  HWND handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    auto windowClass = table.FindClass(className, instance);
    if (!windowClass) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (parent != nullptr && table.Find(parent) == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    auto window = std::make_shared<Window>();
    handle = table.NewHandle();
    window->handle = handle;
    window->windowClass = windowClass;
    window->procedure = windowClass->description.lpfnWndProc;
    window->thread = GetCurrentThreadId();
    // Windows are made hidden and shown at the end, so WM_SHOWWINDOW comes last.
    window->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    window->exStyle = exStyle;
    window->parent = child ? parent : nullptr;
    window->owner = child ? nullptr : parent;
    window->instance = instance;
    window->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
    window->hasMenu = !child && menu != nullptr;
    window->rect = RECT{x, y, x + width, y + height};
    window->frame = FrameFor(style, window->hasMenu);
    window->extra.assign(static_cast<std::size_t>(windowClass->description.cbWndExtra), 0);
    ++windowClass->windows;
    table.windows[handle] = window;
    std::vector<HWND>& siblings = table.Siblings(*window);
    siblings.insert(siblings.begin(), handle);
  }

  if (TracksMinMax(style)) {
    MINMAXINFO info = DefaultMinMaxInfo(style);
    SendMessageW(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    ApplyTrackSizes(info, width, height);
    std::lock_guard<std::mutex> lock(table.mutex);
    if (Window* window = table.Find(handle)) window->rect = RECT{x, y, x + width, y + height};
  }

  CREATESTRUCTW create{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                       windowName, className, exStyle};
  if (!SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    SendMessageW(handle, WM_NCDESTROY, 0, 0);
    Forget(handle);
    return nullptr;
  }
  if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (!IsWindow(handle)) return nullptr;
  SendMessageW(handle, WM_SIZE, SIZE_RESTORED, ClientSizeParam(handle));
  RECT placed{};
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    if (const Window* window = table.Find(handle)) {
      placed = window->rect;
      placed.left += window->frame.left;
      placed.top += window->frame.top;
    }
  }
  SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(placed.left, placed.top));
  if ((style & WS_VISIBLE) && IsWindow(handle)) ShowWindow(handle, SW_SHOW);
  return IsWindow(handle) ? handle : nullptr;
}

// WM_DESTROY goes to the window, then to its children (parents first);
// WM_NCDESTROY goes children first, each handle dying right after it.
BOOL WINAPI DestroyWindow(HWND handle) {
  WindowTable& table = WindowTable::Get();
  std::vector<HWND> tree;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    Window* window = table.Find(handle);
    if (!CheckOwned(window)) return FALSE;
    if (window->destroying) return TRUE;
    CollectTree(table, handle, tree);
    for (HWND member : tree) table.Find(member)->destroying = true;
  }
  for (HWND member : tree) SendMessageW(member, WM_DESTROY, 0, 0);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    SendMessageW(*it, WM_NCDESTROY, 0, 0);
    Forget(*it);
  }
  return TRUE;
}

// Keeps the window's coordinates, now read in the new parent's client area.
// Returns the previous parent, the desktop window for a top-level window.
HWND WINAPI SetParent(HWND childHandle, HWND newParent) {
  using namespace standin;
  if (newParent == DesktopWindow()) newParent = nullptr;
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  Window* child = table.Find(childHandle);
  if (child == nullptr || (newParent != nullptr && table.Find(newParent) == nullptr)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (const Window* up = table.Find(newParent); up != nullptr; up = table.Find(up->parent)) {
    if (up == child) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  const HWND previous = child->parent;
  std::vector<HWND>& oldSiblings = table.Siblings(*child);
  oldSiblings.erase(std::remove(oldSiblings.begin(), oldSiblings.end(), childHandle), oldSiblings.end());
  child->parent = newParent;
  std::vector<HWND>& newSiblings = table.Siblings(*child);
  newSiblings.insert(newSiblings.begin(), childHandle);
  return previous != nullptr ? previous : DesktopWindow();
}

// As on Windows: the parent for a child window, the owner for a pop-up, else null.
HWND WINAPI GetParent(HWND handle) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const Window* window = table.Find(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (window->style & WS_CHILD) return window->parent;
  if (window->style & WS_POPUP) return window->owner;
  return nullptr;
}

BOOL WINAPI IsChild(HWND parent, HWND handle) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (const Window* window = table.Find(handle); window != nullptr && (window->style & WS_CHILD);
       window = table.Find(window->parent)) {
    if (window->parent == parent) return TRUE;
  }
  return FALSE;
}

HWND WINAPI GetWindow(HWND handle, UINT command) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const Window* window = table.Find(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (command == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
  if (command == GW_OWNER) return window->owner;
  const std::vector<HWND>& siblings = table.Siblings(*window);
  const auto at = std::find(siblings.begin(), siblings.end(), handle);
  switch (command) {
    case GW_HWNDFIRST:
      return siblings.front();
    case GW_HWNDLAST:
      return siblings.back();
    case GW_HWNDNEXT:
      return at + 1 == siblings.end() ? nullptr : *(at + 1);
    case GW_HWNDPREV:
      return at == siblings.begin() ? nullptr : *(at - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND WINAPI GetTopWindow(HWND parent) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (parent == nullptr || parent == standin::DesktopWindow()) {
    return table.topLevel.empty() ? nullptr : table.topLevel.front();
  }
  const Window* window = table.Find(parent);
  return window == nullptr || window->children.empty() ? nullptr : window->children.front();
}

HWND WINAPI GetDesktopWindow(void) {
  return standin::DesktopWindow();
}

BOOL WINAPI IsWindow(HWND handle) {
  if (handle == standin::DesktopWindow()) return TRUE;
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.Find(handle) != nullptr ? TRUE : FALSE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND handle, LPDWORD processId) {
  DWORD thread = 0;
  if (!WindowTable::OwnerThread(handle, thread)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId != nullptr) *processId = GetCurrentProcessId();
  return thread;
}

// On success the previous value is returned and the last error is left as
// it was, so a caller tells a previous 0 from a failure by clearing it first.
LONG WINAPI SetWindowLongW(HWND handle, int index, LONG value) {
  const LONG_PTR wide = value;
  return static_cast<LONG>(AccessLong(handle, index, false, &wide));
}
LONG WINAPI GetWindowLongW(HWND handle, int index) {
  return static_cast<LONG>(AccessLong(handle, index, false, nullptr));
}
LONG_PTR WINAPI SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
  return AccessLong(handle, index, true, &value);
}
LONG_PTR WINAPI GetWindowLongPtrW(HWND handle, int index) {
  return AccessLong(handle, index, true, nullptr);
}

BOOL WINAPI SetWindowTextW(HWND handle, LPCWSTR text) {
  return SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : L"")) ? TRUE : FALSE;
}

int WINAPI GetWindowTextW(HWND handle, LPWSTR buffer, int maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  buffer[0] = L'\0';
  return static_cast<int>(
      SendMessageW(handle, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthW(HWND handle) {
  return static_cast<int>(SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0));
}

LRESULT WINAPI DefWindowProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowTable& table = WindowTable::Get();
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (create != nullptr && create->lpszName != nullptr && !IS_INTRESOURCE(create->lpszName)) {
        std::lock_guard<std::mutex> lock(table.mutex);
        if (Window* window = table.Find(handle)) window->text = create->lpszName;
      }
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SETTEXT: {
      std::lock_guard<std::mutex> lock(table.mutex);
      Window* window = table.Find(handle);
      if (window == nullptr) return FALSE;
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      window->text = text != nullptr ? text : L"";
      return TRUE;
    }
    case WM_GETTEXT: {
      std::lock_guard<std::mutex> lock(table.mutex);
      const Window* window = table.Find(handle);
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      if (window == nullptr || buffer == nullptr || wParam == 0) return 0;
      const std::size_t count = std::min<std::size_t>(window->text.size(), wParam - 1);
      std::copy_n(window->text.begin(), count, buffer);
      buffer[count] = L'\0';
      return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: {
      std::lock_guard<std::mutex> lock(table.mutex);
      const Window* window = table.Find(handle);
      return window == nullptr ? 0 : static_cast<LRESULT>(window->text.size());
    }
    case WM_PAINT: {
      std::lock_guard<std::mutex> lock(table.mutex);
      if (Window* window = table.Find(handle)) window->invalid = false;
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT WINAPI SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowTable& table = WindowTable::Get();
  WNDPROC procedure = nullptr;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    const Window* window = table.Find(handle);
    if (!CheckOwned(window)) return 0;
    procedure = window->procedure;
  }
  return procedure != nullptr ? procedure(handle, message, wParam, lParam)
                              : DefWindowProcW(handle, message, wParam, lParam);
}

}  // extern "C"
