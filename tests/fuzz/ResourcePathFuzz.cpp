// Any address as a request to the resource server: the path mapping never
// crashes, serves only below the private origin, and every resource name it
// makes is "KELO_" and upper-case letters, digits and underscores.
#include "ResourceServer.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Two bytes a UTF-16 unit; an odd first byte puts the private origin in front.
  std::wstring address = size > 0 && (data[0] & 1) ? L"https://kelo.invalid/" : L"";
  for (std::size_t i = 1; i + 1 < size; i += 2) address += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

  std::wstring path;
  const bool mapped = webhost::ResourceServer::RequestPath(address, &path);
  require(mapped == (address.rfind(L"https://kelo.invalid/", 0) == 0));
  if (!mapped) return 0;
  require(!path.empty() && path.find_first_of(L"?#") == std::wstring::npos);
  const std::wstring name = webhost::ResourceServer::ResourceName(path);
  require(name.rfind(L"KELO_", 0) == 0 && name.size() == path.size() + 5);
  for (wchar_t unit : name) require((unit >= L'A' && unit <= L'Z') || (unit >= L'0' && unit <= L'9') || unit == L'_');
  if (webhost::ResourceServer::IsServable(path)) require(path.find_first_of(L"/\\") == std::wstring::npos);
  const std::wstring headers = webhost::ResourceServer::Headers(path);
  require(headers.size() > 2 && headers.compare(headers.size() - 2, 2, L"\r\n") == 0);
  return 0;
}
