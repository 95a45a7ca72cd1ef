#include "ChromiumProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

namespace standin::webview2 {
namespace {

constexpr int kBrowserReadsFd = 3;
constexpr int kBrowserWritesFd = 4;
// Pipe ends are moved above this before being placed on 3 and 4, so that
// dup2 never copies a descriptor onto itself (which keeps close-on-exec).
constexpr int kScratchFdFloor = 10;
constexpr auto kReapPoll = std::chrono::milliseconds(5);

// Process groups still alive, killed at process exit in case their owners
// were leaked.
std::mutex& LiveGroupsMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::set<pid_t>& LiveGroups() {
  static std::set<pid_t>* groups = new std::set<pid_t>;
  return *groups;
}

// Crash-handler processes already given to one browser.
std::set<pid_t>& ClaimedHelpers() {
  static std::set<pid_t>* claimed = new std::set<pid_t>;
  return *claimed;
}

// The start of the crash handler's process name (truncated by the kernel).
constexpr const char* kCrashHandlerName = "chrome_crashpad";

// What /proc/<pid>/stat says of a process: its name, state, parent and group.
struct ProcessStat {
  std::string name;
  char state = 0;
  int parent = 0;
  int group = 0;
};

// False when the process has gone meanwhile (its file then fails to read,
// which a stream would throw for) or the line cannot be read.
bool ReadProcessStat(const char* pidText, ProcessStat& out) {
  const std::string path = std::string("/proc/") + pidText + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[512];
  const ssize_t length = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (length <= 0) return false;
  const std::string line(buffer, static_cast<size_t>(length));
  const size_t open = line.find('('), close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  out.name = line.substr(open + 1, close - open - 1);
  // Fields after the parenthesised name: state, ppid, pgrp.
  return std::sscanf(line.c_str() + close + 1, " %c %d %d", &out.state, &out.parent, &out.group) == 3;
}

void KillLiveGroupsAtExit() {
  std::lock_guard<std::mutex> lock(LiveGroupsMutex());
  for (pid_t group : LiveGroups()) kill(-group, SIGKILL);
}

void RegisterGroup(pid_t group) {
  static std::once_flag once;
  std::call_once(once, [] {
    std::atexit(KillLiveGroupsAtExit);
    // A write to a pipe whose browser has died must fail, not kill us.
    signal(SIGPIPE, SIG_IGN);
    // The browser's zygotes outlive their parent by a moment; as the
    // subreaper we inherit and reap them instead of leaving zombies to an
    // init that may never collect them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
  });
  std::lock_guard<std::mutex> lock(LiveGroupsMutex());
  LiveGroups().insert(group);
}

void UnregisterGroup(pid_t group) {
  std::lock_guard<std::mutex> lock(LiveGroupsMutex());
  LiveGroups().erase(group);
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(int toBrowserRead, int fromBrowserWrite, int statusWrite, char* const* argv) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  int in = fcntl(toBrowserRead, F_DUPFD, kScratchFdFloor);
  int out = fcntl(fromBrowserWrite, F_DUPFD, kScratchFdFloor);
  if (in < 0 || out < 0 || dup2(in, kBrowserReadsFd) < 0 || dup2(out, kBrowserWritesFd) < 0) {
    int code = errno;
    (void)!write(statusWrite, &code, sizeof code);
    _exit(127);
  }
  close(in);
  close(out);
  int devNull = open("/dev/null", O_RDWR);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    if (devNull > STDERR_FILENO) close(devNull);
  }
  execv(argv[0], argv);
  int code = errno;
  (void)!write(statusWrite, &code, sizeof code);
  _exit(127);
}

}  // namespace

