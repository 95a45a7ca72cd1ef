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

using Microsoft::WRL::ComPtr;
using webhost::ResourceServer;

namespace {

// IUnknown for objects that live on the test's stack.
template <class Interface>
struct OnStack : Interface
{
	HRESULT STDMETHODCALLTYPE QueryInterface (REFIID, void** object) override
	{
		*object = nullptr;
		return E_NOINTERFACE;
	}
	ULONG STDMETHODCALLTYPE AddRef () override { return 2; }
	ULONG STDMETHODCALLTYPE Release () override { return 1; }
};

LPWSTR taskCopy (const std::wstring& text)
{
	auto* copy = static_cast<LPWSTR> (CoTaskMemAlloc ((text.size () + 1) * sizeof (WCHAR)));
	std::wmemcpy (copy, text.c_str (), text.size () + 1);
	return copy;
}

struct Request : OnStack<ICoreWebView2WebResourceRequest>
{
	std::wstring uri;
	bool nullUri = false;
	HRESULT uriResult = S_OK;

	HRESULT STDMETHODCALLTYPE get_Uri (LPWSTR* out) override
	{
		*out = nullUri || FAILED (uriResult) ? nullptr : taskCopy (uri);
		return uriResult;
	}
	HRESULT STDMETHODCALLTYPE put_Uri (LPCWSTR) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_Method (LPWSTR*) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE put_Method (LPCWSTR) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_Content (IStream**) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE put_Content (IStream*) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_Headers (ICoreWebView2HttpRequestHeaders**) override { return E_NOTIMPL; }
};

struct Response : OnStack<ICoreWebView2WebResourceResponse>
{
	HRESULT STDMETHODCALLTYPE get_Content (IStream**) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE put_Content (IStream*) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_Headers (ICoreWebView2HttpResponseHeaders**) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_StatusCode (int*) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE put_StatusCode (int) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_ReasonPhrase (LPWSTR*) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE put_ReasonPhrase (LPCWSTR) override { return E_NOTIMPL; }
};

struct Args : OnStack<ICoreWebView2WebResourceRequestedEventArgs>
{
	Request* request = nullptr;
	HRESULT requestResult = S_OK;
	HRESULT putResult = S_OK;
	ICoreWebView2WebResourceResponse* response = nullptr;
	int responsesSet = 0;

	HRESULT STDMETHODCALLTYPE get_Request (ICoreWebView2WebResourceRequest** out) override
	{
		*out = SUCCEEDED (requestResult) ? request : nullptr;
		return requestResult;
	}
	HRESULT STDMETHODCALLTYPE get_Response (ICoreWebView2WebResourceResponse**) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE put_Response (ICoreWebView2WebResourceResponse* value) override
	{
		response = value;
		++responsesSet;
		return putResult;
	}
	HRESULT STDMETHODCALLTYPE GetDeferral (ICoreWebView2Deferral**) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_ResourceContext (COREWEBVIEW2_WEB_RESOURCE_CONTEXT*) override { return E_NOTIMPL; }
};

struct Environment : OnStack<ICoreWebView2Environment>
{
	Response response;
	HRESULT createResult = S_OK;
	int created = 0;
	bool hadContent = false;
	std::string body;
	int status = 0;
	std::wstring reason;
	std::wstring headers;

	HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller (
	    HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override
	{
		return E_NOTIMPL;
	}
	HRESULT STDMETHODCALLTYPE CreateWebResourceResponse (IStream* content, int statusCode, LPCWSTR reasonPhrase,
	                                                     LPCWSTR headerText,
	                                                     ICoreWebView2WebResourceResponse** out) override
	{
		++created;
		hadContent = content != nullptr;
		body.clear ();
		char chunk[4096];
		ULONG read = 0;
		while (content && SUCCEEDED (content->Read (chunk, sizeof chunk, &read)) && read > 0)
			body.append (chunk, read);
		status = statusCode;
		reason = reasonPhrase ? reasonPhrase : L"";
		headers = headerText ? headerText : L"";
		*out = SUCCEEDED (createResult) ? &response : nullptr;
		return createResult;
	}
	HRESULT STDMETHODCALLTYPE get_BrowserVersionString (LPWSTR*) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable (ICoreWebView2NewBrowserVersionAvailableEventHandler*,
	                                                          EventRegistrationToken*) override
	{
		return E_NOTIMPL;
	}
	HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable (EventRegistrationToken) override
	{
		return E_NOTIMPL;
	}
};

std::string fileText (const std::string& relative)
{
	std::ifstream file (std::string (KELO_SOURCE_DIR) + "/" + relative, std::ios::binary);
	return std::string (std::istreambuf_iterator<char> (file), std::istreambuf_iterator<char> ());
}

std::wstring at (const std::wstring& path)
{
	const std::string origin = webhost::kPrivateOrigin;
	return std::wstring (origin.begin (), origin.end ()) + path;
}

class ResourceRequest : public ::testing::Test
{
protected:
	Request request;
	Args args;
	Environment environment;

	void SetUp () override { args.request = &request; }
	HRESULT serve (const std::wstring& uri)
	{
		request.uri = uri;
		return ResourceServer::Serve (&environment, &args);
	}
};

TEST_F (ResourceRequest, FoundFileIsAnsweredWithItsExactBytes)
{
	ASSERT_EQ (serve (at (L"/style.css?v=3")), S_OK);
	EXPECT_EQ (args.responsesSet, 1);
	EXPECT_EQ (args.response, &environment.response);
	EXPECT_EQ (environment.status, 200);
	EXPECT_EQ (environment.reason, L"OK");
	EXPECT_EQ (environment.headers, L"Content-Type: text/css; charset=utf-8\r\nCache-Control: no-store\r\n");
	const std::string expected = fileText ("web/style.css");
	ASSERT_FALSE (expected.empty ());
	EXPECT_EQ (environment.body, expected);
}

TEST_F (ResourceRequest, MissingFileIsAnEmptyNotFound)
{
	ASSERT_EQ (serve (at (L"/img/header.png")), S_OK);
	EXPECT_EQ (args.responsesSet, 1);
	EXPECT_EQ (environment.status, 404);
	EXPECT_EQ (environment.reason, L"Not Found");
	EXPECT_FALSE (environment.hadContent);
	EXPECT_EQ (environment.headers, L"Content-Type: image/png\r\nCache-Control: no-store\r\n");
}

TEST_F (ResourceRequest, OtherOriginsAndMissingAddressesAreLeftAlone)
{
	EXPECT_EQ (serve (L"https://elsewhere.invalid/index.html"), S_OK);
	request.nullUri = true;
	EXPECT_EQ (serve (at (L"/index.html")), S_OK);
	EXPECT_EQ (environment.created, 0);
	EXPECT_EQ (args.responsesSet, 0);
}

TEST_F (ResourceRequest, UnreadableRequestOrAddressReturnsItsFailure)
{
	args.requestResult = E_ACCESSDENIED;
	EXPECT_EQ (serve (at (L"/index.html")), E_ACCESSDENIED);
	args.requestResult = S_OK;
	request.uriResult = E_OUTOFMEMORY;
	EXPECT_EQ (serve (at (L"/index.html")), E_OUTOFMEMORY);
	EXPECT_EQ (environment.created, 0);
	EXPECT_EQ (args.responsesSet, 0);
}

TEST_F (ResourceRequest, FailuresToMakeOrSetTheResponseAreReturned)
{
	environment.createResult = E_FAIL;
	EXPECT_EQ (serve (at (L"/index.html")), E_FAIL);
	EXPECT_EQ (args.responsesSet, 0);
	environment.createResult = S_OK;
	args.putResult = E_INVALIDARG;
	EXPECT_EQ (serve (at (L"/")), E_INVALIDARG);
	EXPECT_EQ (args.responsesSet, 1);
}

} // namespace
