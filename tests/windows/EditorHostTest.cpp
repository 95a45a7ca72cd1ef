// The Windows module as the system loads it, and its editor in a real window
// with the tests' recording WebView2 (recording/) as its browser. The tests
// run in the order written: the first ones before that loader is anywhere
// the module looks, every later one finding it on the search path.
#include "Module.h"
#include "PluginInstance.h"
#include "StreamText.h"

#include "RecordingWebView2.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Steinberg::kResultOk;

constexpr char kScriptAdd[] = "AddScriptToExecuteOnDocumentCreated";

std::string fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return file ? bytes.str() : "<no file " + path + ">";
}

size_t count(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

// The recording loader's controls once it is loaded; with `load`, loaded
// for good and put on the search path first.
const RecordingWebView2* recordingWebView2(bool load = false) {
  const std::string path = KELO_RECORDING_LOADER;
  if (load) AddDllDirectory(std::wstring(path.begin(), path.begin() + path.find_last_of("/\\")).c_str());
  HMODULE loader =
      load ? LoadLibraryW(std::wstring(path.begin(), path.end()).c_str()) : GetModuleHandleW(L"WebView2Loader.dll");
  auto* get = reinterpret_cast<RecordingWebView2Function*>(
      loader ? reinterpret_cast<void*>(GetProcAddress(loader, "RecordingWebView2Api")) : nullptr);
  return get ? get() : nullptr;
}

// An editor of a module, in a frame window of its own.
struct Session {
  kelo::host::Module module;
  std::unique_ptr<kelo::host::PluginInstance> instance;
  HWND frame = nullptr;
  Steinberg::IPlugView* view = nullptr;

  explicit Session(const char* bundle = KELO_BUNDLE_PATH) : module(bundle) {}
  ~Session() { close(); }

  void open() {
    ASSERT_TRUE(module.loaded()) << module.lastError();
    instance = std::make_unique<kelo::host::PluginInstance>(module);
    ASSERT_TRUE(instance->ok()) << instance->lastError();
    frame = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1400, 800, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_NE(view = instance->controller()->createView("editor"), nullptr);
  }
  // The recorder lets go of the module's handlers before the module goes.
  void close() {
    if (view) {
      view->removed();
      std::exchange(view, nullptr)->release();
    }
    DestroyWindow(std::exchange(frame, nullptr));
    if (auto* fake = recordingWebView2()) fake->reset();
  }
  HWND child() { return FindWindowExW(frame, nullptr, L"webview", nullptr); }
  void attach() { ASSERT_EQ(view->attached(frame, "HWND"), kResultOk); }
  HMODULE handle() const {
    HMODULE handle = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(module.rawSymbol("GetPluginFactory")), &handle);
    return handle;
  }
};

bool hasEditorClass(HMODULE module) {
  WNDCLASSEXW info{sizeof info};
  return GetClassInfoExW(module, L"webview", &info) != FALSE;
}

std::string resourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  const void* data = found ? LockResource(LoadResource(module, found)) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found)) : "<missing>";
}

TEST(ModuleImage, CarriesEveryListedFileAndTheManifestAsResources) {
  Session session;
  ASSERT_TRUE(session.module.loaded()) << session.module.lastError();
  std::ifstream list(KELO_SOURCE_DIR "/web/resources.list");
  int count = 0;
  for (std::string line; std::getline(list, line);) {
    std::istringstream entry(line.substr(0, line.find('#')));
    std::string name, path;
    if (!(entry >> name >> path)) continue;
    ++count;
    EXPECT_EQ(resourceBytes(session.handle(), std::wstring(name.begin(), name.end()).c_str(), RT_RCDATA),
              fileBytes(KELO_SOURCE_DIR "/" + path))
        << name;
  }
  EXPECT_GE(count, 13) << "seven page files and six notices";
  EXPECT_EQ(resourceBytes(session.handle(), MAKEINTRESOURCEW(2), RT_MANIFEST), fileBytes(KELO_MANIFEST));
}

// No WebView2 loader is found yet: the editor stays empty, but its class is registered.
TEST(ModuleImage, TheWindowClassIsTheModulesAndLeavesWithTheLastExitDllOrWithFreeLibrary) {
  for (const bool hostSkipsExitDll : {false, true}) {
    HMODULE handle = nullptr;
    {
      Session session;
      session.open();
      handle = session.handle();
      session.attach();
      EXPECT_EQ(session.child(), nullptr) << "the half-built browser takes its window with it";
      EXPECT_TRUE(hasEditorClass(handle));
      EXPECT_FALSE(hasEditorClass(GetModuleHandleW(nullptr))) << "the host's module must not hold it";
      session.close();
      EXPECT_TRUE(hasEditorClass(handle)) << "views come and go; the class stays with the module";
      if (hostSkipsExitDll) session.module.symbol<bool()>("InitDll")();
    }
    EXPECT_EQ(GetModuleHandleW(L"Kelo.vst3"), nullptr);
    EXPECT_FALSE(hasEditorClass(handle)) << (hostSkipsExitDll ? "FreeLibrary" : "ExitDll");
  }
}

