// Opening a document or address with the desktop's opener program.
//
// The opener is started by a short-lived intermediate child that spawns it
// and exits at once; the caller reaps only that child, and the opener, now
// an orphan, is reaped by init. So nothing waits for the opener, no zombie
// remains, and no signal handler of the host process is touched.
#include <shellapi.h>

#include "Utf8.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kOpenerVariable = "KELO_STANDIN_OPENER";
constexpr const char* kDefaultOpener = "xdg-open";
// What Windows returns on success is only promised to be above 32.
constexpr ULONG_PTR kStarted = 42;

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Resolved before forking, so the child only calls posix_spawn.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* searchPath = std::getenv("PATH");
  const std::string folders = searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = folders.find(':', start);
    std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::string();
}

HINSTANCE Result(ULONG_PTR code) {
  if (code <= 32) SetLastError(static_cast<DWORD>(code));
  return reinterpret_cast<HINSTANCE>(code);
}

ULONG_PTR CodeForErrno(int error) {
  switch (error) {
    case ENOENT:
      return SE_ERR_FNF;
    case EACCES:
    case EPERM:
      return SE_ERR_ACCESSDENIED;
    case ENOMEM:
      return SE_ERR_OOM;
    default:
      return SE_ERR_NOASSOC;
  }
}

// Starts `program` with one argument through an intermediate child; 0 or errno.
int SpawnDetached(const std::string& program, const std::string& argument) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The opener gets none of the host's descriptors beyond the standard three.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  const pid_t middle = fork();
  if (middle == 0) {
    pid_t opener = 0;
    int error = posix_spawn(&opener, argv[0], &actions, nullptr, argv.data(), environ);
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(0);
  }
  const int forkError = errno;
  posix_spawn_file_actions_destroy(&actions);
  close(report[1]);
  if (middle < 0) {
    close(report[0]);
    return forkError;
  }
  int error = ECHILD;
  ssize_t got = 0;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got != static_cast<ssize_t>(sizeof error)) error = ECHILD;
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  return error;
}

}  // namespace

extern "C" {

HINSTANCE WINAPI ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  if (verb != nullptr && verb[0] != L'\0' && std::wstring(verb) != L"open") return Result(SE_ERR_NOASSOC);
  if (file == nullptr || file[0] == L'\0') return Result(SE_ERR_FNF);
  const char* chosen = std::getenv(kOpenerVariable);
  const std::string program = FindProgram(chosen != nullptr && chosen[0] != '\0' ? chosen : kDefaultOpener);
  if (program.empty()) return Result(SE_ERR_FNF);
  const int error = SpawnDetached(program, standin::Utf8FromWide(file));
  return error == 0 ? Result(kStarted) : Result(CodeForErrno(error));
}

}  // extern "C"
