// Any text as a call message from the page: the bindings never throw, and
// every answer is one well-formed settling script for the call's own number.
#include "RecordingWebview.h"

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  webhost::testing::RecordingWebview webview;
  // Echoes its arguments, so hostile text travels into the settling script.
  webview.BindFunction("keloRead",
                       [](webhost::Webview*, int, const std::string&, const webhost::json& params) { return params; });
  webview.OnBrowserMessage(std::string(reinterpret_cast<const char*>(data), size));

  require(webview.evaluations.size() <= 1);
  if (webview.evaluations.empty()) return 0;
  static const std::regex settle(
      R"(^window\._rpc\[(-?\d+)\]\.(resolve|reject)\(([\s\S]*)\); delete window\._rpc\[\1\]$)");
  std::smatch match;
  const std::string& script = webview.evaluations.front().script;
  require(std::regex_match(script, match, settle));
  // The settled value is valid JSON text.
  require(!webhost::json::parse(match[3].str(), nullptr, false).is_discarded());
  return 0;
}
