#include "WebViewCore.h"

#include <standin/ThreadTasks.h>

#include <algorithm>

#include "Base64.h"
#include "BrowserSession.h"
#include "NavigationEventArgs.h"
#include "PermissionRequestedEventArgs.h"
#include "ScriptResult.h"
#include "WebMessageReceivedEventArgs.h"
#include "WebResourceRequest.h"
#include "WideText.h"

namespace standin::webview2 {
namespace {

using Microsoft::WRL::ComPtr;
using nlohmann::json;

constexpr const char* kNullJson = "null";

struct PermissionMapping {
  COREWEBVIEW2_PERMISSION_KIND kind;
  std::vector<const char*> names;  // Permissions API names in the browser
};

// The kinds asked about up front, and the browser permissions each sets.
const std::vector<PermissionMapping>& AskedPermissions() {
  static const std::vector<PermissionMapping> kinds = {
      {COREWEBVIEW2_PERMISSION_KIND_MICROPHONE, {"microphone"}},
      {COREWEBVIEW2_PERMISSION_KIND_CAMERA, {"camera"}},
      {COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION, {"geolocation"}},
      {COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS, {"notifications"}},
      {COREWEBVIEW2_PERMISSION_KIND_OTHER_SENSORS, {"accelerometer", "gyroscope", "magnetometer"}},
      {COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ, {"clipboard-read"}},
  };
  return kinds;
}

// scheme://host[:port] of an http or https address; empty for anything else.
std::string OriginOf(const std::string& url) {
  size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return {};
  std::string scheme = url.substr(0, schemeEnd);
  if (scheme != "http" && scheme != "https") return {};
  size_t hostEnd = url.find_first_of("/?#", schemeEnd + 3);
  return url.substr(0, hostEnd);
}

// DevTools' URL patterns: '*' stands for any run of characters, '?' for one.
bool GlobMatch(const std::string& pattern, const std::string& text) {
  size_t p = 0, t = 0, star = std::string::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsGesture(const std::string& reason) {
  return reason == "anchorClick" || reason == "formSubmissionGet" || reason == "formSubmissionPost";
}

const char* ResourceTypeOf(COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
  switch (context) {
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT:
      return "Document";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET:
      return "Stylesheet";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE:
      return "Image";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA:
      return "Media";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT:
      return "Font";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT:
      return "Script";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST:
      return "XHR";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH:
      return "Fetch";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_TEXT_TRACK:
      return "TextTrack";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_EVENT_SOURCE:
      return "EventSource";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_WEBSOCKET:
      return "WebSocket";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MANIFEST:
      return "Manifest";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SIGNED_EXCHANGE:
      return "SignedExchange";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_PING:
      return "Ping";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_CSP_VIOLATION_REPORT:
      return "CSPViolationReport";
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER:
      return "Other";
    default:
      return nullptr;
  }
}

COREWEBVIEW2_WEB_RESOURCE_CONTEXT ContextOf(const std::string& resourceType) {
  for (int value = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT; value <= COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
       ++value) {
    auto context = static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(value);
    if (resourceType == ResourceTypeOf(context)) return context;
  }
  return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
}

void Complete(const ComPtr<ICoreWebView2ExecuteScriptCompletedHandler>& handler, HRESULT result,
              const std::string& text) {
  if (handler) handler->Invoke(result, WideFromUtf8(text).c_str());
}

}  // namespace

HRESULT WebViewCore::InvalidState() {
  return HRESULT_FROM_WIN32(kErrorInvalidState);
}

const char* const WebViewCore::kMessageBinding = "__standinWebViewPost";

// Adds `webview` to the page's own window.chrome (never replacing it); the
// binding takes exactly one string, so the value travels as its JSON text.
const char* const WebViewCore::kMessageScript = R"JS((() => {
  const post = globalThis.__standinWebViewPost;
  if (typeof post !== 'function') return;
  try { delete globalThis.__standinWebViewPost; } catch (e) {}
  const chrome = (typeof window.chrome === 'object' && window.chrome) || (window.chrome = {});
  if (chrome.webview) return;
  const webview = {
    postMessage(message) {
      const text = JSON.stringify(message);
      post(text === undefined ? 'null' : text);
    }
  };
  Object.defineProperty(chrome, 'webview', { value: webview, enumerable: true, configurable: true });
})();)JS";

WebViewCore::WebViewCore(std::shared_ptr<BrowserSession> session, std::string sessionId)
    : session(std::move(session)), sessionId(std::move(sessionId)) {}

