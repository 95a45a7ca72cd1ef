// The editor of the built module in a real window, its browser the tests'
// recording WebView2 (recording/). The first test runs before that loader is
// anywhere the module looks; every later one finds it on the search path.
#include "Module.h"
#include "PluginInstance.h"
#include "StreamText.h"

#include "RecordingWebView2.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <objidl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

namespace {

using Steinberg::kResultOk;

constexpr char kScriptAdd[] = "AddScriptToExecuteOnDocumentCreated";
constexpr char kOrigin[] = "https://kelo.invalid";

const RecordingWebView2* loadRecordingWebView2() {
  static const RecordingWebView2* api = [] {
    const std::string path = KELO_RECORDING_LOADER;
    const std::wstring wide(path.begin(), path.end());
    AddDllDirectory(wide.substr(0, wide.find_last_of(L"/\\")).c_str());
    HMODULE loader = LoadLibraryW(wide.c_str());
    auto* get = reinterpret_cast<RecordingWebView2Function*>(
        reinterpret_cast<void*>(GetProcAddress(loader, "RecordingWebView2Api")));
    return get ? get() : nullptr;
  }();
  return api;
}

size_t count(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

std::string streamBytes(IStream* stream) {
  std::string bytes;
  char buffer[4096];
  ULONG read = 0;
  while (stream && SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) bytes.append(buffer, read);
  if (stream) stream->Release();
  return bytes;
}

// An editor of a module, in a frame window of its own.
struct Session {
  kelo::host::Module module;
  std::unique_ptr<kelo::host::PluginInstance> instance;
  HWND frame = nullptr;
  Steinberg::IPlugView* view = nullptr;

  explicit Session(const char* bundle) : module(bundle) {}
  ~Session() { close(); }

  void open() {
    ASSERT_TRUE(module.loaded()) << module.lastError();
    instance = std::make_unique<kelo::host::PluginInstance>(module);
    ASSERT_TRUE(instance->ok()) << instance->lastError();
    frame = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1400, 800, nullptr, nullptr,
                            nullptr, nullptr);
    view = instance->controller()->createView("editor");
    ASSERT_NE(view, nullptr);
  }
  void close() {
    if (view) {
      view->removed();
      view->release();
    }
    view = nullptr;
    DestroyWindow(std::exchange(frame, nullptr));
  }
  HWND child() { return FindWindowExW(frame, nullptr, L"webview", nullptr); }
  void attach() { ASSERT_EQ(view->attached(frame, "HWND"), kResultOk); }
};

class Editor : public ::testing::Test, protected Session {
 protected:
  const RecordingWebView2* fake = nullptr;

  Editor() : Session(KELO_BUNDLE_PATH) {}

  void SetUp() override {
    fake = loadRecordingWebView2();
    ASSERT_NE(fake, nullptr);
    fake->reset();
    open();
  }
  // The recorder lets go of the module's handlers before the module goes.
  void TearDown() override {
    close();
    if (fake) fake->reset();
  }

