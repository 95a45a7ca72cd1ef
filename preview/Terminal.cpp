#include "Terminal.h"

#include <csignal>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kelo::preview {

namespace {
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int) {
  stopSignal = 1;
}
}  // namespace

bool Terminal::interrupted() {
  return stopSignal != 0;
}

struct Terminal::Saved {
  termios settings{};
};

Terminal::Terminal() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, onStopSignal);
  if (!isatty(STDIN_FILENO)) return;
  saved = new Saved;
  if (tcgetattr(STDIN_FILENO, &saved->settings) != 0) return;
  termios keysOnly = saved->settings;
  keysOnly.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  keysOnly.c_cc[VMIN] = 0;
  keysOnly.c_cc[VTIME] = 0;
  raw = tcsetattr(STDIN_FILENO, TCSANOW, &keysOnly) == 0;
}

Terminal::~Terminal() {
  if (raw) tcsetattr(STDIN_FILENO, TCSANOW, &saved->settings);
  delete saved;
}

std::string Terminal::keys() {
  std::string typed;
  while (!atEnd) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) break;
    char buffer[64];
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
      // A terminal in raw mode reads 0 only when nothing waits; a pipe at its end.
      atEnd = !raw;
      break;
    }
    typed.append(buffer, static_cast<size_t>(count));
  }
  return typed;
}

}  // namespace kelo::preview
