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

TEST_F (ServedResources, FilesComeWithTheirTypesNoCachingAndMissingOnesAsEmptyNotFound)
{
	const std::string html = "text/html; charset=utf-8", other = "application/octet-stream";
	const struct
	{
		const char* path;
		std::string type;
		const char* file; // nullptr: an empty 404
	} cases[] = {
	    {"/", html, "web/index.html"},
	    {"/index.html?v=2", html, "web/index.html"},
	    {"/index.html#top", html, "web/index.html"},
	    {"/INDEX.HTML", html, "web/index.html"},
	    {"/index_html", other, "web/index.html"},
	    {"/app.js", "application/javascript; charset=utf-8", "web/app.js"},
	    {"/style.css", "text/css; charset=utf-8", "web/style.css"},
	    {"/header.png", "image/png", "web/header.png"},
	    {"/velmora.png", "image/png", "web/velmora.png"},
	    {"/third_party_notices.txt", "text/plain; charset=utf-8", "licenses/third_party_notices.txt"},
	    {"/missing.css", "text/css; charset=utf-8", nullptr},
	    {"/app%2Ejs", other, nullptr},
	    {"/img/header.png", "image/png", nullptr},
	    {"/web/index.html", html, nullptr},
	    {"/..%5Cindex.html", html, nullptr},
	    {"/KELO_INDEX_HTML", other, nullptr},
	};
	const std::string elsewhere = "https://elsewhere.invalid/index.html";
	std::vector<std::string> addresses {elsewhere};
	for (const auto& c : cases)
		addresses.push_back (at (c.path));
	fetchAll (addresses);
	EXPECT_EQ (replies[elsewhere].status, -1) << "nothing may answer for another origin";
	for (const auto& c : cases)
	{
		const Reply& reply = replies[at (c.path)];
		SCOPED_TRACE (c.path);
		EXPECT_EQ (reply.status, c.file ? 200 : 404);
		EXPECT_EQ (reply.type, c.type);
		EXPECT_EQ (reply.cache, "no-store");
		EXPECT_EQ (reply.length, c.file ? fileSize (c.file) : 0u);
	}
}

} // namespace