WebViewCore::~WebViewCore() {
  Close();
}

bool WebViewCore::IsClosed() const {
  return closed || session->IsShutDown();
}

void WebViewCore::Close() {
  if (closed) return;
  closed = true;
  webMessageHandlers.Clear();
  permissionHandlers.Clear();
  resourceHandlers.Clear();
  session->RemovePage(sessionId);
}

pid_t WebViewCore::BrowserPid() const {
  return session->BrowserPid();
}

void WebViewCore::Send(const std::string& method, json params) {
  session->Call(method, std::move(params), sessionId, nullptr);
}

HRESULT WebViewCore::Navigate(const std::string& url) {
  if (IsClosed()) return InvalidState();
  if (url.empty()) return E_INVALIDARG;
  std::weak_ptr<WebViewCore> weak = weak_from_this();
  apiNavigations.insert(url);
  // Handlers are never called from inside the call that raises them.
  standin::PostThreadTask(session->UiThread(), [weak, url] {
    auto self = weak.lock();
    if (!self || self->IsClosed()) return;
    self->AskPermissions(url, [weak, url] {
      auto again = weak.lock();
      if (again && !again->IsClosed()) again->Send("Page.navigate", {{"url", url}});
    });
  });
  return S_OK;
}

void WebViewCore::AskPermissions(const std::string& url, std::function<void()> then) {
  std::string origin = OriginOf(url);
  if (origin.empty() || permissionHandlers.Empty() || !askedOrigins.insert(origin).second || sender == nullptr) {
    then();
    return;
  }
  ComPtr<ICoreWebView2> keep(sender);
  std::vector<std::pair<std::string, std::string>> settings;  // permission name, setting
  for (const auto& mapping : AskedPermissions()) {
    auto args = MakeCom<PermissionRequestedEventArgs>(url, mapping.kind);
    for (auto& handler : permissionHandlers.Snapshot()) handler->Invoke(sender, args.Get());
    if (args->State() == COREWEBVIEW2_PERMISSION_STATE_DEFAULT) continue;
    const char* setting = args->State() == COREWEBVIEW2_PERMISSION_STATE_ALLOW ? "granted" : "denied";
    for (const char* name : mapping.names) settings.emplace_back(name, setting);
  }
  if (settings.empty()) {
    then();
    return;
  }
  // The navigation waits until the browser has taken every answer.
  auto left = std::make_shared<size_t>(settings.size());
  auto next = std::make_shared<std::function<void()>>(std::move(then));
  for (auto& [name, setting] : settings) {
    session->Call("Browser.setPermission", {{"permission", {{"name", name}}}, {"setting", setting}, {"origin", origin}},
                  "", [left, next](const DevToolsReply&) {
                    if (--*left == 0) (*next)();
                  });
  }
}

HRESULT WebViewCore::ExecuteScript(const std::string& script, ICoreWebView2ExecuteScriptCompletedHandler* handler) {
  if (IsClosed()) return InvalidState();
  ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> done(handler);
  std::weak_ptr<WebViewCore> weak = weak_from_this();
  session->Call(
      "Runtime.evaluate", {{"expression", script}, {"returnByValue", false}}, sessionId,
      [weak, done](const DevToolsReply& reply) {
        auto self = weak.lock();
        if (!self || self->IsClosed()) return;
        if (!reply.ok) return Complete(done, E_FAIL, kNullJson);
        ScriptResult result = ScriptResultFromEvaluation(reply.result);
        if (result.objectId.empty()) {
          // Functions and the like came with an object the page still holds.
          auto remote = reply.result.value("result", json::object());
          if (remote.contains("objectId")) self->Send("Runtime.releaseObject", {{"objectId", remote["objectId"]}});
          return Complete(done, S_OK, result.json);
        }
        std::string objectId = result.objectId;
        self->session->Call(
            "Runtime.callFunctionOn",
            {{"functionDeclaration", kStringifyThisFunction}, {"objectId", objectId}, {"returnByValue", true}},
            self->sessionId, [weak, done, objectId](const DevToolsReply& stringified) {
              auto again = weak.lock();
              if (!again || again->IsClosed()) return;
              again->Send("Runtime.releaseObject", {{"objectId", objectId}});
              Complete(done, S_OK, stringified.ok ? ScriptResultFromStringify(stringified.result) : kNullJson);
            });
      });
  return S_OK;
}