TEST(ModuleImage, FindsTheLoaderBesideTheModuleThenOnTheSearchPath) {
  ASSERT_EQ(recordingWebView2(), nullptr) << "runs before any test loads the recording WebView2";
  for (const char* bundle : {KELO_BESIDE_BUNDLE, KELO_BUNDLE_PATH}) {
    Session session(bundle);
    session.open();
    session.attach();
    EXPECT_NE(session.child(), nullptr) << bundle;
    ASSERT_NE(recordingWebView2(), nullptr) << bundle;
    EXPECT_EQ(count(recordingWebView2()->log(), "CreateCoreWebView2EnvironmentWithOptions"), 1u) << bundle;
    session.close();
    recordingWebView2(true);  // found beside the module only, until now
  }
}

class Editor : public ::testing::Test, protected Session {
 protected:
  const RecordingWebView2* fake = recordingWebView2(true);

  void SetUp() override {
    ASSERT_NE(fake, nullptr);
    fake->reset();
    open();
  }
  void TearDown() override { close(); }

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

TEST_F(Editor, AChildWindowOfTheFrameNavigatesOnlyOnceEveryBridgeScriptIsInPlace) {
  start();
  const HWND window = child();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), frame);
  EXPECT_NE(log().find("CreateCoreWebView2Controller " + std::to_string(reinterpret_cast<uintptr_t>(window))),
            std::string::npos);
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME),
            WS_CHILD | WS_VISIBLE);
  EXPECT_NE(log().find("AddWebResourceRequestedFilter https://kelo.invalid/* 0"), std::string::npos);
  EXPECT_NE(log().find("put_AreDevToolsEnabled 0"), std::string::npos);
  EXPECT_EQ(log().find("OpenDevToolsWindow"), std::string::npos);

  EXPECT_EQ(count(log(), kScriptAdd), 4u) << "window.external and the three page functions";
  EXPECT_EQ(fake->complete(kScriptAdd, S_OK, 3), 3);
  EXPECT_EQ(log().find("Navigate"), std::string::npos) << log();
  fake->complete(kScriptAdd, S_OK, 1);
  EXPECT_EQ(log().substr(log().rfind("Navigate")), "Navigate https://kelo.invalid/index.html\n");

  Steinberg::ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultOk);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, size.getWidth());
  EXPECT_EQ(client.bottom, size.getHeight());
  const std::string bounds = "put_Bounds 0 0 " + std::to_string(client.right) + " " + std::to_string(client.bottom);
  EXPECT_EQ(log().substr(log().rfind("put_Bounds"), bounds.size()), bounds);
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

TEST_F(Editor, ServesTheModulesFilesWithTheirTypesAndNoCachingAndLeavesOtherOriginsToTheNetwork) {
  ready();
  const struct {
    const wchar_t* uri;
    const char* file;
    const char* answer;
  } rows[] = {
      {L"https://kelo.invalid/", "web/index.html", "0 200\nContent-Type: text/html; charset=utf-8"},
      {L"https://kelo.invalid/app.js?v=2", "web/app.js", "0 200\nContent-Type: application/javascript; charset=utf-8"},
      {L"https://kelo.invalid/header.png", "web/header.png", "0 200\nContent-Type: image/png"},
      {L"https://kelo.invalid/missing.css", nullptr, "0 404\nContent-Type: text/css; charset=utf-8"},
      {L"https://example.com/index.html", nullptr, nullptr},
  };
  for (const auto& row : rows) {
    size_t length = 0;
    const char* answer = fake->request(row.uri, &length);
    const std::string expected = row.answer ? std::string(row.answer) + "\r\nCache-Control: no-store\r\n\n" : "0 0\n\n";
    EXPECT_EQ(std::string(answer, length),
              expected + (row.file ? fileBytes(KELO_SOURCE_DIR "/" + std::string(row.file)) : ""));
  }
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

  // Clipboard reads allowed, a camera left to WebView2's own treatment, and a
  // document of another origin getting neither answers nor the clipboard.
  int states[3] = {-1, -1, -1};
  EXPECT_EQ(fake->permission(6 /* clipboard read */, &states[0]), S_OK);
  EXPECT_EQ(fake->permission(2 /* camera */, &states[1]), S_OK);
  fake->setSource(L"https://elsewhere.example/");
  EXPECT_EQ(fake->message(LR"({"id":3,"method":"keloRead","params":[-1]})"), S_OK);
  EXPECT_EQ(count(log(), "ExecuteScript"), 2u);
  EXPECT_EQ(fake->permission(6, &states[2]), S_OK);
  EXPECT_EQ(std::vector<int>(states, states + 3), (std::vector<int>{1, 0, 2}));
}

// Removal at each stage of the start closes what exists; completions the
// browser delivers afterwards change nothing.
TEST_F(Editor, RemovalWhileCompletionsArePendingLeavesThemNothingToDo) {
  const char* stages[] = {"CreateCoreWebView2EnvironmentWithOptions", "CreateCoreWebView2Controller", kScriptAdd,
                          "ExecuteScript"};
  for (int stage = 0; stage < 4; ++stage) {
    fake->reset();
    attach();
    for (int earlier = 0; earlier < stage; ++earlier) fake->complete(stages[earlier], S_OK, -1);
    if (stage == 3) fake->message(LR"({"id":1,"method":"keloRead","params":[-1]})");
    view->removed();
    EXPECT_EQ(child(), nullptr) << stages[stage];
    EXPECT_EQ(count(log(), "Close") > 0, stage >= 2) << "a controller, once made, is closed: " << stages[stage];
    const std::string before = log();
    EXPECT_GE(fake->complete(stages[stage], S_OK, -1), 1) << stages[stage];
    EXPECT_EQ(log(), before) << stages[stage];
  }
}

}  // namespace
