// The per-thread last error, and thread and process ids.
#include <windows.h>

#include <sys/syscall.h>
#include <unistd.h>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
thread_local DWORD threadId = 0;
}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) {
  return lastError;
}

void WINAPI SetLastError(DWORD error) {
  lastError = error;
}

// The kernel's thread id: unique among live threads and small enough for a
// DWORD (pid_max is at most 2^22).
DWORD WINAPI GetCurrentThreadId(void) {
  if (threadId == 0) {
    threadId = static_cast<DWORD>(syscall(SYS_gettid));
  }
  return threadId;
}

DWORD WINAPI GetCurrentProcessId(void) {
  return static_cast<DWORD>(getpid());
}

}  // extern "C"
