#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <vector>

namespace kelo::host {

/// The buses a ProcessDriver offers to the processor.
struct ProcessLayout {
  /// Channels of the one input bus (ignored without an input bus).
  Steinberg::int32 inputChannels = 2;
  /// Channels of the one output bus (ignored without an output bus).
  Steinberg::int32 outputChannels = 2;
  /// Without one, ProcessData has numInputs 0 and a null inputs pointer.
  bool hasInputBus = true;
  bool hasOutputBus = true;
  /// Steinberg::Vst::kSample32 or kSample64.
  Steinberg::int32 sampleSize = Steinberg::Vst::kSample32;
  /// The most samples one process call may carry; buffers hold this many.
  Steinberg::int32 maxSamples = 512;
  /// Output channels share the buffers of the input channels of the same
  /// index (in-place processing, as many hosts do).
  bool inPlace = false;
};

/// Drives IAudioProcessor::process as a host's audio thread does, with
/// ProcessData, ProcessContext and AudioBusBuffers that the test controls.
/// Every buffer is made in the constructor: process() itself allocates
/// nothing, so tests may count allocations around it. Setters are for the
/// test thread between blocks; process() may run on another thread.
///
///     ProcessDriver driver (instance.processor (), {});
///     driver.setPlaying (true);
///     driver.setPosition (12.5);
///     driver.setTimeSignature (6, 8);
///     driver.fillInputs ();
///     driver.process (256);
class ProcessDriver {
 public:
  ProcessDriver(Steinberg::Vst::IAudioProcessor* processor, const ProcessLayout& layout = {});

  ProcessDriver(const ProcessDriver&) = delete;
  ProcessDriver& operator=(const ProcessDriver&) = delete;

  /// Calls process with `numSamples` (any value up to maxSamples, zero and
  /// negative included) and the context, or a null context. Answers what
  /// process answers, or kInvalidArgument without calling it when
  /// `numSamples` exceeds the buffers.
  Steinberg::tresult process(Steinberg::int32 numSamples);

  //--- Transport: the ProcessContext of the next blocks.
  /// With false, the next blocks carry a null processContext.
  void setContextPresent(bool present) { contextPresent = present; }
  /// Sets or clears ProcessContext::kPlaying.
  void setPlaying(bool playing);
  /// Sets projectTimeMusic and sets or clears kProjectTimeMusicValid.
  void setPosition(double quarterNotes, bool valid = true);
  /// Sets the time signature and sets or clears kTimeSigValid.
  void setTimeSignature(Steinberg::int32 numerator, Steinberg::int32 denominator, bool valid = true);
  /// The whole context, for fields the setters do not cover. It starts
  /// stopped, at position 0 without valid bits, 4/4, 120 BPM, 48 kHz.
  Steinberg::Vst::ProcessContext& context() { return processContext; }

  //--- Buffers.
  Steinberg::Vst::ProcessData& data() { return processData; }
  /// The bus buffers (numChannels, silenceFlags, channel pointers); tests
  /// may change silenceFlags or numChannels between blocks.
  Steinberg::Vst::AudioBusBuffers& inputBus() { return input; }
  Steinberg::Vst::AudioBusBuffers& outputBus() { return output; }
  const ProcessLayout& layout() const { return shape; }

  /// Fills input channel c, sample i with inputValue (c, i): distinct,
  /// non-zero and exact in both sample sizes.
  void fillInputs();
  static double inputValue(Steinberg::int32 channel, Steinberg::int32 index);
  /// Fills every output sample with `value`, to see what a block wrote.
  void fillOutputs(double value);
  /// Sample i of a channel's buffer, read in the layout's sample size
  /// (for in-place layouts input and output are the same memory).
  double inputSample(Steinberg::int32 channel, Steinberg::int32 index) const;
  double outputSample(Steinberg::int32 channel, Steinberg::int32 index) const;
  void setInputSample(Steinberg::int32 channel, Steinberg::int32 index, double value);

  /// Makes a channel pointer null (as some hosts pass for unused channels)
  /// or restores all of them.
  void setInputChannelNull(Steinberg::int32 channel);
  void setOutputChannelNull(Steinberg::int32 channel);
  void restoreChannelPointers();

 private:
  double sampleAt(const std::vector<float>& b32, const std::vector<double>& b64, Steinberg::int32 channel,
                  Steinberg::int32 index) const;

  Steinberg::Vst::IAudioProcessor* processor;
  ProcessLayout shape;
  bool contextPresent = true;
  Steinberg::Vst::ProcessContext processContext{};
  Steinberg::Vst::ProcessData processData{};
  Steinberg::Vst::AudioBusBuffers input{};
  Steinberg::Vst::AudioBusBuffers output{};
  // One block per channel, channel after channel; only the vectors of the
  // layout's sample size are filled.
  std::vector<float> inputStorage32;
  std::vector<float> outputStorage32;
  std::vector<double> inputStorage64;
  std::vector<double> outputStorage64;
  std::vector<float*> inputPointers32;
  std::vector<float*> outputPointers32;
  std::vector<double*> inputPointers64;
  std::vector<double*> outputPointers64;
};

}  // namespace kelo::host
