// The editor in a real browser, driven the way a host drives it: the view
// from the built module's controller attached to a window of the module's
// stand-in platform, with the UI thread's messages pumped through the
// module's own exports. The page is observed through the host interfaces:
// every poll of the page sends "KeloPoll" from controller to processor, and
// the page polls again only after its previous poll settled, so a run of
// polls proves the page loaded from the module's resources, its stubs were
// bound before the first document and the call protocol round trip works.
#include "ChromiumChildren.h"
#include "MessageRelay.h"
#include "TestHost.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

using namespace Steinberg;
using kelo::host::InstanceOptions;
using kelo::host::Module;
using kelo::host::PluginInstance;
using kelo::webhosttest::MessageRelay;
using kelo::webhosttest::ownThreadsNamed;
using kelo::webhosttest::runningChromiumChildren;

namespace {

constexpr char kPoll[] = "KeloPoll";
// Enough polls that the page must have settled several of its own calls.
constexpr int kPollsProvingThePageRuns = 3;
constexpr int kStartTimeoutMs = 30000;

using CreateWindowFn = void*(int, int, const char*);
using DestroyWindowFn = void(void*);
using PumpFn = int(int);

class EditorInBrowser : public ::testing::Test {
 protected:
  std::string appData;
  Module module{KELO_BUNDLE_PATH};
  std::unique_ptr<MessageRelay> toProcessor;
  std::unique_ptr<MessageRelay> toController;
  std::unique_ptr<PluginInstance> instance;
  CreateWindowFn* createWindow = nullptr;
  DestroyWindowFn* destroyWindow = nullptr;
  PumpFn* pump = nullptr;
  void* frame = nullptr;

  void SetUp() override {
    appData = kelo::webhosttest::useFreshAppDataFolder();
    ASSERT_TRUE(module.loaded()) << module.lastError();
    createWindow = module.symbol<CreateWindowFn>("KeloLinuxCreateHostWindow");
    destroyWindow = module.symbol<DestroyWindowFn>("KeloLinuxDestroyHostWindow");
    pump = module.symbol<PumpFn>("KeloLinuxPumpMessages");
    ASSERT_TRUE(createWindow && destroyWindow && pump);

    InstanceOptions options;
    options.connect = false;
    instance = std::make_unique<PluginInstance>(module, options);
    ASSERT_TRUE(instance->ok()) << instance->lastError();
    toProcessor = std::make_unique<MessageRelay>(instance->processorConnection());
    toController = std::make_unique<MessageRelay>(instance->controllerConnection());
    ASSERT_EQ(instance->controllerConnection()->connect(toProcessor.get()), kResultOk);
    ASSERT_EQ(instance->processorConnection()->connect(toController.get()), kResultOk);

    frame = createWindow(1188, 606, "Kelo test host");
    ASSERT_NE(frame, nullptr);
  }

  void TearDown() override {
    if (frame) destroyWindow(frame);
    if (pump) pump(50);
    instance.reset();
    kelo::webhosttest::removeAppDataFolder(appData);
  }

  IPtr<IPlugView> editor() { return owned(instance->controller()->createView("editor")); }

  int polls() const { return toProcessor->count(kPoll); }

  // Pumps the UI thread until `done` or the time-out; answers `done ()`.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      pump(10);
    }
    return true;
  }

  bool pageKeepsPolling(int timeoutMs = kStartTimeoutMs) {
    const int before = polls();
    return pumpUntil([&] { return polls() >= before + kPollsProvingThePageRuns; }, timeoutMs);
  }

  // Lets late completions and the browser's exit (in the background, its
  // profile folder with it) arrive; a loaded machine starts slowly.
  bool browserGone() {
    return pumpUntil([this] { return runningChromiumChildren().empty() && !profileLeft(); }, 10000);
  }

  // Each browser's profile is a folder in the module's user-data folder.
  bool profileLeft() const {
    std::error_code none;
    return !std::filesystem::is_empty(appData + "/Kelo", none) && !none;
  }
};

