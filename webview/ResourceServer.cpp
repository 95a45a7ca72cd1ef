#include "ResourceServer.h"

#include <objbase.h>
#include <shlwapi.h>
#include <wrl.h>

#include <cwctype>

#include "EdgeChromiumBrowser.h"
#include "OwnModule.h"
#include "TextConversion.h"

namespace webhost {

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kResourcePrefix[] = L"KELO_";
constexpr wchar_t kIndexPath[] = L"index.html";
constexpr wchar_t kOctetStream[] = L"application/octet-stream";
constexpr int kStatusOk = 200;
constexpr int kStatusNotFound = 404;
constexpr wchar_t kReasonOk[] = L"OK";
constexpr wchar_t kReasonNotFound[] = L"Not Found";

struct ContentTypeRule {
  const wchar_t* ending;
  const wchar_t* type;
};

// The first matching ending wins.
constexpr ContentTypeRule kContentTypes[] = {
    {L".HTML", L"text/html; charset=utf-8"},
    {L".JS", L"application/javascript; charset=utf-8"},
    {L".CSS", L"text/css; charset=utf-8"},
    {L".PNG", L"image/png"},
    {L".SVG", L"image/svg+xml"},
    {L".TXT", L"text/plain; charset=utf-8"},
};

bool EndsWith(const std::wstring& text, const std::wstring& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The address as one string; WebView2's copy is freed here.
HRESULT ReadUri(ICoreWebView2WebResourceRequestedEventArgs* args, std::wstring* uri) {
  ComPtr<ICoreWebView2WebResourceRequest> request;
  HRESULT result = args->get_Request(request.GetAddressOf());
  if (FAILED(result)) return result;
  if (!request) return E_POINTER;
  LPWSTR text = nullptr;
  result = request->get_Uri(&text);
  if (FAILED(result)) return result;
  uri->assign(text != nullptr ? text : L"");
  CoTaskMemFree(text);
  return S_OK;
}

}  // namespace

bool ResourceServer::RequestPath(const std::wstring& uri, std::wstring* upperPath) {
  const std::wstring prefix = ToWide(std::string(kPrivateOrigin) + "/");
  if (uri.compare(0, prefix.size(), prefix) != 0) return false;
  std::wstring path = uri.substr(prefix.size());
  // Query and fragment never name a file; percent escapes are kept as they are.
  path = path.substr(0, path.find_first_of(L"?#"));
  if (path.empty()) path = kIndexPath;
  for (auto& unit : path) unit = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(unit)));
  *upperPath = std::move(path);
  return true;
}

std::wstring ResourceServer::ResourceName(const std::wstring& upperPath) {
  std::wstring name = kResourcePrefix;
  for (const wchar_t unit : upperPath) {
    const bool kept = (unit >= L'0' && unit <= L'9') || (unit >= L'A' && unit <= L'Z') || unit == L'_';
    name.push_back(kept ? unit : L'_');
  }
  return name;
}

bool ResourceServer::IsServable(const std::wstring& upperPath) {
  return upperPath.find_first_of(L"/\\") == std::wstring::npos;
}

const wchar_t* ResourceServer::ContentType(const std::wstring& upperPath) {
  for (const auto& rule : kContentTypes) {
    if (EndsWith(upperPath, rule.ending)) return rule.type;
  }
  return kOctetStream;
}

std::wstring ResourceServer::Headers(const std::wstring& upperPath) {
  return std::wstring(L"Content-Type: ") + ContentType(upperPath) + L"\r\nCache-Control: no-store\r\n";
}

HRESULT ResourceServer::Serve(ICoreWebView2Environment* environment, ICoreWebView2WebResourceRequestedEventArgs* args) {
  if (args == nullptr || environment == nullptr) return E_POINTER;
  std::wstring uri;
  HRESULT result = ReadUri(args, &uri);
  if (FAILED(result)) return result;

  std::wstring path;
  // Another origin is left to the network, where the reserved name fails.
  if (!RequestPath(uri, &path)) return S_OK;

  const HMODULE module = OwnModule();
  if (module == nullptr) return HRESULT_FROM_WIN32(GetLastError());

  ComPtr<IStream> content;
  HRSRC resource = nullptr;
  if (IsServable(path)) {
    const std::wstring name = ResourceName(path);
    resource = FindResourceW(module, name.c_str(), RT_RCDATA);
  }
  if (resource != nullptr) {
    const DWORD size = SizeofResource(module, resource);
    const HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr) return E_FAIL;
    const void* data = LockResource(loaded);
    if (data == nullptr || size == 0) return E_FAIL;
    // The stream copies the bytes; the resource itself stays untouched.
    content.Attach(SHCreateMemStream(static_cast<const BYTE*>(data), size));
    if (!content) return E_OUTOFMEMORY;
  }

  const std::wstring headers = Headers(path);
  ComPtr<ICoreWebView2WebResourceResponse> response;
  result = environment->CreateWebResourceResponse(content.Get(), resource != nullptr ? kStatusOk : kStatusNotFound,
                                                  resource != nullptr ? kReasonOk : kReasonNotFound, headers.c_str(),
                                                  response.GetAddressOf());
  if (FAILED(result)) return result;
  return args->put_Response(response.Get());
}

}  // namespace webhost
