# WebView2 stand-in: the WebView2 interfaces carried out by a real Chromium
# driven over the DevTools protocol. Included by standin/CMakeLists.txt.
list(APPEND KELO_STANDIN_WEBVIEW2_SOURCES
  src/webview2/Base64.cpp
  src/webview2/BrowserLaunch.cpp
  src/webview2/BrowserReaper.cpp
  src/webview2/BrowserSession.cpp
  src/webview2/BrowserWindow.cpp
  src/webview2/ChromiumProcess.cpp
  src/webview2/CoreWebView2.cpp
  src/webview2/CoreWebView2Controller.cpp
  src/webview2/CoreWebView2Environment.cpp
  src/webview2/DevToolsClient.cpp
  src/webview2/DevToolsPipe.cpp
  src/webview2/HttpHeaders.cpp
  src/webview2/NavigationEventArgs.cpp
  src/webview2/PermissionRequestedEventArgs.cpp
  src/webview2/ScriptResult.cpp
  src/webview2/WebMessageReceivedEventArgs.cpp
  src/webview2/WebResourceRequest.cpp
  src/webview2/WebViewCore.cpp
  src/webview2/WideText.cpp
)
