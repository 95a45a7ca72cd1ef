#include "CoreWebView2Environment.h"

#include <standin/BrowserStarts.h>

#include <vector>

#include "BrowserSession.h"
#include "CoreWebView2Controller.h"
#include "HttpHeaders.h"
#include "WebResourceRequest.h"
#include "WebViewCore.h"
#include "WideText.h"

namespace standin::webview2 {
namespace {

using Microsoft::WRL::ComPtr;
using nlohmann::json;
using ControllerHandler = ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;

// A plug-in editor is no browser window: its context menu offers editing
// alone (none on the page itself, whose entries would navigate), no link or
// script opens another window, and of the browser's keyboard shortcuts only
// the editing ones work (not save, print, find, reload, zoom, new window or
// developer tools, which an app window lets a page cancel).
constexpr const char* kNoBrowserScript = R"JS((() => {
  const editable = (target) =>
    target instanceof Element && target.closest('input, textarea, [contenteditable]:not([contenteditable="false"])');
  addEventListener('contextmenu', (event) => { if (!editable(event.target)) event.preventDefault(); }, true);
  const elsewhere = (event) => {
    const link = event.target instanceof Element && event.target.closest('a[href], area[href]');
    if (link && (event.button !== 0 || event.ctrlKey || event.shiftKey || event.metaKey)) event.preventDefault();
  };
  addEventListener('click', elsewhere, true);
  addEventListener('auxclick', elsewhere, true);
  window.open = () => null;
  const editing = /^(Arrow\w+|Home|End|Backspace|Delete)$/;
  addEventListener('keydown', (event) => {
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    const command = event.ctrlKey || event.metaKey;
    const allowed = editing.test(key) || (event.shiftKey ? 'vz' : 'acvxyz').includes(key);
    if (/^F\d+$/.test(key) || (event.altKey && !command && key.length > 1) || (command && !allowed))
      event.preventDefault();
  }, true);
})();)JS";

// Sets up an attached page before the controller is handed over: events on,
// the message binding and its script, and focus (which the clipboard needs,
// and which a page without a focused window never has).
void PreparePage(const std::shared_ptr<BrowserSession>& session, const std::string& sessionId,
                 std::function<void(bool ok)> done) {
  const std::vector<std::pair<std::string, json>> commands = {
      {"Page.enable", json::object()},
      {"Runtime.enable", json::object()},
      {"Runtime.addBinding", {{"name", WebViewCore::kMessageBinding}}},
      {"Page.addScriptToEvaluateOnNewDocument", {{"source", WebViewCore::kMessageScript}}},
      {"Page.addScriptToEvaluateOnNewDocument", {{"source", kNoBrowserScript}}},
      {"Emulation.setFocusEmulationEnabled", {{"enabled", true}}},
  };
  struct Progress {
    size_t left;
    bool ok = true;
    std::function<void(bool)> done;
  };
  auto progress = std::make_shared<Progress>(Progress{commands.size(), true, std::move(done)});
  for (auto& [method, params] : commands) {
    session->Call(method, params, sessionId, [progress](const DevToolsReply& reply) {
      progress->ok = progress->ok && reply.ok;
      if (--progress->left == 0) progress->done(progress->ok);
    });
  }
}

void AttachController(ComPtr<CoreWebView2Environment> keep, std::shared_ptr<BrowserSession> session,
                      const std::string& targetId, HWND parent, ComPtr<ControllerHandler> done) {
  session->Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}}, "",
                [keep, session, parent, done](const DevToolsReply& reply) {
                  std::string sessionId = reply.ok ? reply.result.value("sessionId", std::string()) : std::string();
                  if (sessionId.empty()) {
                    done->Invoke(E_FAIL, nullptr);
                    return;
                  }
                  auto core = std::make_shared<WebViewCore>(session, sessionId);
                  session->AddPage(sessionId, core);
                  auto controller = MakeCom<CoreWebView2Controller>(MakeCom<CoreWebView2>(core), parent);
                  PreparePage(session, sessionId, [keep, controller, done](bool ok) {
                    if (!ok) {
                      controller->Close();
                      done->Invoke(E_FAIL, nullptr);
                      return;
                    }
                    done->Invoke(S_OK, controller.Get());
                  });
                });
}

}  // namespace

