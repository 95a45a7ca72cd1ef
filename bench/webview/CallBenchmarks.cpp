// The cost of one page call through the bindings, side by side with the bare
// JSON work every call needs anyway (parsing the message, writing the result),
// for a poll answered without and with a lyrics document of growing size.
#include <cstddef>
#include <string>

#include <benchmark/benchmark.h>

#include "Webview.h"

namespace {

using webhost::json;

// Keeps only the size of each settling script, so that the browser side
// costs nothing measurable.
class CountingWebview : public webhost::Webview {
 public:
  std::size_t scriptBytes = 0;

  void SetTitle(const std::string&) override {}
  void SetViewSize(int, int, webhost::SizeHint) override {}
  std::string GetContentRoot() override { return {}; }
  void Navigate(const std::string&) override {}
  void EvalJS(const std::string& js, std::function<void(const json&)>) override { scriptBytes += js.size(); }
  void AddInitScript(const std::string&) override {}
  webhost::NativeWindow GetNativeWindow() override { return nullptr; }
  void Terminate() override {}
  void Dispatch(std::function<void()> fn) override { fn(); }
};

// A poll answer shaped like the page's, with `lyricsBytes` of lyrics
// (0: the page already holds the state, so none is sent).
json PollAnswer(std::size_t lyricsBytes) {
  json answer = {{"revision", 3},
                 {"transport", {{"beatsPerBar", 4.0}, {"hasPpq", true}, {"playing", true}, {"ppq", 118.25}}}};
  if (lyricsBytes > 0) {
    std::string lyrics;
    while (lyrics.size() < lyricsBytes) lyrics += "[30] Grüß dich, \"Welt\" \\ nächste Zeile\n";
    lyrics.resize(lyricsBytes);
    answer["state"] = {{"lyrics", lyrics}, {"timerTicks", 4}, {"version", 2}};
  }
  return answer;
}

const std::string kPollMessage = R"({"id":17,"method":"keloRead","params":[3]})";

void BM_CallThroughBindings(benchmark::State& state) {
  const json answer = PollAnswer(static_cast<std::size_t>(state.range(0)));
  CountingWebview webview;
  webview.BindFunction("keloRead",
                       [&answer](webhost::Webview*, int, const std::string&, const json&) { return answer; });
  for (auto _ : state) webview.OnBrowserMessage(kPollMessage);
  benchmark::DoNotOptimize(webview.scriptBytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(webview.scriptBytes));
}

void BM_BareParseAndDump(benchmark::State& state) {
  const json answer = PollAnswer(static_cast<std::size_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const json call = json::parse(kPollMessage);
    benchmark::DoNotOptimize(call);
    const json copy = answer;
    bytes += copy.dump(-1, ' ', false, json::error_handler_t::strict).size();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_CallThroughBindings)->Arg(0)->Arg(2 << 10)->Arg(64 << 10);
BENCHMARK(BM_BareParseAndDump)->Arg(0)->Arg(2 << 10)->Arg(64 << 10);

}  // namespace