HRESULT WebViewCore::AddScriptOnDocumentCreated(
    const std::string& script, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) {
  if (IsClosed()) return InvalidState();
  ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> done(handler);
  std::weak_ptr<WebViewCore> weak = weak_from_this();
  session->Call("Page.addScriptToEvaluateOnNewDocument", {{"source", script}}, sessionId,
                [weak, done](const DevToolsReply& reply) {
                  auto self = weak.lock();
                  if (!self || self->IsClosed() || !done) return;
                  if (!reply.ok) {
                    done->Invoke(E_FAIL, nullptr);
                    return;
                  }
                  done->Invoke(S_OK, WideFromUtf8(reply.result.value("identifier", std::string())).c_str());
                });
  return S_OK;
}

HRESULT WebViewCore::RemoveScriptOnDocumentCreated(const std::string& id) {
  if (IsClosed()) return InvalidState();
  Send("Page.removeScriptToEvaluateOnNewDocument", {{"identifier", id}});
  return S_OK;
}

HRESULT WebViewCore::AddResourceFilter(const std::string& pattern, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
  if (IsClosed()) return InvalidState();
  if (pattern.empty() || (context != COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL && ResourceTypeOf(context) == nullptr))
    return E_INVALIDARG;
  filters.push_back({pattern, context});
  ApplyFilters();
  return S_OK;
}

