#include "ProcessDriver.h"

#include <algorithm>

namespace kelo::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {
constexpr double kSampleRate = 48000.0;
constexpr double kTempo = 120.0;
}  // namespace

ProcessDriver::ProcessDriver(IAudioProcessor* audioProcessor, const ProcessLayout& layout)
    : processor(audioProcessor), shape(layout) {
  shape.inputChannels = std::max<int32>(shape.inputChannels, 0);
  shape.outputChannels = std::max<int32>(shape.outputChannels, 0);
  shape.maxSamples = std::max<int32>(shape.maxSamples, 0);
  const size_t block = static_cast<size_t>(shape.maxSamples);
  const size_t ins = static_cast<size_t>(shape.inputChannels);
  const size_t outs = static_cast<size_t>(shape.outputChannels);
  const bool wide = shape.sampleSize == kSample64;

  if (wide) {
    inputStorage64.assign(ins * block, 0.0);
    outputStorage64.assign(outs * block, 0.0);
  } else {
    inputStorage32.assign(ins * block, 0.0f);
    outputStorage32.assign(outs * block, 0.0f);
  }
  inputPointers32.assign(ins, nullptr);
  inputPointers64.assign(ins, nullptr);
  outputPointers32.assign(outs, nullptr);
  outputPointers64.assign(outs, nullptr);
  restoreChannelPointers();

  input.numChannels = shape.inputChannels;
  output.numChannels = shape.outputChannels;
  if (wide) {
    input.channelBuffers64 = inputPointers64.data();
    output.channelBuffers64 = outputPointers64.data();
  } else {
    input.channelBuffers32 = inputPointers32.data();
    output.channelBuffers32 = outputPointers32.data();
  }

  processData.processMode = kRealtime;
  processData.symbolicSampleSize = shape.sampleSize;
  processData.numInputs = shape.hasInputBus ? 1 : 0;
  processData.inputs = shape.hasInputBus ? &input : nullptr;
  processData.numOutputs = shape.hasOutputBus ? 1 : 0;
  processData.outputs = shape.hasOutputBus ? &output : nullptr;

  processContext.sampleRate = kSampleRate;
  processContext.tempo = kTempo;
  processContext.timeSigNumerator = 4;
  processContext.timeSigDenominator = 4;
}

void ProcessDriver::restoreChannelPointers() {
  const size_t block = static_cast<size_t>(shape.maxSamples);
  const bool wide = shape.sampleSize == kSample64;
  for (size_t c = 0; c < inputPointers32.size(); ++c) {
    if (wide)
      inputPointers64[c] = inputStorage64.data() + c * block;
    else
      inputPointers32[c] = inputStorage32.data() + c * block;
  }
  for (size_t c = 0; c < outputPointers32.size(); ++c) {
    const bool shared = shape.inPlace && c < inputPointers32.size();
    if (wide)
      outputPointers64[c] = shared ? inputStorage64.data() + c * block : outputStorage64.data() + c * block;
    else
      outputPointers32[c] = shared ? inputStorage32.data() + c * block : outputStorage32.data() + c * block;
  }
}

tresult ProcessDriver::process(int32 numSamples) {
  if (!processor) return kNotInitialized;
  if (numSamples > shape.maxSamples) return kInvalidArgument;
  processData.numSamples = numSamples;
  processData.processContext = contextPresent ? &processContext : nullptr;
  return processor->process(processData);
}

void ProcessDriver::setPlaying(bool playing) {
  if (playing)
    processContext.state |= ProcessContext::kPlaying;
  else
    processContext.state &= ~static_cast<uint32>(ProcessContext::kPlaying);
}

void ProcessDriver::setPosition(double quarterNotes, bool valid) {
  processContext.projectTimeMusic = quarterNotes;
  if (valid)
    processContext.state |= ProcessContext::kProjectTimeMusicValid;
  else
    processContext.state &= ~static_cast<uint32>(ProcessContext::kProjectTimeMusicValid);
}

void ProcessDriver::setTimeSignature(int32 numerator, int32 denominator, bool valid) {
  processContext.timeSigNumerator = numerator;
  processContext.timeSigDenominator = denominator;
  if (valid)
    processContext.state |= ProcessContext::kTimeSigValid;
  else
    processContext.state &= ~static_cast<uint32>(ProcessContext::kTimeSigValid);
}

double ProcessDriver::inputValue(int32 channel, int32 index) {
  // Small integers plus a quarter are exact in float and double alike.
  return (channel + 1) * 1000.0 + index + 0.25;
}

void ProcessDriver::fillInputs() {
  for (int32 c = 0; c < shape.inputChannels; ++c)
    for (int32 i = 0; i < shape.maxSamples; ++i) setInputSample(c, i, inputValue(c, i));
}

void ProcessDriver::fillOutputs(double value) {
  std::fill(outputStorage32.begin(), outputStorage32.end(), static_cast<float>(value));
  std::fill(outputStorage64.begin(), outputStorage64.end(), value);
  // In place, the shared channels live in the input storage.
  if (shape.inPlace) {
    const size_t shared = static_cast<size_t>(std::min(shape.inputChannels, shape.outputChannels)) *
                          static_cast<size_t>(shape.maxSamples);
    std::fill_n(inputStorage32.begin(), std::min(shared, inputStorage32.size()), static_cast<float>(value));
    std::fill_n(inputStorage64.begin(), std::min(shared, inputStorage64.size()), value);
  }
}

double ProcessDriver::sampleAt(const std::vector<float>& b32, const std::vector<double>& b64, int32 channel,
                               int32 index) const {
  const size_t at = static_cast<size_t>(channel) * static_cast<size_t>(shape.maxSamples) + static_cast<size_t>(index);
  if (shape.sampleSize == kSample64) return at < b64.size() ? b64[at] : 0.0;
  return at < b32.size() ? b32[at] : 0.0;
}

double ProcessDriver::inputSample(int32 channel, int32 index) const {
  return sampleAt(inputStorage32, inputStorage64, channel, index);
}

double ProcessDriver::outputSample(int32 channel, int32 index) const {
  if (shape.inPlace && channel < shape.inputChannels) return inputSample(channel, index);
  return sampleAt(outputStorage32, outputStorage64, channel, index);
}

void ProcessDriver::setInputSample(int32 channel, int32 index, double value) {
  if (channel < 0 || index < 0 || channel >= shape.inputChannels || index >= shape.maxSamples) return;
  const size_t at = static_cast<size_t>(channel) * static_cast<size_t>(shape.maxSamples) + static_cast<size_t>(index);
  if (shape.sampleSize == kSample64)
    inputStorage64[at] = value;
  else
    inputStorage32[at] = static_cast<float>(value);
}

void ProcessDriver::setInputChannelNull(int32 channel) {
  if (channel < 0 || channel >= shape.inputChannels) return;
  inputPointers32[static_cast<size_t>(channel)] = nullptr;
  inputPointers64[static_cast<size_t>(channel)] = nullptr;
}

void ProcessDriver::setOutputChannelNull(int32 channel) {
  if (channel < 0 || channel >= shape.outputChannels) return;
  outputPointers32[static_cast<size_t>(channel)] = nullptr;
  outputPointers64[static_cast<size_t>(channel)] = nullptr;
}

}  // namespace kelo::host
