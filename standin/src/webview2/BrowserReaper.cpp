#include "BrowserReaper.h"

#include <standin/BrowserReaps.h>

#include <pthread.h>

#include <system_error>

namespace standin::webview2 {
namespace {

// How often a waiting reap looks whether it is told to hurry.
constexpr std::chrono::milliseconds kHurryCheck{10};
// How long crash handlers a browser left behind are waited for.
constexpr std::chrono::milliseconds kOrphanWait{1000};

}  // namespace

BrowserReaper& BrowserReaper::Instance() {
  // Destroyed when the module is unloaded (or the process exits), which
  // ends the thread before its code goes away.
  static BrowserReaper reaper;
  return reaper;
}

BrowserReaper::~BrowserReaper() {
  Finish();
}

void BrowserReaper::Reap(std::unique_ptr<ChromiumProcess> process, std::vector<std::filesystem::path> folders) {
  std::unique_lock<std::mutex> lock(mutex);
  jobs.push_back(Job{std::move(process), std::move(folders), std::chrono::steady_clock::now() + kGracePeriod});
  if (running) return;
  // A thread that found no more work has left its loop already.
  if (thread.joinable()) thread.join();
  try {
    thread = std::thread([this] { Run(); });
    // Named before it runs, so that it can be told apart at once.
    pthread_setname_np(thread.native_handle(), "kelo-reaper");
    running = true;
  } catch (const std::system_error&) {
    // No thread to spare: end the browser here, at once.
    Job job = std::move(jobs.back());
    jobs.pop_back();
    lock.unlock();
    End(job);
  }
}

void BrowserReaper::Finish() {
  std::unique_lock<std::mutex> lock(mutex);
  hurry = true;
  std::thread ending = std::move(thread);
  lock.unlock();
  if (ending.joinable()) ending.join();
  ChromiumProcess::ReapOrphanedHelpers();
  lock.lock();
  hurry = false;
}

void BrowserReaper::Run() {
  std::unique_lock<std::mutex> lock(mutex);
  while (!jobs.empty()) {
    Job job = std::move(jobs.front());
    jobs.pop_front();
    lock.unlock();
    // Before the browser is seen to exit: its crash handlers are found
    // through it.
    job.process->CollectHelpers();
    lock.lock();
    while (!hurry && std::chrono::steady_clock::now() < job.deadline) {
      lock.unlock();
      bool exited = job.process->WaitForExit(kHurryCheck);
      lock.lock();
      if (exited) break;
    }
    lock.unlock();
    End(job);
    lock.lock();
    // A crash handler the browser started as it went ends a moment after it.
    for (auto until = std::chrono::steady_clock::now() + kOrphanWait;
         !hurry && std::chrono::steady_clock::now() < until;) {
      lock.unlock();
      ChromiumProcess::ReapOrphanedHelpers();
      std::this_thread::sleep_for(kHurryCheck);
      lock.lock();
    }
  }
  running = false;
}

void BrowserReaper::End(Job& job) {
  // The group's renderers and the helpers may outlive the browser itself.
  job.process->Kill();
  job.process.reset();
  std::error_code ignored;
  for (const auto& folder : job.folders) std::filesystem::remove_all(folder, ignored);
}

}  // namespace standin::webview2

namespace standin {

void FinishBrowserReaps() {
  webview2::BrowserReaper::Instance().Finish();
}

}  // namespace standin
