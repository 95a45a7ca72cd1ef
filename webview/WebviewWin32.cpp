#include "WebviewWin32.h"

#include <utility>

#include "OwnModule.h"
#include "TextConversion.h"

namespace webhost {

namespace {

constexpr wchar_t kWindowClass[] = L"webview";
constexpr int kInitialWidth = 640;
constexpr int kInitialHeight = 480;
constexpr LONG kResizableFrame = WS_THICKFRAME | WS_MAXIMIZEBOX;
// Whether this module holds the class, so that unloading calls into user32
// only when there is something to take away.
bool classRegistered = false;

}  // namespace

WebviewWin32::WebviewWin32(HWND parent, bool debug, CreatedCallback created)
    : debug(debug), created(std::move(created)) {
  // Registered under the plug-in module, not the host application, so that
  // the module entry can take the class away again before it unloads.
  const HINSTANCE instance = OwnModule();
  RegisterWindowClass(instance);

  window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kInitialWidth,
                           kInitialHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  if (parent != nullptr) {
    SetParent(window, parent);
    SetWindowLongW(window, GWL_STYLE, WS_CHILD);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetFocus(window);
}

WebviewWin32::~WebviewWin32() {
  // Derived classes terminate first; this only covers one that did not, so
  // that the window procedure never finds a destroyed object.
  if (window != nullptr) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    const HWND last = window;
    window = nullptr;
    DestroyWindow(last);
  }
  created = nullptr;
}

void WebviewWin32::SetTitle(const std::string& title) {
  const std::wstring wide = ToWide(title);
  SetWindowTextW(window, wide.c_str());
}

void WebviewWin32::SetViewSize(int width, int height, SizeHint hint) {
  LONG style = GetWindowLongW(window, GWL_STYLE);
  if (hint == SizeHint::kFixed) {
    style &= ~kResizableFrame;
  } else if ((style & WS_CHILD) == 0) {
    style |= kResizableFrame;
  }
  SetWindowLongW(window, GWL_STYLE, style);

  if (hint == SizeHint::kMax) {
    maxSize = {width, height};
    return;
  }
  if (hint == SizeHint::kMin) {
    minSize = {width, height};
    return;
  }

  RECT rect{0, 0, width, height};
  // A child's outer size is its client size; only a top-level window has a frame.
  if ((style & WS_CHILD) == 0) AdjustWindowRect(&rect, static_cast<DWORD>(style), FALSE);
  SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  OnSizeChanged();
}

NativeWindow WebviewWin32::GetNativeWindow() {
  return window;
}

void WebviewWin32::Terminate() {
  if (window == nullptr) return;
  // WM_DESTROY clears `window` through the window procedure as well.
  const HWND last = window;
  DestroyWindow(last);
  window = nullptr;
}

void WebviewWin32::OnSizeChanged() {}

const wchar_t* WebviewWin32::WindowClassName() {
  return kWindowClass;
}

void WebviewWin32::UnregisterWindowClass() {
  if (!classRegistered) return;
  const HINSTANCE instance = OwnModule();
  if (instance != nullptr && UnregisterClassW(kWindowClass, instance)) classRegistered = false;
}

void WebviewWin32::RegisterWindowClass(HINSTANCE instance) {
  const int iconWidth = GetSystemMetrics(SM_CXSMICON);
  const int iconHeight = GetSystemMetrics(SM_CYSMICON);
  // The stock application icon belongs to the system, not to either module.
  const HICON icon =
      static_cast<HICON>(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, iconWidth, iconHeight, LR_SHARED));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hIconSm = icon;
  windowClass.lpszClassName = kWindowClass;
  // From the second window on the class exists and this fails harmlessly.
  if (RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) classRegistered = true;
}

LRESULT CALLBACK WebviewWin32::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WebviewWin32*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_DESTROY:
      if (self != nullptr) self->window = nullptr;
      return 0;
    case WM_SIZE:
      if (self != nullptr) self->OnSizeChanged();
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (self != nullptr && info != nullptr) {
        if (self->maxSize.width >= 1 && self->maxSize.height >= 1) {
          info->ptMaxSize = {self->maxSize.width, self->maxSize.height};
          info->ptMaxTrackSize = info->ptMaxSize;
        }
        if (self->minSize.width >= 1 && self->minSize.height >= 1) {
          info->ptMinTrackSize = {self->minSize.width, self->minSize.height};
        }
      }
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace webhost
