// What a Linux host program (tests, the preview program) needs of the
// stand-in platform living inside the plug-in module: a top-level window to
// act as the editor frame, and a message pump for its thread. The plug-in
// module links the stand-in with hidden symbols, so these are exported
// explicitly; a host must call the module's copies (dlsym), because windows
// and message queues belong to the copy of the stand-in that made them.
#pragma once

#ifdef __cplusplus
#define KELO_LINUX_HOST_EXTERN_C extern "C"
#else
#define KELO_LINUX_HOST_EXTERN_C
#endif
#define KELO_LINUX_HOST_API KELO_LINUX_HOST_EXTERN_C __attribute__((visibility("default")))

// A visible top-level window whose client area is width x height, titled
// with the UTF-8 `titleUtf8` (may be null), owned by the calling thread.
// Returns its HWND, or null on failure. Closing it (WM_CLOSE) destroys it.
// On an X display it is a real X11 window of that size, in which an editor
// attached to it shows its page, chromeless and edge to edge.
KELO_LINUX_HOST_API void* KeloLinuxCreateHostWindow(int width, int height, const char* titleUtf8);

// Destroys a window made by KeloLinuxCreateHostWindow, with its children.
// Call on the thread that created it; a window already destroyed is ignored.
KELO_LINUX_HOST_API void KeloLinuxDestroyHostWindow(void* window);

// Runs posted tasks and dispatches the calling thread's messages until
// `timeoutMs` milliseconds have passed; returns how many were handled. Also
// handles the module's X events (clicks that give the page the focus).
// Hosts that embed the editor through "X11EmbedWindowID" never call it:
// their run loop drives the editor.
KELO_LINUX_HOST_API int KeloLinuxPumpMessages(int timeoutMs);
