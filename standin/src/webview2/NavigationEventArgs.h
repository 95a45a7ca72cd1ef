#pragma once

#include <WebView2.h>

#include <string>

#include "ComBase.h"

namespace standin::webview2 {

// A top-level navigation about to start; handlers may cancel it. Raised
// when the browser pauses the document request, before anything is loaded.
class NavigationStartingEventArgs final : public ComBase<ICoreWebView2NavigationStartingEventArgs> {
 public:
  NavigationStartingEventArgs(std::string uri, bool userInitiated, UINT64 id);

  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders** headers) override;
  HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* value) override;
  HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) override;

  bool Cancelled() const { return cancel; }

 private:
  std::string uri;
  bool userInitiated;
  UINT64 id;
  bool cancel = false;
};

// A document asking for a new window (window.open, a link with a target).
// The stand-in's browser never opens one (it runs with new windows
// blocked), which is what a handler that sets Handled asks for.
class NewWindowRequestedEventArgs final : public ComBase<ICoreWebView2NewWindowRequestedEventArgs> {
 public:
  NewWindowRequestedEventArgs(std::string uri, bool userInitiated);

  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
  HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* window) override;
  HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** window) override;
  HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override;
  HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;
  HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures** features) override;

 private:
  std::string uri;
  bool userInitiated;
  bool handled = false;
};

}  // namespace standin::webview2
