// Position, size, z-order, visibility, painting state, focus and activation.
#include <algorithm>
#include <mutex>

#include "WindowGeometry.h"
#include "WindowTable.h"

namespace {

using standin::Window;
using standin::WindowTable;

struct Placement {
  RECT rect{};
  RECT frame{};
  DWORD style = 0;
  DWORD thread = 0;
  HWND parent = nullptr;
};

bool ReadPlacement(HWND handle, Placement& out) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const Window* window = table.Find(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  out = Placement{window->rect, window->frame, window->style, window->thread, window->parent};
  return true;
}

SIZE ClientSize(const Placement& p) {
  return SIZE{std::max<LONG>(p.rect.right - p.rect.left - p.frame.left - p.frame.right, 0),
              std::max<LONG>(p.rect.bottom - p.rect.top - p.frame.top - p.frame.bottom, 0)};
}

void Reorder(std::vector<HWND>& siblings, HWND handle, HWND insertAfter) {
  const auto at = std::find(siblings.begin(), siblings.end(), handle);
  if (at == siblings.end()) return;
  siblings.erase(at);
  if (insertAfter == HWND_BOTTOM) {
    siblings.push_back(handle);
    return;
  }
  const auto after = std::find(siblings.begin(), siblings.end(), insertAfter);
  if (after == siblings.end()) {
    siblings.insert(siblings.begin(), handle);  // HWND_TOP, HWND_TOPMOST, HWND_NOTOPMOST
  } else {
    siblings.insert(after + 1, handle);
  }
}

HWND RootOf(HWND handle) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const Window* window = table.Find(handle);
  while (window != nullptr && window->parent != nullptr && (window->style & WS_CHILD)) {
    const Window* parent = table.Find(window->parent);
    if (parent == nullptr) break;
    window = parent;
  }
  return window != nullptr ? window->handle : nullptr;
}

HWND StillValid(HWND handle) {
  return handle != nullptr && IsWindow(handle) ? handle : nullptr;
}

}  // namespace

