// Reading a saved state (stream framing, parse, normalizeState) against the
// JSON library's parse alone of the same text.
#include "../RatioReporter.h"

#include "StateStream.h"

#include "public.sdk/source/common/memorystream.h"

#include <string>

using namespace Steinberg;

namespace {

// A document whose text is about `bytes` long, with lyrics-like lines.
std::string documentText(std::size_t bytes) {
  const std::string line = "[12] Somewhere over the harbour lights we sing again \xC3\xA9\n";
  // Each line break is two bytes in the text, hence the margin.
  std::string script;
  while ((script.size() + line.size()) * 102 / 100 + 200 < bytes) script += line;
  kelo::json document = kelo::makeDefaultState();
  document["script"] = script;
  return kelo::stateText(document);
}

const std::string& textOfSize(std::int64_t mebibytes) {
  static std::string one = documentText(1 << 20);
  static std::string eight = documentText(8 << 20);
  return mebibytes == 1 ? one : eight;
}

void ReadState_baseline(benchmark::State& run) {
  const std::string& text = textOfSize(run.range(0));
  for (auto _ : run) benchmark::DoNotOptimize(kelo::json::parse(text));
  run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * text.size()));
}

void ReadState_readAndNormalize(benchmark::State& run) {
  const std::string& text = textOfSize(run.range(0));
  for (auto _ : run) {
    run.PauseTiming();
    auto* stream = new MemoryStream(const_cast<char*>(text.data()), static_cast<TSize>(text.size()));
    kelo::json document;
    run.ResumeTiming();
    const bool ok = kelo::readStateStream(stream, document);
    benchmark::DoNotOptimize(ok);
    run.PauseTiming();
    stream->release();
    run.ResumeTiming();
    if (!ok) {
      run.SkipWithError("readStateStream refused the document");
      break;
    }
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * text.size()));
}

}  // namespace

BENCHMARK(ReadState_baseline)->Name("readState/baseline")->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadState_readAndNormalize)
    ->Name("readState/readStreamAndNormalize")
    ->Arg(1)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond);

KELO_BENCHMARK_MAIN_WITH_RATIOS()
