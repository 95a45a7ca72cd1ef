#include "PermissionRequestedEventArgs.h"

#include "WideText.h"

namespace standin::webview2 {

PermissionRequestedEventArgs::PermissionRequestedEventArgs(std::string uri, COREWEBVIEW2_PERMISSION_KIND kind)
    : uri(std::move(uri)), kind(kind) {}

HRESULT PermissionRequestedEventArgs::get_Uri(LPWSTR* out) {
  return CopyToTaskMemory(uri, out);
}

HRESULT PermissionRequestedEventArgs::get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* out) {
  if (out == nullptr) return E_POINTER;
  *out = kind;
  return S_OK;
}

HRESULT PermissionRequestedEventArgs::get_IsUserInitiated(BOOL* out) {
  if (out == nullptr) return E_POINTER;
  *out = FALSE;
  return S_OK;
}

HRESULT PermissionRequestedEventArgs::get_State(COREWEBVIEW2_PERMISSION_STATE* out) {
  if (out == nullptr) return E_POINTER;
  *out = state;
  return S_OK;
}

HRESULT PermissionRequestedEventArgs::put_State(COREWEBVIEW2_PERMISSION_STATE value) {
  if (value != COREWEBVIEW2_PERMISSION_STATE_DEFAULT && value != COREWEBVIEW2_PERMISSION_STATE_ALLOW &&
      value != COREWEBVIEW2_PERMISSION_STATE_DENY)
    return E_INVALIDARG;
  state = value;
  return S_OK;
}

// The answer is needed before the navigation goes on, so it cannot be deferred.
HRESULT PermissionRequestedEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
  if (deferral) *deferral = nullptr;
  return E_NOTIMPL;
}

}  // namespace standin::webview2
