#pragma once

#include <WebView2.h>

#include <string>

#include "ComBase.h"

namespace standin::webview2 {

// The browser never asks for permissions over DevTools, so the stand-in asks
// the handlers itself, once per kind and origin, before navigating there;
// see WebViewCore::AskPermissions.
class PermissionRequestedEventArgs final : public ComBase<ICoreWebView2PermissionRequestedEventArgs> {
 public:
  PermissionRequestedEventArgs(std::string uri, COREWEBVIEW2_PERMISSION_KIND kind);

  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
  HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* kind) override;
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override;
  HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* state) override;
  HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) override;
  HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;

  COREWEBVIEW2_PERMISSION_STATE State() const { return state; }

 private:
  std::string uri;
  COREWEBVIEW2_PERMISSION_KIND kind;
  COREWEBVIEW2_PERMISSION_STATE state = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

}  // namespace standin::webview2
