// How long the editor takes to come up, and how much of that is Chromium's
// own start-up. Prints medians over a handful of runs:
//   environment   CreateCoreWebView2EnvironmentWithOptions -> environment completed
//   controller    CreateCoreWebView2Controller -> controller completed
//   attach->poll  IPlugView::attached on the built module -> the page's first "KeloPoll"
//                 (browser started, page loaded from the module, stubs bound, first call made)
//   attach->3rd   ... -> the third "KeloPoll" (the page's poll loop running)
//   removed       IPlugView::removed returning (the host's UI thread is back)
//   removed->gone ... -> no browser process left (what removal used to wait for)
// Each run starts a fresh Chromium with a fresh profile folder.
#include "ChromiumChildren.h"
#include "MessageRelay.h"
#include "TestHost.h"

#include "pluginterfaces/gui/iplugview.h"

#include <WebView2.h>
#include <kelo_linux_host.h>
#include <standin/ThreadTasks.h>
#include <windows.h>
#include <wrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Steinberg;
using Clock = std::chrono::steady_clock;
using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

namespace {

constexpr int kRuns = 5;
constexpr int kTimeoutMs = 30000;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Chromium's own start-up, through the WebView2 interfaces of this process.
bool measureBrowserStart(double& environmentMs, double& controllerMs) {
  const std::string appData = kelo::webhosttest::useFreshAppDataFolder();
  HWND window = static_cast<HWND>(KeloLinuxCreateHostWindow(1188, 606, "bench"));
  ComPtr<ICoreWebView2Environment> environment;
  ComPtr<ICoreWebView2Controller> controller;
  bool environmentDone = false;
  bool controllerDone = false;

  const auto start = Clock::now();
  const HRESULT started = CreateCoreWebView2EnvironmentWithOptions(
      nullptr, nullptr, nullptr,
      Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>([&](HRESULT,
                                                                               ICoreWebView2Environment* created) {
        environment = created;
        environmentDone = true;
        return S_OK;
      }).Get());
  if (FAILED(started) || !standin::PumpUntil([&] { return environmentDone; }, kTimeoutMs) || !environment) return false;
  environmentMs = millisecondsSince(start);

  const auto controllerStart = Clock::now();
  environment->CreateCoreWebView2Controller(
      window,
      Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>([&](HRESULT,
                                                                              ICoreWebView2Controller* created) {
        controller = created;
        controllerDone = true;
        return S_OK;
      }).Get());
  if (!standin::PumpUntil([&] { return controllerDone; }, kTimeoutMs) || !controller) return false;
  controllerMs = millisecondsSince(controllerStart);

  controller->Close();
  controller.Reset();
  environment.Reset();
  KeloLinuxDestroyHostWindow(window);
  // The browser ends on the reaper's thread, which posts nothing here.
  for (int waited = 0; !kelo::webhosttest::runningChromiumChildren().empty() && waited < 5000; waited += 10)
    standin::PumpMessages(10);
  kelo::webhosttest::removeAppDataFolder(appData);
  return true;
}

using CreateWindowFn = void*(int, int, const char*);
using DestroyWindowFn = void(void*);
using PumpFn = int(int);

// The whole editor start through the built module, as a host sees it.
bool measureEditorStart(kelo::host::Module& module, double& firstPollMs, double& thirdPollMs, double& removedMs,
                        double& goneMs) {
  const std::string appData = kelo::webhosttest::useFreshAppDataFolder();
  auto* createWindow = module.symbol<CreateWindowFn>("KeloLinuxCreateHostWindow");
  auto* destroyWindow = module.symbol<DestroyWindowFn>("KeloLinuxDestroyHostWindow");
  auto* pump = module.symbol<PumpFn>("KeloLinuxPumpMessages");
  if (!createWindow || !destroyWindow || !pump) return false;

  kelo::host::InstanceOptions options;
  options.connect = false;
  bool ok = false;
  {
    kelo::host::PluginInstance instance(module, options);
    if (!instance.ok()) return false;
    kelo::webhosttest::MessageRelay toProcessor(instance.processorConnection());
    kelo::webhosttest::MessageRelay toController(instance.controllerConnection());
    instance.controllerConnection()->connect(&toProcessor);
    instance.processorConnection()->connect(&toController);
    void* frame = createWindow(1188, 606, "bench");
    IPtr<IPlugView> view = owned(instance.controller()->createView("editor"));

    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(kTimeoutMs);
    view->attached(frame, "HWND");
    firstPollMs = -1;
    while (toProcessor.count("KeloPoll") < 3 && Clock::now() < end) {
      pump(1);
      if (firstPollMs < 0 && toProcessor.count("KeloPoll") >= 1) firstPollMs = millisecondsSince(start);
    }
    thirdPollMs = millisecondsSince(start);
    ok = toProcessor.count("KeloPoll") >= 3;

    const auto removal = Clock::now();
    view->removed();
    removedMs = millisecondsSince(removal);
    view = nullptr;
    destroyWindow(frame);
    const auto settle = Clock::now() + std::chrono::seconds(5);
    while (!kelo::webhosttest::runningChromiumChildren().empty() && Clock::now() < settle) pump(1);
    goneMs = millisecondsSince(removal);
  }
  kelo::webhosttest::removeAppDataFolder(appData);
  return ok;
}

}  // namespace

