#pragma once

#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <atomic>
#include <vector>

namespace kelo::preview {

/// A change of time signature that takes effect at the start of `bar`.
struct MeterChange {
  int bar = 1;
  int numerator = 4;
  int denominator = 4;
};

/// How the simulated song is laid out: fixed tempo, a meter map starting at
/// bar 1, an optional loop between two bars (the end bar excluded).
struct SongLayout {
  double tempo = 120.0;
  std::vector<MeterChange> meters{{1, 4, 4}};
  int loopStartBar = 0;  ///< 0: no loop
  int loopEndBar = 0;
};

/// The transport a DAW runs: a playhead in quarter notes that advances with
/// the samples processed while playing. The UI thread asks for changes
/// (play, stop, locate, loop, position valid) through atomics; the audio
/// thread applies them at the start of its next block, fills the block's
/// ProcessContext and advances. Nothing here allocates or locks once built.
class Transport {
 public:
  explicit Transport(SongLayout layout);

  //--- Bars and beats (any thread: the layout never changes).
  /// The quarter-note position at which `bar` (from 1) starts.
  double barStart(int bar) const;
  /// The bar holding `quarterNotes` (from 1).
  int barAt(double quarterNotes) const;
  /// The meter in force at `quarterNotes`.
  const MeterChange& meterAt(double quarterNotes) const;
  const SongLayout& layout() const { return song; }

  //--- Requests from the UI thread.
  void setPlaying(bool playing) { playRequest.store(playing); }
  /// Moves the playhead to `bar`, `fraction` of the bar's length into it.
  void locate(int bar, double fraction = 0.0);
  /// While held, a playing transport keeps its playhead where it is, so
  /// that pictures show exactly the position asked for.
  void hold(bool held) { holdRequest.store(held); }
  void setLooping(bool looping) { loopRequest.store(looping); }
  /// Without a musical position the host gives neither position nor meter.
  void setPositionValid(bool valid) { validRequest.store(valid); }

  //--- What the UI thread reads back.
  bool playing() const { return playRequest.load(); }
  bool looping() const { return loopRequest.load(); }
  bool positionValid() const { return validRequest.load(); }
  double position() const { return published.load(); }

  //--- The audio thread.
  /// Applies pending requests and writes the context of the block that
  /// starts now.
  void fillContext(Steinberg::Vst::ProcessContext& context, double sampleRate);
  /// Moves the playhead past a block of `samples`.
  void advance(int samples, double sampleRate);

 private:
  SongLayout song;
  std::atomic<bool> playRequest{false};
  std::atomic<bool> loopRequest{false};
  std::atomic<bool> validRequest{true};
  std::atomic<bool> holdRequest{false};
  std::atomic<double> locateRequest;
  std::atomic<double> published{0.0};
  // Audio thread only.
  double playhead = 0.0;
  Steinberg::int64 samplesPlayed = 0;
};

}  // namespace kelo::preview