  std::string log() { return fake->log(); }
  // Environment and controller handed over: the bridge scripts are added.
  void start() {
    attach();
    ASSERT_EQ(fake->complete("CreateCoreWebView2EnvironmentWithOptions", S_OK, -1), 1);
    ASSERT_EQ(fake->complete("CreateCoreWebView2Controller", S_OK, -1), 1);
  }
  void ready() {
    start();
    fake->complete(kScriptAdd, S_OK, -1);
  }
};

// Defined first, so that it runs before any test has loaded the recording
// WebView2.
class EditorWithoutLoader : public Editor {
 protected:
  void SetUp() override { open(); }
};

TEST_F(EditorWithoutLoader, StaysEmptyThenFindsTheLoaderBesideTheModuleOrOnTheSearchPath) {
  attach();
  EXPECT_EQ(child(), nullptr) << "the half-built browser takes its window with it";
  view->removed();
  {
    // The bundle's copy with the loader beside its module; nothing else
    // has loaded or can find that loader yet.
    Session beside(KELO_BESIDE_BUNDLE);
    beside.open();
    beside.attach();
    EXPECT_NE(beside.child(), nullptr);
    fake = loadRecordingWebView2();
    ASSERT_NE(fake, nullptr);
    EXPECT_EQ(count(log(), "CreateCoreWebView2EnvironmentWithOptions"), 1u);
    beside.close();
    fake->reset();
  }
  fake = loadRecordingWebView2();
  attach();
  EXPECT_NE(child(), nullptr);
  EXPECT_EQ(count(log(), "CreateCoreWebView2EnvironmentWithOptions"), 1u);
}

TEST_F(Editor, AChildWindowOfTheFrameNavigatesOnlyOnceEveryBridgeScriptIsInPlace) {
  start();
  const HWND window = child();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), frame);
  EXPECT_EQ(fake->parent(), window);
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME),
            WS_CHILD | WS_VISIBLE);
  EXPECT_NE(log().find(std::string("AddWebResourceRequestedFilter ") + kOrigin + "/* 0"), std::string::npos);
  EXPECT_NE(log().find("put_AreDevToolsEnabled 0"), std::string::npos);
  EXPECT_EQ(log().find("OpenDevToolsWindow"), std::string::npos);

  const size_t scripts = count(log(), kScriptAdd);
  EXPECT_EQ(scripts, 4u) << "window.external and the three page functions";
  EXPECT_EQ(fake->complete(kScriptAdd, S_OK, static_cast<int>(scripts) - 1), static_cast<int>(scripts) - 1);
  EXPECT_EQ(log().find("Navigate"), std::string::npos) << log();
  fake->complete(kScriptAdd, S_OK, 1);
  EXPECT_EQ(log().substr(log().rfind("Navigate")), std::string("Navigate ") + kOrigin + "/index.html\n");

  Steinberg::ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultOk);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, size.getWidth());
  EXPECT_EQ(client.bottom, size.getHeight());
  EXPECT_EQ(fake->bounds().right, client.right);
  EXPECT_EQ(fake->bounds().bottom, client.bottom);
  MINMAXINFO limits{};
  limits.ptMinTrackSize = {7, 9};
  EXPECT_EQ(SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
  EXPECT_EQ(limits.ptMinTrackSize.x, 7) << "the editor sets no limits of its own";
}

class FailingScript : public Editor, public ::testing::WithParamInterface<bool> {};

