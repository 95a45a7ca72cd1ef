#pragma once

#include <WebView2.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "HandlerList.h"

namespace standin::webview2 {

class BrowserSession;

// The state and work of one web view: one page target of the browser,
// attached through its own DevTools session. The ICoreWebView2 and
// ICoreWebView2Controller objects are thin fronts for it; callbacks hold it
// only weakly. UI thread only.
class WebViewCore : public std::enable_shared_from_this<WebViewCore> {
 public:
  WebViewCore(std::shared_ptr<BrowserSession> session, std::string sessionId);
  ~WebViewCore();

  // The page object handed to event handlers as their sender; null once
  // that object is gone.
  void SetSender(ICoreWebView2* sender) { this->sender = sender; }
  bool IsClosed() const;
  // Ends events and completions, drops the handlers and closes the browser
  // once no other web view uses it. Idempotent.
  void Close();

  HRESULT Navigate(const std::string& url);
  HRESULT ExecuteScript(const std::string& script, ICoreWebView2ExecuteScriptCompletedHandler* handler);
  HRESULT AddScriptOnDocumentCreated(const std::string& script,
                                     ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler);
  HRESULT RemoveScriptOnDocumentCreated(const std::string& id);
  HRESULT AddResourceFilter(const std::string& pattern, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);
  HRESULT RemoveResourceFilter(const std::string& pattern, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);
  HRESULT SetViewSize(int width, int height);
  const std::string& Source() const { return source; }
  pid_t BrowserPid() const;
  // The X11 class of the browser's window; empty when headless.
  const std::string& WindowClass() const;
  // Runs after each page event that follows a navigation (the browser's
  // window exists by then), for as long as it is set.
  std::function<void()> onPageActivity;

  HandlerList<ICoreWebView2WebMessageReceivedEventHandler> webMessageHandlers;
  HandlerList<ICoreWebView2PermissionRequestedEventHandler> permissionHandlers;
  HandlerList<ICoreWebView2WebResourceRequestedEventHandler> resourceHandlers;
  HandlerList<ICoreWebView2NewWindowRequestedEventHandler> newWindowHandlers;
  // Navigation handlers need every document request paused, so adding and
  // removing them changes the browser's interception.
  HRESULT AddNavigationHandler(ICoreWebView2NavigationStartingEventHandler* handler, EventRegistrationToken* token);
  HRESULT RemoveNavigationHandler(EventRegistrationToken token);

  // A page event routed here by the session.
  void OnEvent(const std::string& method, const nlohmann::json& params);

  // What WebView2 answers calls made after its controller was closed.
  static HRESULT InvalidState();
  static constexpr unsigned long kErrorInvalidState = 5023;  // ERROR_INVALID_STATE

  // The name of the binding behind window.chrome.webview.postMessage, and
  // the document-creation script that installs postMessage over it.
  static const char* const kMessageBinding;
  static const char* const kMessageScript;

 private:
  struct Filter {
    std::string pattern;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context;
  };
  void Send(const std::string& method, nlohmann::json params);
  void ApplyFilters();
  // Asks the permission handlers about `url`'s origin, once per origin,
  // applies their answers to the browser, then runs `then`.
  void AskPermissions(const std::string& url, std::function<void()> then);
  void OnWebMessage(const nlohmann::json& params);
  void OnRequestPaused(const nlohmann::json& params);
  // Raises NavigationStarting for a paused top-level document request;
  // true when a handler cancelled it.
  bool NavigationCancelled(const nlohmann::json& params);
  void OnNavigationRequested(const nlohmann::json& params);
  void OnWindowOpen(const nlohmann::json& params);
  bool MatchesFilter(const std::string& url, const std::string& resourceType) const;

  std::shared_ptr<BrowserSession> session;
  std::string sessionId;
  ICoreWebView2* sender = nullptr;
  bool closed = false;
  std::string source = "about:blank";
  std::vector<Filter> filters;
  std::set<std::string> askedOrigins;
  HandlerList<ICoreWebView2NavigationStartingEventHandler> navigationHandlers;
  std::string mainFrameId;
  // Addresses asked for through Navigate (user-initiated, as in WebView2),
  // and those the page asked for by a link or a form.
  std::multiset<std::string> apiNavigations;
  std::multiset<std::string> gestureNavigations;
  UINT64 nextNavigationId = 1;
};

}  // namespace standin::webview2
