#include "BrowserLaunch.h"

#include <cstdlib>

namespace standin::webview2 {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

BrowserLaunch ResolveBrowserLaunch(const std::string& browserFolder) {
  BrowserLaunch launch;
  std::string chosen = Variable(kChromiumVariable);
  if (!chosen.empty()) {
    launch.binary = chosen;
  } else if (!browserFolder.empty()) {
    launch.binary = browserFolder + "/chromium";
  } else {
    launch.binary = kDefaultChromium;
  }
  std::string headless = Variable(kHeadlessVariable);
  if (headless == "1") {
    launch.headless = true;
  } else if (headless == "0") {
    launch.headless = false;
  } else {
    launch.headless = Variable("DISPLAY").empty();
  }
  const long port = std::strtol(Variable(kDevToolsPortVariable).c_str(), nullptr, 10);
  if (port > 0 && port < 65536) launch.devToolsPort = static_cast<int>(port);
  return launch;
}

std::vector<std::string> BrowserArguments(const BrowserLaunch& launch, const std::string& userDataDir) {
  std::vector<std::string> arguments = {
      // Root cannot use the sandbox; --test-type drops the warning bar.
      "--no-sandbox",
      "--test-type",
      "--disable-gpu",
      // Without a GPU the GPU process only composites the frames: as a thread
      // of the browser it costs no process, and frames cross no process boundary.
      "--in-process-gpu",
      "--disable-quic",
      "--no-first-run",
      "--no-default-browser-check",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-extensions",
      // Crash handlers leave their own process groups and would outlive us.
      // (--disable-crashpad-for-testing is not used: with it Chromium 156
      // aborts every navigation that Fetch interception should pause.)
      "--disable-breakpad",
      // A web view opens no windows of its own; its NewWindowRequested
      // handlers decide what becomes of the address.
      "--block-new-web-contents",
      "--disable-features=WebUIOmniboxPopup,WebUIOmniboxAimPopup,WebUIOmniboxFullPopup",
      "--remote-debugging-pipe",
      "--user-data-dir=" + userDataDir,
  };
  if (launch.devToolsPort > 0) {
    arguments.push_back("--remote-debugging-address=127.0.0.1");
    arguments.push_back("--remote-debugging-port=" + std::to_string(launch.devToolsPort));
  }
  if (launch.headless) {
    arguments.push_back("--headless");
    arguments.push_back("about:blank");
    return arguments;
  }
  arguments.insert(arguments.end(), {
                                        "--ozone-platform=x11",
                                        "--class=" + launch.windowClass,
                                        // Off-screen until placed in its parent: never a window on its own.
                                        "--window-position=-32000,-32000",
                                        "--window-size=640,480",
                                        "--noerrdialogs",
                                        "--app=data:text/html,",
                                    });
  return arguments;
}

}  // namespace standin::webview2
