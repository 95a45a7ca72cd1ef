#include "NavigationEventArgs.h"

#include "WideText.h"

namespace standin::webview2 {

namespace {

HRESULT Put(BOOL value, BOOL* out) {
  if (out == nullptr) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace

NavigationStartingEventArgs::NavigationStartingEventArgs(std::string uri, bool userInitiated, UINT64 id)
    : uri(std::move(uri)), userInitiated(userInitiated), id(id) {}

HRESULT NavigationStartingEventArgs::get_Uri(LPWSTR* out) {
  return CopyToTaskMemory(uri, out);
}
HRESULT NavigationStartingEventArgs::get_IsUserInitiated(BOOL* out) {
  return Put(userInitiated, out);
}
HRESULT NavigationStartingEventArgs::get_IsRedirected(BOOL* out) {
  return Put(FALSE, out);
}
HRESULT NavigationStartingEventArgs::get_RequestHeaders(ICoreWebView2HttpRequestHeaders** headers) {
  if (headers) *headers = nullptr;
  return E_NOTIMPL;
}
HRESULT NavigationStartingEventArgs::get_Cancel(BOOL* out) {
  return Put(cancel, out);
}
HRESULT NavigationStartingEventArgs::put_Cancel(BOOL value) {
  cancel = value != FALSE;
  return S_OK;
}
HRESULT NavigationStartingEventArgs::get_NavigationId(UINT64* out) {
  if (out == nullptr) return E_POINTER;
  *out = id;
  return S_OK;
}

NewWindowRequestedEventArgs::NewWindowRequestedEventArgs(std::string uri, bool userInitiated)
    : uri(std::move(uri)), userInitiated(userInitiated) {}

HRESULT NewWindowRequestedEventArgs::get_Uri(LPWSTR* out) {
  return CopyToTaskMemory(uri, out);
}
HRESULT NewWindowRequestedEventArgs::put_NewWindow(ICoreWebView2*) {
  return E_NOTIMPL;
}
HRESULT NewWindowRequestedEventArgs::get_NewWindow(ICoreWebView2** window) {
  if (window == nullptr) return E_POINTER;
  *window = nullptr;
  return S_OK;
}
HRESULT NewWindowRequestedEventArgs::put_Handled(BOOL value) {
  handled = value != FALSE;
  return S_OK;
}
HRESULT NewWindowRequestedEventArgs::get_Handled(BOOL* out) {
  return Put(handled, out);
}
HRESULT NewWindowRequestedEventArgs::get_IsUserInitiated(BOOL* out) {
  return Put(userInitiated, out);
}
HRESULT NewWindowRequestedEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
  if (deferral) *deferral = nullptr;
  return E_NOTIMPL;
}
HRESULT NewWindowRequestedEventArgs::get_WindowFeatures(ICoreWebView2WindowFeatures** features) {
  if (features) *features = nullptr;
  return E_NOTIMPL;
}

}  // namespace standin::webview2
