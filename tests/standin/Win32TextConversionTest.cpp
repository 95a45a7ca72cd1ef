// UTF-8 <-> wide text conversion with the Win32 contract.
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
  const int needed = WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string text(static_cast<std::size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()),
                                          text.data(), needed, nullptr, nullptr);
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
       {L'A', L' ', 0xE9, L' ', 0x20AC, L' ', 0x1F3A4, L' ', 0x10FFFF}, true},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},  // an explicit length runs past NUL
      // Lone continuation byte, truncated 3-byte sequence, overlong '/', encoded surrogate, byte 0xFF.
      {"a\x80" "b\xE2\x82" "c\xC0\xAF" "d\xED\xA0\x80" "e\xFF",
       {L'a', 0xFFFD, L'b', 0xFFFD, L'c', 0xFFFD, 0xFFFD, L'd', 0xFFFD, 0xFFFD, 0xFFFD, L'e', 0xFFFD}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToWide(c.utf8), c.wide);
    if (c.roundTrips) {
      EXPECT_EQ(ToUtf8(c.wide), c.utf8);
    }
  }
}

TEST(Win32TextConversion, MinusOneLengthCountsAndWritesTheTerminator) {
  wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab\xC3\xA9", -1, wide, 4), 4);
  EXPECT_EQ(std::wstring(wide), (std::wstring{L'a', L'b', 0xE9}));
  char narrow[3] = {'x', 'x', 'x'};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00e9", -1, narrow, 3, nullptr, nullptr), 3);
  EXPECT_EQ(narrow[2], '\0');
}

TEST(Win32TextConversion, InvalidUtf8FailsWhenTheCallerAsksForErrors) {
  wchar_t wide[8] = {};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok\xF5", 3, wide, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok\xC3\xA9", 4, wide, 8), 3);
}

TEST(Win32TextConversion, LoneSurrogatesAreReplacedOrRejectedAndPairsAreCombined) {
  EXPECT_EQ(ToUtf8(std::wstring{L'x', static_cast<wchar_t>(0xD800), L'y'}), "x\xEF\xBF\xBDy");
  const std::wstring pair{static_cast<wchar_t>(0xD83C), static_cast<wchar_t>(0xDFA4)};
  EXPECT_EQ(ToUtf8(pair), "\xF0\x9F\x8E\xA4");
  const std::wstring lone{static_cast<wchar_t>(0xDC00)};
  char narrow[8];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 1, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(Win32TextConversion, TooSmallBufferFailsWithInsufficientBuffer) {
  wchar_t wide[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  char narrow[3];
  SetLastError(0);
  // Three units fit, but the four bytes of the emoji do not.
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\U0001F3A4", 1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Win32TextConversion, BadArgumentsAreRejectedAsWindowsDoes) {
  wchar_t wide[4];
  char narrow[4];
  BOOL usedDefault = FALSE;
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x1, "abc", 3, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, narrow, 4, nullptr, &usedDefault), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
