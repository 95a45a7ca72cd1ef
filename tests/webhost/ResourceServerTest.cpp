// How a request address becomes a resource name, a content type and headers.
#include "EdgeChromiumBrowser.h"
#include "ResourceServer.h"

#include <gtest/gtest.h>

#include <string>

using webhost::ResourceServer;

namespace {

std::wstring origin ()
{
	const std::string narrow = webhost::kPrivateOrigin;
	return std::wstring (narrow.begin (), narrow.end ());
}

std::wstring pathOf (const std::wstring& uri)
{
	std::wstring path = L"<outside>";
	ResourceServer::RequestPath (uri, &path);
	return path;
}

TEST (ResourcePaths, OriginIsAnHttpsHostThatResolvesNowhere)
{
	const std::string value = webhost::kPrivateOrigin;
	EXPECT_EQ (value.rfind ("https://", 0), 0u);
	EXPECT_NE (value.back (), '/');
	EXPECT_EQ (value.substr (value.size () - 8), ".invalid");
}

TEST (ResourcePaths, DropQueryAndFragmentAndUpperCaseTheRest)
{
	EXPECT_EQ (pathOf (origin () + L"/"), L"INDEX.HTML");
	EXPECT_EQ (pathOf (origin () + L"/?x=1"), L"INDEX.HTML");
	EXPECT_EQ (pathOf (origin () + L"/#top"), L"INDEX.HTML");
	EXPECT_EQ (pathOf (origin () + L"/index.html?v=2#a"), L"INDEX.HTML");
	EXPECT_EQ (pathOf (origin () + L"/app.js#x?y"), L"APP.JS");
	EXPECT_EQ (pathOf (origin () + L"/Editor_Flourish.png"), L"EDITOR_FLOURISH.PNG");
	EXPECT_EQ (pathOf (origin () + L"/app%2Ejs"), L"APP%2EJS");
}

TEST (ResourcePaths, AddressesOutsideTheOriginAreNotServed)
{
	std::wstring path = L"unchanged";
	EXPECT_FALSE (ResourceServer::RequestPath (origin (), &path));
	EXPECT_FALSE (ResourceServer::RequestPath (L"https://kelo.invalid.example.com/index.html", &path));
	EXPECT_FALSE (ResourceServer::RequestPath (L"HTTPS://KELO.INVALID/index.html", &path));
	EXPECT_FALSE (ResourceServer::RequestPath (L"http://kelo.invalid/index.html", &path));
	EXPECT_FALSE (ResourceServer::RequestPath (L"", &path));
	EXPECT_EQ (path, L"unchanged");
	EXPECT_TRUE (ResourceServer::RequestPath (origin () + L"/x", &path));
}

TEST (ResourceNames, KeepDigitsCapitalsAndUnderscoresOnly)
{
	EXPECT_EQ (ResourceServer::ResourceName (L"INDEX.HTML"), L"KELO_INDEX_HTML");
	EXPECT_EQ (ResourceServer::ResourceName (L"EDITOR_FLOURISH.PNG"), L"KELO_EDITOR_FLOURISH_PNG");
	EXPECT_EQ (ResourceServer::ResourceName (L"APACHE-2.0.TXT"), L"KELO_APACHE_2_0_TXT");
	EXPECT_EQ (ResourceServer::ResourceName (L"\u00C9T\u00C9.CSS"), L"KELO__T__CSS");
	EXPECT_EQ (ResourceServer::ResourceName (L""), L"KELO_");
}

TEST (ResourceNames, PathsWithFoldersAreNeverServed)
{
	EXPECT_TRUE (ResourceServer::IsServable (L"INDEX.HTML"));
	EXPECT_TRUE (ResourceServer::IsServable (L"..%5CINDEX.HTML"));
	EXPECT_FALSE (ResourceServer::IsServable (L"IMG/HEADER.PNG"));
	EXPECT_FALSE (ResourceServer::IsServable (L"IMG\\HEADER.PNG"));
	EXPECT_FALSE (ResourceServer::IsServable (L"INDEX.HTML/"));
}

TEST (ContentTypes, FollowTheExtensionOfTheUpperCasedPath)
{
	EXPECT_STREQ (ResourceServer::ContentType (L"INDEX.HTML"), L"text/html; charset=utf-8");
	EXPECT_STREQ (ResourceServer::ContentType (L"APP.JS"), L"application/javascript; charset=utf-8");
	EXPECT_STREQ (ResourceServer::ContentType (L"STYLE.CSS"), L"text/css; charset=utf-8");
	EXPECT_STREQ (ResourceServer::ContentType (L"HEADER.PNG"), L"image/png");
	EXPECT_STREQ (ResourceServer::ContentType (L"ART.SVG"), L"image/svg+xml");
	EXPECT_STREQ (ResourceServer::ContentType (L"NOTICE.TXT"), L"text/plain; charset=utf-8");
	EXPECT_STREQ (ResourceServer::ContentType (L"INDEX_HTML"), L"application/octet-stream");
	EXPECT_STREQ (ResourceServer::ContentType (L"APP.JSON"), L"application/octet-stream");
	EXPECT_STREQ (ResourceServer::ContentType (L"HTML"), L"application/octet-stream");
	EXPECT_STREQ (ResourceServer::ContentType (L"IMG/HEADER.PNG"), L"image/png");
}

TEST (ContentTypes, HeadersForbidCachingAndEndEveryLineWithCrLf)
{
	EXPECT_EQ (ResourceServer::Headers (L"STYLE.CSS"),
	           L"Content-Type: text/css; charset=utf-8\r\nCache-Control: no-store\r\n");
	EXPECT_EQ (ResourceServer::Headers (L"MISSING"),
	           L"Content-Type: application/octet-stream\r\nCache-Control: no-store\r\n");
}

} // namespace
