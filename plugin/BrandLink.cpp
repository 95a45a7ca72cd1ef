#include "BrandLink.h"

#include "ids.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace kelo {

namespace {
// ShellExecuteW reports success with any value above this.
constexpr std::intptr_t kShellSuccessThreshold = 32;
}  // namespace

bool openMakerPage() {
  // The address is ASCII, so widening it unit by unit is its UTF-16 form.
  const std::string url = kMakerUrl;
  const std::wstring wideUrl(url.begin(), url.end());
  HINSTANCE result = ShellExecuteW(nullptr, L"open", wideUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<std::intptr_t>(result) > kShellSuccessThreshold;
}

}  // namespace kelo
