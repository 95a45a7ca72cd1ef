// The WebView2 stand-in's browser processes and profile against a real
// Chromium, used only through the WebView2 interfaces; these tests fail (they
// do not skip) when Chromium cannot be started.
#include <WebView2.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <standin/BrowserReaps.h>
#include <standin/ThreadTasks.h>
#include <stdlib.h>
#include <windows.h>
#include <wrl.h>

#include <dirent.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

constexpr int kStartTimeoutMs = 20000;

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelo-wv2-test-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

// Read with stdio: a process ending while its /proc files are read makes
// a stream buffer throw.
std::string FileText(const std::string& path) {
  std::string text;
  if (FILE* file = fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    fclose(file);
  }
  return text;
}

// Processes whose command line mentions `needle` (zombies left out), or with
// an empty needle the children of this process, zombies included: a browser
// helper left unreaped shows up there.
std::vector<int> Processes(const std::string& needle) {
  std::vector<int> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* entry = readdir(proc)) {
    const int pid = atoi(entry->d_name);
    if (pid <= 0) continue;
    const std::string stat = FileText("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    char state = '?';
    int parent = 0;
    if (close == std::string::npos || sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) != 2) continue;
    if (needle.empty() ? parent == static_cast<int>(getpid())
                       : state != 'Z' && state != 'X' &&
                             FileText("/proc/" + std::to_string(pid) + "/cmdline").find(needle) != std::string::npos)
      found.push_back(pid);
  }
  closedir(proc);
  return found;
}
std::vector<int> LiveProcessesMentioning(const std::string& needle) {
  return Processes(needle);
}
std::vector<int> OwnChildren() {
  return Processes("");
}

// No browser process under `folder` runs or waits to be reaped, and the
// folder holds no profile any more.
bool BrowserEnded(const std::filesystem::path& folder) {
  return LiveProcessesMentioning(folder.string()).empty() && OwnChildren().empty() && std::filesystem::is_empty(folder);
}

// A completion handler that keeps what it was given, and the wait for it.
template <class Handler, class Made>
struct Completion {
  std::shared_ptr<std::pair<bool, ComPtr<Made>>> state = std::make_shared<std::pair<bool, ComPtr<Made>>>();
  ComPtr<Handler> Receiver() {
    auto kept = state;
    return Callback<Handler>([kept](HRESULT result, Made* made) -> HRESULT {
      kept->first = true;
      if (SUCCEEDED(result)) kept->second = made;
      return S_OK;
    });
  }
  ComPtr<Made> Wait() {
    auto kept = state;
    standin::PumpUntil([kept] { return kept->first; }, kStartTimeoutMs);
    return kept->second;
  }
};

// An environment with one controller in a profile folder of its own. What
// pages see through the web view host's handlers is tested with the host.
class TestBrowser {
 public:
  // Empty on success, else what went wrong.
  std::string Start() {
    Completion<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, ICoreWebView2Environment> madeEnvironment;
    if (FAILED(CreateCoreWebView2EnvironmentWithOptions(nullptr, folder.path.wstring().c_str(), nullptr,
                                                        madeEnvironment.Receiver().Get())) ||
        !(environment = madeEnvironment.Wait()))
      return "no environment";
    Completion<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, ICoreWebView2Controller> madeController;
    environment->CreateCoreWebView2Controller(nullptr, madeController.Receiver().Get());
    if (!(controller = madeController.Wait()) || controller->get_CoreWebView2(&webview) != S_OK) return "no controller";
    return {};
  }

  TempFolder folder;
  ComPtr<ICoreWebView2Environment> environment;
  ComPtr<ICoreWebView2Controller> controller;
  ComPtr<ICoreWebView2> webview;
};

