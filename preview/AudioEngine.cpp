#include "AudioEngine.h"

#include <chrono>
#include <cmath>

namespace kelo::preview {

using namespace Steinberg;

namespace {
// A 440 Hz sine at -40 dB: audible only if someone listens closely.
constexpr double kToneHz = 440.0;
constexpr double kToneLevel = 0.01;
constexpr double kTwoPi = 6.283185307179586;
}  // namespace

AudioEngine::AudioEngine(Vst::IAudioProcessor* processor, Transport& transport)
    : driver(processor, host::ProcessLayout{2, 2, true, true, Vst::kSample32, kBlockSize, false}),
      transport(transport) {}

AudioEngine::~AudioEngine() {
  stop();
}

void AudioEngine::start() {
  if (running.exchange(true)) return;
  thread = std::thread([this] { run(); });
}

void AudioEngine::stop() {
  running.store(false);
  if (thread.joinable()) thread.join();
}

void AudioEngine::run() {
  using Clock = std::chrono::steady_clock;
  const auto blockTime =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kBlockSize / kSampleRate));
  auto deadline = Clock::now();
  while (running.load()) {
    fillTone();
    driver.fillOutputs(0.0);
    transport.fillContext(driver.context(), kSampleRate);
    if (driver.process(kBlockSize) != kResultOk) failed.fetch_add(1);
    if (!outputMatchesInput()) changed.fetch_add(1);
    transport.advance(kBlockSize, kSampleRate);
    processed.fetch_add(1);

    deadline += blockTime;
    const auto now = Clock::now();
    if (deadline < now - blockTime * 8) deadline = now;  // fell far behind (a stalled machine): do not race to catch up
    std::this_thread::sleep_until(deadline);
  }
}

void AudioEngine::fillTone() {
  const double step = kTwoPi * kToneHz / kSampleRate;
  for (int i = 0; i < kBlockSize; ++i) {
    const double value = kToneLevel * std::sin(phase);
    phase += step;
    for (int32 channel = 0; channel < 2; ++channel) driver.setInputSample(channel, i, value);
  }
  phase = std::fmod(phase, kTwoPi);
}

bool AudioEngine::outputMatchesInput() const {
  for (int32 channel = 0; channel < 2; ++channel)
    for (int32 i = 0; i < kBlockSize; ++i)
      if (driver.outputSample(channel, i) != driver.inputSample(channel, i)) return false;
  return true;
}

}  // namespace kelo::preview
