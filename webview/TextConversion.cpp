#include "TextConversion.h"

#include <climits>

namespace webhost {

std::wstring ToWide(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return std::wstring();
  const int bytes = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, wide.data(), units);
  return wide;
}

std::string ToUtf8(const WCHAR* wide, int length) {
  if (wide == nullptr || length <= 0) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

std::string ToUtf8(const std::wstring& wide) {
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) return std::string();
  return ToUtf8(wide.c_str(), static_cast<int>(wide.size()));
}

}  // namespace webhost
