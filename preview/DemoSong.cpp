#include "DemoSong.h"

#include <nlohmann/json.hpp>

namespace kelo::preview {

namespace {

// Text before the first marker is never shown, so the song's notes live there.
// Kelo reads bar numbers in the time signature that is playing, counted from
// the start of the project: once the song turns to 3/4, the waltz's markers
// count 3/4 bars from the start (its 17 is the host's bar 13).
constexpr const char* kLyrics = R"(Night Tram - a song written for Kelo's demonstration.
100 BPM, 4/4 until bar 12, then 3/4.

[2] The night tram hums along the river
[4] Windows full of sleepy light
[6] Every stop a little story
Every face a borrowed moon
[timer|9]
[9] Ring the bell and hold on tight
[11] Someone hums the driver's tune
[13]
[17] Now the tram begins to sway
[19] One two three, the lamps give way
[21] Round the square and down the hill
[23] Home is where the rails lie still
[25]
)";

}  // namespace

std::string DemoSong::state() {
  // The keys and ranges of a Kelo state document; the count-down shows four
  // quarter-note ticks.
  const nlohmann::json document = {
      {"autoFill", true},  {"barsPerLine", 2}, {"displayMode", 0}, {"language", 0}, {"nextLine", true},
      {"script", kLyrics}, {"timerTicks", 4},  {"timerUnit", 2},   {"version", 2},
  };
  return document.dump();
}

SongLayout DemoSong::layout() {
  SongLayout song;
  song.tempo = 100.0;
  song.meters = {{1, 4, 4}, {13, 3, 4}};
  song.loopStartBar = 9;
  song.loopEndBar = 13;
  return song;
}

}  // namespace kelo::preview
