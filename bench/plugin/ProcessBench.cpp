// process() of the audio processor against a plain memcpy of the same bytes.
#include "../RatioReporter.h"

#include "Processor.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <cstring>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kChannels = 2;

struct StereoBlock {
  explicit StereoBlock(int samples)
      : inputData(kChannels, std::vector<float>(samples, 0.25f)),
        outputData(kChannels, std::vector<float>(samples, 0.0f)) {
    for (int c = 0; c < kChannels; ++c) {
      inputPointers[c] = inputData[c].data();
      outputPointers[c] = outputData[c].data();
    }
    input.numChannels = kChannels;
    input.channelBuffers32 = inputPointers;
    output.numChannels = kChannels;
    output.channelBuffers32 = outputPointers;
    context.state = ProcessContext::kPlaying | ProcessContext::kProjectTimeMusicValid | ProcessContext::kTimeSigValid;
    context.timeSigNumerator = 6;
    context.timeSigDenominator = 8;
    data.numSamples = samples;
    data.symbolicSampleSize = kSample32;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &input;
    data.outputs = &output;
    data.processContext = &context;
  }

  std::vector<std::vector<float>> inputData;
  std::vector<std::vector<float>> outputData;
  float* inputPointers[kChannels]{};
  float* outputPointers[kChannels]{};
  AudioBusBuffers input{};
  AudioBusBuffers output{};
  ProcessContext context{};
  ProcessData data{};
};

void Process_baseline(benchmark::State& run) {
  StereoBlock block(static_cast<int>(run.range(0)));
  const std::size_t bytes = block.inputData[0].size() * sizeof(float);
  for (auto _ : run) {
    for (int c = 0; c < kChannels; ++c) std::memcpy(block.outputPointers[c], block.inputPointers[c], bytes);
    benchmark::ClobberMemory();
  }
}

void Process_processor(benchmark::State& run) {
  StereoBlock block(static_cast<int>(run.range(0)));
  auto* processor = new kelo::Processor;
  processor->initialize(nullptr);
  processor->setActive(true);
  for (auto _ : run) {
    block.context.projectTimeMusic += 0.01;
    processor->process(block.data);
    benchmark::ClobberMemory();
  }
  processor->setActive(false);
  processor->terminate();
  processor->release();
}

}  // namespace

BENCHMARK(Process_baseline)->Name("process/baseline")->Arg(32)->Arg(64)->Arg(128)->Arg(512);
BENCHMARK(Process_processor)->Name("process/processor")->Arg(32)->Arg(64)->Arg(128)->Arg(512);

KELO_BENCHMARK_MAIN_WITH_RATIOS()
