// Beyond WebView2, for Linux: abandoning a browser start. The stand-in
// delivers a start's completions through the UI thread's queue, as WebView2
// does; an editor embedded in a host's X11 window stops having that queue
// run when it is removed, so a start it no longer wants would never end.
#pragma once

#include <WebView2.h>

namespace standin {

// Ends the browser that CreateCoreWebView2EnvironmentWithOptions started on
// this thread for `handler`, whether its environment or its controller is
// still to come: the browser is asked to close and handed to the background
// reaper, and this returns at once. Completions of it not yet delivered are
// dropped unrun; calls on its environment or web views fail as on a closed
// browser. Browsers started for other handlers are untouched, as is one
// already closed. UI thread only.
void AbandonBrowser(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

}  // namespace standin
