#include "EdgeChromiumBrowser.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <utility>

#ifdef __linux__
#include <standin/BrowserStarts.h>
#endif

#include "CallScripts.h"
#include "ResourceServer.h"
#include "TextConversion.h"

namespace webhost {

namespace {

using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

constexpr wchar_t kUserDataSubfolder[] = L"Kelo";

int Length(const WCHAR* text) {
  return text == nullptr ? 0 : static_cast<int>(std::wcslen(text));
}

// A text WebView2 hands over, freed with the task allocator whatever happens.
struct TaskText {
  LPWSTR text = nullptr;
  ~TaskText() { CoTaskMemFree(text); }
};

// Runs a handler's work so that nothing thrown (an allocation failing, say)
// reaches WebView2, which is C and COM all the way down.
template <class Work>
HRESULT Guarded(Work&& work) noexcept {
  try {
    return work();
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace

EdgeChromiumBrowser::EdgeChromiumBrowser(HWND parent, bool debug, CreatedCallback created)
    : WebviewWin32(parent, debug, std::move(created)), alive(std::make_shared<bool>(true)) {
  // Without its own subfolder the browser would fill the roaming folder's
  // root; an empty folder lets WebView2 choose its default instead.
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, userDataFolder)) ||
      !PathAppendW(userDataFolder, kUserDataSubfolder)) {
    userDataFolder[0] = L'\0';
  }

  environmentCompletedHandler = Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
      [self = this, alive = alive](HRESULT error, ICoreWebView2Environment* newEnvironment) -> HRESULT {
        if (!*alive) return S_OK;
        return Guarded([&] { return self->OnEnvironmentCreated(error, newEnvironment); });
      });
  controllerCompletedHandler = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
      [self = this, alive = alive](HRESULT error, ICoreWebView2Controller* newController) -> HRESULT {
        if (!*alive) return S_OK;
        return Guarded([&] { return self->OnControllerCreated(error, newController); });
      });
  webMessageHandler = Callback<ICoreWebView2WebMessageReceivedEventHandler>(
      [self = this, alive = alive](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) -> HRESULT {
        if (!*alive) return S_OK;
        return Guarded([&] { return self->OnWebMessage(args); });
      });
  permissionHandler = Callback<ICoreWebView2PermissionRequestedEventHandler>(
      [alive = alive](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) -> HRESULT {
        if (!*alive) return S_OK;
        return Guarded([&] { return OnPermissionRequested(args); });
      });
}

EdgeChromiumBrowser::~EdgeChromiumBrowser() {
  Shutdown();
  WebviewWin32::Terminate();
  controller.Reset();
  webview.Reset();
  settings.Reset();
  alive.reset();
  permissionHandler.Reset();
  webMessageHandler.Reset();
  environmentCompletedHandler.Reset();
  controllerCompletedHandler.Reset();
  environment.Reset();
}

void EdgeChromiumBrowser::Shutdown() {
  *alive = false;
  created = nullptr;
  if (controller) controller->Close();
#ifdef __linux__
  // A host's run loop stops running this thread's queue once the view is
  // removed, so a browser still starting would never hear it is unwanted.
  standin::AbandonBrowser(environmentCompletedHandler.Get());
#endif
}

std::string EdgeChromiumBrowser::GetContentRoot() {
  return kPrivateOrigin;
}

void EdgeChromiumBrowser::Navigate(const std::string& url) {
  if (!webview) return;
  if (pendingScripts > 0) {
    // The latest address wins once every script is in place.
    navigationWaiting = true;
    waitingUrl = url;
    return;
  }
  const std::wstring wide = ToWide(url);
  started = true;
  webview->Navigate(wide.c_str());
}

void EdgeChromiumBrowser::EvalJS(const std::string& js, std::function<void(const json&)> callback) {
  if (!webview) return;
  const std::wstring wide = ToWide(js);
  // The caller's callback usually refers to its owner, which does not outlive
  // the browser: once the browser is gone the result is dropped.
  auto handler = Callback<ICoreWebView2ExecuteScriptCompletedHandler>(
      [callback = std::move(callback), alive = alive](HRESULT error, LPCWSTR resultAsJson) -> HRESULT {
        if (FAILED(error)) return E_FAIL;
        if (!*alive || !callback) return S_OK;
        // Nothing may be thrown back into WebView2.
        return Guarded([&] {
          const json result = json::parse(ToUtf8(resultAsJson, Length(resultAsJson)), nullptr, false);
          if (!result.is_discarded()) callback(result);
          return S_OK;
        });
      });
  webview->ExecuteScript(wide.c_str(), handler.Get());
}

