// The tests' own WebView2Loader.dll: its CreateCoreWebView2EnvironmentWithOptions
// hands out fake environment, controller and web view objects that write
// down every call and hold every completion until the test runs it, and it
// raises the events a browser would. Reached through one exported function.
#pragma once

#include <windows.h>

struct IStream;

struct RecordingWebView2 {
  // Forgets calls, completions, failures and objects of earlier starts.
  void (*reset)();
  // Every call so far, one per line: "Navigate https://…".
  const char* (*log)();
  // Makes every later call of `method` answer `error` at once.
  void (*failAtOnce)(const char* method, HRESULT error);
  // Runs up to `count` (all when negative) held completions of `method`
  // with `error`, oldest first; answers how many ran.
  int (*complete)(const char* method, HRESULT error, int count);
  // Raises WebResourceRequested for `uri`: the handler's answer, and the
  // response it set (status 0 when none).
  HRESULT (*request)(const wchar_t* uri, int* status, const wchar_t** headers, IStream** content);
  // Raises WebMessageReceived with a string message.
  HRESULT (*message)(const wchar_t* text);
  // Raises PermissionRequested; `state` receives what the handler set.
  HRESULT (*permission)(int kind, int* state);
  // The window the controller was created in, and its last bounds.
  HWND (*parent)();
  RECT (*bounds)();
  // The address messages and permission requests say they come from.
  void (*setSource)(const wchar_t* address);
};

// Exported as RecordingWebView2Api.
using RecordingWebView2Function = const RecordingWebView2*();
