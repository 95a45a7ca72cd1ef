#pragma once

#include "ProcessDriver.h"
#include "Transport.h"

#include <atomic>
#include <thread>

namespace kelo::preview {

/// The host's audio thread: every block it fills the input with a quiet
/// tone, hands the transport's context to the processor, calls process and
/// checks that the output is the input unchanged, paced in real time. It
/// starts after the processor was activated and stops before it is
/// deactivated. Nothing on the thread allocates, locks or blocks except the
/// sleep that paces it.
class AudioEngine {
 public:
  static constexpr int kBlockSize = 512;
  static constexpr double kSampleRate = 48000.0;

  AudioEngine(Steinberg::Vst::IAudioProcessor* processor, Transport& transport);
  ~AudioEngine();

  void start();
  void stop();

  /// Blocks processed, blocks whose process call failed, and blocks whose
  /// output differed from their input.
  long blocks() const { return processed.load(); }
  long failedBlocks() const { return failed.load(); }
  long changedBlocks() const { return changed.load(); }

 private:
  void run();
  void fillTone();
  bool outputMatchesInput() const;

  host::ProcessDriver driver;
  Transport& transport;
  std::thread thread;
  std::atomic<bool> running{false};
  std::atomic<long> processed{0};
  std::atomic<long> failed{0};
  std::atomic<long> changed{0};
  double phase = 0.0;  // audio thread only
};

}  // namespace kelo::preview
