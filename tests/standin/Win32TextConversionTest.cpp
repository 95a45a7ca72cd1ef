// UTF-8 <-> wide text conversion as the web view host calls it: explicit
// lengths, a size query first, no flags.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// Converts with a size query first, as callers do.
std::wstring ToWide(const std::string& text, DWORD flags = 0) {
  const int needed = MultiByteToWideChar(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  const int written =
      MultiByteToWideChar(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), wide.data(), needed);
  EXPECT_EQ(written, needed);
  return wide;
}

std::string ToUtf8(const std::wstring& wide, DWORD flags = 0) {
  const int needed =
      WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), text.data(),
                                          needed, nullptr, nullptr);
  EXPECT_EQ(written, needed);
  return text;
}

TEST(Win32TextConversion, Utf8BecomesOneUnitPerCodePointAndInvalidBytesOneReplacementPerMaximalSubpart) {
  const struct {
    std::string utf8;
    std::wstring wide;
    bool roundTrips;
  } cases[] = {
      // A é € 🎤 U+10FFFF
      {"A \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA4 \xF4\x8F\xBF\xBF",
       {L'A', L' ', 0xE9, L' ', 0x20AC, L' ', 0x1F3A4, L' ', 0x10FFFF},
       true},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},  // an explicit length runs past NUL
      // Lone continuation byte, truncated 3-byte sequence, overlong '/', encoded surrogate, byte 0xFF.
      {"a\x80"
       "b\xE2\x82"
       "c\xC0\xAF"
       "d\xED\xA0\x80"
       "e\xFF",
       {L'a', 0xFFFD, L'b', 0xFFFD, L'c', 0xFFFD, 0xFFFD, L'd', 0xFFFD, 0xFFFD, 0xFFFD, L'e', 0xFFFD},
       false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToWide(c.utf8), c.wide);
    if (c.roundTrips) {
      EXPECT_EQ(ToUtf8(c.wide), c.utf8);
    }
  }
}

TEST(Win32TextConversion, LoneSurrogatesAreReplacedAndPairsAreCombined) {
  EXPECT_EQ(ToUtf8(std::wstring{L'x', static_cast<wchar_t>(0xD800), L'y'}), "x\xEF\xBF\xBDy");
  const std::wstring pair{static_cast<wchar_t>(0xD83C), static_cast<wchar_t>(0xDFA4)};
  EXPECT_EQ(ToUtf8(pair), "\xF0\x9F\x8E\xA4");
}

}  // namespace
