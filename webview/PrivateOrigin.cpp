#include "PrivateOrigin.h"

#include <shellapi.h>

#include <cwctype>

namespace webhost {

namespace {

// Compares `address` with the ASCII `prefix`, letters without case when
// `anyCase` (schemes are case-insensitive; the origin is matched exactly).
bool StartsWith(const WCHAR* address, const char* prefix, bool anyCase) {
  for (; *prefix != '\0'; ++prefix, ++address) {
    if (*address == 0) return false;
    const auto unit = static_cast<wint_t>(*address);
    const auto wanted = static_cast<wint_t>(static_cast<unsigned char>(*prefix));
    if (anyCase ? std::towlower(unit) != wanted : unit != wanted) return false;
  }
  return true;
}

}  // namespace

bool IsPrivateAddress(const WCHAR* address) noexcept {
  if (address == nullptr || !StartsWith(address, kPrivateOrigin, false)) return false;
  // The origin must end where the prefix does: "https://kelo.invalid.evil" is another host.
  const WCHAR next = address[sizeof kPrivateOrigin - 1];
  return next == 0 || next == L'/' || next == L'?' || next == L'#';
}

void OpenInSystemBrowser(const WCHAR* address) noexcept {
  if (address == nullptr || !(StartsWith(address, "https://", true) || StartsWith(address, "http://", true))) return;
  ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace webhost
