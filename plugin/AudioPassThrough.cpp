#include "AudioPassThrough.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelo {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Silence flags hold one bit per channel for the first 64 channels only;
// channels beyond them have no bit (shifting by 64 or more is undefined).
constexpr int32 kFlaggedChannels = 64;

bool silenceBit(uint64 flags, int32 channel) {
  return channel < kFlaggedChannels && (flags & (uint64(1) << channel)) != 0;
}

void setSilenceBit(uint64& flags, int32 channel) {
  if (channel < kFlaggedChannels) flags |= uint64(1) << channel;
}

void* channelPointer(const AudioBusBuffers& bus, int32 channel, bool doublePrecision) {
  if (doublePrecision) return bus.channelBuffers64 ? static_cast<void*>(bus.channelBuffers64[channel]) : nullptr;
  return bus.channelBuffers32 ? static_cast<void*>(bus.channelBuffers32[channel]) : nullptr;
}

}  // namespace

void passAudioThrough(ProcessData& data) {
  if (data.numOutputs <= 0 || data.numSamples <= 0 || !data.outputs) return;
  AudioBusBuffers& output = data.outputs[0];
  const AudioBusBuffers* input = data.numInputs > 0 && data.inputs ? &data.inputs[0] : nullptr;

  output.silenceFlags = 0;
  if (output.numChannels <= 0) return;

  const bool doublePrecision = data.symbolicSampleSize == kSample64;
  const std::size_t bytes =
      static_cast<std::size_t>(data.numSamples) * (doublePrecision ? sizeof(double) : sizeof(float));

  for (int32 channel = 0; channel < output.numChannels; ++channel) {
    void* to = channelPointer(output, channel, doublePrecision);
    const void* from =
        input && channel < input->numChannels ? channelPointer(*input, channel, doublePrecision) : nullptr;
    // A channel whose input buffer is missing is silent too, rather than
    // leaving whatever the output buffer held before.
    const bool silent = !input || channel >= input->numChannels || silenceBit(input->silenceFlags, channel) || !from;
    if (silent) {
      setSilenceBit(output.silenceFlags, channel);
      if (to) std::memset(to, 0, bytes);
    } else if (to && to != from) {
      std::memcpy(to, from, bytes);
    }
  }
}

}  // namespace kelo
