// The tests' own WebView2Loader.dll: its CreateCoreWebView2EnvironmentWithOptions
// hands out fake environment, controller and web view objects that write
// down every call and hold every completion until the test runs it, and it
// raises the events a browser would. Reached through one exported function.
#pragma once

#include <windows.h>

#include <cstddef>

struct RecordingWebView2 {
  // Forgets calls, completions, failures and objects of earlier starts.
  void (*reset)();
  // Every call so far, one per line: "Navigate https://…", "put_Bounds 0 0 1188 606".
  const char* (*log)();
  // Makes every later call of `method` answer `error` at once.
  void (*failAtOnce)(const char* method, HRESULT error);
  // Runs up to `count` (all when negative) held completions of `method`
  // with `error`, oldest first; answers how many ran.
  int (*complete)(const char* method, HRESULT error, int count);
  // Raises WebResourceRequested for `uri`; answers "<handler's result> <status>\n<headers>\n<body>" of `length`
  // bytes, status 0 when no response was set.
  const char* (*request)(const wchar_t* uri, size_t* length);
  // Raises WebMessageReceived with a string message.
  HRESULT (*message)(const wchar_t* text);
  // Raises PermissionRequested; `state` receives what the handler set.
  HRESULT (*permission)(int kind, int* state);
  // The address messages and permission requests say they come from.
  void (*setSource)(const wchar_t* address);
};

// Exported as RecordingWebView2Api.
using RecordingWebView2Function = const RecordingWebView2*();