int main() {
  kelo::host::Module module(KELO_BUNDLE_PATH);
  if (!module.loaded()) {
    std::fprintf(stderr, "module not loaded: %s\n", module.lastError().c_str());
    return 1;
  }
  std::vector<double> environment, controller, firstPoll, thirdPoll, removal, gone;
  for (int run = 0; run < kRuns; ++run) {
    double environmentMs = 0, controllerMs = 0, firstMs = 0, thirdMs = 0, removedMs = 0, goneMs = 0;
    if (!measureBrowserStart(environmentMs, controllerMs)) {
      std::fprintf(stderr, "run %d: the browser did not start\n", run);
      return 1;
    }
    if (!measureEditorStart(module, firstMs, thirdMs, removedMs, goneMs)) {
      std::fprintf(stderr, "run %d: the editor page did not come up\n", run);
      return 1;
    }
    std::printf(
        "run %d: environment %7.1f ms  controller %7.1f ms  attach->poll %7.1f ms  attach->3rd %7.1f ms  "
        "removed %6.2f ms  removed->gone %7.1f ms\n",
        run, environmentMs, controllerMs, firstMs, thirdMs, removedMs, goneMs);
    environment.push_back(environmentMs);
    controller.push_back(controllerMs);
    firstPoll.push_back(firstMs);
    thirdPoll.push_back(thirdMs);
    removal.push_back(removedMs);
    gone.push_back(goneMs);
  }
  const double env = median(environment);
  const double ctl = median(controller);
  const double first = median(firstPoll);
  const double third = median(thirdPoll);
  std::printf("\nMedians over %d runs:\n", kRuns);
  std::printf("  environment (Chromium process up)   %7.1f ms\n", env);
  std::printf("  controller (page target attached)   %7.1f ms\n", ctl);
  std::printf("  attached -> first KeloPoll          %7.1f ms\n", first);
  std::printf("  attached -> third KeloPoll          %7.1f ms\n", third);
  std::printf("  removed returns                     %7.2f ms\n", median(removal));
  std::printf("  removed -> no browser process left  %7.1f ms\n", median(gone));
  std::printf("  removal / browser's exit            %7.3f\n", median(removal) / median(gone));
  std::printf("\nShare of attached -> first KeloPoll:\n");
  std::printf("  Chromium's own start-up (env+ctl)   %5.1f %%\n", 100.0 * (env + ctl) / first);
  std::printf("  page load, bindings, first call     %5.1f %%\n", 100.0 * (first - env - ctl) / first);
  return 0;
}
