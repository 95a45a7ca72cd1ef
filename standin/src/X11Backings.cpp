#include "X11Backings.h"

#include <map>
#include <mutex>

namespace standin {
namespace {

std::mutex& Mutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::map<HWND, X11Backing>& Table() {
  static auto* table = new std::map<HWND, X11Backing>;
  return *table;
}

}  // namespace

void X11Backings::Set(HWND window, X11Backing backing) {
  std::lock_guard<std::mutex> lock(Mutex());
  Table()[window] = backing;
}

void X11Backings::Remove(HWND window) {
  std::lock_guard<std::mutex> lock(Mutex());
  Table().erase(window);
}

bool X11Backings::FindFrom(HWND window, X11Backing* backing) {
  for (HWND at = window; at != nullptr && IsWindow(at); at = GetParent(at)) {
    std::lock_guard<std::mutex> lock(Mutex());
    auto found = Table().find(at);
    if (found != Table().end()) {
      *backing = found->second;
      return true;
    }
  }
  return false;
}

}  // namespace standin
