#pragma once

#include <string>

namespace standin::webview2 {

// Standard base64 with padding: response bodies for the DevTools protocol,
// and data: addresses for NavigateToString.
std::string Base64(const std::string& bytes);

}  // namespace standin::webview2