HRESULT WebViewCore::RemoveResourceFilter(const std::string& pattern, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
  if (IsClosed()) return InvalidState();
  for (auto it = filters.begin(); it != filters.end(); ++it) {
    if (it->pattern == pattern && it->context == context) {
      filters.erase(it);
      ApplyFilters();
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT WebViewCore::AddNavigationHandler(ICoreWebView2NavigationStartingEventHandler* handler,
                                          EventRegistrationToken* token) {
  if (IsClosed()) return InvalidState();
  const HRESULT result = navigationHandlers.Add(handler, token);
  if (SUCCEEDED(result)) ApplyFilters();
  return result;
}

HRESULT WebViewCore::RemoveNavigationHandler(EventRegistrationToken token) {
  const HRESULT result = navigationHandlers.Remove(token);
  if (!IsClosed()) ApplyFilters();
  return result;
}

void WebViewCore::ApplyFilters() {
  if (filters.empty() && navigationHandlers.Empty()) {
    Send("Fetch.disable", json::object());
    return;
  }
  json patterns = json::array();
  if (!navigationHandlers.Empty())
    patterns.push_back({{"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}});
  for (auto& filter : filters) {
    json pattern = {{"urlPattern", filter.pattern}, {"requestStage", "Request"}};
    if (filter.context != COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL)
      pattern["resourceType"] = ResourceTypeOf(filter.context);
    patterns.push_back(pattern);
  }
  Send("Fetch.enable", {{"patterns", patterns}});
}

HRESULT WebViewCore::SetViewSize(int width, int height) {
  if (IsClosed()) return InvalidState();
  Send("Emulation.setDeviceMetricsOverride",
       {{"width", std::max(width, 0)}, {"height", std::max(height, 0)}, {"deviceScaleFactor", 1}, {"mobile", false}});
  return S_OK;
}

const std::string& WebViewCore::WindowClass() const {
  return session->WindowClass();
}

void WebViewCore::OnEvent(const std::string& method, const json& params) {
  if (method.rfind("Page.", 0) == 0 && onPageActivity) {
    auto activity = onPageActivity;
    activity();
  }
  if (method == "Fetch.requestPaused") {
    OnRequestPaused(params);
  } else if (IsClosed()) {
    return;
  } else if (method == "Runtime.bindingCalled") {
    OnWebMessage(params);
  } else if (method == "Page.frameRequestedNavigation") {
    OnNavigationRequested(params);
  } else if (method == "Page.windowOpen") {
    OnWindowOpen(params);
  } else if (method == "Page.frameNavigated") {
    const json frame = params.value("frame", json::object());
    if (!frame.contains("parentId")) {
      source = frame.value("url", std::string()) + frame.value("urlFragment", std::string());
      mainFrameId = frame.value("id", std::string());
    }
  }
}

// The page asked for a navigation: remember whether a link or a form did it.
void WebViewCore::OnNavigationRequested(const json& params) {
  if (params.value("disposition", std::string("currentTab")) != "currentTab") return;
  if (IsGesture(params.value("reason", std::string()))) gestureNavigations.insert(params.value("url", std::string()));
}

// The page asked for a new window, which the browser does not open (it runs
// with new windows blocked); the handlers hear of the address.
void WebViewCore::OnWindowOpen(const json& params) {
  if (sender == nullptr) return;
  auto args =
      MakeCom<NewWindowRequestedEventArgs>(params.value("url", std::string()), params.value("userGesture", false));
  ComPtr<ICoreWebView2> keep(sender);
  for (auto& handler : newWindowHandlers.Snapshot()) {
    if (IsClosed()) break;
    handler->Invoke(sender, args.Get());
  }
}

bool WebViewCore::NavigationCancelled(const json& params) {
  if (navigationHandlers.Empty() || params.value("resourceType", std::string()) != "Document") return false;
  const std::string frameId = params.value("frameId", std::string());
  if (!mainFrameId.empty() && frameId != mainFrameId) return false;
  const json request = params.value("request", json::object());
  const std::string url = request.value("url", std::string()) + request.value("urlFragment", std::string());
  bool userInitiated = false;
  for (auto* made : {&apiNavigations, &gestureNavigations}) {
    auto found = made->find(url);
    if (found == made->end()) continue;
    made->erase(found);
    userInitiated = true;
  }
  auto args = MakeCom<NavigationStartingEventArgs>(url, userInitiated, nextNavigationId++);
  ComPtr<ICoreWebView2> keep(sender);
  for (auto& handler : navigationHandlers.Snapshot()) {
    if (IsClosed()) break;
    handler->Invoke(sender, args.Get());
  }
  return args->Cancelled();
}

bool WebViewCore::MatchesFilter(const std::string& url, const std::string& resourceType) const {
  for (const auto& filter : filters) {
    const bool anyType = filter.context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL;
    if ((anyType || resourceType == ResourceTypeOf(filter.context)) && GlobMatch(filter.pattern, url)) return true;
  }
  return false;
}

void WebViewCore::OnWebMessage(const json& params) {
  if (params.value("name", std::string()) != kMessageBinding || sender == nullptr) return;
  auto args = MakeCom<WebMessageReceivedEventArgs>(source, params.value("payload", std::string(kNullJson)));
  ComPtr<ICoreWebView2> keep(sender);
  for (auto& handler : webMessageHandlers.Snapshot()) {
    if (IsClosed()) break;
    handler->Invoke(sender, args.Get());
  }
}

void WebViewCore::OnRequestPaused(const json& params) {
  const json requestId = params.value("requestId", json());
  if (!IsClosed() && sender != nullptr && NavigationCancelled(params)) {
    Send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}});
    return;
  }
  const json request = params.value("request", json::object());
  // Every paused request is answered, or the page waits for it for ever.
  // Documents are paused for the navigation handlers; only those the
  // filters name go to the resource handlers.
  if (IsClosed() || sender == nullptr || resourceHandlers.Empty() ||
      !MatchesFilter(request.value("url", std::string()), params.value("resourceType", std::string()))) {
    Send("Fetch.continueRequest", {{"requestId", requestId}});
    return;
  }
  HeaderList headers;
  // Kept in a local: items() of a temporary dangles inside the loop.
  const json requestHeaders = request.value("headers", json::object());
  for (auto& [name, value] : requestHeaders.items()) {
    if (value.is_string()) headers.emplace_back(name, value.get<std::string>());
  }
  auto webRequest = MakeCom<WebResourceRequest>(
      request.value("url", std::string()) + request.value("urlFragment", std::string()),
      request.value("method", std::string("GET")), std::move(headers), request.value("postData", std::string()));
  auto args =
      MakeCom<WebResourceRequestedEventArgs>(webRequest, ContextOf(params.value("resourceType", std::string())));
  ComPtr<ICoreWebView2> keep(sender);
  for (auto& handler : resourceHandlers.Snapshot()) handler->Invoke(sender, args.Get());

  WebResourceResponse* response = args->Response();
  std::string body;
  if (response == nullptr || !response->ReadBody(&body)) {
    Send("Fetch.continueRequest", {{"requestId", requestId}});
    return;
  }
  json responseHeaders = json::array();
  for (auto& [name, value] : response->Headers()) responseHeaders.push_back({{"name", name}, {"value", value}});
  json fulfil = {{"requestId", requestId},
                 {"responseCode", response->Status()},
                 {"responseHeaders", responseHeaders},
                 {"body", Base64(body)}};
  if (!response->Reason().empty()) fulfil["responsePhrase"] = response->Reason();
  Send("Fetch.fulfillRequest", fulfil);
}

}  // namespace standin::webview2
