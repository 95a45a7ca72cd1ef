// The built module's editor in a real browser, driven as a host drives it:
// the view attached to a window of the module's stand-in platform, the UI
// thread pumped through the module's exports. The page polls again only after
// its previous poll settled, so a run of "KeloPoll" messages from controller
// to processor proves the page loaded, its stubs were bound in time and the
// call protocol round trip works.
#include "ChromiumChildren.h"
#include "MessageRelay.h"
#include "TestHost.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

using namespace Steinberg;
using kelo::webhosttest::MessageRelay;
using kelo::webhosttest::ownThreadsNamed;
using kelo::webhosttest::runningChromiumChildren;

namespace {

class EditorInBrowser : public ::testing::Test {
 protected:
  std::string appData = kelo::webhosttest::useFreshAppDataFolder();
  kelo::host::Module module{KELO_BUNDLE_PATH};
  std::unique_ptr<MessageRelay> toProcessor, toController;
  std::unique_ptr<kelo::host::PluginInstance> instance;
  void* (*createWindow)(int, int, const char*) = nullptr;
  void (*destroyWindow)(void*) = nullptr;
  int (*pump)(int) = nullptr;
  void* frame = nullptr;
  IPtr<IPlugView> view;

  void SetUp() override {
    ASSERT_TRUE(module.loaded()) << module.lastError();
    createWindow = module.symbol<void*(int, int, const char*)>("KeloLinuxCreateHostWindow");
    destroyWindow = module.symbol<void(void*)>("KeloLinuxDestroyHostWindow");
    pump = module.symbol<int(int)>("KeloLinuxPumpMessages");
    ASSERT_TRUE(createWindow && destroyWindow && pump);
    kelo::host::InstanceOptions options;
    options.connect = false;
    instance = std::make_unique<kelo::host::PluginInstance>(module, options);
    ASSERT_TRUE(instance->ok()) << instance->lastError();
    toProcessor = std::make_unique<MessageRelay>(instance->processorConnection());
    toController = std::make_unique<MessageRelay>(instance->controllerConnection());
    ASSERT_EQ(instance->controllerConnection()->connect(toProcessor.get()), kResultOk);
    ASSERT_EQ(instance->processorConnection()->connect(toController.get()), kResultOk);
    ASSERT_NE(frame = createWindow(1188, 606, "Kelo test host"), nullptr);
    ASSERT_NE(view = owned(instance->controller()->createView("editor")), nullptr);
  }
  void TearDown() override {
    view = nullptr;
    if (frame) destroyWindow(frame);
    if (pump) pump(50);
    instance.reset();
    kelo::webhosttest::removeAppDataFolder(appData);
  }

  int polls() const { return toProcessor->count("KeloPoll"); }
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      pump(10);
    }
    return true;
  }
  bool pageKeepsPolling(int timeoutMs = 30000) {
    const int before = polls();
    return pumpUntil([&] { return polls() >= before + 3; }, timeoutMs);
  }
  // No browser process and no profile folder left (both go in the background).
  bool browserGone() {
    return pumpUntil([this] { return runningChromiumChildren().empty() && !profileLeft(); }, 10000);
  }
  bool profileLeft() const {
    std::error_code none;
    return !std::filesystem::is_empty(appData + "/Kelo", none) && !none;
  }
  // Nothing calls in once the page is gone.
  void expectNoMorePolls(const char* when) {
    const int before = polls();
    pump(300);
    EXPECT_EQ(polls(), before) << "a page outlived its view " << when;
  }
};

TEST_F(EditorInBrowser, AttachedViewLoadsThePageWhichPollsOnThroughAResizeAndStopsWhenRemoved) {
  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  EXPECT_EQ(polls(), 0) << "the browser starts asynchronously";
  ASSERT_TRUE(pageKeepsPolling()) << "polls seen: " << polls();
  EXPECT_GE(toController->count("KeloTransport"), 3) << "each poll is answered through the controller";
  ViewRect size(0, 0, 1000, 510);
  EXPECT_EQ(view->onSize(&size), kResultTrue);
  EXPECT_TRUE(pageKeepsPolling(5000));
  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_FALSE(runningChromiumChildren().empty()) << "removal waited for the browser to exit";
  EXPECT_TRUE(browserGone()) << runningChromiumChildren().size() << " Chromium processes left";
  expectNoMorePolls("removed");
}

TEST_F(EditorInBrowser, ViewRemovedWhileTheBrowserStartsLeavesNothingBehind) {
  // Removal meets the environment or the controller on their way, whichever
  // the machine's speed makes it; late completions must not touch the browser.
  for (const int delayMs : {0, 150, 400, 700}) {
    view = owned(instance->controller()->createView("editor"));
    ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
    if (delayMs > 0) pump(delayMs);
    ASSERT_EQ(view->removed(), kResultOk);
    view = nullptr;
    EXPECT_TRUE(browserGone()) << "after removal at " << delayMs << " ms";
    expectNoMorePolls("removed while starting");
  }
}

TEST_F(EditorInBrowser, ViewAttachedAgainAfterRemovalLoadsThePageAgainAtTheSizeGivenBeforeTheFirstStart) {
  ASSERT_EQ(view->attached(frame, "HWND"), kResultOk);
  ViewRect early(0, 0, 990, 505);
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
  // A careless host releases the view without removing it first.
  view = nullptr;
  EXPECT_TRUE(browserGone());
  expectNoMorePolls("released");
}

TEST_F(EditorInBrowser, LastExitDllWhileTheBrowserClosesLeavesNoProcessFolderOrThread) {
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
