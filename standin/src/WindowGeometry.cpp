#include "WindowGeometry.h"

#include <algorithm>
#include <mutex>

#include "WindowTable.h"

namespace standin {

RECT FrameFor(DWORD style, bool menu) {
  LONG side = 0;
  if (style & WS_THICKFRAME) {
    side = kSizingFrame;
  } else if (style & WS_DLGFRAME) {
    side = kFixedFrame;
  } else if (style & WS_BORDER) {
    side = kThinBorder;
  }
  LONG top = side;
  if ((style & WS_CAPTION) == WS_CAPTION) top += kCaption;
  if (menu) top += kMenuBar;
  return RECT{side, top, side, side};
}

bool TracksMinMax(DWORD style) {
  return (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
}

MINMAXINFO DefaultMinMaxInfo(DWORD style) {
  const RECT frame = FrameFor(style, false);
  MINMAXINFO info{};
  info.ptMaxSize = POINT{kScreenWidth + frame.left + frame.right, kScreenHeight + frame.left + frame.right};
  info.ptMaxPosition = POINT{-frame.left, -frame.left};
  info.ptMinTrackSize = POINT{kMinTrackWidth, kMinTrackHeight};
  info.ptMaxTrackSize = POINT{kMaxTrackWidth, kMaxTrackHeight};
  return info;
}

void ApplyTrackSizes(const MINMAXINFO& info, int& width, int& height) {
  width = std::max<int>(std::min<int>(width, info.ptMaxTrackSize.x), info.ptMinTrackSize.x);
  height = std::max<int>(std::min<int>(height, info.ptMaxTrackSize.y), info.ptMinTrackSize.y);
}

}  // namespace standin

namespace {

// The common start of the rectangle getters, called with the table locked:
// the window to measure, or null when the call is already answered (the
// desktop's rectangle written, or the error set and `answer` FALSE).
const standin::Window* WindowToMeasure(standin::WindowTable& table, HWND handle, LPRECT rect, BOOL& answer) {
  using namespace standin;
  answer = FALSE;
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (handle == DesktopWindow()) {
    *rect = RECT{0, 0, kScreenWidth, kScreenHeight};
    answer = TRUE;
    return nullptr;
  }
  const Window* window = table.Find(handle);
  if (window == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

}  // namespace

extern "C" {

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD) {
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RECT frame = standin::FrameFor(style, menu != FALSE);
  rect->left -= frame.left;
  rect->top -= frame.top;
  rect->right += frame.right;
  rect->bottom += frame.bottom;
  return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
  return AdjustWindowRectEx(rect, style, menu, 0);
}

int WINAPI GetSystemMetrics(int index) {
  using namespace standin;
  switch (index) {
    case SM_CXSCREEN:
      return kScreenWidth;
    case SM_CYSCREEN:
      return kScreenHeight;
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CXSIZEFRAME:
    case SM_CYSIZEFRAME:
      return kSizingFrame;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return kThinBorder;
    case SM_CYCAPTION:
      return kCaption;
    case SM_CYMENU:
      return kMenuBar;
    case SM_CXMINTRACK:
      return kMinTrackWidth;
    case SM_CYMINTRACK:
      return kMinTrackHeight;
    case SM_CXMAXTRACK:
      return kMaxTrackWidth;
    case SM_CYMAXTRACK:
      return kMaxTrackHeight;
    default:
      return 0;
  }
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
  using namespace standin;
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  BOOL answer = FALSE;
  const Window* window = WindowToMeasure(table, handle, rect, answer);
  if (window == nullptr) return answer;
  const LONG width = window->rect.right - window->rect.left - window->frame.left - window->frame.right;
  const LONG height = window->rect.bottom - window->rect.top - window->frame.top - window->frame.bottom;
  *rect = RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
  using namespace standin;
  WindowTable& table = WindowTable::Get();
  std::lock_guard<std::mutex> lock(table.mutex);
  BOOL answer = FALSE;
  const Window* window = WindowToMeasure(table, handle, rect, answer);
  if (window == nullptr) return answer;
  // Screen coordinates: add up the client origins of the ancestors.
  RECT screen = window->rect;
  for (const Window* parent = table.Find(window->parent); parent != nullptr; parent = table.Find(parent->parent)) {
    const LONG dx = parent->rect.left + parent->frame.left;
    const LONG dy = parent->rect.top + parent->frame.top;
    screen.left += dx;
    screen.right += dx;
    screen.top += dy;
    screen.bottom += dy;
  }
  *rect = screen;
  return TRUE;
}

}  // extern "C"
