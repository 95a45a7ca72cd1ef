#include "BrowserHarness.h"

#include <standin/ThreadTasks.h>

#include <chrono>
#include <memory>

namespace kelo::webhosttest {

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  // Browsers end on a thread that posts nothing here: look again every 20 ms.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!standin::PumpUntil(done, 20))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

webhost::json evaluate(webhost::Webview& webview, const std::string& script, int timeoutMs) {
  auto result = std::make_shared<webhost::json>();
  auto answered = std::make_shared<bool>(false);
  webview.EvalJS(script, [result, answered](const webhost::json& value) {
    *result = value;
    *answered = true;
  });
  pumpUntil([answered] { return *answered; }, timeoutMs);
  return *result;
}

bool waitForPage(webhost::Webview& webview, const std::string& origin, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    const auto state = evaluate(webview, "document.readyState === 'complete' ? location.origin : ''", 1000);
    if (state.is_string() && state.get<std::string>() == origin) return true;
    pumpUntil([] { return false; }, 50);
  }
  return false;
}

}  // namespace kelo::webhosttest
