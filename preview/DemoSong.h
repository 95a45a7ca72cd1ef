#pragma once

#include "Transport.h"

#include <string>

namespace kelo::preview {

/// "Night Tram", the song the preview plays when it is given no project:
/// lyrics written for Kelo, 100 BPM, 4/4 turning to 3/4 at bar 13, bar
/// markers, a count-down before bar 9 and an end of lyrics at bar 21.
struct DemoSong {
  /// The whole Kelo state (the document a DAW would save).
  static std::string state();
  /// The tempo and meter map the song is played with.
  static SongLayout layout();
  /// The bar after the song's last bar: where the demonstration stops.
  static constexpr int kEndBar = 22;
};

}  // namespace kelo::preview
