// The WebView2 stand-in against a real Chromium, used only through the
// WebView2 interfaces, the way the web view host uses them. One browser is
// shared by the tests that do not need a fresh one; these tests fail (they do
// not skip) when Chromium cannot be started.
#include <WebView2.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <standin/ThreadTasks.h>
#include <stdlib.h>
#include <windows.h>
#include <wrl.h>

#include "../../standin/src/webview2/WideText.h"

#include <dirent.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

constexpr wchar_t kOrigin[] = L"https://kelo.invalid";
constexpr int kStartTimeoutMs = 20000;
constexpr int kStepTimeoutMs = 10000;

std::string Narrow(const wchar_t* text) { return standin::webview2::Utf8FromWide(text); }
std::wstring Widen(const std::string& utf8) { return standin::webview2::WideFromUtf8(utf8); }

std::string TakeTaskString(LPWSTR text) {
  std::string out = Narrow(text);
  CoTaskMemFree(text);
  return out;
}

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
std::vector<int> LiveProcessesMentioning(const std::string& needle) { return Processes(needle); }
std::vector<int> OwnChildren() { return Processes(""); }

// Everything the shared browser's handlers saw, and the pages they serve.
struct Observed {
  std::map<std::string, std::string> pages;  // HTML by the address's last segment
  struct Message {
    DWORD thread;
    bool isString;
    std::string text;
  };
  std::vector<Message> messages;
  COREWEBVIEW2_PERMISSION_STATE clipboardAnswer = COREWEBVIEW2_PERMISSION_STATE_ALLOW;
};

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

// An environment with one controller, its handlers wired as the web view
// host wires them: requests under the private origin answered from memory,
// messages recorded, clipboard-read answered.
class TestBrowser {
 public:
  explicit TestBrowser(COREWEBVIEW2_PERMISSION_STATE clipboardAnswer = COREWEBVIEW2_PERMISSION_STATE_ALLOW)
      : seen(std::make_shared<Observed>()) {
    seen->clipboardAnswer = clipboardAnswer;
  }

  // Empty on success, else what went wrong.
  std::string Start() {
    Completion<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, ICoreWebView2Environment> madeEnvironment;
    if (FAILED(CreateCoreWebView2EnvironmentWithOptions(nullptr, folder.path.wstring().c_str(), nullptr,
                                                        madeEnvironment.Receiver().Get())) ||
        !(environment = madeEnvironment.Wait()))
      return "no environment";
    Completion<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, ICoreWebView2Controller> madeController;
    environment->CreateCoreWebView2Controller(nullptr, madeController.Receiver().Get());
    if (!(controller = madeController.Wait()) || controller->get_CoreWebView2(&webview) != S_OK)
      return "no controller";
    return Wire();
  }

  // Navigates to a page served with `html` and waits until it has posted "ready".
  bool Load(const std::string& name, const std::string& html) {
    seen->pages[name] = html + "<script>window.chrome.webview.postMessage('ready');</script>";
    size_t before = seen->messages.size();
    if (FAILED(webview->Navigate((std::wstring(kOrigin) + L"/" + Widen(name)).c_str()))) return false;
    auto observed = seen;
    return standin::PumpUntil(
        [observed, before] {
          for (size_t i = before; i < observed->messages.size(); ++i) {
            if (observed->messages[i].text == "ready") return true;
          }
          return false;
        },
        kStepTimeoutMs);
  }

  // The JSON a script gives, or a marker when it failed or timed out.
  std::string Json(const std::string& script) {
    auto result = std::make_shared<std::string>("<timed out>");
    HRESULT started = webview->ExecuteScript(
        Widen(script).c_str(),
        Callback<ICoreWebView2ExecuteScriptCompletedHandler>([result](HRESULT error, LPCWSTR json) -> HRESULT {
          *result = FAILED(error) ? "<failed>" : Narrow(json);
          return S_OK;
        }).Get());
    if (FAILED(started)) return "<failed>";
    standin::PumpUntil([result] { return *result != "<timed out>"; }, kStepTimeoutMs);
    return *result;
  }

