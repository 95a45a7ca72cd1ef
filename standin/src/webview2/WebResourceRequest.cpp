#include "WebResourceRequest.h"

#include <shlwapi.h>

#include "WideText.h"

namespace standin::webview2 {

WebResourceRequest::WebResourceRequest(std::string uri, std::string method, HeaderList headers, std::string body)
    : uri(std::move(uri)), method(std::move(method)), headers(std::move(headers)), body(std::move(body)) {}

HRESULT WebResourceRequest::get_Uri(LPWSTR* out) {
  return CopyToTaskMemory(uri, out);
}

HRESULT WebResourceRequest::put_Uri(LPCWSTR value) {
  if (value == nullptr) return E_INVALIDARG;
  uri = Utf8FromWide(value);
  return S_OK;
}

HRESULT WebResourceRequest::get_Method(LPWSTR* out) {
  return CopyToTaskMemory(method, out);
}

HRESULT WebResourceRequest::put_Method(LPCWSTR value) {
  if (value == nullptr) return E_INVALIDARG;
  method = Utf8FromWide(value);
  return S_OK;
}

HRESULT WebResourceRequest::get_Content(IStream** content) {
  if (content == nullptr) return E_POINTER;
  *content = body.empty()
                 ? nullptr
                 : SHCreateMemStream(reinterpret_cast<const BYTE*>(body.data()), static_cast<UINT>(body.size()));
  return S_OK;
}

// Changing a request is not carried to the browser; the request is read-only here.
HRESULT WebResourceRequest::put_Content(IStream*) {
  return E_NOTIMPL;
}

HRESULT WebResourceRequest::get_Headers(ICoreWebView2HttpRequestHeaders** out) {
  if (out == nullptr) return E_POINTER;
  auto view = MakeCom<HttpRequestHeaders>(&headers);
  view->owner = static_cast<ICoreWebView2WebResourceRequest*>(this);
  *out = view.Detach();
  return S_OK;
}

WebResourceResponse::WebResourceResponse(IStream* content, int status, std::string reason, HeaderList headers)
    : content(content), status(status), reason(std::move(reason)), headers(std::move(headers)) {}

HRESULT WebResourceResponse::get_Content(IStream** out) {
  if (out == nullptr) return E_POINTER;
  *out = content.Get();
  if (*out) (*out)->AddRef();
  return S_OK;
}

HRESULT WebResourceResponse::put_Content(IStream* value) {
  content = value;
  return S_OK;
}

HRESULT WebResourceResponse::get_Headers(ICoreWebView2HttpResponseHeaders** out) {
  if (out == nullptr) return E_POINTER;
  auto view = MakeCom<HttpResponseHeaders>(&headers);
  view->owner = static_cast<ICoreWebView2WebResourceResponse*>(this);
  *out = view.Detach();
  return S_OK;
}

HRESULT WebResourceResponse::get_StatusCode(int* out) {
  if (out == nullptr) return E_POINTER;
  *out = status;
  return S_OK;
}

HRESULT WebResourceResponse::put_StatusCode(int value) {
  status = value;
  return S_OK;
}

HRESULT WebResourceResponse::get_ReasonPhrase(LPWSTR* out) {
  return CopyToTaskMemory(reason, out);
}

HRESULT WebResourceResponse::put_ReasonPhrase(LPCWSTR value) {
  reason = Utf8FromWide(value);
  return S_OK;
}

bool WebResourceResponse::ReadBody(std::string* bytes) const {
  bytes->clear();
  if (!content) return true;
  char buffer[1 << 15];
  for (;;) {
    ULONG got = 0;
    HRESULT result = content->Read(buffer, sizeof buffer, &got);
    if (FAILED(result)) return false;
    bytes->append(buffer, got);
    if (result == S_FALSE || got == 0) return true;
  }
}

WebResourceRequestedEventArgs::WebResourceRequestedEventArgs(
    Microsoft::WRL::ComPtr<ICoreWebView2WebResourceRequest> request, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
    : request(std::move(request)), context(context) {}

HRESULT WebResourceRequestedEventArgs::get_Request(ICoreWebView2WebResourceRequest** out) {
  if (out == nullptr) return E_POINTER;
  return request.CopyTo(out);
}

HRESULT WebResourceRequestedEventArgs::get_Response(ICoreWebView2WebResourceResponse** out) {
  if (out == nullptr) return E_POINTER;
  *out = response.Get();
  if (*out) (*out)->AddRef();
  return S_OK;
}

HRESULT WebResourceRequestedEventArgs::put_Response(ICoreWebView2WebResourceResponse* value) {
  // Only responses made by CreateWebResourceResponse can be answered with.
  if (value != nullptr && dynamic_cast<WebResourceResponse*>(value) == nullptr) return E_INVALIDARG;
  response = value;
  return S_OK;
}

HRESULT WebResourceRequestedEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
  if (deferral) *deferral = nullptr;
  return E_NOTIMPL;
}

HRESULT WebResourceRequestedEventArgs::get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* out) {
  if (out == nullptr) return E_POINTER;
  *out = context;
  return S_OK;
}

WebResourceResponse* WebResourceRequestedEventArgs::Response() const {
  return dynamic_cast<WebResourceResponse*>(response.Get());
}

}  // namespace standin::webview2
