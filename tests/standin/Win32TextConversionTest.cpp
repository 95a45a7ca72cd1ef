// Text conversion in the stand-in: the Win32 calls as the web view host makes
// them (explicit lengths, a size query first, no flags), and the WebView2
// side's own between its interfaces (one code point per WCHAR) and the
// DevTools protocol (UTF-8).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../../standin/src/webview2/WideText.h"

namespace {

using namespace std::string_literals;
using standin::webview2::Utf8FromWide;
using standin::webview2::WideFromUtf8;

std::wstring Win32Wide(const std::string& text) {
  const int length = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0)), L'\0');
  const int size = static_cast<int>(wide.size());
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), size), size);
  return wide;
}

std::string Win32Utf8(const std::wstring& wide) {
  const int length = static_cast<int>(wide.size());
  std::string text(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)), '\0');
  const int size = static_cast<int>(text.size());
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), size, nullptr, nullptr), size);
  return text;
}

TEST(TextConversion, EveryPlaneAndAnEmbeddedNulRoundTripAndWhatIsNoTextBecomesReplacements) {
  const std::string utf8 = "A\0 \xC3\xA9 \xE2\x82\xAC \xE2\x80\xA8 \xF0\x9F\x8E\xA4 \xF4\x8F\xBF\xBF"s;
  const std::wstring wide = L"A\0 \u00e9 \u20ac \u2028 \U0001F3A4 \U0010FFFF"s;
  EXPECT_EQ(Win32Wide(utf8), wide);
  EXPECT_EQ(Win32Utf8(wide), utf8);
  EXPECT_EQ(WideFromUtf8(utf8), wide);
  EXPECT_EQ(Utf8FromWide(wide), utf8);

  // The Win32 calls replace each maximal invalid subpart, the WebView2 side each bad byte.
  const struct {
    std::string utf8;
    std::wstring win32, webview2;
  } invalid[] = {
      {"a\x80"s, L"a\uFFFD", L"a\uFFFD"},                                               // a lone continuation byte
      {"\xE2\x82z"s, L"\uFFFDz", L"\uFFFD\uFFFDz"},                                     // a truncated sequence
      {"\xC3"s, L"\uFFFD", L"\uFFFD"},                                                  // truncated at the end
      {"\xC0\xAF"s, L"\uFFFD\uFFFD", L"\uFFFD\uFFFD"},                                  // an overlong '/'
      {"\xED\xA0\x80"s, L"\uFFFD\uFFFD\uFFFD", L"\uFFFD\uFFFD\uFFFD"},                  // an encoded surrogate
      {"\xF4\x90\x80\x80"s, L"\uFFFD\uFFFD\uFFFD\uFFFD", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"e\xFF"s, L"e\uFFFD", L"e\uFFFD"},
  };
  for (const auto& c : invalid) {
    EXPECT_EQ(Win32Wide(c.utf8), c.win32) << c.utf8;
    EXPECT_EQ(WideFromUtf8(c.utf8), c.webview2) << c.utf8;
  }
  // Units that are no code point; the Win32 calls combine a surrogate pair.
  EXPECT_EQ(Win32Utf8(L"x\xD800y"s), "x\xEF\xBF\xBDy");
  EXPECT_EQ(Win32Utf8(L"\xD83C\xDFA4"s), "\xF0\x9F\x8E\xA4");
  EXPECT_EQ(Utf8FromWide(L"x\xD83D\x110000"s), "x\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf8FromWide(static_cast<const wchar_t*>(nullptr)), "");
}

}  // namespace
