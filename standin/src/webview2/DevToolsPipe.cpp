#include "DevToolsPipe.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace standin::webview2 {
namespace {

constexpr size_t kReadChunk = 1 << 16;

}  // namespace

DevToolsPipe::DevToolsPipe(int readFd, int writeFd, MessageCallback onMessage, ClosedCallback onClosed)
    : readFd(readFd), writeFd(writeFd), onMessage(std::move(onMessage)), onClosed(std::move(onClosed)) {
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead = wake[0];
    wakeWrite = wake[1];
  }
  // Non-blocking writes let Send enforce its time-out with poll.
  if (writeFd >= 0) fcntl(writeFd, F_SETFL, fcntl(writeFd, F_GETFL) | O_NONBLOCK);
  reader = std::thread([this] { ReadLoop(); });
}

DevToolsPipe::~DevToolsPipe() {
  Stop();
  if (reader.joinable()) reader.join();
  for (int* fd : {&readFd, &writeFd, &wakeRead, &wakeWrite}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

bool DevToolsPipe::Send(const std::string& message) {
  std::lock_guard<std::mutex> lock(writeMutex);
  if (writeFd < 0) return false;
  const char* data = message.c_str();
  size_t left = message.size() + 1;  // with the terminating NUL
  auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
  while (left > 0) {
    ssize_t written = write(writeFd, data, left);
    if (written > 0) {
      data += written;
      left -= static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (remaining.count() <= 0) return false;
    pollfd wait{writeFd, POLLOUT, 0};
    if (poll(&wait, 1, static_cast<int>(remaining.count())) < 0 && errno != EINTR) return false;
  }
  return true;
}

void DevToolsPipe::CloseWriteEnd() {
  std::lock_guard<std::mutex> lock(writeMutex);
  if (writeFd >= 0) close(writeFd);
  writeFd = -1;
}

void DevToolsPipe::Stop() {
  if (wakeWrite >= 0) {
    char byte = 1;
    (void)!write(wakeWrite, &byte, 1);
  }
}

void DevToolsPipe::ReadLoop() {
  std::string pending;
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    pollfd fds[2] = {{readFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
    int ready = poll(fds, wakeRead >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (wakeRead >= 0 && (fds[1].revents & POLLIN)) break;
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    ssize_t got = read(readFd, chunk.data(), chunk.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) break;
    // Only the bytes just read can hold a new terminator.
    size_t scanFrom = pending.size();
    pending.append(chunk.data(), static_cast<size_t>(got));
    size_t start = 0;
    for (;;) {
      const void* hit = std::memchr(pending.data() + scanFrom, '\0', pending.size() - scanFrom);
      if (!hit) break;
      size_t end = static_cast<size_t>(static_cast<const char*>(hit) - pending.data());
      onMessage(pending.substr(start, end - start));
      start = end + 1;
      scanFrom = start;
    }
    if (start > 0) pending.erase(0, start);
  }
  onClosed();
}

}  // namespace standin::webview2
