#include "Transport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelo::preview {

using Steinberg::Vst::ProcessContext;

namespace {
constexpr double kNoRequest = std::numeric_limits<double>::quiet_NaN();

double barLength(const MeterChange& meter) {
  return meter.numerator * 4.0 / meter.denominator;
}
}  // namespace

Transport::Transport(SongLayout layout) : song(std::move(layout)), locateRequest(kNoRequest) {
  std::sort(song.meters.begin(), song.meters.end(),
            [](const MeterChange& a, const MeterChange& b) { return a.bar < b.bar; });
  if (song.meters.empty() || song.meters.front().bar != 1) song.meters.insert(song.meters.begin(), MeterChange{});
}

double Transport::barStart(int bar) const {
  bar = std::max(bar, 1);
  double start = 0.0;
  for (size_t i = 0; i < song.meters.size(); ++i) {
    const int until = i + 1 < song.meters.size() ? std::min(bar, song.meters[i + 1].bar) : bar;
    start += (until - song.meters[i].bar) * barLength(song.meters[i]);
    if (until == bar) break;
  }
  return start;
}

int Transport::barAt(double quarterNotes) const {
  const MeterChange& meter = meterAt(quarterNotes);
  const double from = barStart(meter.bar);
  return meter.bar + static_cast<int>(std::floor((quarterNotes - from) / barLength(meter) + 1e-9));
}

const MeterChange& Transport::meterAt(double quarterNotes) const {
  size_t at = 0;
  while (at + 1 < song.meters.size() && barStart(song.meters[at + 1].bar) <= quarterNotes + 1e-9) ++at;
  return song.meters[at];
}

void Transport::locate(int bar, double fraction) {
  locateRequest.store(barStart(bar) + fraction * barLength(meterAt(barStart(bar))));
}

void Transport::fillContext(ProcessContext& context, double sampleRate) {
  const double target = locateRequest.exchange(kNoRequest);
  if (!std::isnan(target)) playhead = target;

  const bool isPlaying = playRequest.load();
  const bool isValid = validRequest.load();
  const MeterChange& meter = meterAt(playhead);
  context.state = ProcessContext::kTempoValid | ProcessContext::kSystemTimeValid;
  if (isPlaying) context.state |= ProcessContext::kPlaying;
  if (isValid)
    context.state |=
        ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid | ProcessContext::kTimeSigValid;
  if (loopRequest.load() && song.loopEndBar > song.loopStartBar && song.loopStartBar > 0) {
    context.state |= ProcessContext::kCycleActive | ProcessContext::kCycleValid;
    context.cycleStartMusic = barStart(song.loopStartBar);
    context.cycleEndMusic = barStart(song.loopEndBar);
  }
  context.sampleRate = sampleRate;
  context.tempo = song.tempo;
  context.projectTimeMusic = playhead;
  context.projectTimeSamples = samplesPlayed;
  context.barPositionMusic = barStart(barAt(playhead));
  context.timeSigNumerator = meter.numerator;
  context.timeSigDenominator = meter.denominator;
  published.store(playhead);
}

void Transport::advance(int samples, double sampleRate) {
  if (!playRequest.load() || holdRequest.load()) return;
  samplesPlayed += samples;
  playhead += samples / sampleRate * song.tempo / 60.0;
  if (loopRequest.load() && song.loopEndBar > song.loopStartBar && song.loopStartBar > 0) {
    const double start = barStart(song.loopStartBar);
    const double end = barStart(song.loopEndBar);
    if (playhead >= end) playhead = start + std::fmod(playhead - end, end - start);
  }
  published.store(playhead);
}

}  // namespace kelo::preview
