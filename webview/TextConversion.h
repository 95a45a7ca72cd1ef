#pragma once

#include <windows.h>

#include <string>

// Text is UTF-8 inside the program; these convert at the Win32 and WebView2
// calls only.
namespace webhost {

// UTF-8 to the platform's wide text. Invalid sequences become U+FFFD, as
// MultiByteToWideChar does without MB_ERR_INVALID_CHARS.
std::wstring ToWide(const std::string& utf8);

// Wide text (without its terminator, `length` units) to UTF-8. A null text
// gives an empty string.
std::string ToUtf8(const WCHAR* wide, int length);
std::string ToUtf8(const std::wstring& wide);

}  // namespace webhost
