#include "BrowserSession.h"

#include <standin/ThreadTasks.h>
#include <stdlib.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>

#include "BrowserLaunch.h"
#include "BrowserReaper.h"
#include "WebViewCore.h"

namespace standin::webview2 {
namespace {

constexpr const char* kClosedText = "browser closed";

bool MakeUniqueFolder(const std::filesystem::path& parent, const std::string& prefix, std::filesystem::path* made) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return false;
  *made = pattern;
  return true;
}

// Which browser each environment-completion handler started, per UI thread.
struct Start {
  DWORD thread;
  const void* handler;
  std::weak_ptr<BrowserSession> session;
};
std::mutex startsMutex;
std::vector<Start> starts;

}  // namespace

std::shared_ptr<BrowserSession> BrowserSession::Launch(const std::string& browserFolder,
                                                       const std::string& userDataFolder, DWORD uiThread,
                                                       std::string* error) {
  std::shared_ptr<BrowserSession> session(new BrowserSession);
  session->uiThread = uiThread;
  BrowserLaunch launch = ResolveBrowserLaunch(browserFolder);

  std::error_code ignored;
  if (userDataFolder.empty()) {
    if (!MakeUniqueFolder(std::filesystem::temp_directory_path(ignored), "kelo-webview2-", &session->baseFolder)) {
      if (error) *error = "cannot create a temporary user-data folder";
      return nullptr;
    }
    session->removeBaseFolder = true;
  } else {
    session->baseFolder = userDataFolder;
    std::filesystem::create_directories(session->baseFolder, ignored);
  }
  if (!MakeUniqueFolder(session->baseFolder, "chromium-", &session->profileFolder)) {
    if (error) *error = "cannot create a profile folder in " + session->baseFolder.string();
    if (session->removeBaseFolder) std::filesystem::remove_all(session->baseFolder, ignored);
    return nullptr;
  }

  if (!launch.headless) {
    static std::atomic<int> launched{0};
    launch.windowClass = "KeloEditor-" + std::to_string(getpid()) + "-" + std::to_string(++launched);
    std::filesystem::create_directories(session->profileFolder / "Default", ignored);
    std::ofstream(session->profileFolder / kPreferencesFile) << kPreferences;
  }
  session->windowClass = launch.windowClass;
  session->process =
      ChromiumProcess::Start(launch.binary, BrowserArguments(launch, session->profileFolder.string()), error);
  if (!session->process) {
    session->shutDown = true;  // the destructor only removes the folders
    return nullptr;
  }
  session->browserPid = session->process->Pid();
  int readFd = session->process->TakeReadFd();
  int writeFd = session->process->TakeWriteFd();
  session->client = DevToolsClient::Create(
      readFd, writeFd, [uiThread](DevToolsClient::Task task) { standin::PostThreadTask(uiThread, std::move(task)); });
  std::weak_ptr<BrowserSession> weak = session;
  session->client->SetEventCallback(
      [weak](const std::string& method, const nlohmann::json& params, const std::string& sessionId) {
        if (auto self = weak.lock()) self->OnEvent(method, params, sessionId);
      });
  return session;
}

BrowserSession::~BrowserSession() {
  Shutdown();
  client.reset();
  RemoveFolders();
}

void BrowserSession::RemoveFolders() {
  std::error_code ignored;
  if (!profileFolder.empty()) std::filesystem::remove_all(profileFolder, ignored);
  if (removeBaseFolder) std::filesystem::remove_all(baseFolder, ignored);
}

pid_t BrowserSession::BrowserPid() const {
  return browserPid;
}

void BrowserSession::Call(const std::string& method, nlohmann::json params, const std::string& sessionId,
                          DevToolsClient::ReplyCallback callback) {
  if (shutDown || !client) {
    if (callback) {
      standin::PostThreadTask(uiThread, [callback] { callback(DevToolsReply{false, nullptr, kClosedText}); });
    }
    return;
  }
  client->Call(method, std::move(params), sessionId, std::move(callback));
}

bool BrowserSession::ClaimTarget(const std::string& targetId) {
  return claimedTargets.insert(targetId).second;
}

void BrowserSession::AddPage(const std::string& sessionId, const std::shared_ptr<WebViewCore>& page) {
  pages[sessionId] = page;
}

void BrowserSession::RemovePage(const std::string& sessionId) {
  pages.erase(sessionId);
  bool anyOpen = false;
  for (auto& [id, weak] : pages) {
    auto page = weak.lock();
    if (page && !page->IsClosed()) anyOpen = true;
  }
  if (!anyOpen) Shutdown();
}

void BrowserSession::Shutdown() {
  if (shutDown) return;
  shutDown = true;
  starter.Reset();
  if (client && !client->IsClosed()) client->Call("Browser.close", nlohmann::json::object(), "", nullptr);
  if (!process) {
    RemoveFolders();
    return;
  }
  // The browser takes a while to close; the caller's (UI) thread must not
  // wait for it. The profile belonged to this browser alone and goes with it.
  std::vector<std::filesystem::path> folders{profileFolder};
  if (removeBaseFolder) folders.push_back(baseFolder);
  profileFolder.clear();
  removeBaseFolder = false;
  BrowserReaper::Instance().Reap(std::move(process), std::move(folders));
}

void BrowserSession::RememberStarter(Microsoft::WRL::ComPtr<IUnknown> handler) {
  std::lock_guard<std::mutex> lock(startsMutex);
  starts.erase(std::remove_if(starts.begin(), starts.end(), [](const Start& start) { return start.session.expired(); }),
               starts.end());
  starts.push_back(Start{uiThread, handler.Get(), weak_from_this()});
  starter = std::move(handler);
}

std::vector<std::shared_ptr<BrowserSession>> BrowserSession::TakeStartedFor(const void* handler) {
  std::vector<std::shared_ptr<BrowserSession>> taken;
  std::lock_guard<std::mutex> lock(startsMutex);
  // Only this thread's sessions are looked at: they are shut down (and may
  // be released) here alone.
  for (auto start = starts.begin(); start != starts.end();) {
    if (start->thread != GetCurrentThreadId() || start->handler != handler) {
      ++start;
      continue;
    }
    if (auto session = start->session.lock(); session && !session->IsShutDown()) taken.push_back(session);
    start = starts.erase(start);
  }
  return taken;
}

void BrowserSession::Abandon() {
  Shutdown();
  // Released after the member is empty: a reply callback released with it
  // may close a page, which calls back into this session.
  std::shared_ptr<DevToolsClient> dropped = std::move(client);
}

void BrowserSession::OnEvent(const std::string& method, const nlohmann::json& params, const std::string& sessionId) {
  if (sessionId.empty()) return;
  auto it = pages.find(sessionId);
  if (it == pages.end()) return;
  if (auto page = it->second.lock()) page->OnEvent(method, params);
}

}  // namespace standin::webview2
