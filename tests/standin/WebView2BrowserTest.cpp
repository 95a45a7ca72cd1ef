// The WebView2 stand-in's browser processes and profile against a real
// Chromium, used only through the WebView2 interfaces; the test fails (it does
// not skip) when Chromium cannot be started. Loading pages, closing while
// starting and the module's last ExitDll are tested with the built module.
#include <WebView2.h>
#include <gtest/gtest.h>
#include <standin/BrowserStarts.h>
#include <standin/ThreadTasks.h>
#include <stdlib.h>
#include <windows.h>
#include <wrl.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;
namespace fs = std::filesystem;

// Processes whose command line mentions `folder`, and this process's children
// (zombies included: a browser helper left unreaped shows up there).
std::vector<std::string> BrowserProcesses(const std::string& folder) {
  std::vector<std::string> found;
  const auto text = [](const std::string& path) {  // stdio: a file vanishing while read makes a stream throw
    std::string all;
    if (FILE* file = fopen(path.c_str(), "rb")) {
      char buffer[4096];
      for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;) all.append(buffer, got);
      fclose(file);
    }
    return all;
  };
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const std::string pid = entry->d_name;
    const std::string stat = text("/proc/" + pid + "/stat");
    char state = '?';
    int parent = 0;
    const size_t close = stat.rfind(')');
    if (atoi(pid.c_str()) <= 0 || close == std::string::npos ||
        sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) != 2)
      continue;
    if (parent == static_cast<int>(getpid()) ||
        (state != 'Z' && text("/proc/" + pid + "/cmdline").find(folder) != std::string::npos))
      found.push_back(pid + " " + state);
  }
  if (proc) closedir(proc);
  return found;
}

// A completion handler that keeps what it is given, where a late call finds it.
template <class Handler, class Made>
ComPtr<Handler> Keep(std::shared_ptr<ComPtr<Made>> kept) {
  return Callback<Handler>([kept](HRESULT, Made* made) {
    *kept = made;
    return S_OK;
  });
}

TEST(WebView2Teardown, ClosingTheControllerReleasesItsHandlersAndLeavesNoBrowserProcessOrProfileBehind) {
  std::string pattern = (fs::temp_directory_path() / "kelo-wv2-test-XXXXXX").string();
  const fs::path folder = mkdtemp(pattern.data());
  auto environment = std::make_shared<ComPtr<ICoreWebView2Environment>>();
  auto controller = std::make_shared<ComPtr<ICoreWebView2Controller>>();
  ASSERT_EQ(CreateCoreWebView2EnvironmentWithOptions(
                nullptr, folder.wstring().c_str(), nullptr,
                Keep<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(environment).Get()),
            S_OK);
  ASSERT_TRUE(standin::PumpUntil([&] { return *environment != nullptr; }, 20000)) << "Chromium could not be started";
  (*environment)
      ->CreateCoreWebView2Controller(nullptr,
                                     Keep<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(controller).Get());
  ASSERT_TRUE(standin::PumpUntil([&] { return *controller != nullptr; }, 20000));
  ComPtr<ICoreWebView2> webview;
  ASSERT_EQ((*controller)->get_CoreWebView2(&webview), S_OK);
  ASSERT_FALSE(BrowserProcesses(folder.string()).empty());

  auto sentinel = std::make_shared<int>(0);
  EventRegistrationToken token{};
  ASSERT_EQ(
      webview->add_WebMessageReceived(
          Callback<ICoreWebView2WebMessageReceivedEventHandler>([sentinel](ICoreWebView2*,
                                                                           ICoreWebView2WebMessageReceivedEventArgs*) {
            return S_OK;
          }).Get(),
          &token),
      S_OK);
  EXPECT_EQ(sentinel.use_count(), 2);
  ASSERT_EQ((*controller)->Close(), S_OK);
  EXPECT_EQ(sentinel.use_count(), 1);
  EXPECT_EQ(webview->Navigate(L"https://kelo.invalid/clip.html"), HRESULT_FROM_WIN32(5023));  // ERROR_INVALID_STATE
  standin::PumpUntil([&] { return BrowserProcesses(folder.string()).empty() && fs::is_empty(folder); }, 10000);
  EXPECT_EQ(BrowserProcesses(folder.string()), std::vector<std::string>());
  EXPECT_TRUE(fs::is_empty(folder));
  fs::remove_all(folder);
}

TEST(WebView2Environment, CreationFailsAtOnceWithoutCallingBackWhenTheBrowserCannotBeStarted) {
  char folder[] = "/tmp/kelo-wv2-test-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string notExecutable = folder + std::string("/chromium");
  std::ofstream(notExecutable) << "#!/bin/sh\n";  // present, but without the execute bit
  const char* previous = getenv("KELO_STANDIN_CHROMIUM");
  const std::string saved = previous ? previous : "";
  for (const std::string& binary : {std::string("/nonexistent/chromium"), notExecutable}) {
    setenv("KELO_STANDIN_CHROMIUM", binary.c_str(), 1);
    auto called = std::make_shared<bool>(false);
    EXPECT_EQ(
        CreateCoreWebView2EnvironmentWithOptions(
            nullptr, nullptr, nullptr,
            Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>([called](HRESULT,
                                                                                          ICoreWebView2Environment*) {
              return *called = true, S_OK;
            }).Get()),
        HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        << binary;
    standin::PumpMessages(100);
    EXPECT_FALSE(*called) << binary;
  }
  previous ? setenv("KELO_STANDIN_CHROMIUM", saved.c_str(), 1) : unsetenv("KELO_STANDIN_CHROMIUM");
  fs::remove_all(folder);
}

// A start abandoned before its environment, or its controller, has come ends
// its browser though the thread's queue never runs again, and nothing of it
// is handed over later.
TEST(WebView2Teardown, AbandonedStartEndsItsBrowserAtEitherStage) {
  std::string pattern = (fs::temp_directory_path() / "kelo-wv2-test-XXXXXX").string();
  const fs::path folder = mkdtemp(pattern.data());
  for (bool environmentMade : {false, true}) {
    auto environment = std::make_shared<ComPtr<ICoreWebView2Environment>>();
    auto controller = std::make_shared<ComPtr<ICoreWebView2Controller>>();
    auto handler = Keep<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(environment);
    ASSERT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, folder.wstring().c_str(), nullptr, handler.Get()),
              S_OK);
    if (environmentMade) {
      ASSERT_TRUE(standin::PumpUntil([&] { return *environment != nullptr; }, 20000))
          << "Chromium could not be started";
      (*environment)
          ->CreateCoreWebView2Controller(
              nullptr, Keep<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(controller).Get());
    }
    standin::AbandonBrowser(handler.Get());
    const auto ended = [&] { return BrowserProcesses(folder.string()).empty() && fs::is_empty(folder); };
    for (int waited = 0; !ended() && waited < 5000; waited += 20) usleep(20000);
    EXPECT_TRUE(ended()) << environmentMade;
    standin::PumpMessages(200);
    EXPECT_EQ(*environment != nullptr, environmentMade);
    EXPECT_EQ(controller->Get(), nullptr);
  }
  fs::remove_all(folder);
}

}  // namespace
