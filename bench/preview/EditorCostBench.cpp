// What an open Kelo editor costs, beside the same Chromium showing a blank
// page in a window of the same size, measured in one run through the
// preview's host code (the built module, its audio thread and transport,
// the editor embedded in an X11 window driven by the host's run loop):
//   CPU    share of one core of this process and all its descendants
//          (the browser's processes) over the same time, for the blank
//          page, the editor while stopped and the editor while playing;
//   memory PSS of the same processes;
//   start  attached -> first poll answered, and -> the page's first frame
//          on screen, with the part that Chromium's own start takes (until
//          its window is placed in the frame);
//   floors what the editor's way of working costs at the least, on the same
//          blank page: the page asks the native side 33 ms after each answer
//          (as the editor polls) and is answered by a script (as the editor
//          is), doing nothing else; then each answer also moves a small
//          composited layer: one frame per poll, as a playing display needs.
// Needs an X display (xvfb-run -a -s "-screen 0 1400x900x24" ...).
#include "AudioEngine.h"
#include "ConnectionProxy.h"
#include "DemoSong.h"
#include "PreviewWindow.h"
#include "ProjectFile.h"
#include "Transport.h"
#include "WindowCapture.h"

#include "Module.h"
#include "PluginInstance.h"

#include <WebView2.h>
#include <kelo_linux_host.h>
#include <standin/ThreadTasks.h>
#include <windows.h>
#include <wrl.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace kelo::preview;
namespace host = kelo::host;
using Clock = std::chrono::steady_clock;
using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

namespace {

constexpr int kWidth = 1188;
constexpr int kHeight = 606;
constexpr int kSettleMs = 3000;
constexpr int kMeasureMs = 10000;
constexpr int kRounds = 3;
constexpr int kTimeoutMs = 30000;
// A point inside the logo in the page's header: the page's own pixels.
constexpr int kLogoX = 30;
constexpr int kLogoY = 22;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// This process and all its descendants.
std::vector<int> processTree() {
  std::map<int, int> parents;
  DIR* proc = opendir("/proc");
  while (proc) {
    dirent* entry = readdir(proc);
    if (!entry) break;
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    char state = '?';
    int parent = 0;
    rest >> state >> parent;
    parents[std::stoi(pid)] = parent;
  }
  if (proc) closedir(proc);
  std::vector<int> tree{getpid()};
  for (size_t i = 0; i < tree.size(); ++i)
    for (const auto& [pid, parent] : parents)
      if (parent == tree[i]) tree.push_back(pid);
  return tree;
}

// Seconds of CPU used so far by the processes of the tree.
double treeCpuSeconds() {
  double ticks = 0;
  for (const int pid : processTree()) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    // Fields after the command: state is 3rd overall; utime and stime are 14th and 15th.
    for (int index = 3; index <= 15 && rest >> field; ++index)
      if (index >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double treePssMiB() {
  double kib = 0;
  for (const int pid : processTree()) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
      if (line.rfind("Pss:", 0) == 0) {
        kib += std::stod(line.substr(4));
        break;
      }
  }
  return kib / 1024.0;
}

struct Cost {
  double cpuShare = 0;  // of one core
  double pssMiB = 0;
};

// Lets the scene settle, then measures it while `pump` keeps the UI thread going.
template <class Pump>
Cost measure(Pump pump) {
  auto run = [&](int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) pump();
  };
  run(kSettleMs);
  const double before = treeCpuSeconds();
  const auto start = Clock::now();
  run(kMeasureMs);
  Cost cost;
  cost.cpuShare = (treeCpuSeconds() - before) / (msSince(start) / 1000.0);
  cost.pssMiB = treePssMiB();
  return cost;
}

bool browsersGone() {
  return processTree().size() <= 1;
}

// The floors' page script: asks 33 ms after each answer; once `__moving` is
// set, each answer moves a layer of its own.
constexpr wchar_t kFloorScript[] =
    LR"JS((() => {
  const layer = document.createElement('div');
  layer.style.cssText = 'position:fixed;left:0;top:0;width:40px;height:40px;background:#19b5e1;will-change:transform';
  document.body.appendChild(layer);
  let step = 0;
  window.__answered = () => {
    if (window.__moving) layer.style.transform = 'translateY(' + (++step % 400) + 'px)';
    setTimeout(() => window.chrome.webview.postMessage(step), 33);
  };
  window.chrome.webview.postMessage(step);
})())JS";

struct Floors {
  Cost polls, frames;
  double pollsPerSecond = 0, framesPerSecond = 0;
};

