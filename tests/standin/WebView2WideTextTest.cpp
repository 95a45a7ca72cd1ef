// Text between the WebView2 interfaces (one code point per WCHAR) and the
// DevTools protocol (UTF-8), with hostile input.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../../standin/src/webview2/WideText.h"

namespace {

using standin::webview2::CopyToTaskMemory;
using standin::webview2::Utf8FromWide;
using standin::webview2::WideFromUtf8;

TEST(WebView2WideText, EveryPlaneRoundTripsIncludingEmbeddedNul) {
  const std::wstring wide = std::wstring(L"a\u00e9\u2028\U0001F600") + L'\0' + L"z";
  const std::string utf8 = std::string("a\xC3\xA9\xE2\x80\xA8\xF0\x9F\x98\x80") + '\0' + "z";
  EXPECT_EQ(Utf8FromWide(wide), utf8);
  EXPECT_EQ(WideFromUtf8(utf8), wide);
}

TEST(WebView2WideText, InvalidUtf8BecomesOneReplacementPerBadByte) {
  EXPECT_EQ(WideFromUtf8("a\xFF"
                         "b"),
            L"a\uFFFDb");
  EXPECT_EQ(WideFromUtf8("\xC3"), L"\uFFFD");                                // truncated at the end
  EXPECT_EQ(WideFromUtf8("\xC3(x"), L"\uFFFD(x");                            // bad continuation
  EXPECT_EQ(WideFromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");                      // overlong "/"
  EXPECT_EQ(WideFromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");            // an encoded surrogate
  EXPECT_EQ(WideFromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
}

TEST(WebView2WideText, UnitsThatAreNoCodePointBecomeReplacements) {
  std::wstring wide = L"x";
  wide += static_cast<wchar_t>(0xD83D);  // a lone surrogate
  wide += static_cast<wchar_t>(0x110000);
  EXPECT_EQ(Utf8FromWide(wide), "x\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf8FromWide(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(WebView2WideText, TaskMemoryCopiesAreTerminatedAndNullOutputsRefused) {
  LPWSTR copy = nullptr;
  ASSERT_EQ(CopyToTaskMemory(std::string("h\xC3\xA9"), &copy), S_OK);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::wstring(copy), L"h\u00e9");
  CoTaskMemFree(copy);
  EXPECT_EQ(CopyToTaskMemory(std::string("x"), nullptr), E_POINTER);
}

}  // namespace