extern "C" {

// Sizing a window that tracks its size (see TracksMinMax) first asks it for
// WM_GETMINMAXINFO and clamps the outer size to the tracking sizes. The
// frame follows a style change only with SWP_FRAMECHANGED. WM_MOVE and
// WM_SIZE follow when the client origin or client size changed.
BOOL WINAPI SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  using namespace standin;
  Placement before;
  if (!ReadPlacement(handle, before)) return FALSE;
  if (before.thread != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  int newX = (flags & SWP_NOMOVE) ? before.rect.left : x;
  int newY = (flags & SWP_NOMOVE) ? before.rect.top : y;
  int width = (flags & SWP_NOSIZE) ? before.rect.right - before.rect.left : std::max(cx, 0);
  int height = (flags & SWP_NOSIZE) ? before.rect.bottom - before.rect.top : std::max(cy, 0);
  if (!(flags & SWP_NOSIZE) && TracksMinMax(before.style)) {
    MINMAXINFO info = DefaultMinMaxInfo(before.style);
    SendMessageW(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    ApplyTrackSizes(info, width, height);
  }

  Placement after;
  {
    WindowTable& table = WindowTable::Get();
    std::lock_guard<std::mutex> lock(table.mutex);
    Window* window = table.Find(handle);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    window->rect = RECT{newX, newY, newX + width, newY + height};
    if (flags & SWP_FRAMECHANGED) window->frame = FrameFor(window->style, window->hasMenu);
    if (!(flags & SWP_NOZORDER)) Reorder(table.Siblings(*window), handle, insertAfter);
    if (flags & SWP_SHOWWINDOW) window->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) window->style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (!(flags & SWP_NOREDRAW)) window->invalid = true;
    after = Placement{window->rect, window->frame, window->style, window->thread, window->parent};
  }
  if (!(flags & SWP_NOACTIVATE) && !(after.style & WS_CHILD)) ThreadActiveWindow() = handle;

  const LONG oldClientX = before.rect.left + before.frame.left;
  const LONG oldClientY = before.rect.top + before.frame.top;
  const LONG newClientX = after.rect.left + after.frame.left;
  const LONG newClientY = after.rect.top + after.frame.top;
  if (oldClientX != newClientX || oldClientY != newClientY) {
    SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(newClientX, newClientY));
  }
  const SIZE oldClient = ClientSize(before);
  const SIZE newClient = ClientSize(after);
  if (oldClient.cx != newClient.cx || oldClient.cy != newClient.cy) {
    SendMessageW(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(newClient.cx, newClient.cy));
  }
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(handle, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

// Every command but SW_HIDE shows the window (no minimised or maximised
// states); the commands that activate on Windows activate a top-level window.
BOOL WINAPI ShowWindow(HWND handle, int command) {
  Placement before;
  if (!ReadPlacement(handle, before)) return FALSE;
  if (before.thread != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const bool wasVisible = (before.style & WS_VISIBLE) != 0;
  const bool show = command != SW_HIDE;
  if (show != wasVisible) {
    SendMessageW(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    WindowTable& table = WindowTable::Get();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (Window* window = table.Find(handle)) {
      if (show) {
        window->style |= WS_VISIBLE;
        window->invalid = true;
      } else {
        window->style &= ~static_cast<DWORD>(WS_VISIBLE);
      }
    }
  }
  const bool activates = command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_SHOWDEFAULT ||
                         command == SW_RESTORE || command == SW_SHOWMAXIMIZED;
  if (show && activates && !(before.style & WS_CHILD)) standin::ThreadActiveWindow() = handle;
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND handle) {
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  const Window* window = table.Find(handle);
  if (window == nullptr) return FALSE;
  for (; window != nullptr; window = table.Find(window->parent)) {
    if (!(window->style & WS_VISIBLE)) return FALSE;
  }
  return TRUE;
}

// Sends WM_PAINT when the window is visible and has an update region.
BOOL WINAPI UpdateWindow(HWND handle) {
  bool paint = false;
  {
    WindowTable& table = WindowTable::Get();
    std::lock_guard<std::mutex> lock(table.mutex);
    const Window* window = table.Find(handle);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    paint = window->invalid;
  }
  if (paint && IsWindowVisible(handle)) SendMessageW(handle, WM_PAINT, 0, 0);
  return TRUE;
}

// Whole windows only: the update rectangle and region are not tracked.
BOOL WINAPI RedrawWindow(HWND handle, const RECT*, void*, UINT flags) {
  if (handle == nullptr || handle == standin::DesktopWindow()) return TRUE;
  std::vector<HWND> targets;
  {
    WindowTable& table = WindowTable::Get();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (table.Find(handle) == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    targets.push_back(handle);
    for (std::size_t i = 0; i < targets.size() && (flags & RDW_ALLCHILDREN); ++i) {
      const Window* window = table.Find(targets[i]);
      targets.insert(targets.end(), window->children.begin(), window->children.end());
    }
    for (HWND target : targets) {
      Window* window = table.Find(target);
      if (flags & RDW_INVALIDATE) window->invalid = true;
      if (flags & RDW_VALIDATE) window->invalid = false;
    }
  }
  if (flags & RDW_UPDATENOW) {
    for (HWND target : targets) UpdateWindow(target);
  }
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND handle, const RECT* rect, BOOL) {
  return RedrawWindow(handle, rect, nullptr, RDW_INVALIDATE);
}

// Focus moves only between windows of the calling thread; the top-level
// window holding the new focus becomes the active window.
HWND WINAPI SetFocus(HWND handle) {
  HWND& focus = standin::ThreadFocus();
  const HWND previous = StillValid(focus);
  if (handle != nullptr) {
    Placement target;
    if (!ReadPlacement(handle, target)) return nullptr;
    if (target.thread != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  if (previous == handle) return previous;
  if (previous != nullptr) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
  focus = handle;
  if (handle != nullptr) {
    standin::ThreadActiveWindow() = RootOf(handle);
    SendMessageW(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  }
  return previous;
}

HWND WINAPI GetFocus(void) {
  return StillValid(standin::ThreadFocus());
}

HWND WINAPI GetActiveWindow(void) {
  return StillValid(standin::ThreadActiveWindow());
}

}  // extern "C"
