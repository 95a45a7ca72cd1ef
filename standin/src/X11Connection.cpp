#include "X11Connection.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace standin {
namespace {

std::mutex& TrapMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
bool trapped = false;

int RecordError(Display*, XErrorEvent*) {
  trapped = true;
  return 0;
}

std::map<::Window, std::function<void(XEvent&)>>& Listeners() {
  static auto* listeners = new std::map<::Window, std::function<void(XEvent&)>>;
  return *listeners;
}

}  // namespace

Display* X11Connection::Get() {
  static Display* display = [] {
    const char* name = std::getenv("DISPLAY");
    return name && *name ? XOpenDisplay(nullptr) : nullptr;
  }();
  return display;
}

void X11Connection::Listen(::Window window, std::function<void(XEvent&)> listener) {
  Listeners()[window] = std::move(listener);
}

void X11Connection::Forget(::Window window) {
  Listeners().erase(window);
}

void X11Connection::ProcessEvents() {
  Display* display = Get();
  if (display == nullptr) return;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    auto found = Listeners().find(event.xany.window);
    if (found != Listeners().end()) {
      auto listener = found->second;  // it may forget itself
      listener(event);
    }
  }
  XFlush(display);
}

X11Connection::ErrorTrap::ErrorTrap(Display* display) : display(display) {
  TrapMutex().lock();
  XSync(display, False);
  trapped = false;
  previous = XSetErrorHandler(RecordError);
}

X11Connection::ErrorTrap::~ErrorTrap() {
  XSync(display, False);
  XSetErrorHandler(previous);
  TrapMutex().unlock();
}

bool X11Connection::ErrorTrap::Failed() {
  XSync(display, False);
  return trapped;
}

}  // namespace standin
