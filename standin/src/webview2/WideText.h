#pragma once

#include <windows.h>

#include <string>

namespace standin::webview2 {

// WCHAR holds one code point per unit on Linux; the DevTools protocol speaks
// UTF-8. Invalid code points become U+FFFD in both directions.
std::string Utf8FromWide(const wchar_t* text);
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

// Hands out a CoTaskMemAlloc copy, as WebView2's LPWSTR getters do (the
// caller frees it with CoTaskMemFree). E_POINTER for a null `out`.
HRESULT CopyToTaskMemory(const std::wstring& text, LPWSTR* out);
HRESULT CopyToTaskMemory(const std::string& utf8, LPWSTR* out);

}  // namespace standin::webview2
