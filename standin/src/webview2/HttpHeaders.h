#pragma once

#include <string>
#include <utility>
#include <vector>

#include <WebView2.h>

#include "ComBase.h"

namespace standin::webview2 {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// "Name: value" lines separated by CR LF (a bare LF is accepted too), as
// CreateWebResourceResponse takes them. Lines without a colon are skipped;
// spaces around the value are dropped.
HeaderList ParseHeaderText(const std::string& text);

// Header names compare without regard to ASCII case, as in HTTP.
bool SameHeaderName(const std::string& a, const std::string& b);

// Walks a snapshot of headers.
class HttpHeadersIterator final : public ComBase<ICoreWebView2HttpHeadersCollectionIterator> {
 public:
  explicit HttpHeadersIterator(HeaderList headers) : headers(std::move(headers)) {}
  HRESULT STDMETHODCALLTYPE GetCurrentHeader(LPWSTR* name, LPWSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_HasCurrentHeader(BOOL* hasCurrent) override;
  HRESULT STDMETHODCALLTYPE MoveNext(BOOL* hasNext) override;

 private:
  HeaderList headers;
  size_t position = 0;
};

// The headers of one request, shared with the request that owns them.
class HttpRequestHeaders final : public ComBase<ICoreWebView2HttpRequestHeaders> {
 public:
  explicit HttpRequestHeaders(HeaderList* headers) : headers(headers) {}
  HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override;
  HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) override;
  HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) override;
  HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) override;
  HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE GetIterator(ICoreWebView2HttpHeadersCollectionIterator** iterator) override;

  // Keeps the owner (which holds the list) alive while this object is.
  Microsoft::WRL::ComPtr<IUnknown> owner;

 private:
  HeaderList* headers;
};

class HttpResponseHeaders final : public ComBase<ICoreWebView2HttpResponseHeaders> {
 public:
  explicit HttpResponseHeaders(HeaderList* headers) : headers(headers) {}
  HRESULT STDMETHODCALLTYPE AppendHeader(LPCWSTR name, LPCWSTR value) override;
  HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) override;
  HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override;
  HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) override;
  HRESULT STDMETHODCALLTYPE GetIterator(ICoreWebView2HttpHeadersCollectionIterator** iterator) override;

  Microsoft::WRL::ComPtr<IUnknown> owner;

 private:
  HeaderList* headers;
};

}  // namespace standin::webview2
