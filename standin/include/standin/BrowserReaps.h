// Closed browsers of the WebView2 stand-in are ended in the background; a
// module that carries the stand-in calls this before it goes away.
#pragma once

namespace standin {

// Kills every browser still closing, reaps it, removes its profile folder
// and ends the background thread. Returns when nothing of this is left.
void FinishBrowserReaps();

}  // namespace standin
