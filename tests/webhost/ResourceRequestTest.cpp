// The resource handler's answers to WebView2, seen through recording
// stand-ins for the request, its event arguments and the environment. The
// page's files come from this program's own resource table.
#include "EdgeChromiumBrowser.h"
#include "ResourceServer.h"

#include <WebView2.h>
#include <windows.h>
#include <wrl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

using webhost::ResourceServer;

namespace {

// IUnknown for objects that live on the test's stack.
template <class Interface>
struct OnStack : Interface {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

struct Request : OnStack<ICoreWebView2WebResourceRequest> {
  std::wstring uri;
  bool nullUri = false;
  HRESULT uriResult = S_OK;

  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = nullptr;
    if (!nullUri && SUCCEEDED(uriResult)) {
      *out = static_cast<LPWSTR>(CoTaskMemAlloc((uri.size() + 1) * sizeof(WCHAR)));
      std::wmemcpy(*out, uri.c_str(), uri.size() + 1);
    }
    return uriResult;
  }
  HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Method(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Content(IStream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders**) override { return E_NOTIMPL; }
};

struct Response : OnStack<ICoreWebView2WebResourceResponse> {
  HRESULT STDMETHODCALLTYPE get_Content(IStream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_StatusCode(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_StatusCode(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR) override { return E_NOTIMPL; }
};

struct Args : OnStack<ICoreWebView2WebResourceRequestedEventArgs> {
  Request* request = nullptr;
  HRESULT requestResult = S_OK;
  HRESULT putResult = S_OK;
  ICoreWebView2WebResourceResponse* response = nullptr;
  int responsesSet = 0;

  HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** out) override {
    *out = SUCCEEDED(requestResult) ? request : nullptr;
    return requestResult;
  }
  HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* value) override {
    response = value;
    ++responsesSet;
    return putResult;
  }
  HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT*) override { return E_NOTIMPL; }
};

struct Environment : OnStack<ICoreWebView2Environment> {
  Response response;
  HRESULT createResult = S_OK;
  int created = 0;
  bool hadContent = false;
  std::string body;
  int status = 0;
  std::wstring reason;
  std::wstring headers;

  HRESULT STDMETHODCALLTYPE
  CreateCoreWebView2Controller(HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                                      LPCWSTR headerText,
                                                      ICoreWebView2WebResourceResponse** out) override {
    ++created;
    hadContent = content != nullptr;
    body.clear();
    char chunk[4096];
    ULONG read = 0;
    while (content && SUCCEEDED(content->Read(chunk, sizeof chunk, &read)) && read > 0) body.append(chunk, read);
    status = statusCode;
    reason = reasonPhrase ? reasonPhrase : L"";
    headers = headerText ? headerText : L"";
    *out = SUCCEEDED(createResult) ? &response : nullptr;
    return createResult;
  }
  HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                           EventRegistrationToken*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override { return E_NOTIMPL; }
};

std::string fileText(const std::string& relative) {
  std::ifstream file(std::string(KELO_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class ResourceRequest : public ::testing::Test {
 protected:
  Request request;
  Args args;
  Environment environment;

  void SetUp() override { args.request = &request; }
  // `address` is taken after the private origin when it starts with '/'.
  HRESULT serve(const std::string& address) {
    const std::string uri = address.rfind('/', 0) == 0 ? webhost::kPrivateOrigin + address : address;
    request.uri.assign(uri.begin(), uri.end());
    return ResourceServer::Serve(&environment, &args);
  }
};

TEST_F(ResourceRequest, AddressesOfTheOriginGetTheirFileOrAnEmptyNotFoundWithTypeAndNoCaching) {
  const std::string html = "text/html; charset=utf-8", other = "application/octet-stream";
  const struct {
    const char* address;
    const char* file;  // nullptr: not found
    std::string type;
  } cases[] = {
      {"/style.css?v=3", "web/style.css", "text/css; charset=utf-8"},
      {"/", "web/index.html", html},
      {"/?x=1", "web/index.html", html},
      {"/Index.Html?v=2#a", "web/index.html", html},
      {"/app.js#x?y", "web/app.js", "application/javascript; charset=utf-8"},
      {"/third_party_notices.txt", "licenses/third_party_notices.txt", "text/plain; charset=utf-8"},
      {"/img/header.png", nullptr, "image/png"},
      {"/img\\header.png", nullptr, "image/png"},
      {"/index.html/", nullptr, other},
      {"/app%2Ejs", nullptr, other},
      {"/..%5Cindex.html", nullptr, html},
      {"/index_html", "web/index.html", other},
      {"/KELO_INDEX_HTML", nullptr, other},
      {"/app.json", nullptr, other},
      {"/html", nullptr, other},
      {"/art.svg", nullptr, "image/svg+xml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    environment.created = args.responsesSet = 0;
    ASSERT_EQ(serve(c.address), S_OK);
    EXPECT_EQ(args.responsesSet, 1);
    EXPECT_EQ(args.response, &environment.response);
    EXPECT_EQ(environment.status, c.file ? 200 : 404);
    EXPECT_EQ(environment.reason, c.file ? L"OK" : L"Not Found");
    const std::wstring type(c.type.begin(), c.type.end());
    EXPECT_EQ(environment.headers, L"Content-Type: " + type + L"\r\nCache-Control: no-store\r\n");
    EXPECT_EQ(environment.hadContent, c.file != nullptr);
    EXPECT_EQ(environment.body, c.file ? fileText(c.file) : "");
  }
}

TEST_F(ResourceRequest, OtherOriginsAndMissingAddressesAreLeftAlone) {
  for (const char* address :
       {"https://elsewhere.invalid/index.html", "https://kelo.invalid", "https://kelo.invalid.example.com/index.html",
        "HTTPS://KELO.INVALID/index.html", "http://kelo.invalid/index.html", ""})
    EXPECT_EQ(serve(address), S_OK) << address;
  request.nullUri = true;
  EXPECT_EQ(serve("/index.html"), S_OK);
  EXPECT_EQ(environment.created, 0);
  EXPECT_EQ(args.responsesSet, 0);
}

TEST_F(ResourceRequest, FailuresToReadTheRequestOrToMakeOrSetTheResponseAreReturned) {
  args.requestResult = E_ACCESSDENIED;
  EXPECT_EQ(serve("/index.html"), E_ACCESSDENIED);
  args.requestResult = S_OK;
  request.uriResult = E_OUTOFMEMORY;
  EXPECT_EQ(serve("/index.html"), E_OUTOFMEMORY);
  EXPECT_EQ(environment.created, 0);
  request.uriResult = S_OK;
  environment.createResult = E_FAIL;
  EXPECT_EQ(serve("/index.html"), E_FAIL);
  EXPECT_EQ(args.responsesSet, 0);
  environment.createResult = S_OK;
  args.putResult = E_INVALIDARG;
  EXPECT_EQ(serve("/"), E_INVALIDARG);
  EXPECT_EQ(args.responsesSet, 1);
}

TEST(ResourceNames, KeepDigitsCapitalsAndUnderscoresOnly) {
  EXPECT_EQ(ResourceServer::ResourceName(L"APACHE-2.0.TXT"), L"KELO_APACHE_2_0_TXT");
  EXPECT_EQ(ResourceServer::ResourceName(L"\u00C9T\u00C9.CSS"), L"KELO__T__CSS");
  EXPECT_EQ(ResourceServer::ResourceName(L""), L"KELO_");
}

}  // namespace
