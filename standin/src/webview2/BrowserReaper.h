#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ChromiumProcess.h"

namespace standin::webview2 {

// Ends closed browsers off the UI thread. The UI thread asks a browser to
// close and hands its process here; one background thread gives it a grace
// period to exit, kills what is left of its group, reaps it and removes its
// profile folders. The thread only waits, kills and removes files: it never
// calls back into the host or posts to a UI thread. It runs only while
// there is work, and Finish ends it, so that the module can be unloaded.
class BrowserReaper {
 public:
  static BrowserReaper& Instance();
  ~BrowserReaper();

  // Takes `process` (asked to close already) and the folders to remove once
  // it is gone. Returns at once.
  void Reap(std::unique_ptr<ChromiumProcess> process, std::vector<std::filesystem::path> folders);

  // Kills every browser still pending at once, waits until all are reaped
  // and their folders removed, and ends the thread.
  void Finish();

  // How long a closing browser may take before it is killed.
  static constexpr std::chrono::milliseconds kGracePeriod{1500};

 private:
  struct Job {
    std::unique_ptr<ChromiumProcess> process;
    std::vector<std::filesystem::path> folders;
    std::chrono::steady_clock::time_point deadline;
  };

  BrowserReaper() = default;
  void Run();
  void End(Job& job);

  std::mutex mutex;  // guards the members below
  std::deque<Job> jobs;
  bool running = false;
  bool hurry = false;
  std::thread thread;
};

}  // namespace standin::webview2