TEST_P(FailingScript, EndsTheStartWithoutNavigating) {
  const bool atOnce = GetParam();
  if (atOnce) fake->failAtOnce(kScriptAdd, E_INVALIDARG);
  start();
  if (!atOnce) fake->complete(kScriptAdd, E_FAIL, 1);
  fake->complete(kScriptAdd, S_OK, -1);
  EXPECT_EQ(log().find("Navigate"), std::string::npos) << log();
  EXPECT_EQ(count(log(), "Close"), 1u);
  EXPECT_NE(child(), nullptr) << "the window stays, empty";
  view->removed();
  view->release();
  view = nullptr;
  EXPECT_EQ(count(log(), "Close"), 1u) << "a closed controller is not closed twice";
  EXPECT_EQ(child(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(AtOnceOrLater, FailingScript, ::testing::Bool());

TEST_F(Editor, ServesTheModulesFilesWithTheirTypesAndNoCaching) {
  ready();
  struct Row {
    const wchar_t* path;
    const char* file;
    int status;
    const wchar_t* type;
  };
  const Row rows[] = {
      {L"/", "web/index.html", 200, L"text/html; charset=utf-8"},
      {L"/app.js?v=2", "web/app.js", 200, L"application/javascript; charset=utf-8"},
      {L"/header.png", "web/header.png", 200, L"image/png"},
      {L"/missing.css", nullptr, 404, L"text/css; charset=utf-8"},
  };
  for (const Row& row : rows) {
    int status = 0;
    const wchar_t* headers = nullptr;
    IStream* content = nullptr;
    const std::wstring uri = std::wstring(L"https://kelo.invalid") + row.path;
    EXPECT_EQ(fake->request(uri.c_str(), &status, &headers, &content), S_OK);
    EXPECT_EQ(status, row.status);
    EXPECT_EQ(std::wstring(headers), std::wstring(L"Content-Type: ") + row.type + L"\r\nCache-Control: no-store\r\n");
    std::ifstream file(std::string(KELO_SOURCE_DIR "/") + (row.file ? row.file : ""), std::ios::binary);
    std::stringstream expected;
    if (row.file) expected << file.rdbuf();
    EXPECT_EQ(streamBytes(content), expected.str());
  }
  int status = -1;
  const wchar_t* headers = nullptr;
  IStream* content = nullptr;
  EXPECT_EQ(fake->request(L"https://example.com/index.html", &status, &headers, &content), S_OK);
  EXPECT_EQ(status, 0) << "other origins are left to the network";
}

TEST_F(Editor, PageCallsReachTheControllerAndSettleThroughExecuteScript) {
  ready();
  EXPECT_EQ(fake->message(LR"({"id":1,"method":"keloRead","params":[-1]})"), S_OK);
  const std::string read = log().substr(log().rfind("ExecuteScript"));
  EXPECT_NE(read.find("\"revision\""), std::string::npos) << read;
  EXPECT_NE(read.find("\"transport\""), std::string::npos) << read;

  EXPECT_EQ(fake->message(LR"({"id":2,"method":"keloWrite","params":[{"script":"[1] Wine","version":2}]})"), S_OK);
  EXPECT_EQ(count(log(), "ExecuteScript"), 2u);
  auto saved = kelo::testhost::streamFrom("");
  ASSERT_EQ(instance->component()->getState(saved), kResultOk);
  EXPECT_NE(kelo::testhost::contentOf(saved).find("\"script\":\"[1] Wine\""), std::string::npos);
  EXPECT_EQ(fake->complete("ExecuteScript", S_OK, -1), 2);

  int state = -1;
  EXPECT_EQ(fake->permission(6 /* clipboard read */, &state), S_OK);
  EXPECT_EQ(state, 1) << "allowed";
  state = -1;
  EXPECT_EQ(fake->permission(2 /* camera */, &state), S_OK);
  EXPECT_EQ(state, 0) << "left to WebView2's own treatment";

  // A document of another origin gets neither answers nor the clipboard.
  fake->setSource(L"https://elsewhere.example/");
  EXPECT_EQ(fake->message(LR"({"id":3,"method":"keloRead","params":[-1]})"), S_OK);
  EXPECT_EQ(count(log(), "ExecuteScript"), 2u);
  EXPECT_EQ(fake->permission(6 /* clipboard read */, &state), S_OK);
  EXPECT_EQ(state, 2) << "denied";
}

// Removal at each stage of the start closes what exists; completions the
// browser delivers afterwards change nothing.
TEST_F(Editor, RemovalWhileCompletionsArePendingLeavesThemNothingToDo) {
  const char* stages[] = {"CreateCoreWebView2EnvironmentWithOptions", "CreateCoreWebView2Controller", kScriptAdd,
                          "ExecuteScript"};
  for (const char* stage : stages) {
    fake->reset();
    attach();
    for (const char* earlier : stages) {
      if (earlier == stage) break;
      fake->complete(earlier, S_OK, -1);
    }
    if (stage == std::string("ExecuteScript")) fake->message(LR"({"id":1,"method":"keloRead","params":[-1]})");
    view->removed();
    EXPECT_EQ(child(), nullptr) << stage;
    const bool hadController = stage != std::string("CreateCoreWebView2EnvironmentWithOptions") &&
                               stage != std::string("CreateCoreWebView2Controller");
    EXPECT_EQ(count(log(), "Close") > 0, hadController) << stage;
    const std::string before = log();
    EXPECT_GE(fake->complete(stage, S_OK, -1), 1) << stage;
    EXPECT_EQ(log(), before) << stage;
  }
}

}  // namespace