TEST(WebView2Teardown, ClosingTheControllerLeavesNoBrowserProcessOrProfileBehind) {
  TestBrowser browser;
  ASSERT_EQ(browser.Start(), "") << "Chromium could not be started";
  const std::string folder = browser.folder.path.string();
  ASSERT_FALSE(LiveProcessesMentioning(folder).empty());
  UINT32 pid = 0;
  ASSERT_EQ(browser.webview->get_BrowserProcessId(&pid), S_OK);
  EXPECT_GT(pid, 0u);

  // Handlers are released when the controller closes.
  auto sentinel = std::make_shared<int>(0);
  EventRegistrationToken token{};
  ASSERT_EQ(browser.webview->add_WebMessageReceived(
                Callback<ICoreWebView2WebMessageReceivedEventHandler>(
                    [sentinel](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*) -> HRESULT { return S_OK; })
                    .Get(),
                &token),
            S_OK);
  EXPECT_EQ(sentinel.use_count(), 2);

  ASSERT_EQ(browser.controller->Close(), S_OK);
  EXPECT_EQ(sentinel.use_count(), 1);
  // Close hands the closing browser to the reaper instead of waiting for it.
  EXPECT_FALSE(LiveProcessesMentioning(folder).empty());
  for (int waited = 0; !BrowserEnded(browser.folder.path) && waited < 10000; waited += 20) standin::PumpMessages(20);
  EXPECT_EQ(LiveProcessesMentioning(folder), std::vector<int>());
  EXPECT_EQ(OwnChildren(), std::vector<int>());
  EXPECT_TRUE(std::filesystem::is_empty(browser.folder.path));
  EXPECT_EQ(browser.webview->Navigate(L"https://kelo.invalid/clip.html"), HRESULT_FROM_WIN32(5023));
}

TEST(WebView2Teardown, ReleasingAnEnvironmentWithoutAControllerEndsItsBrowser) {
  TempFolder folder;
  auto done = std::make_shared<bool>(false);
  ASSERT_EQ(
      CreateCoreWebView2EnvironmentWithOptions(nullptr, folder.path.wstring().c_str(), nullptr,
                                               Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
                                                   [done](HRESULT, ICoreWebView2Environment*) -> HRESULT {
                                                     *done = true;  // the environment is not kept
                                                     return S_OK;
                                                   })
                                                   .Get()),
      S_OK);
  EXPECT_FALSE(LiveProcessesMentioning(folder.path.string()).empty());
  ASSERT_TRUE(standin::PumpUntil([done] { return *done; }, kStartTimeoutMs));
  EXPECT_FALSE(BrowserEnded(folder.path)) << "the released browser is still closing";
  // What the module's last ExitDll does: no waiting for the grace period.
  standin::FinishBrowserReaps();
  EXPECT_EQ(LiveProcessesMentioning(folder.path.string()), std::vector<int>());
  EXPECT_EQ(OwnChildren(), std::vector<int>());
  EXPECT_TRUE(std::filesystem::is_empty(folder.path));
}

TEST(WebView2Environment, CreationFailsAtOnceWithoutCallingBackWhenTheBrowserCannotBeStarted) {
  TempFolder folder;
  const std::string notExecutable = (folder.path / "chromium").string();
  std::ofstream(notExecutable) << "#!/bin/sh\n";  // present, but without the execute bit
  const char* previous = getenv("KELO_STANDIN_CHROMIUM");
  std::string saved = previous ? previous : "";
  for (const std::string& binary : {std::string("/nonexistent/chromium"), notExecutable}) {
    setenv("KELO_STANDIN_CHROMIUM", binary.c_str(), 1);
    auto called = std::make_shared<bool>(false);
    HRESULT result = CreateCoreWebView2EnvironmentWithOptions(
        nullptr, nullptr, nullptr,
        Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>([called](
                                                                                 HRESULT,
                                                                                 ICoreWebView2Environment*) -> HRESULT {
          *called = true;
          return S_OK;
        }).Get());
    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << binary;
    standin::PumpMessages(100);
    EXPECT_FALSE(*called) << binary;
  }
  if (previous) {
    setenv("KELO_STANDIN_CHROMIUM", saved.c_str(), 1);
  } else {
    unsetenv("KELO_STANDIN_CHROMIUM");
  }
}

}  // namespace
