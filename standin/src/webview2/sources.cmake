# WebView2 stand-in: the WebView2 interfaces carried out by a real Chromium
# over the DevTools protocol. Included by standin/CMakeLists.txt.
set(KELO_STANDIN_WEBVIEW2_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KELO_STANDIN_WEBVIEW2_SOURCES
  ${KELO_STANDIN_WEBVIEW2_DIR}/ChromiumProcess.cpp
  ${KELO_STANDIN_WEBVIEW2_DIR}/DevToolsPipe.cpp
  ${KELO_STANDIN_WEBVIEW2_DIR}/DevToolsClient.cpp
)
