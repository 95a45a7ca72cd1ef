// One page poll as it runs in the plug-in: the call message parsed by the
// web view's bindings, "KeloPoll" to the processor and its "KeloTransport"
// answer, the Snapshot built and the settling script written. Printed as a
// share of the page's 33 ms poll interval, with and without the state.
#include "Controller.h"
#include "Processor.h"

#include "HostApplication.h"
#include "Webview.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

using namespace Steinberg;

namespace {

constexpr double kPollIntervalNanoseconds = 33e6;

// A web view whose scripts go nowhere: the benchmark measures the native side.
class SilentWebview : public webhost::Webview {
 public:
  std::size_t scriptBytes = 0;
  void SetTitle(const std::string&) override {}
  void SetViewSize(int, int, webhost::SizeHint) override {}
  std::string GetContentRoot() override { return {}; }
  void Navigate(const std::string&) override {}
  void EvalJS(const std::string& js, std::function<void(const webhost::json&)>) override { scriptBytes += js.size(); }
  void AddInitScript(const std::string&) override {}
  webhost::NativeWindow GetNativeWindow() override { return nullptr; }
  void Terminate() override {}
  void Dispatch(std::function<void()> fn) override {
    if (fn) fn();
  }
};

std::string lyrics(std::size_t bytes) {
  const std::string line = "[12] Somewhere over the harbour lights we sing \xC3\xA9 \"again\"\n";
  std::string script;
  while (script.size() + line.size() <= bytes) script += line;
  return script;
}

void Poll(benchmark::State& run, bool withState) {
  auto host = owned(new kelo::host::HostApplication);
  auto processor = owned(new kelo::Processor);
  auto controller = owned(new kelo::Controller);
  processor->initialize(host);
  controller->initialize(host);
  processor->connect(controller);
  controller->connect(processor);
  SilentWebview webview;
  controller->Bind(&webview);
  webhost::json document = webhost::json::object();
  document["script"] = lyrics(64 * 1024);
  webhost::json write = webhost::json::object();
  write["id"] = 1;
  write["method"] = "keloWrite";
  write["params"] = webhost::json::array({document});
  webview.OnBrowserMessage(write.dump());

  const std::string message =
      withState ? R"({"id":2,"method":"keloRead","params":[-1]})" : R"({"id":2,"method":"keloRead","params":[0]})";
  for (auto _ : run) webview.OnBrowserMessage(message);
  benchmark::DoNotOptimize(webview.scriptBytes);

  controller->disconnect(processor);
  processor->disconnect(controller);
  controller->terminate();
  processor->terminate();
}

class BudgetReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
        shares[r.benchmark_name()] =
            r.GetAdjustedRealTime() / (r.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0) / kPollIntervalNanoseconds;
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nShare of the page's 33 ms poll interval (64 KiB of lyrics in the state):\n");
    for (const auto& [name, share] : shares) std::printf("  %-28s %7.3f %%\n", name.c_str(), share * 100.0);
  }

 private:
  std::map<std::string, double> shares;
};

}  // namespace

BENCHMARK_CAPTURE(Poll, withoutState, false)->Name("poll/withoutState")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Poll, withState, true)->Name("poll/withState")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  BudgetReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