std::unique_ptr<ChromiumProcess> ChromiumProcess::Start(const std::string& binary,
                                                        const std::vector<std::string>& arguments, std::string* error) {
  auto fail = [error](const std::string& text) -> std::unique_ptr<ChromiumProcess> {
    if (error) *error = text;
    return nullptr;
  };
  if (binary.empty() || access(binary.c_str(), X_OK) != 0) return fail("browser not executable: " + binary);

  int toBrowser[2], fromBrowser[2], status[2];
  if (pipe2(toBrowser, O_CLOEXEC) != 0) return fail("pipe failed");
  if (pipe2(fromBrowser, O_CLOEXEC) != 0) {
    close(toBrowser[0]);
    close(toBrowser[1]);
    return fail("pipe failed");
  }
  if (pipe2(status, O_CLOEXEC) != 0) {
    for (int fd : {toBrowser[0], toBrowser[1], fromBrowser[0], fromBrowser[1]}) close(fd);
    return fail("pipe failed");
  }

  std::vector<std::string> all;
  all.reserve(arguments.size() + 1);
  all.push_back(binary);
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : all) argv.push_back(text.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) ExecChild(toBrowser[0], fromBrowser[1], status[1], argv.data());

  close(toBrowser[0]);
  close(fromBrowser[1]);
  close(status[1]);
  if (pid < 0) {
    close(toBrowser[1]);
    close(fromBrowser[0]);
    close(status[0]);
    return fail("fork failed");
  }
  // Both sides set the group so that a kill right after fork finds it.
  setpgid(pid, pid);
  RegisterGroup(pid);

  // The status pipe closes without data once exec has succeeded.
  int code = 0;
  ssize_t got;
  do {
    got = read(status[0], &code, sizeof code);
  } while (got < 0 && errno == EINTR);
  close(status[0]);

  std::unique_ptr<ChromiumProcess> process(new ChromiumProcess(pid, fromBrowser[0], toBrowser[1]));
  if (got > 0) {
    process->Kill();
    return fail(std::string("browser failed to start: ") + std::strerror(code));
  }
  return process;
}

ChromiumProcess::ChromiumProcess(pid_t pid, int readFd, int writeFd) : pid(pid), readFd(readFd), writeFd(writeFd) {}

ChromiumProcess::~ChromiumProcess() {
  Kill();
  CloseIfOpen(readFd);
  CloseIfOpen(writeFd);
}

int ChromiumProcess::TakeReadFd() {
  int fd = readFd;
  readFd = -1;
  return fd;
}

int ChromiumProcess::TakeWriteFd() {
  int fd = writeFd;
  writeFd = -1;
  return fd;
}

bool ChromiumProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (reaped) return true;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) {
      reaped = true;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kReapPoll);
  }
}

void ChromiumProcess::CollectHelpers() {
  if (reaped) return;
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  std::lock_guard<std::mutex> lock(LiveGroupsMutex());
  while (dirent* entry = readdir(proc)) {
    pid_t child = static_cast<pid_t>(std::atoi(entry->d_name));
    if (child <= 0) continue;
    ProcessStat stat;
    if (!ReadProcessStat(entry->d_name, stat)) continue;
    if (stat.group == pid) continue;  // the group kill covers it
    // The crash handlers double-fork out of the group; as subreaper we
    // may already be their parent while the browser still runs.
    bool ours = stat.parent == pid ||
                (stat.parent == self && stat.name.rfind(kCrashHandlerName, 0) == 0 && LiveGroups().count(child) == 0);
    if (ours && ClaimedHelpers().insert(child).second) helpers.push_back(child);
  }
  closedir(proc);
}

void ChromiumProcess::ReapOrphanedHelpers() {
  const pid_t self = getpid();
  std::vector<pid_t> orphans;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  while (dirent* entry = readdir(proc)) {
    const pid_t child = static_cast<pid_t>(std::atoi(entry->d_name));
    if (child <= 0) continue;
    ProcessStat stat;
    if (!ReadProcessStat(entry->d_name, stat)) continue;
    if (stat.state == 'Z' && stat.parent == self && stat.name.rfind(kCrashHandlerName, 0) == 0)
      orphans.push_back(child);
  }
  closedir(proc);
  // The shared lists are touched only when there is something to reap: a
  // module that never started a browser makes none of them as it unloads.
  if (orphans.empty()) return;
  std::lock_guard<std::mutex> lock(LiveGroupsMutex());
  int status = 0;
  for (pid_t orphan : orphans)
    if (ClaimedHelpers().count(orphan) == 0) waitpid(orphan, &status, WNOHANG);
}

void ChromiumProcess::Kill() {
  if (groupGone) return;
  CollectHelpers();
  // The group may still hold helpers after the leader exited on its own.
  kill(-pid, SIGKILL);
  for (pid_t helper : helpers) kill(helper, SIGKILL);
  // Reaping a member hands its own children to us (we are the subreaper)
  // before it becomes reapable, so this ends only when the group is empty.
  for (;;) {
    int status = 0;
    pid_t done = waitpid(-pid, &status, 0);
    if (done > 0) continue;
    if (done < 0 && errno == EINTR) continue;
    break;
  }
  // Helpers outside the group became our children when the browser died.
  for (pid_t helper : helpers) {
    int status = 0;
    while (waitpid(helper, &status, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> lock(LiveGroupsMutex());
    ClaimedHelpers().erase(helper);
  }
  reaped = true;
  groupGone = true;
  UnregisterGroup(pid);
}

}  // namespace standin::webview2
