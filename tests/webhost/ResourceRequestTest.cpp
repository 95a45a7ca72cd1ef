// The resource handler's answers to WebView2, seen through fake request,
// event arguments and environment (FakeWebView2Object.h). The page's files
// come from this program's own resource table.
#include "EdgeChromiumBrowser.h"
#include "FakeWebView2Object.h"
#include "ResourceServer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace fakewebview2;
using webhost::ResourceServer;

namespace {

// The request's address, none at all when its state is set, unless its answer is a failure.
HRESULT STDMETHODCALLTYPE getUri(Fake* self, LPWSTR* out) {
  *out = nullptr;
  if (!self->state && SUCCEEDED(self->answer)) {
    *out = static_cast<LPWSTR>(CoTaskMemAlloc((self->text.size() + 1) * sizeof(WCHAR)));
    std::copy(self->text.c_str(), self->text.c_str() + self->text.size() + 1, *out);
  }
  return self->answer;
}
// The arguments: get_Request answers `number`; put_Response counts in state and answers `answer`.
HRESULT STDMETHODCALLTYPE getRequest(Fake* self, ICoreWebView2WebResourceRequest** out) {
  *out = SUCCEEDED(self->number) ? as<ICoreWebView2WebResourceRequest>(self->request) : nullptr;
  if (*out) addRef(self->request);
  return self->number;
}
HRESULT STDMETHODCALLTYPE putResponse(Fake* self, ICoreWebView2WebResourceResponse* response) {
  ++self->state;
  addRef(reinterpret_cast<Fake*>(response));
  if (self->response) release(self->response);
  self->response = reinterpret_cast<Fake*>(response);
  return self->answer;
}
// The environment keeps what the response was made of ("reason|headers" in text)
// and counts in state; it hands out its one response unless its answer is a failure.
HRESULT STDMETHODCALLTYPE createResponse(Fake* self, IStream* content, int status, LPCWSTR reason, LPCWSTR headers,
                                         ICoreWebView2WebResourceResponse** out) {
  ++self->state;
  self->number = status;
  self->text = std::wstring(reason ? reason : L"") + L"|" + (headers ? headers : L"");
  if (self->content) self->content->Release();
  if ((self->content = content)) content->AddRef();
  *out = SUCCEEDED(self->answer) ? as<ICoreWebView2WebResourceResponse>(self->response) : nullptr;
  if (*out) addRef(self->response);
  return self->answer;
}

std::string fileText(const std::string& relative) {
  std::ifstream file(std::string(KELO_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const Table argsTable = Table()
                            .set(&ICoreWebView2WebResourceRequestedEventArgs::get_Request, getRequest)
                            .set(&ICoreWebView2WebResourceRequestedEventArgs::put_Response, putResponse);
const Table requestTable = Table().set(&ICoreWebView2WebResourceRequest::get_Uri, getUri);
const Table environmentTable = Table().set(&ICoreWebView2Environment::CreateWebResourceResponse, createResponse);

class ResourceRequest : public ::testing::Test {
 protected:
  Fake* args = argsTable.make();
  Fake* request = args->request = requestTable.make();
  Fake* environment = environmentTable.make();

  void SetUp() override { environment->response = makeBare(); }
  void TearDown() override {
    release(args);
    release(environment);
  }
  // `address` is taken after the private origin when it starts with '/'.
  HRESULT serve(const std::string& address) {
    const std::string uri = address.rfind('/', 0) == 0 ? webhost::kPrivateOrigin + address : address;
    request->text.assign(uri.begin(), uri.end());
    return ResourceServer::Serve(as<ICoreWebView2Environment>(environment),
                                 as<ICoreWebView2WebResourceRequestedEventArgs>(args));
  }
  std::string body() {
    std::string bytes;
    char chunk[4096];
    ULONG read = 0;
    while (environment->content && SUCCEEDED(environment->content->Read(chunk, sizeof chunk, &read)) && read > 0)
      bytes.append(chunk, read);
    return bytes;
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
    args->state = 0;
    ASSERT_EQ(serve(c.address), S_OK);
    EXPECT_EQ(args->state, 1);
    EXPECT_EQ(args->response, environment->response);
    EXPECT_EQ(environment->number, c.file ? 200 : 404);
    const std::wstring type(c.type.begin(), c.type.end());
    EXPECT_EQ(environment->text,
              (c.file ? L"OK|" : L"Not Found|") + (L"Content-Type: " + type + L"\r\nCache-Control: no-store\r\n"));
    EXPECT_EQ(environment->content != nullptr, c.file != nullptr);
    EXPECT_EQ(body(), c.file ? fileText(c.file) : "");
  }
}

TEST_F(ResourceRequest, OtherOriginsAndMissingAddressesAreLeftAlone) {
  for (const char* address :
       {"https://elsewhere.invalid/index.html", "https://kelo.invalid", "https://kelo.invalid.example.com/index.html",
        "HTTPS://KELO.INVALID/index.html", "http://kelo.invalid/index.html", ""})
    EXPECT_EQ(serve(address), S_OK) << address;
  request->state = 1;  // no address at all
  EXPECT_EQ(serve("/index.html"), S_OK);
  EXPECT_EQ(environment->state, 0);
  EXPECT_EQ(args->state, 0);
}

TEST_F(ResourceRequest, FailuresToReadTheRequestOrToMakeOrSetTheResponseAreReturned) {
  args->number = E_ACCESSDENIED;
  EXPECT_EQ(serve("/index.html"), E_ACCESSDENIED);
  args->number = S_OK;
  request->answer = E_OUTOFMEMORY;
  EXPECT_EQ(serve("/index.html"), E_OUTOFMEMORY);
  EXPECT_EQ(environment->state, 0);
  request->answer = S_OK;
  environment->answer = E_FAIL;
  EXPECT_EQ(serve("/index.html"), E_FAIL);
  EXPECT_EQ(args->state, 0);
  environment->answer = S_OK;
  args->answer = E_INVALIDARG;
  EXPECT_EQ(serve("/"), E_INVALIDARG);
  EXPECT_EQ(args->state, 1);
}

TEST(ResourceNames, KeepDigitsCapitalsAndUnderscoresOnly) {
  EXPECT_EQ(ResourceServer::ResourceName(L"APACHE-2.0.TXT"), L"KELO_APACHE_2_0_TXT");
  EXPECT_EQ(ResourceServer::ResourceName(L"\u00C9T\u00C9.CSS"), L"KELO__T__CSS");
  EXPECT_EQ(ResourceServer::ResourceName(L""), L"KELO_");
}

}  // namespace