  // Polls a script until its JSON differs from "null".
  std::string WaitForJson(const std::string& script) {
    std::string json = "null";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStepTimeoutMs);
    while (json == "null" && std::chrono::steady_clock::now() < deadline) {
      json = Json(script);
      if (json == "null") standin::PumpMessages(20);
    }
    return json;
  }

  TempFolder folder;
  std::shared_ptr<Observed> seen;
  ComPtr<ICoreWebView2Environment> environment;
  ComPtr<ICoreWebView2Controller> controller;
  ComPtr<ICoreWebView2> webview;

 private:
  std::string Wire() {
    auto observed = seen;
    ComPtr<ICoreWebView2Environment> env = environment;
    EventRegistrationToken token{};
    if (FAILED(webview->AddWebResourceRequestedFilter((std::wstring(kOrigin) + L"/*").c_str(),
                                                      COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL)))
      return "filter refused";
    HRESULT added = webview->add_WebResourceRequested(
        Callback<ICoreWebView2WebResourceRequestedEventHandler>(
            [observed, env](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) -> HRESULT {
              ComPtr<ICoreWebView2WebResourceRequest> request;
              LPWSTR uri = nullptr;
              if (FAILED(args->get_Request(&request)) || FAILED(request->get_Uri(&uri))) return E_FAIL;
              const std::string address = TakeTaskString(uri);
              auto page = observed->pages.find(address.substr(address.rfind('/') + 1));
              if (page == observed->pages.end()) return S_OK;  // left to the network, where it fails
              ComPtr<IStream> stream;
              stream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>(page->second.data()),
                                              static_cast<UINT>(page->second.size())));
              ComPtr<ICoreWebView2WebResourceResponse> response;
              HRESULT made = env->CreateWebResourceResponse(stream.Get(), 200, L"OK",
                                                            L"Content-Type: text/html; charset=utf-8\r\n", &response);
              return FAILED(made) ? made : args->put_Response(response.Get());
            })
            .Get(),
        &token);
    if (FAILED(added)) return "resource handler refused";
    added = webview->add_WebMessageReceived(
        Callback<ICoreWebView2WebMessageReceivedEventHandler>([observed](ICoreWebView2*,
                                                                         ICoreWebView2WebMessageReceivedEventArgs* args)
                                                                  -> HRESULT {
          Observed::Message message{GetCurrentThreadId(), false, {}};
          LPWSTR text = nullptr;
          if (SUCCEEDED(args->TryGetWebMessageAsString(&text)) && text != nullptr) {
            message.isString = true;
            message.text = TakeTaskString(text);
          }
          observed->messages.push_back(message);
          return S_OK;
        }).Get(),
        &token);
    if (added != S_OK) return "message handler refused";
    added = webview->add_PermissionRequested(
        Callback<ICoreWebView2PermissionRequestedEventHandler>(
            [observed](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) -> HRESULT {
              COREWEBVIEW2_PERMISSION_KIND kind;
              if (FAILED(args->get_PermissionKind(&kind))) return S_OK;
              if (kind == COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ) args->put_State(observed->clipboardAnswer);
              return S_OK;
            })
            .Get(),
        &token);
    if (added != S_OK) return "permission handler refused";
    return {};
  }
};

class WebView2Browser : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    shared = new TestBrowser();
    startError = new std::string(shared->Start());
  }
  static void TearDownTestSuite() {
    if (shared && shared->controller) shared->controller->Close();
    delete shared;
    shared = nullptr;
    delete startError;
    startError = nullptr;
  }
  void SetUp() override { ASSERT_EQ(*startError, "") << "Chromium could not be started"; }

  static TestBrowser* shared;
  static std::string* startError;
};

TestBrowser* WebView2Browser::shared = nullptr;
std::string* WebView2Browser::startError = nullptr;

