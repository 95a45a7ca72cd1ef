// UTF-8 <-> wide text for the stand-in's own use, on top of its
// MultiByteToWideChar and WideCharToMultiByte. Null or invalid input gives
// an empty result.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

std::wstring WideFromUtf8(const char* text);
std::string Utf8FromWide(LPCWSTR text);

}  // namespace standin
