#pragma once

#include <WebView2.h>

#include <memory>
#include <string>

#include "ComBase.h"

namespace standin::webview2 {

class BrowserSession;

// ICoreWebView2Environment: one browser process. It ends when the
// environment and every controller made from it are released, or when the
// last controller is closed.
class CoreWebView2Environment final : public ComBase<ICoreWebView2Environment> {
 public:
  CoreWebView2Environment(std::shared_ptr<BrowserSession> session, std::string version);

  HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
      HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
  HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                                      LPCWSTR headers,
                                                      ICoreWebView2WebResourceResponse** response) override;
  HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) override;
  HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                           EventRegistrationToken*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<BrowserSession> session;
  std::string version;
};

}  // namespace standin::webview2
