// Showing web views inside another program's X11 window: what a plug view
// needs of the stand-in when a Linux host gives it "X11EmbedWindowID".
#pragma once

#include <windows.h>

namespace standin {

// A stand-in window, `width` x `height`, standing for the X11 window `xid`
// of another program (a host's editor area). A web view made inside it
// shows its browser's window inside `xid`, and a click into the browser
// gives it the keyboard focus. The X11 window itself is never changed or
// destroyed; DestroyWindow on the result only forgets it. Null when there
// is no X display or `xid` is 0. Call on the UI thread.
HWND WrapX11Window(unsigned long xid, int width, int height);

// The stand-in's X connection, which a host's run loop must watch while an
// embedded web view lives: its descriptor (-1 without a display) and the
// handling of the events waiting on it (clicks that move the focus).
int X11ConnectionFd();
void ProcessX11Events();

}  // namespace standin
