#include "WebviewPluginView.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "EdgeChromiumBrowser.h"

namespace webhost {

namespace {

using Steinberg::kResultFalse;
using Steinberg::kResultTrue;
using Steinberg::tresult;

constexpr char kPlatformTypeHWND[] = "HWND";
#if SMTG_OS_LINUX
constexpr char kPlatformTypeX11[] = "X11EmbedWindowID";
#endif
constexpr char kStartPage[] = "/index.html";

int Width(const Steinberg::ViewRect& rect) {
  return rect.right - rect.left;
}
int Height(const Steinberg::ViewRect& rect) {
  return rect.bottom - rect.top;
}

}  // namespace

WebviewPluginView::WebviewPluginView(Steinberg::Vst::EditController* controller, const std::string& title,
                                     const std::vector<Bindings*>& bindings, Steinberg::ViewRect* rect,
                                     const std::string& url)
    : EditorView(controller, rect), title(title), bindings(bindings), url(url) {}

WebviewPluginView::~WebviewPluginView() {
  // The browser's destructor terminates it, so no callback reaches this view.
  webview.reset();
#if SMTG_OS_LINUX
  // A host that releases the view without removing it keeps no handler of ours.
  runLoop.Detach();
#endif
  if (plugFrame != nullptr) {
    plugFrame->release();
    plugFrame = nullptr;
  }
}

tresult PLUGIN_API WebviewPluginView::isPlatformTypeSupported(Steinberg::FIDString type) {
  if (type == nullptr) return kResultFalse;
  // Exactly "HWND": a longer text that begins with it or another case is refused.
  if (std::strcmp(type, kPlatformTypeHWND) == 0) return kResultTrue;
#if SMTG_OS_LINUX
  if (std::strcmp(type, kPlatformTypeX11) == 0) return kResultTrue;
#endif
  return kResultFalse;
}

#if SMTG_OS_LINUX
tresult PLUGIN_API WebviewPluginView::attached(void* parent, Steinberg::FIDString type) {
  if (isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
  if (std::strcmp(type, kPlatformTypeX11) != 0) return CPluginView::attached(parent, type);
  if (parent == nullptr || runLoop.Parent() != nullptr) return kResultFalse;
  // The host's window becomes a stand-in parent, and the host's loop takes
  // over this thread's queue and X connection before the browser starts.
  if (!runLoop.Attach(plugFrame, reinterpret_cast<uintptr_t>(parent), Width(rect), Height(rect))) return kResultFalse;
  return CPluginView::attached(runLoop.Parent(), kPlatformTypeHWND);
}

tresult PLUGIN_API WebviewPluginView::removed() {
  const tresult result = CPluginView::removed();
  // Only once the browser is gone, which may still post to the queue.
  runLoop.Detach();
  return result;
}
#endif

tresult PLUGIN_API WebviewPluginView::onSize(Steinberg::ViewRect* newSize) {
  if (newSize != nullptr) {
    std::lock_guard<std::mutex> lock(mutex);
    if (webview) webview->SetViewSize(Width(*newSize), Height(*newSize), SizeHint::kNone);
  }
  return CPluginView::onSize(newSize);
}

tresult PLUGIN_API WebviewPluginView::onFocus(Steinberg::TBool) {
  return kResultTrue;
}

tresult PLUGIN_API WebviewPluginView::setFrame(Steinberg::IPlugFrame* frame) {
  if (frame != nullptr) frame->addRef();
  if (plugFrame != nullptr) plugFrame->release();
  plugFrame = frame;
  return kResultTrue;
}

tresult PLUGIN_API WebviewPluginView::canResize() {
  return kResultFalse;
}

tresult PLUGIN_API WebviewPluginView::checkSizeConstraint(Steinberg::ViewRect*) {
  return kResultFalse;
}

void WebviewPluginView::attachedToParent() {
  // Without a parent the browser's window would float free on the desktop,
  // so a host that attaches to nothing gets an empty view.
  if (!webview && systemWindow != nullptr) {
    // The callback holds only this view's address: the browser, and the
    // callback with it, never outlive the view.
    try {
      webview = MakeWebview(false, static_cast<HWND>(systemWindow), [this](Webview* ready) { OnBrowserReady(ready); });
    } catch (...) {
      // Nothing thrown may reach the host; the view stays empty.
    }
  }
  EditorView::attachedToParent();
}

void WebviewPluginView::removedFromParent() {
  if (webview) {
    webview->Terminate();
    webview.reset();
  }
  EditorView::removedFromParent();
}

void WebviewPluginView::OnBrowserReady(Webview* ready) {
  // Every stub must be registered before the first document is created.
  for (Bindings* binding : bindings) {
    if (binding != nullptr) binding->Bind(ready);
  }
  ready->SetTitle(title);
  ready->SetViewSize(Width(rect), Height(rect), SizeHint::kFixed);
  ready->Navigate(url.empty() ? ready->GetContentRoot() + kStartPage : url);
}

}  // namespace webhost