// The same Chromium through the same stand-in (this program's own copy),
// showing a blank page in a window of the editor's size. Answers the cost,
// how long Chromium took to start (environment created) and the floors.
bool measureBlankPage(PreviewWindow& preview, Cost& cost, double& browserStartMs, Floors& floors) {
  HWND window = static_cast<HWND>(KeloLinuxCreateHostWindow(kWidth, kHeight, "blank page"));
  ComPtr<ICoreWebView2Environment> environment;
  ComPtr<ICoreWebView2Controller> controller;
  const auto start = Clock::now();
  CreateCoreWebView2EnvironmentWithOptions(
      nullptr, nullptr, nullptr,
      Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>([&](HRESULT,
                                                                               ICoreWebView2Environment* created) {
        environment = created;
        return S_OK;
      }).Get());
  if (!standin::PumpUntil([&] { return environment != nullptr; }, kTimeoutMs)) return false;
  browserStartMs = msSince(start);
  environment->CreateCoreWebView2Controller(
      window,
      Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>([&](HRESULT,
                                                                              ICoreWebView2Controller* created) {
        controller = created;
        return S_OK;
      }).Get());
  if (!standin::PumpUntil([&] { return controller != nullptr; }, kTimeoutMs)) return false;
  controller->put_Bounds({0, 0, kWidth, kHeight});
  ComPtr<ICoreWebView2> webview;
  controller->get_CoreWebView2(&webview);
  if (webview) webview->Navigate(L"about:blank");
  auto pump = [&] {
    standin::PumpMessages(10);
    preview.pump(0);
  };
  cost = measure(pump);

  long answers = 0;
  EventRegistrationToken token{};
  if (webview) {
    ICoreWebView2* page = webview.Get();
    webview->add_WebMessageReceived(
        Callback<ICoreWebView2WebMessageReceivedEventHandler>(
            [&answers, page](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*) -> HRESULT {
              ++answers;
              page->ExecuteScript(L"window.__answered()", nullptr);
              return S_OK;
            })
            .Get(),
        &token);
    webview->ExecuteScript(kFloorScript, nullptr);
  }
  auto counted = [&](Cost& into, double& perSecond) {
    const long before = answers;
    const auto start = Clock::now();
    into = measure(pump);
    perSecond = (answers - before) / (msSince(start) / 1000.0);
  };
  counted(floors.polls, floors.pollsPerSecond);
  if (webview) webview->ExecuteScript(L"window.__moving = true", nullptr);
  counted(floors.frames, floors.framesPerSecond);
  if (webview) webview->remove_WebMessageReceived(token);
  webview.Reset();
  controller->Close();
  controller.Reset();
  environment.Reset();
  KeloLinuxDestroyHostWindow(window);
  standin::PumpUntil(browsersGone, 5000);
  return true;
}

struct Start {
  double browserUpMs = -1;
  double firstPollMs = -1;
  double firstFrameMs = -1;
};

// The class the module's browser window carries.
constexpr char kBrowserClass[] = "KeloEditor";

}  // namespace