void EdgeChromiumBrowser::AddInitScript(const std::string& js) {
  if (!webview) return;
  const std::wstring wide = ToWide(js);
  auto handler = Callback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>(
      [self = this, alive = alive](HRESULT error, LPCWSTR) -> HRESULT {
        if (!*alive) return S_OK;
        self->OnScriptAdded(error);
        return S_OK;
      });
  ++pendingScripts;
  const HRESULT result = webview->AddScriptToExecuteOnDocumentCreated(wide.c_str(), handler.Get());
  // Refused at once, the completion never comes.
  if (FAILED(result)) OnScriptAdded(result);
}

void EdgeChromiumBrowser::OnScriptAdded(HRESULT error) {
  if (pendingScripts > 0) --pendingScripts;
  if (startFailed) return;
  // Once the page is up, a script added later that fails takes nothing down.
  if (FAILED(error) && !started) {
    FailStart();
    return;
  }
  if (pendingScripts > 0 || !navigationWaiting) return;
  navigationWaiting = false;
  Navigate(std::exchange(waitingUrl, std::string()));
}

void EdgeChromiumBrowser::FailStart() {
  startFailed = true;
  navigationWaiting = false;
  waitingUrl.clear();
  if (controller) controller->Close();
  settings.Reset();
  webview.Reset();
  controller.Reset();
}

void EdgeChromiumBrowser::Dispatch(std::function<void()> fn) {
  // Everything already runs on the browser's thread.
  if (fn) fn();
}

void EdgeChromiumBrowser::Terminate() {
  Shutdown();
  WebviewWin32::Terminate();
}

bool EdgeChromiumBrowser::CreateEnvironment() {
  const HRESULT result =
      CreateCoreWebView2EnvironmentWithOptions(nullptr, userDataFolder, nullptr, environmentCompletedHandler.Get());
  return SUCCEEDED(result);
}

void EdgeChromiumBrowser::OnSizeChanged() {
  // After Terminate the controller is closed and the window gone.
  if (!controller || window == nullptr || !*alive) return;
  RECT bounds{};
  GetClientRect(window, &bounds);
  controller->put_Bounds(bounds);
}

