#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace standin::webview2 {

// One browser process started with its DevTools pipe on fds 3 (browser reads)
// and 4 (browser writes). The process leads its own process group so that
// the renderer and helper processes it forks go down with it. The destructor
// ends the whole group and reaps it: no browser outlives this object.
class ChromiumProcess {
 public:
  // Starts `binary` with `arguments`. Fails at once (null, `error` set) when
  // the binary is missing, not executable, or the exec itself fails.
  static std::unique_ptr<ChromiumProcess> Start(const std::string& binary, const std::vector<std::string>& arguments,
                                                std::string* error);

  ~ChromiumProcess();
  ChromiumProcess(const ChromiumProcess&) = delete;
  ChromiumProcess& operator=(const ChromiumProcess&) = delete;

  pid_t Pid() const { return pid; }

  // The parent's ends of the DevTools pipe; ownership passes to the caller.
  int TakeReadFd();
  int TakeWriteFd();

  // Waits up to `timeout` for the browser process to exit on its own.
  bool WaitForExit(std::chrono::milliseconds timeout);

  // Notes the browser's helpers that left its process group (the crash
  // handlers), so that Kill ends and reaps them too. Call while the
  // browser still runs; Kill does so itself when it finds it running.
  void CollectHelpers();

  // Kills the whole process group and the helpers, and reaps them all.
  // Idempotent.
  void Kill();

  // Reaps the crash handlers that ended as our orphans (we are the
  // subreaper) without any browser's Kill having noted them: those a browser
  // started while it was going, after its helpers were collected.
  static void ReapOrphanedHelpers();

 private:
  ChromiumProcess(pid_t pid, int readFd, int writeFd);

  pid_t pid;
  int readFd;
  int writeFd;
  bool reaped = false;
  bool groupGone = false;
  std::vector<pid_t> helpers;
};

}  // namespace standin::webview2