int main() {
  host::Module module(KELO_BUNDLE_PATH);
  host::InstanceOptions setup;
  setup.connect = false;
  auto instance = std::make_unique<host::PluginInstance>(module, setup);
  if (!module.loaded() || !instance->ok()) {
    std::fprintf(stderr, "Kelo not loaded: %s\n", module.lastError().c_str());
    return 1;
  }
  ConnectionProxy toProcessor(instance->processorConnection());
  ConnectionProxy toController(instance->controllerConnection());
  instance->controllerConnection()->connect(&toProcessor);
  instance->processorConnection()->connect(&toController);
  restoreProject(*instance, DemoSong::state());
  Transport transport(DemoSong::layout());
  instance->activate(Vst::kSample32, AudioEngine::kBlockSize, AudioEngine::kSampleRate);
  AudioEngine engine(instance->processor(), transport);
  engine.start();
  PreviewWindow window(kWidth, kHeight, "Kelo cost");
  if (!window.ok()) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }

  std::vector<Cost> blank, stopped, playing, pollFloor, frameFloor;
  std::vector<double> pollRate, frameRate;
  std::vector<double> browserStart, firstPoll, firstFrame, stoppedRate, playingRate;
  // Polls answered a second while `into` is measured.
  auto polled = [&](std::vector<Cost>& into, std::vector<double>& rate) {
    const long before = toProcessor.polls();
    const auto start = Clock::now();
    into.push_back(measure([&] { window.pump(10); }));
    rate.push_back((toProcessor.polls() - before) / (msSince(start) / 1000.0));
  };
  for (int round = 0; round < kRounds; ++round) {
    Cost cost;
    double startMs = 0;
    Floors floors;
    if (!measureBlankPage(window, cost, startMs, floors)) {
      std::fprintf(stderr, "the blank page's browser did not start\n");
      return 1;
    }
    blank.push_back(cost);
    pollFloor.push_back(floors.polls);
    frameFloor.push_back(floors.frames);
    pollRate.push_back(floors.pollsPerSecond);
    frameRate.push_back(floors.framesPerSecond);

    transport.setPlaying(false);
    IPtr<IPlugView> view = owned(instance->controller()->createView("editor"));
    unsigned long initial = 0, pixel = 0;
    pixelAt(window.x11Window(), kLogoX, kLogoY, initial);
    std::vector<std::pair<double, unsigned long>> frames;
    const long pollsBefore = toProcessor.polls();
    const auto attachedAt = Clock::now();
    if (window.attach(view) != kResultOk) return 1;
    Start start;
    while (toProcessor.polls() < pollsBefore + 3 && msSince(attachedAt) < kTimeoutMs) {
      window.pump(2);
      if (start.firstPollMs < 0 && toProcessor.polls() > pollsBefore) start.firstPollMs = msSince(attachedAt);
      if (start.browserUpMs < 0 && hasDescendantOfClass(window.x11Window(), kBrowserClass))
        start.browserUpMs = msSince(attachedAt);
      if (pixelAt(window.x11Window(), kLogoX, kLogoY, pixel)) frames.emplace_back(msSince(attachedAt), pixel);
    }
    window.pump(1000);
    // The first sample that shows what the page shows once it runs.
    if (pixelAt(window.x11Window(), kLogoX, kLogoY, pixel) && pixel != initial)
      for (const auto& [at, seen] : frames)
        if (seen == pixel) {
          start.firstFrameMs = at;
          break;
        }
    browserStart.push_back(start.browserUpMs);
    firstPoll.push_back(start.firstPollMs);
    firstFrame.push_back(start.firstFrameMs);

    polled(stopped, stoppedRate);
    transport.locate(9);
    transport.setLooping(true);
    transport.setPlaying(true);
    polled(playing, playingRate);
    transport.setPlaying(false);
    window.detach();
    view = nullptr;
    window.pump(100);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!browsersGone() && Clock::now() < end) window.pump(20);
    std::printf(
        "round %d: blank %.2f%% %.0f MiB, stopped %.2f%% %.0f MiB (%.0f polls/s), playing %.2f%% %.0f MiB "
        "(%.0f polls/s), "
        "blank page's browser start %.0f ms; editor: browser in frame %.0f ms, first poll %.0f ms, "
        "first frame %.0f ms; floors: polls %.2f%% (%.0f/s), polls with a frame each %.2f%% (%.0f/s)\n",
        round, 100 * blank.back().cpuShare, blank.back().pssMiB, 100 * stopped.back().cpuShare, stopped.back().pssMiB,
        stoppedRate.back(), 100 * playing.back().cpuShare, playing.back().pssMiB, playingRate.back(), startMs,
        start.browserUpMs, start.firstPollMs, start.firstFrameMs, 100 * floors.polls.cpuShare, floors.pollsPerSecond,
        100 * floors.frames.cpuShare, floors.framesPerSecond);
    std::fflush(stdout);
  }
  engine.stop();
  instance->deactivate();
  instance->controllerConnection()->disconnect(&toProcessor);
  instance->processorConnection()->disconnect(&toController);
  instance.reset();

  // Medians: the machines are shared, and one disturbed round must not move the figure.
  auto median = [](std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  };
  auto field = [&](const std::vector<Cost>& costs, double Cost::*member) {
    std::vector<double> values;
    for (const Cost& c : costs) values.push_back(c.*member);
    return median(values);
  };
  const double blankCpu = field(blank, &Cost::cpuShare), blankPss = field(blank, &Cost::pssMiB);
  const double stoppedCpu = field(stopped, &Cost::cpuShare), playingCpu = field(playing, &Cost::cpuShare);
  const double editorPss = std::max(field(stopped, &Cost::pssMiB), field(playing, &Cost::pssMiB));
  std::printf("\nMedians over %d rounds (host and browser processes together, %dx%d window):\n", kRounds, kWidth,
              kHeight);
  std::printf("  blank page           CPU %6.2f %% of a core   PSS %6.1f MiB\n", 100 * blankCpu, blankPss);
  std::printf("  editor, stopped      CPU %6.2f %% of a core   %5.2fx the blank page (goal <= 3x), %.0f polls/s\n",
              100 * stoppedCpu, stoppedCpu / blankCpu, median(stoppedRate));
  std::printf("  editor, playing      CPU %6.2f %% of a core   %5.2fx the blank page (goal <= 6x), %.0f polls/s\n",
              100 * playingCpu, playingCpu / blankCpu, median(playingRate));
  std::printf("  editor memory        PSS %6.1f MiB          %5.2fx the blank page (goal <= 1.2x)\n", editorPss,
              editorPss / blankPss);
  const double pollsFloor = field(pollFloor, &Cost::cpuShare), framesFloor = field(frameFloor, &Cost::cpuShare);
  std::printf("  floor: blank page polling as the editor does, %.0f answers/s, nothing drawn\n", median(pollRate));
  std::printf("                       CPU %6.2f %% of a core   %5.2fx the blank page\n", 100 * pollsFloor,
              pollsFloor / blankCpu);
  std::printf("  floor: the same, each answer moving a small layer (%.0f frames/s)\n", median(frameRate));
  std::printf("                       CPU %6.2f %% of a core   %5.2fx the blank page\n", 100 * framesFloor,
              framesFloor / blankCpu);
  const double poll = median(firstPoll), frame = median(firstFrame), browser = median(browserStart);
  std::printf(
      "  attached -> first poll answered   %7.0f ms (Chromium up, its window in the frame, at %.0f ms: "
      "%.0f %%)\n",
      poll, browser, 100 * browser / poll);
  std::printf("  attached -> first frame painted   %7.0f ms (Chromium's own start: %.0f %%)\n", frame,
              100 * browser / frame);
  return 0;
}
