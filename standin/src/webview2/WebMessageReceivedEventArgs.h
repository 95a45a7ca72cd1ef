#pragma once

#include <WebView2.h>

#include <string>

#include "ComBase.h"

namespace standin::webview2 {

// One message the page posted with window.chrome.webview.postMessage,
// carried as the JSON text of the posted value.
class WebMessageReceivedEventArgs final : public ComBase<ICoreWebView2WebMessageReceivedEventArgs> {
 public:
  WebMessageReceivedEventArgs(std::string source, std::string json);

  HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) override;
  HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) override;
  // Fails with E_INVALIDARG (and a null text) unless a string was posted.
  HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* text) override;

 private:
  std::string source;
  std::string json;
};

}  // namespace standin::webview2
