#pragma once

#include "Webview.h"

#include <functional>
#include <string>

namespace kelo::webhosttest {

// Pumps this thread's messages until `done` answers true or `timeoutMs`
// passes; answers `done ()`.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);

// Runs `script` in the page of `webview` and waits for its JSON result;
// null when none came in time.
webhost::json evaluate(webhost::Webview& webview, const std::string& script, int timeoutMs = 5000);

// Waits until the document of `webview` has loaded from `origin`.
bool waitForPage(webhost::Webview& webview, const std::string& origin, int timeoutMs);

}  // namespace kelo::webhosttest
