#include "CoreWebView2Controller.h"

#include "WebViewCore.h"

namespace standin::webview2 {

CoreWebView2Controller::CoreWebView2Controller(Microsoft::WRL::ComPtr<CoreWebView2> webview, HWND parent)
    : webview(std::move(webview)), parent(parent) {
  const std::string& windowClass = this->webview->Core().WindowClass();
  if (windowClass.empty()) return;
  window = std::make_unique<BrowserWindow>(windowClass, parent);
  // The browser may map or move its window after a placement (before its
  // first page has loaded), so every page event places it again.
  BrowserWindow* placing = window.get();
  RECT* placedAt = &bounds;
  this->webview->Core().onPageActivity = [placing, placedAt] { placing->Place(*placedAt); };
}

CoreWebView2Controller::~CoreWebView2Controller() {
  webview->Core().onPageActivity = nullptr;
  webview->Core().Close();
}

HRESULT CoreWebView2Controller::get_IsVisible(BOOL* out) {
  if (out == nullptr) return E_POINTER;
  *out = visible;
  return S_OK;
}

HRESULT CoreWebView2Controller::put_IsVisible(BOOL value) {
  visible = value ? TRUE : FALSE;
  return S_OK;
}

HRESULT CoreWebView2Controller::get_Bounds(RECT* out) {
  if (out == nullptr) return E_POINTER;
  *out = bounds;
  return S_OK;
}

HRESULT CoreWebView2Controller::put_Bounds(RECT value) {
  HRESULT result = webview->Core().SetViewSize(value.right - value.left, value.bottom - value.top);
  if (SUCCEEDED(result)) {
    bounds = value;
    if (window) window->Place(bounds);
  }
  return result;
}

HRESULT CoreWebView2Controller::get_ZoomFactor(double* out) {
  if (out == nullptr) return E_POINTER;
  *out = 1.0;
  return S_OK;
}

HRESULT CoreWebView2Controller::get_ParentWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = parent;
  return S_OK;
}

HRESULT CoreWebView2Controller::put_ParentWindow(HWND value) {
  parent = value;
  return S_OK;
}

HRESULT CoreWebView2Controller::Close() {
  webview->Core().onPageActivity = nullptr;
  webview->Core().Close();
  window.reset();
  return S_OK;
}

HRESULT CoreWebView2Controller::get_CoreWebView2(ICoreWebView2** out) {
  if (out == nullptr) return E_POINTER;
  *out = webview.Get();
  webview->AddRef();
  return S_OK;
}

}  // namespace standin::webview2
