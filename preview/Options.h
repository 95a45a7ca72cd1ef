#pragma once

#include "Transport.h"

#include <optional>
#include <string>
#include <vector>

namespace kelo::preview {

/// What the command line asked for.
struct Options {
  std::string bundle;           ///< the Kelo.vst3 to load
  std::string stateFile;        ///< --state: the project file, empty for the demonstration song
  std::string screenshotDir;    ///< --screenshots: take pictures and exit
  std::vector<int> shotBars;    ///< --at
  std::optional<double> tempo;  ///< --tempo
  std::vector<MeterChange> meters;
  int loopStart = 0, loopEnd = 0;
  int startBar = 1;
  int width = 1188, height = 606;
  bool help = false;
};

/// Parses argv; false with `error` set (one line) on a bad argument.
bool parseOptions(int argc, char** argv, const std::string& defaultBundle, Options& options, std::string& error);

/// The --help text: the options and the keys.
const char* helpText();

}  // namespace kelo::preview
