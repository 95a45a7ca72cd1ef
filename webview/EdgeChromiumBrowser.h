#pragma once

#include <windows.h>

#include <WebView2.h>
#include <wrl.h>
#include <wrl/event.h>

#include <memory>
#include <string>

#include "PrivateOrigin.h"
#include "WebviewWin32.h"

namespace webhost {

// The WebView2 browser inside the child window of WebviewWin32. All of its
// work, every WebView2 completion and event included, runs on the host's
// user-interface thread; nothing is locked.
//
// Every handler WebView2 may call late holds the browser's address and a copy
// of `alive`; it returns S_OK without touching the browser once `alive` is
// false (after Terminate or destruction).
class EdgeChromiumBrowser : public WebviewWin32 {
 public:
  EdgeChromiumBrowser(HWND parent, bool debug, CreatedCallback created);
  ~EdgeChromiumBrowser() override;

  std::string GetContentRoot() override;
  void Navigate(const std::string& url) override;
  void EvalJS(const std::string& js, std::function<void(const json&)> callback) override;
  void AddInitScript(const std::string& js) override;
  void Dispatch(std::function<void()> fn) override;
  void Terminate() override;
  bool CreateEnvironment() override;
  void OnSizeChanged() override;

 private:
  template <class Handler>
  using Ref = Microsoft::WRL::ComPtr<Handler>;

  HRESULT OnEnvironmentCreated(HRESULT error, ICoreWebView2Environment* newEnvironment);
  HRESULT OnControllerCreated(HRESULT error, ICoreWebView2Controller* newController);
  HRESULT OnWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args);
  static HRESULT OnPermissionRequested(ICoreWebView2PermissionRequestedEventArgs* args);
  static HRESULT OnNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args);
  static HRESULT OnNewWindowRequested(ICoreWebView2NewWindowRequestedEventArgs* args);
  // Registers the handlers that keep the view on the private origin.
  HRESULT GuardNavigation();
  // A document-creation script is in place only once its completion has
  // run; navigation waits for every one, and one that fails before the
  // first navigation ends the start.
  void OnScriptAdded(HRESULT error);
  // Closes the controller and forgets the web view: the window stays empty
  // and nothing navigates.
  void FailStart();
  // Closes the controller and lets go of the `created` callback; shared by
  // Terminate and the destructor.
  void Shutdown();

  WCHAR userDataFolder[MAX_PATH] = {};
  Ref<ICoreWebView2> webview;
  Ref<ICoreWebView2Controller> controller;
  Ref<ICoreWebView2Environment> environment;
  Ref<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> controllerCompletedHandler;
  Ref<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> environmentCompletedHandler;
  Ref<ICoreWebView2WebMessageReceivedEventHandler> webMessageHandler;
  Ref<ICoreWebView2PermissionRequestedEventHandler> permissionHandler;
  Ref<ICoreWebView2Settings> settings;
  std::shared_ptr<bool> alive;
  int pendingScripts = 0;
  bool startFailed = false;
  bool started = false;  // the first navigation went out
  bool navigationWaiting = false;
  std::string waitingUrl;
};

// Starts a browser in a new child window of `parent`. Null when the browser
// cannot be started (the window is gone again by then). `created` runs once,
// on this thread, when the browser is ready for bindings and navigation.
std::unique_ptr<Webview> MakeWebview(bool debug, HWND parent, CreatedCallback created) noexcept;

}  // namespace webhost
