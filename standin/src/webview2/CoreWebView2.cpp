#include "CoreWebView2.h"

#include "Base64.h"
#include "CoreWebView2Settings.h"
#include "WebViewCore.h"
#include "WideText.h"

namespace standin::webview2 {
namespace {

constexpr const char* kHtmlDataPrefix = "data:text/html;charset=utf-8;base64,";

}  // namespace

CoreWebView2::CoreWebView2(std::shared_ptr<WebViewCore> core)
    : core(std::move(core)), settings(MakeCom<CoreWebView2Settings>()) {
  this->core->SetSender(this);
}

CoreWebView2::~CoreWebView2() {
  core->SetSender(nullptr);
}

HRESULT CoreWebView2::get_Settings(ICoreWebView2Settings** out) {
  if (out == nullptr) return E_POINTER;
  return settings.CopyTo(out);
}

HRESULT CoreWebView2::get_Source(LPWSTR* uri) {
  return CopyToTaskMemory(core->Source(), uri);
}

HRESULT CoreWebView2::Navigate(LPCWSTR uri) {
  if (uri == nullptr) return E_INVALIDARG;
  return core->Navigate(Utf8FromWide(uri));
}

HRESULT CoreWebView2::NavigateToString(LPCWSTR htmlContent) {
  if (htmlContent == nullptr) return E_INVALIDARG;
  return core->Navigate(kHtmlDataPrefix + Base64(Utf8FromWide(htmlContent)));
}

HRESULT CoreWebView2::add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* handler,
                                              EventRegistrationToken* token) {
  return core->permissionHandlers.Add(handler, token);
}

HRESULT CoreWebView2::remove_PermissionRequested(EventRegistrationToken token) {
  return core->permissionHandlers.Remove(token);
}

HRESULT CoreWebView2::add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                             EventRegistrationToken* token) {
  return core->AddNavigationHandler(handler, token);
}

HRESULT CoreWebView2::remove_NavigationStarting(EventRegistrationToken token) {
  return core->RemoveNavigationHandler(token);
}

HRESULT CoreWebView2::add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                             EventRegistrationToken* token) {
  return core->newWindowHandlers.Add(handler, token);
}

HRESULT CoreWebView2::remove_NewWindowRequested(EventRegistrationToken token) {
  return core->newWindowHandlers.Remove(token);
}

HRESULT CoreWebView2::AddScriptToExecuteOnDocumentCreated(
    LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) {
  if (javaScript == nullptr) return E_INVALIDARG;
  return core->AddScriptOnDocumentCreated(Utf8FromWide(javaScript), handler);
}

HRESULT CoreWebView2::RemoveScriptToExecuteOnDocumentCreated(LPCWSTR id) {
  if (id == nullptr) return E_INVALIDARG;
  return core->RemoveScriptOnDocumentCreated(Utf8FromWide(id));
}

HRESULT CoreWebView2::ExecuteScript(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) {
  if (javaScript == nullptr) return E_INVALIDARG;
  return core->ExecuteScript(Utf8FromWide(javaScript), handler);
}

HRESULT CoreWebView2::add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                             EventRegistrationToken* token) {
  return core->webMessageHandlers.Add(handler, token);
}

HRESULT CoreWebView2::remove_WebMessageReceived(EventRegistrationToken token) {
  return core->webMessageHandlers.Remove(token);
}

HRESULT CoreWebView2::get_BrowserProcessId(UINT32* value) {
  if (value == nullptr) return E_POINTER;
  *value = static_cast<UINT32>(core->BrowserPid());
  return S_OK;
}

HRESULT CoreWebView2::OpenDevToolsWindow() {
  return S_OK;
}

HRESULT CoreWebView2::add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                               EventRegistrationToken* token) {
  return core->resourceHandlers.Add(handler, token);
}

HRESULT CoreWebView2::remove_WebResourceRequested(EventRegistrationToken token) {
  return core->resourceHandlers.Remove(token);
}

HRESULT CoreWebView2::AddWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
  if (uri == nullptr) return E_INVALIDARG;
  return core->AddResourceFilter(Utf8FromWide(uri), context);
}

HRESULT CoreWebView2::RemoveWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
  if (uri == nullptr) return E_INVALIDARG;
  return core->RemoveResourceFilter(Utf8FromWide(uri), context);
}

}  // namespace standin::webview2
