#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ChromiumProcess.h"
#include "DevToolsClient.h"

namespace standin::webview2 {

class WebViewCore;

// One browser process and its DevTools connection, shared by an environment
// and every web view made from it. Lives on the UI thread that created the
// environment: replies and events are delivered there, and the session
// routes each page event to its web view. When the last owner lets go (or
// the last web view closes) the browser is asked to close and handed to the
// reaper, which kills it after a grace period and removes its profile folder
// off the UI thread.
class BrowserSession : public std::enable_shared_from_this<BrowserSession> {
 public:
  // Starts the browser; null with `error` set when it cannot be started.
  // `userDataFolder` empty: a temporary folder. The profile itself is a
  // fresh sub-folder, since two browsers cannot share one profile.
  static std::shared_ptr<BrowserSession> Launch(const std::string& browserFolder, const std::string& userDataFolder,
                                                DWORD uiThread, std::string* error);
  ~BrowserSession();

  DevToolsClient* Client() { return client.get(); }
  DWORD UiThread() const { return uiThread; }
  pid_t BrowserPid() const;
  const std::filesystem::path& ProfileFolder() const { return profileFolder; }
  // The X11 class of the browser's window; empty for a headless browser.
  const std::string& WindowClass() const { return windowClass; }

  // Notes the browser's helper processes once it has started (see
  // ChromiumProcess::CollectHelpers).
  void CollectHelpers() {
    if (process) process->CollectHelpers();
  }

  void Call(const std::string& method, nlohmann::json params, const std::string& sessionId,
            DevToolsClient::ReplyCallback callback);

  // A page target not yet given to a web view, claimed for one.
  bool ClaimTarget(const std::string& targetId);
  void AddPage(const std::string& sessionId, const std::shared_ptr<WebViewCore>& page);
  // Closes the browser too once no page is left open.
  void RemovePage(const std::string& sessionId);

  // Asks the browser to close and hands it to the reaper; returns at once.
  // Idempotent; later calls fail at once.
  void Shutdown();
  bool IsShutDown() const { return shutDown; }

  // Notes that this browser was started for the environment-completion
  // `handler`, which is held until Shutdown: no other handler can take its
  // address while the start may still be abandoned through it.
  void RememberStarter(Microsoft::WRL::ComPtr<IUnknown> handler);
  // Takes the sessions of the calling thread started for `handler` and not
  // shut down yet.
  static std::vector<std::shared_ptr<BrowserSession>> TakeStartedFor(const void* handler);
  // Shuts down and lets go of the DevTools connection with every reply still
  // awaited: nobody waits for them, and they would otherwise keep the session
  // (and its reading thread) in a queue no one may ever run again.
  void Abandon();

 private:
  BrowserSession() = default;
  void OnEvent(const std::string& method, const nlohmann::json& params, const std::string& sessionId);
  void RemoveFolders();

  DWORD uiThread = 0;
  std::unique_ptr<ChromiumProcess> process;  // until handed to the reaper
  pid_t browserPid = 0;
  std::shared_ptr<DevToolsClient> client;
  std::filesystem::path profileFolder;
  bool removeBaseFolder = false;
  std::filesystem::path baseFolder;
  std::map<std::string, std::weak_ptr<WebViewCore>> pages;
  std::set<std::string> claimedTargets;
  bool shutDown = false;
  std::string windowClass;
  Microsoft::WRL::ComPtr<IUnknown> starter;
};

}  // namespace standin::webview2