CoreWebView2Environment::CoreWebView2Environment(std::shared_ptr<BrowserSession> session, std::string version)
    : session(std::move(session)), version(std::move(version)) {}

HRESULT CoreWebView2Environment::CreateCoreWebView2Controller(HWND parentWindow, ControllerHandler* handler) {
  if (handler == nullptr) return E_POINTER;
  if (session->IsShutDown()) return WebViewCore::InvalidState();
  // The environment stays alive until the controller is handed over.
  ComPtr<CoreWebView2Environment> keep(this);
  ComPtr<ControllerHandler> done(handler);
  std::shared_ptr<BrowserSession> browser = session;
  browser->Call(
      "Target.getTargets", json::object(), "", [keep, browser, parentWindow, done](const DevToolsReply& reply) {
        if (!reply.ok) {
          done->Invoke(E_FAIL, nullptr);
          return;
        }
        // The browser's first blank page serves the first web view.
        for (auto& info : reply.result.value("targetInfos", json::array())) {
          if (info.value("type", std::string()) != "page" || info.value("attached", false)) continue;
          std::string targetId = info.value("targetId", std::string());
          if (browser->ClaimTarget(targetId)) {
            AttachController(keep, browser, targetId, parentWindow, done);
            return;
          }
        }
        browser->Call("Target.createTarget", {{"url", "about:blank"}}, "",
                      [keep, browser, parentWindow, done](const DevToolsReply& created) {
                        std::string targetId = created.ok ? created.result.value("targetId", std::string()) : "";
                        if (targetId.empty() || !browser->ClaimTarget(targetId)) {
                          done->Invoke(E_FAIL, nullptr);
                          return;
                        }
                        AttachController(keep, browser, targetId, parentWindow, done);
                      });
      });
  return S_OK;
}

HRESULT CoreWebView2Environment::CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                                           LPCWSTR headers,
                                                           ICoreWebView2WebResourceResponse** response) {
  if (response == nullptr) return E_POINTER;
  *response = MakeCom<WebResourceResponse>(content, statusCode, Utf8FromWide(reasonPhrase),
                                           ParseHeaderText(Utf8FromWide(headers)))
                  .Detach();
  return S_OK;
}

HRESULT CoreWebView2Environment::get_BrowserVersionString(LPWSTR* versionInfo) {
  return CopyToTaskMemory(version, versionInfo);
}

}  // namespace standin::webview2

using standin::webview2::BrowserSession;
using standin::webview2::CoreWebView2Environment;
using standin::webview2::DevToolsReply;

STDAPI CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions*,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
  if (environmentCreatedHandler == nullptr) return E_POINTER;
  std::string error;
  auto session = BrowserSession::Launch(standin::webview2::Utf8FromWide(browserExecutableFolder),
                                        standin::webview2::Utf8FromWide(userDataFolder), GetCurrentThreadId(), &error);
  if (!session) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  Microsoft::WRL::ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> done(environmentCreatedHandler);
  session->RememberStarter(done);
  // The environment is handed over once the browser answers on its pipe.
  session->Call("Browser.getVersion", nlohmann::json::object(), "", [session, done](const DevToolsReply& reply) {
    if (!reply.ok) {
      done->Invoke(E_FAIL, nullptr);
      return;
    }
    session->CollectHelpers();
    auto environment =
        standin::webview2::MakeCom<CoreWebView2Environment>(session, reply.result.value("product", std::string()));
    done->Invoke(S_OK, environment.Get());
  });
  return S_OK;
}

namespace standin {

void AbandonBrowser(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  for (auto& session : BrowserSession::TakeStartedFor(handler)) session->Abandon();
}

}  // namespace standin
