#pragma once

#include <string>

namespace kelo::preview {

/// The preview's keyboard: standard input, one key at a time without
/// waiting for Enter when it is a terminal (restored on destruction), or
/// plain bytes when it is a pipe, so that scripts and tests can drive the
/// same keys.
class Terminal {
 public:
  Terminal();
  ~Terminal();

  /// The keys typed since the last call; never waits. Empty at end of input.
  std::string keys();
  /// True once standard input was closed (a pipe's writer went away).
  bool ended() const { return atEnd; }
  /// True once Ctrl+C, a hang-up or SIGTERM asked the program to end; it
  /// then ends as after q, saving the project.
  static bool interrupted();

 private:
  bool raw = false;
  bool atEnd = false;
  struct Saved;
  Saved* saved = nullptr;
};

}  // namespace kelo::preview
