#pragma once

#include <WebView2.h>

#include <string>

#include "ComBase.h"
#include "HttpHeaders.h"

namespace standin::webview2 {

// A request paused by the browser, as the WebResourceRequested event shows it.
class WebResourceRequest final : public ComBase<ICoreWebView2WebResourceRequest> {
 public:
  WebResourceRequest(std::string uri, std::string method, HeaderList headers, std::string body);

  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
  HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR uri) override;
  HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override;
  HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR method) override;
  HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override;
  HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override;
  HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override;

 private:
  std::string uri;
  std::string method;
  HeaderList headers;
  std::string body;
};

// What a handler answers a request with (CreateWebResourceResponse).
class WebResourceResponse final : public ComBase<ICoreWebView2WebResourceResponse> {
 public:
  WebResourceResponse(IStream* content, int status, std::string reason, HeaderList headers);

  HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override;
  HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override;
  HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders** headers) override;
  HRESULT STDMETHODCALLTYPE get_StatusCode(int* statusCode) override;
  HRESULT STDMETHODCALLTYPE put_StatusCode(int statusCode) override;
  HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reasonPhrase) override;
  HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reasonPhrase) override;

  // For answering the browser: the stream's bytes from its current position.
  int Status() const { return status; }
  const std::string& Reason() const { return reason; }
  const HeaderList& Headers() const { return headers; }
  bool ReadBody(std::string* bytes) const;

 private:
  Microsoft::WRL::ComPtr<IStream> content;
  int status;
  std::string reason;
  HeaderList headers;
};

class WebResourceRequestedEventArgs final : public ComBase<ICoreWebView2WebResourceRequestedEventArgs> {
 public:
  WebResourceRequestedEventArgs(Microsoft::WRL::ComPtr<ICoreWebView2WebResourceRequest> request,
                                COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);

  HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override;
  HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override;
  HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override;
  // Deferrals are not offered: every request is answered when the handlers return.
  HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;
  HRESULT STDMETHODCALLTYPE get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) override;

  // The response put by a handler, if it is one of ours.
  WebResourceResponse* Response() const;

 private:
  Microsoft::WRL::ComPtr<ICoreWebView2WebResourceRequest> request;
  Microsoft::WRL::ComPtr<ICoreWebView2WebResourceResponse> response;
  COREWEBVIEW2_WEB_RESOURCE_CONTEXT context;
};

}  // namespace standin::webview2
