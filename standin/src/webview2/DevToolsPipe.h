#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace standin::webview2 {

// The byte level of the DevTools pipe: every message, both ways, is one JSON
// text followed by a NUL byte. One reader thread per pipe splits the inbound
// stream into messages and hands each to `onMessage`; `onClosed` follows
// once when the browser's end closes or the pipe is stopped. Both callbacks
// run on the reader thread and must not block for long.
class DevToolsPipe {
 public:
  using MessageCallback = std::function<void(std::string message)>;
  using ClosedCallback = std::function<void()>;

  // Takes ownership of both descriptors.
  DevToolsPipe(int readFd, int writeFd, MessageCallback onMessage, ClosedCallback onClosed);
  // Stops and joins the reader thread, then closes both descriptors.
  ~DevToolsPipe();
  DevToolsPipe(const DevToolsPipe&) = delete;
  DevToolsPipe& operator=(const DevToolsPipe&) = delete;

  // Writes one message and its NUL. Any thread. Fails when the browser has
  // stopped reading for longer than the write time-out, or the pipe broke.
  bool Send(const std::string& message);

  // Closes the outbound end (the browser treats that as a request to quit).
  void CloseWriteEnd();

  // Ends the reader thread without waiting for the browser. Idempotent.
  void Stop();

  static constexpr std::chrono::milliseconds kWriteTimeout{5000};

 private:
  void ReadLoop();

  int readFd;
  int writeFd;
  int wakeRead = -1;
  int wakeWrite = -1;
  MessageCallback onMessage;
  ClosedCallback onClosed;
  std::mutex writeMutex;
  std::thread reader;
};

}  // namespace standin::webview2
