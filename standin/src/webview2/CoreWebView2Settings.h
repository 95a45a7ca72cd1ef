#pragma once

#include <WebView2.h>

#include "ComBase.h"

namespace standin::webview2 {

// The settings are kept and read back; the browser is not changed by them.
// (With AreDevToolsEnabled false nothing opens DevTools anyway: a headless
// browser has no DevTools window.)
class CoreWebView2Settings final : public ComBase<ICoreWebView2Settings> {
 public:
  HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* value) override { return Get(scriptEnabled, value); }
  HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL value) override { return Put(scriptEnabled, value); }
  HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL* value) override { return Get(webMessageEnabled, value); }
  HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL value) override { return Put(webMessageEnabled, value); }
  HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL* value) override { return Get(dialogs, value); }
  HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL value) override { return Put(dialogs, value); }
  HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* value) override { return Get(statusBar, value); }
  HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL value) override { return Put(statusBar, value); }
  HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL* value) override { return Get(devTools, value); }
  HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL value) override { return Put(devTools, value); }
  HRESULT STDMETHODCALLTYPE get_AreDefaultContextMenusEnabled(BOOL* value) override { return Get(contextMenus, value); }
  HRESULT STDMETHODCALLTYPE put_AreDefaultContextMenusEnabled(BOOL value) override { return Put(contextMenus, value); }
  HRESULT STDMETHODCALLTYPE get_AreHostObjectsAllowed(BOOL* value) override { return Get(hostObjects, value); }
  HRESULT STDMETHODCALLTYPE put_AreHostObjectsAllowed(BOOL value) override { return Put(hostObjects, value); }
  HRESULT STDMETHODCALLTYPE get_IsZoomControlEnabled(BOOL* value) override { return Get(zoomControl, value); }
  HRESULT STDMETHODCALLTYPE put_IsZoomControlEnabled(BOOL value) override { return Put(zoomControl, value); }
  HRESULT STDMETHODCALLTYPE get_IsBuiltInErrorPageEnabled(BOOL* value) override { return Get(errorPage, value); }
  HRESULT STDMETHODCALLTYPE put_IsBuiltInErrorPageEnabled(BOOL value) override { return Put(errorPage, value); }

 private:
  static HRESULT Get(BOOL stored, BOOL* out) {
    if (out == nullptr) return E_POINTER;
    *out = stored;
    return S_OK;
  }
  static HRESULT Put(BOOL& stored, BOOL value) {
    stored = value ? TRUE : FALSE;
    return S_OK;
  }

  // WebView2's defaults: everything enabled.
  BOOL scriptEnabled = TRUE;
  BOOL webMessageEnabled = TRUE;
  BOOL dialogs = TRUE;
  BOOL statusBar = TRUE;
  BOOL devTools = TRUE;
  BOOL contextMenus = TRUE;
  BOOL hostObjects = TRUE;
  BOOL zoomControl = TRUE;
  BOOL errorPage = TRUE;
};

}  // namespace standin::webview2
