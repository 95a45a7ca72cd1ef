#include "Options.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <sstream>

namespace kelo::preview {

namespace {

bool readInt(const std::string& text, int low, int high, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

// "A,B" or "A-B".
bool readPair(const std::string& text, int& a, int& b) {
  const auto split = text.find_first_of(",-");
  return split != std::string::npos && readInt(text.substr(0, split), 1, 1000000, a) &&
         readInt(text.substr(split + 1), 1, 1000000, b);
}

// "BAR:N/D", D a power of two.
bool readMeter(const std::string& text, MeterChange& meter) {
  const auto colon = text.find(':');
  const auto slash = text.find('/');
  if (colon == std::string::npos || slash == std::string::npos || slash < colon) return false;
  return readInt(text.substr(0, colon), 1, 1000000, meter.bar) &&
         readInt(text.substr(colon + 1, slash - colon - 1), 1, 64, meter.numerator) &&
         readInt(text.substr(slash + 1), 1, 64, meter.denominator) &&
         (meter.denominator & (meter.denominator - 1)) == 0;
}

}  // namespace

bool parseOptions(int argc, char** argv, const std::string& defaultBundle, Options& options, std::string& error) {
  options.bundle = defaultBundle;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    const std::string value = hasValue ? argv[i + 1] : "";
    auto bad = [&](const char* what) {
      error = arg + ": " + what + " (see --help)";
      return false;
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    static const char* const known[] = {"--state", "--bundle", "--screenshots", "--at",  "--tempo",
                                        "--meter", "--loop",   "--start",       "--size"};
    if (std::find(std::begin(known), std::end(known), arg) == std::end(known)) return bad("unknown option");
    if (!hasValue) return bad("needs a value");
    ++i;
    if (arg == "--state")
      options.stateFile = value;
    else if (arg == "--bundle")
      options.bundle = value;
    else if (arg == "--screenshots")
      options.screenshotDir = value;
    else if (arg == "--at") {
      std::istringstream bars(value);
      std::string bar;
      while (std::getline(bars, bar, ',')) {
        int number = 0;
        if (!readInt(bar, 1, 1000000, number)) return bad("expects bar numbers such as 3,9,17");
        options.shotBars.push_back(number);
      }
    } else if (arg == "--tempo") {
      int bpm = 0;
      if (!readInt(value, 20, 400, bpm)) return bad("expects beats per minute from 20 to 400");
      options.tempo = bpm;
    } else if (arg == "--meter") {
      MeterChange meter;
      if (!readMeter(value, meter)) return bad("expects BAR:N/D such as 13:3/4");
      options.meters.push_back(meter);
    } else if (arg == "--loop") {
      if (!readPair(value, options.loopStart, options.loopEnd) || options.loopEnd <= options.loopStart)
        return bad("expects two bars such as 9,13 (the second after the first)");
    } else if (arg == "--start") {
      if (!readInt(value, 1, 1000000, options.startBar)) return bad("expects a bar number");
    } else if (arg == "--size") {
      const auto x = value.find('x');
      if (x == std::string::npos || !readInt(value.substr(0, x), 200, 4000, options.width) ||
          !readInt(value.substr(x + 1), 150, 3000, options.height))
        return bad("expects WIDTHxHEIGHT such as 1188x606");
    } else
      return bad("unknown option");
  }
  if (!options.screenshotDir.empty() && options.shotBars.empty()) {
    error = "--screenshots: needs --at BAR,BAR,... (see --help)";
    return false;
  }
  return true;
}

const char* helpText() {
  return R"(kelo-preview: Kelo in a small host of its own, without a DAW.

It loads Kelo.vst3 as a DAW does, runs an audio thread with a simulated
transport, and opens Kelo's editor. Without options it plays the
demonstration song "Night Tram" (100 BPM, 4/4 turning to 3/4 at bar 13)
again and again: the editor while stopped, the lyrics while playing.
It runs until its window is closed, or q is pressed.

Options:
  --state FILE        load the project state in FILE into Kelo, as a DAW
                      opens a project, and write Kelo's state back to FILE
                      on exit (a missing FILE starts from the song and is
                      created). A FILE that cannot be read or is not a
                      Kelo state stops the program, untouched.
  --screenshots DIR   write PNG pictures of the plug-in window into DIR
  --at BAR,BAR,...    ... at these bars (in both display modes), plus the
                      editor (editor.png), then exit. Needs an X display
                      (run under xvfb-run where there is none).
  --tempo BPM         tempo (default: the song's 100)
  --meter BAR:N/D     a time signature from BAR on (repeatable), e.g. 13:3/4
  --loop A,B          loop from bar A to the start of bar B (key l)
  --start BAR         the bar playback starts from (default 1)
  --size WxH          the editor's size (default 1188x606)
  --bundle PATH       the Kelo.vst3 to load (default: the one built beside)

Keys (in the terminal it was started from):
  space     play / stop (stops the demonstration's automatic playing)
  12g       go to bar 12 (type the number, then g or Enter)
  , .       one bar back / forward
  h         back to the start bar
  l         loop on / off
  d         switch the display mode (scrolling / static)
  n         musical position on / off (as a DAW that gives none)
  r         reload the project (FILE again, or the song)
  w         save the project to FILE now
  e         close the editor / open it again
  + -       make the window larger / smaller
  a         automatic playing of the demonstration on / off
  s         print the status line
  q, Esc    quit
)";
}

}  // namespace kelo::preview