TEST_F(WebView2Browser, DocumentCreationScriptsRunInOrderBeforeThePagesOwnAndOnlyInLaterDocuments) {
  TestBrowser& browser = *shared;
  auto ids = std::make_shared<std::vector<std::string>>();
  for (const wchar_t* script : {L"window.order = ['first'];", L"window.order.push('second');"}) {
    ASSERT_EQ(
        browser.webview->AddScriptToExecuteOnDocumentCreated(
            script,
            Callback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>([ids](HRESULT result,
                                                                                             LPCWSTR id) -> HRESULT {
              ids->push_back(SUCCEEDED(result) && id ? Narrow(id) : "<failed>");
              return S_OK;
            }).Get()),
        S_OK);
  }
  ASSERT_TRUE(browser.Load("order.html", "<script>window.order.push('page');</script>"));
  EXPECT_EQ(browser.Json("window.order"), R"(["first","second","page"])");
  ASSERT_EQ(ids->size(), 2u);
  EXPECT_NE((*ids)[0], (*ids)[1]);
  EXPECT_NE((*ids)[0], "<failed>");

  browser.webview->AddScriptToExecuteOnDocumentCreated(L"window.late = true;", nullptr);
  standin::PumpMessages(100);
  EXPECT_EQ(browser.Json("typeof window.late"), "\"undefined\"");
}

TEST_F(WebView2Browser, APageFromMemoryPostsStringsToTheUiThreadAndGetsScriptResultsAsJsonStringifyGivesThem) {
  TestBrowser& browser = *shared;
  ASSERT_TRUE(browser.Load("blank.html", ""));
  EXPECT_EQ(browser.Json("location.href + ' ' + isSecureContext"), "\"https://kelo.invalid/blank.html true\"");
  const size_t before = browser.seen->messages.size();
  browser.Json(R"(window.chrome.webview.postMessage('héllo "quoted" \u2028 😀'); 0)");
  auto observed = browser.seen;
  ASSERT_TRUE(standin::PumpUntil([observed, before] { return observed->messages.size() > before; }, kStepTimeoutMs));
  const Observed::Message& message = browser.seen->messages[before];
  EXPECT_EQ(message.thread, GetCurrentThreadId());
  EXPECT_TRUE(message.isString);
  EXPECT_EQ(message.text, "héllo \"quoted\" \u2028 😀");

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"42", "42"},
      {"0.1 + 0.2", "0.30000000000000004"},
      {"1e21", "1e+21"},
      {"-0", "0"},
      {"true", "true"},
      {R"('é "q" \\ \u2028 \n')", "\"é \\\"q\\\" \\\\ \u2028 \\n\""},
      {"({b: [1, 'x', null], a: {c: false}})", R"({"b":[1,"x",null],"a":{"c":false}})"},
      {"[1, undefined, () => 1]", "[1,null,null]"},
      {"new Date(0)", "\"1970-01-01T00:00:00.000Z\""},
      {"null", "null"},
      {"undefined", "null"},
      {"NaN", "null"},
      {"-Infinity", "null"},
      {"(function () {})", "null"},
      {"Symbol('s')", "null"},
      {"10n", "null"},
      {"(() => { const o = {}; o.self = o; return o; })()", "null"},
      {"let kept = 5; kept * 2", "10"},
      {"throw new Error('boom')", "null"},  // a script that throws still completes, with S_OK
      {"this is not javascript", "null"},
  };
  for (auto& [script, expected] : cases) EXPECT_EQ(browser.Json(script), expected) << script;
}

TEST(WebView2Teardown, ClosingTheControllerLeavesNoBrowserProcessOrProfileBehind) {
  TestBrowser browser(COREWEBVIEW2_PERMISSION_STATE_DEFAULT);
  ASSERT_EQ(browser.Start(), "") << "Chromium could not be started";
  const std::string folder = browser.folder.path.string();
  ASSERT_FALSE(LiveProcessesMentioning(folder).empty());
  UINT32 pid = 0;
  ASSERT_EQ(browser.webview->get_BrowserProcessId(&pid), S_OK);
  EXPECT_GT(pid, 0u);

  // A handler that leaves clipboard-read alone grants nothing.
  ASSERT_TRUE(browser.Load("clip.html", ""));
  browser.Json("navigator.permissions.query({name: 'clipboard-read'}).then(s => window.clipState = s.state); 0");
  EXPECT_EQ(browser.WaitForJson("window.clipState"), "\"prompt\"");

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
  standin::PumpMessages(50);
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
