#pragma once

#include <string>
#include <vector>

namespace standin::webview2 {

// Where the browser comes from and how it is started, from the environment:
//   KELO_STANDIN_CHROMIUM  the browser binary (else <folder>/chromium when the
//                          caller names a folder, else the Debian binary)
//   KELO_STANDIN_HEADLESS  "1" headless, "0" a visible window; unset:
//                          headless exactly when DISPLAY is unset or empty
//   KELO_STANDIN_DEVTOOLS_PORT  a port number: also opens DevTools on
//                          127.0.0.1:<port>, so a test can attach to the
//                          page (off when unset; never in a product)
// A visible browser is one chromeless app window (no tabs, address bar or
// menus) started off-screen under the X11 class `windowClass`, by which
// the stand-in finds it to place it inside its parent's X11 window.
struct BrowserLaunch {
  std::string binary;
  bool headless = true;
  std::string windowClass;
  int devToolsPort = 0;
};

BrowserLaunch ResolveBrowserLaunch(const std::string& browserFolder);

// Chromium's command line for a profile in `userDataDir`, DevTools on a pipe.
std::vector<std::string> BrowserArguments(const BrowserLaunch& launch, const std::string& userDataDir);

// The profile's first preferences: the window manager's frame, not one the
// browser draws, so that an app window is the page alone (no title strip).
constexpr const char* kPreferencesFile = "Default/Preferences";
constexpr const char* kPreferences = R"({"browser":{"custom_chrome_frame":false}})";

constexpr const char* kDefaultChromium = "/usr/lib/chromium/chromium";
constexpr const char* kChromiumVariable = "KELO_STANDIN_CHROMIUM";
constexpr const char* kHeadlessVariable = "KELO_STANDIN_HEADLESS";
constexpr const char* kDevToolsPortVariable = "KELO_STANDIN_DEVTOOLS_PORT";

}  // namespace standin::webview2