HRESULT EdgeChromiumBrowser::OnEnvironmentCreated(HRESULT error, ICoreWebView2Environment* newEnvironment) {
  if (FAILED(error) || newEnvironment == nullptr) return E_FAIL;
  environment = newEnvironment;
  environment->CreateCoreWebView2Controller(window, controllerCompletedHandler.Get());
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnControllerCreated(HRESULT error, ICoreWebView2Controller* newController) {
  if (FAILED(error) || newController == nullptr) return E_FAIL;
  controller = newController;
  if (controller->get_CoreWebView2(webview.ReleaseAndGetAddressOf()) != S_OK) return E_FAIL;

  const std::wstring filter = ToWide(std::string(kPrivateOrigin) + "/*");
  HRESULT result = webview->AddWebResourceRequestedFilter(filter.c_str(), COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
  if (FAILED(result)) return result;
  {
    // WebView2 keeps the handler; the browser keeps no reference of its own.
    auto resourceHandler = Callback<ICoreWebView2WebResourceRequestedEventHandler>(
        [self = this, alive = alive](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) -> HRESULT {
          if (!*alive) return S_OK;
          return Guarded([&] { return ResourceServer::Serve(self->environment.Get(), args); });
        });
    EventRegistrationToken token{};
    result = webview->add_WebResourceRequested(resourceHandler.Get(), &token);
    if (FAILED(result)) return result;
  }

  if (webview->get_Settings(settings.ReleaseAndGetAddressOf()) != S_OK) return E_FAIL;
  if (debug) {
    if (webview->OpenDevToolsWindow() != S_OK) return E_FAIL;
  } else {
    settings->put_AreDevToolsEnabled(FALSE);
  }
  EventRegistrationToken token{};
  if (webview->add_WebMessageReceived(webMessageHandler.Get(), &token) != S_OK) return E_FAIL;
  if (webview->add_PermissionRequested(permissionHandler.Get(), &token) != S_OK) return E_FAIL;
  if (GuardNavigation() != S_OK) return E_FAIL;

  AddInitScript(kExternalInvokeScript);
  if (startFailed) return E_FAIL;
  // Runs at most once: the callback is taken out before it runs.
  CreatedCallback ready = std::move(created);
  created = nullptr;
  if (ready) ready(this);
  OnSizeChanged();
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args) {
  if (args == nullptr) return S_OK;
  // Only the embedded page may call native functions.
  TaskText source;
  if (FAILED(args->get_Source(&source.text)) || !IsPrivateAddress(source.text)) return S_OK;
  TaskText text;
  if (FAILED(args->TryGetWebMessageAsString(&text.text)) || text.text == nullptr) return S_OK;
  const std::string message = ToUtf8(text.text, Length(text.text));
  OnBrowserMessage(message);
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnPermissionRequested(ICoreWebView2PermissionRequestedEventArgs* args) {
  if (args == nullptr) return S_OK;
  TaskText uri;
  if (FAILED(args->get_Uri(&uri.text)) || !IsPrivateAddress(uri.text)) {
    args->put_State(COREWEBVIEW2_PERMISSION_STATE_DENY);
    return S_OK;
  }
  COREWEBVIEW2_PERMISSION_KIND kind = COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
  if (FAILED(args->get_PermissionKind(&kind))) return S_OK;
  // The page pastes lyrics; every other request gets WebView2's own treatment.
  if (kind == COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ) args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
  return S_OK;
}

HRESULT EdgeChromiumBrowser::GuardNavigation() {
  // WebView2 keeps the handlers; they use nothing of the browser, so they
  // need neither its address nor `alive`.
  auto navigationHandler = Callback<ICoreWebView2NavigationStartingEventHandler>(
      [](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) -> HRESULT {
        return Guarded([&] { return OnNavigationStarting(args); });
      });
  auto newWindowHandler = Callback<ICoreWebView2NewWindowRequestedEventHandler>(
      [](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) -> HRESULT {
        return Guarded([&] { return OnNewWindowRequested(args); });
      });
  EventRegistrationToken token{};
  if (webview->add_NavigationStarting(navigationHandler.Get(), &token) != S_OK) return E_FAIL;
  return webview->add_NewWindowRequested(newWindowHandler.Get(), &token);
}

// A dropped link, the back and forward keys or a script could otherwise put
// another document into the view, one the bridge's scripts would be added to.
// A link the user followed opens in the system browser instead. The shell
// call comes last: it may pump messages, and the browser may be gone after.
HRESULT EdgeChromiumBrowser::OnNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args) {
  if (args == nullptr) return S_OK;
  TaskText uri;
  if (SUCCEEDED(args->get_Uri(&uri.text)) && IsPrivateAddress(uri.text)) return S_OK;
  args->put_Cancel(TRUE);
  BOOL byUser = FALSE;
  if (SUCCEEDED(args->get_IsUserInitiated(&byUser)) && byUser) OpenInSystemBrowser(uri.text);
  return S_OK;
}

// The editor never opens a second window; a link the user opened that way
// goes to the system browser.
HRESULT EdgeChromiumBrowser::OnNewWindowRequested(ICoreWebView2NewWindowRequestedEventArgs* args) {
  if (args == nullptr) return S_OK;
  args->put_Handled(TRUE);
  TaskText uri;
  BOOL byUser = FALSE;
  if (SUCCEEDED(args->get_Uri(&uri.text)) && SUCCEEDED(args->get_IsUserInitiated(&byUser)) && byUser)
    OpenInSystemBrowser(uri.text);
  return S_OK;
}

std::unique_ptr<Webview> MakeWebview(bool debug, HWND parent, CreatedCallback created) noexcept {
  try {
    auto browser = std::make_unique<EdgeChromiumBrowser>(parent, debug, std::move(created));
    if (!browser->CreateEnvironment()) return nullptr;
    return browser;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace webhost
