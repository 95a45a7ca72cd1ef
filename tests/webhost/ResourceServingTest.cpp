// The embedded files as the browser itself requests them: a page served
// from this program's resource table fetches every kind of path, and a bound
// function reports status, content type, caching and length back.
#include "BrowserHarness.h"
#include "ChromiumChildren.h"
#include "EdgeChromiumBrowser.h"

#include <kelo_linux_host.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>

using kelo::webhosttest::pumpUntil;
using webhost::json;
using webhost::kPrivateOrigin;

namespace {

std::size_t fileSize (const std::string& relative)
{
	std::ifstream file (std::string (KELO_SOURCE_DIR) + "/" + relative, std::ios::binary | std::ios::ate);
	return file ? static_cast<std::size_t> (file.tellg ()) : 0;
}

struct Reply
{
	int status = 0;
	std::string type;
	std::string cache;
	std::size_t length = 0;
};

class ServedResources : public ::testing::Test
{
protected:
	std::string appData;
	HWND parent = nullptr;
	std::unique_ptr<webhost::Webview> browser;
	webhost::Webview* ready = nullptr;
	std::map<std::string, Reply> replies;

	void SetUp () override
	{
		appData = kelo::webhosttest::useFreshAppDataFolder ();
		parent = static_cast<HWND> (KeloLinuxCreateHostWindow (1188, 606, "resources"));
		ASSERT_NE (parent, nullptr);
		browser = webhost::MakeWebview (false, parent, [this] (webhost::Webview* webview) {
			ready = webview;
			webview->BindFunction ("reportFetch", [this] (webhost::Webview*, int, const std::string&,
			                                              const json& params) {
				Reply reply;
				reply.status = params.at (1).get<int> ();
				reply.type = params.at (2).is_string () ? params.at (2).get<std::string> () : "";
				reply.cache = params.at (3).is_string () ? params.at (3).get<std::string> () : "";
				reply.length = params.at (4).get<std::size_t> ();
				replies[params.at (0).get<std::string> ()] = reply;
				return json (true);
			});
			webview->Navigate (std::string (kPrivateOrigin) + "/index.html");
		});
		ASSERT_NE (browser, nullptr) << "Chromium could not be started";
		ASSERT_TRUE (pumpUntil ([this] { return ready != nullptr; }, 30000)) << "browser never became ready";
		ASSERT_EQ (ready, browser.get ());
		ASSERT_TRUE (kelo::webhosttest::waitForPage (*browser, kPrivateOrigin, 30000))
		    << "the page never loaded from the private origin";
	}

	void TearDown () override
	{
		browser.reset ();
		KeloLinuxDestroyHostWindow (parent);
		pumpUntil ([] { return kelo::webhosttest::runningChromiumChildren ().empty (); }, 5000);
		kelo::webhosttest::removeAppDataFolder (appData);
	}

	// Fetches every address from the page; answers the replies by address.
	void fetchAll (const std::vector<std::string>& addresses)
	{
		json list = addresses;
		browser->EvalJS ("(function(){ const list = " + list.dump () +
		                     ";"
		                     "list.forEach(a => fetch(a, {cache: 'no-store'}).then("
		                     "  r => r.arrayBuffer().then(b => window.reportFetch(a, r.status,"
		                     "    r.headers.get('content-type'), r.headers.get('cache-control'), b.byteLength)),"
		                     "  e => window.reportFetch(a, -1, String(e), null, 0)));"
		                     "return list.length; })()",
		                 nullptr);
		ASSERT_TRUE (pumpUntil ([&] { return replies.size () == addresses.size (); }, 15000))
		    << replies.size () << " of " << addresses.size () << " fetches answered";
	}
};

std::string at (const std::string& path)
{
	return std::string (kPrivateOrigin) + path;
}

TEST_F (ServedResources, ThePageAndItsFilesComeWithTheirTypesAndNoCaching)
{
	const std::string html = "text/html; charset=utf-8";
	const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> files = {
	    {"/", {html, "web/index.html"}},
	    {"/index.html", {html, "web/index.html"}},
	    {"/index.html?v=2", {html, "web/index.html"}},
	    {"/index.html#top", {html, "web/index.html"}},
	    {"/INDEX.HTML", {html, "web/index.html"}},
	    {"/Index.Html", {html, "web/index.html"}},
	    {"/index_html", {"application/octet-stream", "web/index.html"}},
	    {"/app.js", {"application/javascript; charset=utf-8", "web/app.js"}},
	    {"/style.css", {"text/css; charset=utf-8", "web/style.css"}},
	    {"/header.png", {"image/png", "web/header.png"}},
	    {"/velmora.png", {"image/png", "web/velmora.png"}},
	    {"/third_party_notices.txt", {"text/plain; charset=utf-8", "licenses/third_party_notices.txt"}},
	};
	std::vector<std::string> addresses;
	for (const auto& file : files)
		addresses.push_back (at (file.first));
	fetchAll (addresses);
	for (const auto& file : files)
	{
		const Reply& reply = replies[at (file.first)];
		SCOPED_TRACE (file.first);
		EXPECT_EQ (reply.status, 200);
		EXPECT_EQ (reply.type, file.second.first);
		EXPECT_EQ (reply.cache, "no-store");
		EXPECT_GT (reply.length, 0u);
		EXPECT_EQ (reply.length, fileSize (file.second.second));
	}
}

TEST_F (ServedResources, UnknownEncodedAndFolderPathsGetAnEmptyNotFound)
{
	const std::vector<std::pair<std::string, std::string>> missing = {
	    {"/missing.css", "text/css; charset=utf-8"},
	    {"/app%2Ejs", "application/octet-stream"},
	    {"/img/header.png", "image/png"},
	    {"/web/index.html", "text/html; charset=utf-8"},
	    {"/..%5Cindex.html", "text/html; charset=utf-8"},
	    {"/KELO_INDEX_HTML", "application/octet-stream"},
	};
	std::vector<std::string> addresses;
	for (const auto& path : missing)
		addresses.push_back (at (path.first));
	fetchAll (addresses);
	for (const auto& path : missing)
	{
		const Reply& reply = replies[at (path.first)];
		SCOPED_TRACE (path.first);
		EXPECT_EQ (reply.status, 404);
		EXPECT_EQ (reply.type, path.second);
		EXPECT_EQ (reply.cache, "no-store");
		EXPECT_EQ (reply.length, 0u);
	}
}

TEST_F (ServedResources, OtherOriginsAreLeftToTheNetworkAndFail)
{
	const std::string elsewhere = "https://elsewhere.invalid/index.html";
	fetchAll ({elsewhere, at ("/index.html")});
	EXPECT_EQ (replies[elsewhere].status, -1) << "nothing may answer for another origin";
	EXPECT_EQ (replies[at ("/index.html")].status, 200);
}

} // namespace