TEST_F(EditorInBrowser, AttachedViewLoadsThePageWhichPollsAgainAndAgain) {
  IPtr<IPlugView> view = editor();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->isPlatformTypeSupported("HWND"), kResultTrue);
  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  EXPECT_EQ(polls(), 0) << "the browser starts asynchronously";
  ASSERT_TRUE(pageKeepsPolling()) << "polls seen: " << polls();
  // Each poll was answered by the processor through the controller.
  EXPECT_GE(toController->count("KeloTransport"), kPollsProvingThePageRuns);

  // A host resize while the page runs keeps it running.
  ViewRect size(0, 0, 1000, 510);
  EXPECT_EQ(view->onSize(&size), kResultTrue);
  EXPECT_TRUE(pageKeepsPolling(5000));

  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_FALSE(runningChromiumChildren().empty()) << "removal waited for the browser to exit";
  EXPECT_TRUE(browserGone()) << runningChromiumChildren().size() << " Chromium processes left";
  const int afterRemoval = polls();
  pump(300);
  EXPECT_EQ(polls(), afterRemoval) << "a removed editor's page must not call in any more";
}

TEST_F(EditorInBrowser, ViewRemovedWhileTheBrowserStartsLeavesNothingBehind) {
  // Removal at once meets the environment being created; the later ones
  // meet the environment or the controller on their way, whichever the
  // machine's speed makes it. The late completions must find the browser
  // gone without touching it (the sanitizer build checks the memory).
  for (const int delayMs : {0, 150, 400, 700}) {
    IPtr<IPlugView> view = editor();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
    if (delayMs > 0) pump(delayMs);
    ASSERT_EQ(view->removed(), kResultOk);
    const int atRemoval = polls();
    view = nullptr;
    EXPECT_TRUE(browserGone()) << "after removal at " << delayMs << " ms";
    EXPECT_EQ(polls(), atRemoval) << "a page outlived its view's removal at " << delayMs << " ms";
  }
}

TEST_F(EditorInBrowser, ViewAttachedAgainAfterRemovalLoadsThePageAgain) {
  IPtr<IPlugView> view = editor();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  ViewRect early(0, 0, 990, 505);
  // Before the browser exists the size is only stored.
  EXPECT_EQ(view->onSize(&early), kResultTrue);
  ASSERT_TRUE(pageKeepsPolling());
  ASSERT_EQ(view->removed(), kResultOk);
  ASSERT_TRUE(browserGone());

  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  ASSERT_TRUE(pageKeepsPolling()) << "the second attachment must start a new browser";
  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultTrue);
  EXPECT_EQ(size.getWidth(), 990);
  EXPECT_EQ(size.getHeight(), 505);
  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(browserGone());
}

TEST_F(EditorInBrowser, ViewReleasedWhileAttachedTakesItsBrowserWithIt) {
  IPtr<IPlugView> view = editor();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  ASSERT_TRUE(pageKeepsPolling());
  // A careless host releases the view without removing it first.
  view = nullptr;
  EXPECT_TRUE(browserGone());
  const int afterRelease = polls();
  pump(300);
  EXPECT_EQ(polls(), afterRelease);
}

TEST_F(EditorInBrowser, LastExitDllWhileTheBrowserClosesLeavesNoProcessFolderOrThread) {
  IPtr<IPlugView> view = editor();
  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  ASSERT_TRUE(pageKeepsPolling());
  ASSERT_EQ(view->removed(), kResultOk);
  view = nullptr;
  ASSERT_EQ(ownThreadsNamed("kelo-reaper"), 1) << "the browser must still be closing";
  ASSERT_TRUE(module.symbol<bool()>("ExitDll")());  // the host's last one
  EXPECT_TRUE(runningChromiumChildren().empty() && !profileLeft());
  EXPECT_EQ(ownThreadsNamed("kelo-reaper"), 0) << "a thread of the module would outlive it";
  module.symbol<bool()>("InitDll")();  // for the module's own exit at the end
}

}  // namespace
