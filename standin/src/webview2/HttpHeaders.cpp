#include "HttpHeaders.h"

#include <cctype>

#include "WideText.h"

namespace standin::webview2 {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

HRESULT FindHeader(const HeaderList& headers, LPCWSTR name, LPWSTR* value) {
  if (name == nullptr || value == nullptr) return E_INVALIDARG;
  std::string wanted = Utf8FromWide(name);
  for (auto& [key, text] : headers) {
    if (SameHeaderName(key, wanted)) return CopyToTaskMemory(text, value);
  }
  *value = nullptr;
  return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
}

HRESULT Select(const HeaderList& headers, LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) {
  if (iterator == nullptr) return E_POINTER;
  HeaderList chosen;
  std::string wanted = name ? Utf8FromWide(name) : std::string();
  for (auto& header : headers) {
    if (name == nullptr || SameHeaderName(header.first, wanted)) chosen.push_back(header);
  }
  *iterator = MakeCom<HttpHeadersIterator>(std::move(chosen)).Detach();
  return S_OK;
}

HRESULT Has(const HeaderList& headers, LPCWSTR name, BOOL* contains) {
  if (name == nullptr || contains == nullptr) return E_INVALIDARG;
  std::string wanted = Utf8FromWide(name);
  *contains = FALSE;
  for (auto& header : headers) {
    if (SameHeaderName(header.first, wanted)) *contains = TRUE;
  }
  return S_OK;
}

}  // namespace

HeaderList ParseHeaderText(const std::string& text) {
  HeaderList headers;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon != std::string::npos && colon > 0) {
      std::string name = Trim(line.substr(0, colon));
      if (!name.empty()) headers.emplace_back(name, Trim(line.substr(colon + 1)));
    }
    start = end + 1;
  }
  return headers;
}

bool SameHeaderName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

HRESULT HttpHeadersIterator::GetCurrentHeader(LPWSTR* name, LPWSTR* value) {
  if (name == nullptr || value == nullptr) return E_POINTER;
  if (position >= headers.size()) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
  HRESULT result = CopyToTaskMemory(headers[position].first, name);
  if (FAILED(result)) return result;
  return CopyToTaskMemory(headers[position].second, value);
}

HRESULT HttpHeadersIterator::get_HasCurrentHeader(BOOL* hasCurrent) {
  if (hasCurrent == nullptr) return E_POINTER;
  *hasCurrent = position < headers.size() ? TRUE : FALSE;
  return S_OK;
}

HRESULT HttpHeadersIterator::MoveNext(BOOL* hasNext) {
  if (hasNext == nullptr) return E_POINTER;
  if (position < headers.size()) ++position;
  *hasNext = position < headers.size() ? TRUE : FALSE;
  return S_OK;
}

HRESULT HttpRequestHeaders::GetHeader(LPCWSTR name, LPWSTR* value) {
  return FindHeader(*headers, name, value);
}

HRESULT HttpRequestHeaders::GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) {
  if (name == nullptr) return E_INVALIDARG;
  return Select(*headers, name, iterator);
}

HRESULT HttpRequestHeaders::Contains(LPCWSTR name, BOOL* contains) {
  return Has(*headers, name, contains);
}

HRESULT HttpRequestHeaders::SetHeader(LPCWSTR name, LPCWSTR value) {
  if (name == nullptr || value == nullptr) return E_INVALIDARG;
  RemoveHeader(name);
  headers->emplace_back(Utf8FromWide(name), Utf8FromWide(value));
  return S_OK;
}

HRESULT HttpRequestHeaders::RemoveHeader(LPCWSTR name) {
  if (name == nullptr) return E_INVALIDARG;
  std::string wanted = Utf8FromWide(name);
  for (auto it = headers->begin(); it != headers->end();) {
    it = SameHeaderName(it->first, wanted) ? headers->erase(it) : it + 1;
  }
  return S_OK;
}

HRESULT HttpRequestHeaders::GetIterator(ICoreWebView2HttpHeadersCollectionIterator** iterator) {
  return Select(*headers, nullptr, iterator);
}

HRESULT HttpResponseHeaders::AppendHeader(LPCWSTR name, LPCWSTR value) {
  if (name == nullptr || value == nullptr) return E_INVALIDARG;
  headers->emplace_back(Utf8FromWide(name), Utf8FromWide(value));
  return S_OK;
}

HRESULT HttpResponseHeaders::Contains(LPCWSTR name, BOOL* contains) {
  return Has(*headers, name, contains);
}

HRESULT HttpResponseHeaders::GetHeader(LPCWSTR name, LPWSTR* value) {
  return FindHeader(*headers, name, value);
}

HRESULT HttpResponseHeaders::GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) {
  if (name == nullptr) return E_INVALIDARG;
  return Select(*headers, name, iterator);
}

HRESULT HttpResponseHeaders::GetIterator(ICoreWebView2HttpHeadersCollectionIterator** iterator) {
  return Select(*headers, nullptr, iterator);
}

}  // namespace standin::webview2
